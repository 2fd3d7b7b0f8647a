#include "platform/MapViewProjection.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>
#include <tuple>

namespace platform {

namespace {

constexpr double kEarthCircumferenceMetres = 40075016.6855785;
constexpr double kMaxLatitude = 85.05112878;
constexpr double kRadiansPerDegree = std::numbers::pi / 180;
// Points nearer the eye's plane than this share of the focal distance are behind it.
constexpr double kNearShare = 0.01;

using Quad = std::array<std::array<double, 2>, 4>;

// Whether a convex quadrilateral of the ground, its corners in order, meets an upright
// rectangle: no edge of either separates them.
bool overlaps(const Quad& quad, double minX, double minY, double maxX, double maxY)
{
    const Quad box {{{minX, minY}, {maxX, minY}, {maxX, maxY}, {minX, maxY}}};
    const auto separates = [](const Quad& from, const Quad& other, std::size_t edge) {
        const auto& p = from[edge];
        const auto& q = from[(edge + 1) % 4];
        const double nx = q[1] - p[1], ny = p[0] - q[0];
        const auto side = [&](const std::array<double, 2>& r) { return (r[0] - p[0]) * nx + (r[1] - p[1]) * ny; };
        // The side of `from` itself, taken at the corner opposite the edge.
        const double inside = side(from[(edge + 2) % 4]);
        return std::all_of(other.begin(), other.end(), [&](const auto& r) { return side(r) * inside < 0; });
    };
    for (std::size_t edge = 0; edge < 4; ++edge) {
        if (separates(quad, box, edge) || separates(box, quad, edge))
            return false;
    }
    return true;
}

} // namespace

double MapViewProjection::worldX(double longitude)
{
    return (longitude + 180) / 360;
}

double MapViewProjection::worldY(double latitude)
{
    const double phi = std::clamp(latitude, -kMaxLatitude, kMaxLatitude) * kRadiansPerDegree;
    return (1 - std::log(std::tan(phi) + 1 / std::cos(phi)) / std::numbers::pi) / 2;
}

MapCoordinate MapViewProjection::coordinateOf(double x, double y)
{
    return {std::atan(std::sinh(std::numbers::pi * (1 - 2 * y))) / kRadiansPerDegree, x * 360 - 180};
}

MapViewProjection::MapViewProjection(const MapCamera& camera, double width, double height, double pixelRatio)
    : camera_(camera)
    , width_(width)
    , height_(std::max(height, 1.0))
    , pixelRatio_(pixelRatio > 0 ? pixelRatio : 1)
    , focal_(kFocalViewHeights * height_)
    , centreX_(worldX(camera.longitude))
    , centreY_(worldY(camera.latitude))
{
    const double pitch = std::clamp(camera.pitch, 0.0, kMaxPitchDegrees) * kRadiansPerDegree;
    sinPitch_ = std::sin(pitch);
    cosPitch_ = std::cos(pitch);
    sinHeading_ = std::sin(camera.heading * kRadiansPerDegree);
    cosHeading_ = std::cos(camera.heading * kRadiansPerDegree);
    const double metresPerWorldUnit
        = std::cos(std::clamp(camera.latitude, -kMaxLatitude, kMaxLatitude) * kRadiansPerDegree) * kEarthCircumferenceMetres;
    scale_ = metresPerWorldUnit / metresPerPoint();
}

double MapViewProjection::metresPerPoint() const
{
    return std::max(camera_.distance, 1e-3) / (kFocalViewHeights * height_);
}

std::optional<MapViewPoint> MapViewProjection::point(MapCoordinate coordinate) const
{
    return worldPoint(worldX(coordinate.longitude), worldY(coordinate.latitude));
}

std::optional<MapViewPoint> MapViewProjection::worldPoint(double x, double y) const
{
    // Ground offset in points, x east and y south, then across and along the heading.
    const double dx = (x - centreX_) * scale_;
    const double dy = (y - centreY_) * scale_;
    const double across = dx * cosHeading_ + dy * sinHeading_;
    const double along = dx * sinHeading_ - dy * cosHeading_;
    const double depth = focal_ + along * sinPitch_;
    if (!(depth > kNearShare * focal_))
        return std::nullopt;
    return MapViewPoint {width_ / 2 + across * focal_ / depth, height_ / 2 - along * cosPitch_ * focal_ / depth};
}

std::optional<std::array<double, 2>> MapViewProjection::ground(double x, double y) const
{
    const double a = (x - width_ / 2) / focal_;
    const double b = (height_ / 2 - y) / focal_;
    const double denominator = cosPitch_ - b * sinPitch_;
    // At or above the horizon.
    if (!(denominator > 1e-6))
        return std::nullopt;
    const double along = b * focal_ / denominator;
    const double across = a * (focal_ + along * sinPitch_);
    const double dx = across * cosHeading_ + along * sinHeading_;
    const double dy = across * sinHeading_ - along * cosHeading_;
    return std::array<double, 2> {centreX_ + dx / scale_, centreY_ + dy / scale_};
}

std::optional<MapCoordinate> MapViewProjection::coordinate(MapViewPoint point) const
{
    const auto at = ground(point.x, point.y);
    if (!at)
        return std::nullopt;
    return coordinateOf((*at)[0], (*at)[1]);
}

std::vector<MapViewProjection::Tile> MapViewProjection::tiles(int maxLevel) const
{
    // Too many tiles for one picture: every band one level coarser, until they fit.
    for (int bias = 0;; ++bias) {
        auto chosen = tilesAtBias(maxLevel, bias);
        if (chosen.size() <= kMaxTiles || bias > 30)
            return chosen;
    }
}

std::vector<MapViewProjection::Tile> MapViewProjection::tilesAtBias(int maxLevel, int bias) const
{
    // Coarsest first, so that finer tiles are drawn over the coarser ones they overlap.
    const auto order = [](const Tile& a, const Tile& b) { return std::tie(a.z, a.y, a.x) < std::tie(b.z, b.y, b.x); };
    std::set<Tile, decltype(order)> chosen(order);
    const double bandPoints = kBandPixels / pixelRatio_;
    // The highest row that shows ground: below the horizon.
    double top = 0;
    while (top < height_ && !ground(width_ / 2, top))
        top += bandPoints / 4;
    for (double y0 = top; y0 < height_; y0 += bandPoints) {
        const double y1 = std::min(height_, y0 + bandPoints);
        const auto a = ground(0, y0), b = ground(width_, y0), c = ground(0, y1), d = ground(width_, y1);
        if (!a || !b || !c || !d)
            continue;
        // Points per world unit across the band's middle row.
        const double middle = (y0 + y1) / 2;
        const double rise = (height_ / 2 - middle) / focal_;
        const double along = rise * focal_ / (cosPitch_ - rise * sinPitch_);
        const double depth = focal_ + along * sinPitch_;
        const double rowScale = scale_ * focal_ / depth;
        const double zoom = std::log2(rowScale * pixelRatio_ / kTilePixels);
        const int level = std::clamp(int(std::lround(zoom)) - bias, 0, std::max(maxLevel, 0));
        const double tilesAcross = std::exp2(level);
        const double minX = std::min({(*a)[0], (*b)[0], (*c)[0], (*d)[0]});
        const double maxX = std::max({(*a)[0], (*b)[0], (*c)[0], (*d)[0]});
        const double minY = std::min({(*a)[1], (*b)[1], (*c)[1], (*d)[1]});
        const double maxY = std::max({(*a)[1], (*b)[1], (*c)[1], (*d)[1]});
        const int64_t last = int64_t(tilesAcross) - 1;
        const int64_t x0 = std::clamp(int64_t(std::floor(minX * tilesAcross)), int64_t(0), last);
        const int64_t x1 = std::clamp(int64_t(std::floor(maxX * tilesAcross)), int64_t(0), last);
        const int64_t ty0 = std::clamp(int64_t(std::floor(minY * tilesAcross)), int64_t(0), last);
        const int64_t ty1 = std::clamp(int64_t(std::floor(maxY * tilesAcross)), int64_t(0), last);
        if ((x1 - x0 + 1) * (ty1 - ty0 + 1) > int64_t(kMaxTiles) * 4)
            return std::vector<Tile>(kMaxTiles + 1);
        const std::array<std::array<double, 2>, 4> band {*a, *b, *d, *c};
        for (int64_t ty = ty0; ty <= ty1; ++ty) {
            for (int64_t tx = x0; tx <= x1; ++tx) {
                if (overlaps(band, tx / tilesAcross, ty / tilesAcross, (tx + 1) / tilesAcross, (ty + 1) / tilesAcross))
                    chosen.insert({level, tx, ty});
            }
        }
    }
    return {chosen.begin(), chosen.end()};
}

} // namespace platform
