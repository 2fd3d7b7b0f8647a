#include "renderer/SheetLayers.h"

#include "renderer/MapRenderer.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace velorin {

namespace {

bool meetsView(const std::array<Camera::Point, 4>& points, const Camera::Size& view)
{
    double minX = std::numeric_limits<double>::infinity();
    double minY = minX;
    double maxX = -minX;
    double maxY = -minX;
    for (auto point : points) {
        minX = std::min(minX, point.x);
        maxX = std::max(maxX, point.x);
        minY = std::min(minY, point.y);
        maxY = std::max(maxY, point.y);
    }
    return minX <= view.width && maxX >= 0 && minY <= view.height && maxY >= 0;
}

std::array<Camera::Point, 4> project(const Camera& camera, const std::array<WorldPoint, 4>& corners)
{
    std::array<Camera::Point, 4> points;
    for (std::size_t i = 0; i < corners.size(); ++i)
        points[i] = camera.screenPoint(corners[i], 0);
    return points;
}

// The ordering value of a quad: its nearest view depth when pitched, else the squared
// distance of `centre` from the camera centre.
double sortValue(const MapRenderer& renderer, const std::array<WorldPoint, 4>& corners, WorldPoint centre)
{
    if (renderer.camera.pitch != 0) {
        double nearest = std::numeric_limits<double>::infinity();
        for (auto corner : corners)
            nearest = std::min(nearest, renderer.viewDepth(corner));
        return nearest;
    }
    double dx = centre.x - renderer.camera.center.x;
    double dy = centre.y - renderer.camera.center.y;
    return dx * dx + dy * dy;
}

std::array<WorldPoint, 4> sheetCorners(const Sheet& sheet)
{
    return { sheet.northWest, sheet.northEast, sheet.southEast, sheet.southWest };
}

// The point at fractions (u across, v down) of the sheet's quad.
WorldPoint interpolate(const Sheet& sheet, double u, double v)
{
    auto blend = [&](double nw, double ne, double se, double sw) {
        return nw * (1 - u) * (1 - v) + ne * u * (1 - v) + se * u * v + sw * (1 - u) * v;
    };
    return { blend(sheet.northWest.x, sheet.northEast.x, sheet.southEast.x, sheet.southWest.x),
        blend(sheet.northWest.y, sheet.northEast.y, sheet.southEast.y, sheet.southWest.y) };
}

} // namespace

SheetLayers::SheetLayers(SheetCatalog catalog, std::shared_ptr<TextureCache> cache)
    : catalog_(std::move(catalog))
    , cache_(std::move(cache))
{
}

std::shared_ptr<gpu::Texture> SheetLayers::cached(const TileKey& key, double now, bool flightFrame, float& alpha)
{
    auto entry = cache_->entry(key);
    if (!entry)
        return nullptr;
    alpha = flightFrame ? 1.0f : float(std::clamp((now - entry->insertedAt) / kFadeSeconds, 0.0, 1.0));
    return entry->texture;
}

