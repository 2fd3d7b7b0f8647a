#include "features/TreePlacement.h"

#include "map-data/MosaicPixels.h"
#include "map-data/WorldPoint.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <unordered_set>

namespace velorin {

namespace {

// Luma weights of the crown search.
constexpr float kRedLuma = 0.3f;
constexpr float kGreenLuma = 0.59f;
constexpr float kBlueLuma = 0.11f;
// A crown's own brightness is its 3 × 3 mean, compared with its 15 × 15 surroundings and
// the extremes of the 7 × 7 square around it.
constexpr int kCrownBlurRadius = 1;
constexpr int kSurroundBlurRadius = 7;
constexpr int kExtremeRadius = 3;
// Dark crowns: darker than this, and by this much than their surroundings.
constexpr float kDarkCrownMaxLuma = 58;
constexpr float kDarkCrownContrast = 12;
constexpr int kDarkCrownGreenSlack = 2;
// Bright crowns: within these lumas, and brighter than their surroundings by this much.
constexpr float kBrightCrownMinLuma = 75;
constexpr float kBrightCrownMaxLuma = 170;
constexpr float kBrightCrownContrast = 10;
constexpr int kBrightCrownBlueMargin = 6;
constexpr int kBrightCrownRedSlack = 4;
// A dark crown in open ground with a bright crown this close (cells of 4 pixels, the 3 × 3
// cells around its own) is a shadow beside a shrub, not a tree.
constexpr int kBrightCellPixels = 4;
constexpr std::int64_t kBrightCellRowStride = 4096;
// Heights: a base by shape, scaled by 0.7…1.3.
constexpr float kConiferMeters = 14;
constexpr float kBroadleafMeters = 11;
constexpr double kHeightScaleMin = 0.7;
constexpr double kHeightScaleSpan = 0.6;
constexpr double kShrubMinMeters = 0.5;
constexpr double kShrubSpanMeters = 0.2;
constexpr double kRandomShapeThreshold = 0.5;

// The position hash's mixing constants.
constexpr std::uint64_t kEastPrime = 73856093;
constexpr std::uint64_t kSouthPrime = 19349663;
constexpr std::uint64_t kMixFirst = 0xff51afd7ed558ccdULL;
constexpr std::uint64_t kMixSecond = 0xc4ceb9fe1a85ec53ULL;

struct KindRow {
    float crownShape;     // negative: conifer or broadleaf at random
    float crownHeightFactor;
    bool gridTree;        // whether the grid places trees of this kind
    float gridMeters;     // 0: by the random draw
    float gridShape;      // negative: by the random draw
    float presence;
    float gridHeightFactor;
};

constexpr float kRandom = -1;
constexpr std::array<KindRow, 10> kKinds{{
    {TreePlacement::kLoneTreeShape, 1.0f, false, 0, 0, 0, 0},
    {TreePlacement::kConiferShape, 1.0f, true, kConiferMeters, TreePlacement::kConiferShape, 1.0f, 1.0f},
    {TreePlacement::kBroadleafShape, 1.0f, true, kBroadleafMeters, TreePlacement::kBroadleafShape, 1.0f, 1.0f},
    {kRandom, 1.0f, true, 0, kRandom, 1.0f, 1.0f},
    {TreePlacement::kConiferShape, 0.5f, true, kConiferMeters, TreePlacement::kConiferShape, 0.33f, 0.5f},
    {TreePlacement::kBroadleafShape, 0.5f, true, kBroadleafMeters, TreePlacement::kBroadleafShape, 0.33f, 0.5f},
    {kRandom, 0.5f, true, 0, kRandom, 0.33f, 0.5f},
    {TreePlacement::kConiferShape, 0.5f, false, 0, 0, 0, 0},
    {TreePlacement::kOakShape, 1.0f, true, 0, TreePlacement::kOakShape, 1.0f, 1.0f},
    {TreePlacement::kEvergreenOakShape, 1.0f, true, 0, TreePlacement::kEvergreenOakShape, 1.0f, 1.0f},
}};

const KindRow& rowOf(ForestKind kind)
{
    const auto raw = std::size_t(kind);
    return kKinds[raw < kKinds.size() ? raw : 0];
}

// Open ground: where shrubs grow and lone crowns may be shadows.
bool isOpen(ForestKind kind)
{
    return kind == ForestKind::openConifer || kind == ForestKind::openBroadleaf || kind == ForestKind::openMixed
        || kind == ForestKind::heath || kind == ForestKind::none;
}

float baseMeters(float shape)
{
    return shape == TreePlacement::kConiferShape ? kConiferMeters : kBroadleafMeters;
}

float heightScale(std::int64_t a, std::int64_t b)
{
    return float(TreePlacement::draw(a, b, TreePlacement::kHeightSeed) * kHeightScaleSpan + kHeightScaleMin);
}

std::int64_t crownA(std::int64_t x, TreePlacement::CrownPoint crown)
{
    return (x << TreePlacement::kCrownHashBits) + crown.column;
}

std::int64_t crownB(std::int64_t y, TreePlacement::CrownPoint crown)
{
    return (y << TreePlacement::kCrownHashBits) + crown.row;
}

// The mean over the clipped window of each sample of a line, from running sums.
void blurLine(const float* in, float* out, int size, int radius)
{
    double sum = 0;
    for (int k = 0; k <= std::min(radius, size - 1); ++k)
        sum += in[k];
    for (int k = 0; k < size; ++k) {
        const int first = std::max(k - radius, 0);
        const int last = std::min(k + radius, size - 1);
        out[k] = float(sum / double(last - first + 1));
        if (k + radius + 1 < size)
            sum += in[k + radius + 1];
        if (k - radius >= 0)
            sum -= in[k - radius];
    }
}

} // namespace

double TreePlacement::draw(std::int64_t a, std::int64_t b, std::uint64_t seed)
{
    const std::uint64_t h = std::uint64_t(a) * kEastPrime ^ std::uint64_t(b) * kSouthPrime;
    const std::uint64_t m = h ^ (h >> 33);
    std::uint64_t t = (m ^ seed) * kMixFirst;
    t = (t ^ (t >> 33)) * kMixSecond;
    t ^= t >> 33;
    return double(t >> 11) * 0x1p-53;
}

double TreePlacement::tileMeters(int z, std::int64_t y)
{
    const double n = std::exp2(z);
    const double latitude = std::atan(std::sinh(std::numbers::pi * (1 - 2 * (double(y) + 0.5) / n)));
    return std::cos(latitude) * kEarthCircumferenceMeters / n;
}

std::optional<TreePlacement::Mosaic> TreePlacement::orthophotoMosaic(std::span<const platform::Image> images)
{
    if (images.empty())
        return std::nullopt;
    const int tilesPerSide = int(std::lround(std::sqrt(double(images.size()))));
    const int side = tilesPerSide * kAerialTileSide;
    Mosaic mosaic{side, std::vector<std::byte>(std::size_t(side) * std::size_t(side) * 4)};
    for (std::size_t i = 0; i < images.size(); ++i) {
        const int column = int(i) % tilesPerSide;
        const int row = int(i) / tilesPerSide;
        if (row >= tilesPerSide)
            break;
        const platform::Image& source = images[i];
        if (source.width <= 0 || source.height <= 0)
            return std::nullopt;
        const platform::Image fitted = source.width == kAerialTileSide && source.height == kAerialTileSide
            ? source
            : drawScaled(source, 0, 0, source.width, source.height, kAerialTileSide, kAerialTileSide);
        for (int line = 0; line < kAerialTileSide; ++line) {
            const std::byte* from = fitted.pixels.data() + std::size_t(line) * kAerialTileSide * 4;
            std::byte* to = mosaic.rgba.data()
                + (std::size_t(row * kAerialTileSide + line) * std::size_t(side) + std::size_t(column) * kAerialTileSide)
                    * 4;
            std::copy(from, from + kAerialTileSide * 4, to);
        }
    }
    return mosaic;
}

void TreePlacement::boxBlur(std::vector<float>& plane, bool horizontal, int size, int radius)
{
    const std::size_t n = std::size_t(size);
    if (horizontal) {
        std::vector<float> line(n);
        for (std::size_t row = 0; row < n; ++row) {
            float* start = plane.data() + row * n;
            blurLine(start, line.data(), size, radius);
            std::copy(line.begin(), line.end(), start);
        }
        return;
    }
    // Down the columns a whole row at a time, which keeps to memory order.
    const std::vector<float> in = plane;
    std::vector<double> sums(n);
    const auto add = [&](int row, double sign) {
        const float* line = in.data() + std::size_t(row) * n;
        for (std::size_t c = 0; c < n; ++c)
            sums[c] += sign * line[c];
    };
    for (int k = 0; k <= std::min(radius, size - 1); ++k)
        add(k, 1);
    for (int k = 0; k < size; ++k) {
        const double count = std::min(k + radius, size - 1) - std::max(k - radius, 0) + 1;
        float* out = plane.data() + std::size_t(k) * n;
        for (std::size_t c = 0; c < n; ++c)
            out[c] = float(sums[c] / count);
        if (k + radius + 1 < size)
            add(k + radius + 1, 1);
        if (k - radius >= 0)
            add(k - radius, -1);
    }
}

std::vector<float> TreePlacement::minimumFilter(const std::vector<float>& plane, int size, int radius)
{
    // Van Herk and Gil-Werman: over blocks of one window's width, running minima from each
    // block's start (ahead) and from its end (behind); a window spans at most two blocks.
    // Past the edges the plane is padded with +∞, which clips the window.
    const int width = 2 * radius + 1;
    const int padded = (size + 2 * radius + width - 1) / width * width;
    constexpr float kOutside = std::numeric_limits<float>::infinity();
    std::vector<float> ahead(std::size_t(padded), 0.0f);
    std::vector<float> behind(std::size_t(padded), 0.0f);
    std::vector<float> rows(plane.size());
    for (int row = 0; row < size; ++row) {
        const float* in = plane.data() + std::size_t(row) * std::size_t(size);
        const auto at = [&](int i) { return i >= radius && i < size + radius ? in[i - radius] : kOutside; };
        for (int i = 0; i < padded; ++i)
            ahead[std::size_t(i)] = i % width == 0 ? at(i) : std::min(ahead[std::size_t(i - 1)], at(i));
        for (int i = padded - 1; i >= 0; --i)
            behind[std::size_t(i)] = i % width == width - 1 ? at(i) : std::min(behind[std::size_t(i + 1)], at(i));
        float* out = rows.data() + std::size_t(row) * std::size_t(size);
        for (int k = 0; k < size; ++k)
            out[k] = std::min(behind[std::size_t(k)], ahead[std::size_t(k + 2 * radius)]);
    }

    // The same down the columns, a whole row at a time.
    const std::size_t n = std::size_t(size);
    std::vector<float> aheadRows(std::size_t(padded) * n);
    std::vector<float> behindRows(std::size_t(padded) * n);
    const std::vector<float> outsideRow(n, kOutside);
    const auto rowAt = [&](int i) {
        return i >= radius && i < size + radius ? rows.data() + std::size_t(i - radius) * n : outsideRow.data();
    };
    for (int i = 0; i < padded; ++i) {
        const float* in = rowAt(i);
        float* out = aheadRows.data() + std::size_t(i) * n;
        if (i % width == 0) {
            std::copy(in, in + n, out);
        } else {
            const float* previous = out - n;
            for (std::size_t c = 0; c < n; ++c)
                out[c] = std::min(previous[c], in[c]);
        }
    }
    for (int i = padded - 1; i >= 0; --i) {
        const float* in = rowAt(i);
        float* out = behindRows.data() + std::size_t(i) * n;
        if (i % width == width - 1) {
            std::copy(in, in + n, out);
        } else {
            const float* next = out + n;
            for (std::size_t c = 0; c < n; ++c)
                out[c] = std::min(next[c], in[c]);
        }
    }
    std::vector<float> result(plane.size());
    for (int k = 0; k < size; ++k) {
        const float* first = behindRows.data() + std::size_t(k) * n;
        const float* second = aheadRows.data() + std::size_t(k + 2 * radius) * n;
        float* out = result.data() + std::size_t(k) * n;
        for (std::size_t c = 0; c < n; ++c)
            out[c] = std::min(first[c], second[c]);
    }
    return result;
}

TreePlacement::Crowns TreePlacement::detectCrowns(std::span<const std::byte> rgba, int size)
{
    Crowns crowns;
    const std::size_t n = std::size_t(size);
    if (size <= 2 * kExtremeRadius || rgba.size() < n * n * 4)
        return crowns;
    std::vector<float> luma(n * n);
    for (std::size_t at = 0; at < n * n; ++at) {
        luma[at] = kRedLuma * float(rgba[4 * at]) + kGreenLuma * float(rgba[4 * at + 1])
            + kBlueLuma * float(rgba[4 * at + 2]);
    }
    std::vector<float> own = luma;
    boxBlur(own, true, size, kCrownBlurRadius);
    boxBlur(own, false, size, kCrownBlurRadius);
    std::vector<float> surround = std::move(luma);
    boxBlur(surround, true, size, kSurroundBlurRadius);
    boxBlur(surround, false, size, kSurroundBlurRadius);
    const std::vector<float> lowest = minimumFilter(own, size, kExtremeRadius);
    std::vector<float> negated(own.size());
    std::transform(own.begin(), own.end(), negated.begin(), [](float v) { return -v; });
    const std::vector<float> negatedHighest = minimumFilter(negated, size, kExtremeRadius);

    std::vector<std::uint8_t> taken(n * n);
    for (int row = kExtremeRadius; row < size - kExtremeRadius; ++row) {
        for (int column = kExtremeRadius; column < size - kExtremeRadius; ++column) {
            const std::size_t at = std::size_t(row) * n + std::size_t(column);
            if (taken[at] != 0)
                continue;
            const float v = own[at];
            const int r = int(rgba[4 * at]);
            const int g = int(rgba[4 * at + 1]);
            const int b = int(rgba[4 * at + 2]);
            const float m = surround[at];
            const bool dark = v <= lowest[at] && v < kDarkCrownMaxLuma && v < m - kDarkCrownContrast
                && r - kDarkCrownGreenSlack <= g && b - kDarkCrownGreenSlack <= g;
            const bool bright = !dark && v >= -negatedHighest[at] && v > kBrightCrownMinLuma
                && v < kBrightCrownMaxLuma && v > m + kBrightCrownContrast && b + kBrightCrownBlueMargin <= g
                && r - kBrightCrownRedSlack <= g;
            if (!dark && !bright)
                continue;
            (dark ? crowns.dark : crowns.bright).push_back({column, row});
            for (int dy = -kExtremeRadius; dy <= kExtremeRadius; ++dy) {
                std::uint8_t* line = taken.data() + std::size_t(row + dy) * n + std::size_t(column);
                std::fill(line - kExtremeRadius, line + kExtremeRadius + 1, std::uint8_t(1));
            }
        }
    }
    return crowns;
}

ForestKind TreePlacement::kindAt(const ForestKinds& kinds, CrownPoint crown, int mosaicSide)
{
    const int row = std::min(crown.row * kForestTileSide / mosaicSide, kForestTileSide - 1);
    const int column = std::min(crown.column * kForestTileSide / mosaicSide, kForestTileSide - 1);
    return ForestKind(kinds[std::size_t(row * kForestTileSide + column)]);
}

std::vector<TreePlacement::Tree> TreePlacement::crownTrees(const std::vector<CrownPoint>& dark,
    const std::vector<CrownPoint>& bright, const ForestKinds& kinds, int mosaicSide, int z, std::int64_t x,
    std::int64_t y)
{
    const auto cellOf = [](int row, int column) {
        return std::int64_t(row / kBrightCellPixels) * kBrightCellRowStride + column / kBrightCellPixels;
    };
    std::unordered_set<std::int64_t> brightCells;
    brightCells.reserve(bright.size());
    for (const CrownPoint& crown : bright)
        brightCells.insert(cellOf(crown.row, crown.column));

    const double meters = tileMeters(z, y);
    const double metersPerPixel = meters / mosaicSide;
    std::vector<Tree> trees;
    trees.reserve(dark.size());
    for (const CrownPoint& crown : dark) {
        const ForestKind kind = kindAt(kinds, crown, mosaicSide);
        if (isOpen(kind)) {
            const std::int64_t cellRow = crown.row / kBrightCellPixels;
            const std::int64_t cellColumn = crown.column / kBrightCellPixels;
            bool shadow = false;
            for (std::int64_t dr = -1; dr <= 1 && !shadow; ++dr) {
                for (std::int64_t dc = -1; dc <= 1 && !shadow; ++dc)
                    shadow = brightCells.contains((cellRow + dr) * kBrightCellRowStride + cellColumn + dc);
            }
            if (shadow)
                continue;
        }
        const KindRow& table = rowOf(kind);
        const std::int64_t a = crownA(x, crown);
        const std::int64_t b = crownB(y, crown);
        float shape = table.crownShape;
        if (shape < 0)
            shape = draw(a, b, kMixedShapeSeed) < kRandomShapeThreshold ? kConiferShape : kBroadleafShape;
        trees.push_back({float((crown.column + 0.5) * metersPerPixel), float((crown.row + 0.5) * metersPerPixel),
            heightScale(a, b) * table.crownHeightFactor * baseMeters(shape), shape, float(draw(a, b, kShadeSeed))});
    }
    return trees;
}

std::vector<TreePlacement::Tree> TreePlacement::crownShrubs(const std::vector<CrownPoint>& bright,
    const ForestKinds& kinds, int mosaicSide, int z, std::int64_t x, std::int64_t y)
{
    const double metersPerPixel = tileMeters(z, y) / mosaicSide;
    std::vector<Tree> shrubs;
    for (const CrownPoint& crown : bright) {
        if (!isOpen(kindAt(kinds, crown, mosaicSide)))
            continue;
        const std::int64_t a = crownA(x, crown);
        const std::int64_t b = crownB(y, crown);
        shrubs.push_back({float((crown.column + 0.5) * metersPerPixel), float((crown.row + 0.5) * metersPerPixel),
            float(draw(a, b, kShrubHeightSeed) * kShrubSpanMeters + kShrubMinMeters), kShrubShape,
            float(draw(a, b, kShrubShadeSeed))});
    }
    return shrubs;
}

std::vector<TreePlacement::Tree> TreePlacement::gridTrees(const ForestKinds& kinds, int z, std::int64_t x,
    std::int64_t y)
{
    const double meters = tileMeters(z, y);
    const int cells = int(std::floor(meters / kGridCellMeters));
    std::vector<Tree> trees;
    const auto pixelOf = [meters](double position) {
        return std::clamp(int(std::floor(position / meters * kForestTileSide)), 0, kForestTileSide - 1);
    };
    for (int j = 0; j < cells; ++j) {
        for (int i = 0; i < cells; ++i) {
            const std::int64_t a = (x << kGridHashBits) + i;
            const std::int64_t b = (y << kGridHashBits) + j;
            const double east = (draw(a, b, kGridEastSeed) + i) * kGridCellMeters;
            const double south = (draw(a, b, kGridSouthSeed) + j) * kGridCellMeters;
            const ForestKind kind
                = ForestKind(kinds[std::size_t(pixelOf(south) * kForestTileSide + pixelOf(east))]);
            const KindRow& table = rowOf(kind);
            if (!table.gridTree || !(draw(a, b, kGridPresenceSeed) < table.presence))
                continue;
            float base = table.gridMeters;
            float shape = table.gridShape;
            if (base == 0 || shape < 0) {
                const bool conifer = draw(a, b, kMixedShapeSeed) < kRandomShapeThreshold;
                if (base == 0)
                    base = conifer ? kConiferMeters : kBroadleafMeters;
                if (shape < 0)
                    shape = conifer ? kConiferShape : kBroadleafShape;
            }
            trees.push_back({float(east), float(south), heightScale(a, b) * table.gridHeightFactor * base, shape,
                float(draw(a, b, kShadeSeed))});
        }
    }
    return trees;
}

std::vector<TreePlacement::Tree> TreePlacement::trees(const ForestKinds& kinds, const std::optional<Mosaic>& mosaic,
    int z, std::int64_t x, std::int64_t y)
{
    if (!mosaic)
        return gridTrees(kinds, z, x, y);
    const Crowns crowns = detectCrowns(mosaic->rgba, mosaic->side);
    std::vector<Tree> trees = crownTrees(crowns.dark, crowns.bright, kinds, mosaic->side, z, x, y);
    const std::vector<Tree> shrubs = crownShrubs(crowns.bright, kinds, mosaic->side, z, x, y);
    trees.insert(trees.end(), shrubs.begin(), shrubs.end());
    return trees;
}

} // namespace velorin