void SheetLayers::prepareSheetLayers(MapRenderer& renderer, const WorldRect& rect, double now, bool flightFrame)
{
    desired.clear();
    lowPriority.clear();
    pendingBase.clear();
    pendingDetail.clear();
    const auto& camera = renderer.camera;
    auto candidates = catalog_.sheets(rect);
    if (camera.zoom < kMinZoom) {
        visibleSheetCount = candidates.size();
        flushSheetDraws(renderer);
        return;
    }

    struct Visible {
        const Sheet* sheet;
        std::array<Camera::Point, 4> points;
        double order;
    };
    std::vector<Visible> visible;
    for (const auto& sheet : candidates) {
        auto corners = sheetCorners(sheet);
        auto points = project(camera, corners);
        if (!meetsView(points, camera.viewSize))
            continue;
        WorldPoint centre { (sheet.worldRect.minX + sheet.worldRect.maxX) / 2,
            (sheet.worldRect.minY + sheet.worldRect.maxY) / 2 };
        visible.push_back({ &sheet, points, sortValue(renderer, corners, centre) });
    }
    visibleSheetCount = visible.size();
    std::ranges::stable_sort(visible, {}, &Visible::order);
    if (visible.size() > kMaxSheets)
        visible.resize(kMaxSheets);

    for (const auto& [sheet, points, order] : visible) {
        double width = std::hypot(points[1].x - points[0].x, points[1].y - points[0].y);
        auto smallKey = TileKey::thumbnail(sheet->id, kSmallThumbnailSize);
        auto largeKey = TileKey::thumbnail(sheet->id, kLargeThumbnailSize);
        float largeAlpha = 1;
        float smallAlpha = 1;
        auto large = cached(largeKey, now, flightFrame, largeAlpha);
        auto small = large ? nullptr : cached(smallKey, now, flightFrame, smallAlpha);
        if (width <= kSmallThumbnailMaxWidth) {
            desired.push_back(smallKey);
            if (!small && large)
                small = cached(smallKey, now, flightFrame, smallAlpha);
            if (small)
                pendingBase.push_back({ sheetCorners(*sheet), small, smallAlpha, false });
        } else if (width <= kLargeThumbnailMaxWidth) {
            desired.push_back(largeKey);
            if (large)
                pendingBase.push_back({ sheetCorners(*sheet), large, largeAlpha, false });
            else if (small)
                pendingBase.push_back({ sheetCorners(*sheet), small, 1, false });
            else
                lowPriority.push_back(smallKey);
        } else {
            prepareSheetDetail(renderer, *sheet, large ? large : small, now, flightFrame);
        }
    }
    flushSheetDraws(renderer);
}

void SheetLayers::prepareSheetDetail(MapRenderer& renderer, const Sheet& sheet, std::shared_ptr<gpu::Texture> fallback,
    double now, bool flightFrame)
{
    if (fallback)
        pendingBase.push_back({ sheetCorners(sheet), std::move(fallback), 1, true });
    else
        lowPriority.push_back(TileKey::thumbnail(sheet.id, kSmallThumbnailSize));
    if (sheet.sourceWidth <= 0 || sheet.sourceHeight <= 0)
        return;

    struct Cell {
        std::int64_t column;
        std::int64_t row;
        std::array<WorldPoint, 4> corners;
        double order;
    };
    std::vector<Cell> cells;
    double width = double(sheet.sourceWidth);
    double height = double(sheet.sourceHeight);
    for (std::int64_t row = 0; row < sheet.rows; ++row) {
        auto rows = sheet.sourceRowRange(row);
        for (std::int64_t column = 0; column < sheet.columns; ++column) {
            double u0 = double(sheet.sourceWidth * column / sheet.columns) / width;
            double u1 = double(sheet.sourceWidth * (column + 1) / sheet.columns) / width;
            double v0 = double(rows.lower) / height;
            double v1 = double(rows.upper) / height;
            std::array<WorldPoint, 4> corners { interpolate(sheet, u0, v0), interpolate(sheet, u1, v0),
                interpolate(sheet, u1, v1), interpolate(sheet, u0, v1) };
            if (!meetsView(project(renderer.camera, corners), renderer.camera.viewSize))
                continue;
            auto bounds = WorldRect::boundingRect(corners);
            WorldPoint centre { (bounds.minX + bounds.maxX) / 2, (bounds.minY + bounds.maxY) / 2 };
            cells.push_back({ column, row, corners, sortValue(renderer, corners, centre) });
        }
    }
    std::ranges::stable_sort(cells, {}, &Cell::order);
    for (const auto& cell : cells) {
        auto key = TileKey::subtile(sheet.id, cell.column, cell.row);
        desired.push_back(key);
        float alpha = 1;
        if (auto texture = cached(key, now, flightFrame, alpha))
            pendingDetail.push_back({ cell.corners, std::move(texture), alpha, false });
    }
}

void SheetLayers::flushSheetDraws(MapRenderer& renderer)
{
    for (auto* quads : { &pendingBase, &pendingDetail }) {
        for (const auto& quad : *quads) {
            renderer.appendDraw(quad.texture, quad.backdrop, kPitchedDivisions, 0, 0, 0, quad.corners, quad.alpha,
                kSheetDrawLevel, 0, true);
        }
    }
}

} // namespace velorin
