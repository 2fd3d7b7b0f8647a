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

// Lines blurred together: their running sums are independent, so they advance side by side.
constexpr std::size_t kLinesTogether = 4;

// The mean over the clipped window of each sample of `Lines` lines of `size` samples, from
// running sums; `in` and `out` hold the lines one after another and must not overlap.
template <std::size_t Lines>
void blurLines(const float* in, float* out, int size, int radius)
{
    const std::size_t n = std::size_t(size);
    std::array<double, Lines> sums{};
    for (int k = 0; k <= std::min(radius, size - 1); ++k) {
        for (std::size_t j = 0; j < Lines; ++j)
            sums[j] += in[j * n + std::size_t(k)];
    }
    const double whole = 1.0 / double(2 * radius + 1);
    for (int k = 0; k < size; ++k) {
        const int first = std::max(k - radius, 0);
        const int last = std::min(k + radius, size - 1);
        const double share = last - first == 2 * radius ? whole : 1.0 / double(last - first + 1);
        for (std::size_t j = 0; j < Lines; ++j)
            out[j * n + std::size_t(k)] = float(sums[j] * share);
        if (k + radius + 1 < size) {
            for (std::size_t j = 0; j < Lines; ++j)
                sums[j] += in[j * n + std::size_t(k + radius + 1)];
        }
        if (k - radius >= 0) {
            for (std::size_t j = 0; j < Lines; ++j)
                sums[j] -= in[j * n + std::size_t(k - radius)];
        }
    }
}

// `blurLines` over `count` lines, four at a time.
void blurLines(const float* in, float* out, std::size_t count, int size, int radius)
{
    const std::size_t n = std::size_t(size);
    std::size_t line = 0;
    for (; line + kLinesTogether <= count; line += kLinesTogether)
        blurLines<kLinesTogether>(in + line * n, out + line * n, size, radius);
    for (; line < count; ++line)
        blurLines<1>(in + line * n, out + line * n, size, radius);
}

// The two extremes a square filter may take, and what lies past the plane's edges for each.
struct Lesser {
    static constexpr float kOutside = std::numeric_limits<float>::infinity();
    static float of(float a, float b) { return b < a ? b : a; }
};

struct Greater {
    static constexpr float kOutside = -std::numeric_limits<float>::infinity();
    static float of(float a, float b) { return b > a ? b : a; }
};

// out = the extreme of a and b, sample by sample. Separate arrays and runs of eight, so that
// it runs in vector registers.
template <typename Pick>
void pickOf(const float* __restrict a, const float* __restrict b, float* __restrict out, std::size_t n)
{
    constexpr std::size_t kRun = 8;
    std::size_t c = 0;
    for (; c + kRun <= n; c += kRun) {
        for (std::size_t j = 0; j < kRun; ++j)
            out[c + j] = Pick::of(a[c + j], b[c + j]);
    }
    for (; c < n; ++c)
        out[c] = Pick::of(a[c], b[c]);
}

// The extreme along each row over the clipped window of 2·radius + 1 samples. Van Herk and
// Gil-Werman: over blocks of one window's width, running extremes from each block's start
// (ahead) and from its end (behind); a window spans at most two blocks. Past the edges the
// line is padded with values that never win, which clips the window.
template <typename Pick>
class RowExtremes {
public:
    RowExtremes(int size, int radius)
        : size_(size)
        , radius_(radius)
        , width_(2 * radius + 1)
        , padded_((size + 2 * radius + width_ - 1) / width_ * width_)
        , line_(std::size_t(padded_), Pick::kOutside)
        , ahead_(std::size_t(padded_))
        , behind_(std::size_t(padded_))
    {
    }

    void operator()(const float* in, float* out)
    {
        std::copy(in, in + size_, line_.begin() + radius_);
        for (int block = 0; block < padded_; block += width_) {
            ahead_[std::size_t(block)] = line_[std::size_t(block)];
            for (int i = block + 1; i < block + width_; ++i)
                ahead_[std::size_t(i)] = Pick::of(ahead_[std::size_t(i - 1)], line_[std::size_t(i)]);
            const int last = block + width_ - 1;
            behind_[std::size_t(last)] = line_[std::size_t(last)];
            for (int i = last - 1; i >= block; --i)
                behind_[std::size_t(i)] = Pick::of(behind_[std::size_t(i + 1)], line_[std::size_t(i)]);
        }
        pickOf<Pick>(behind_.data(), ahead_.data() + 2 * radius_, out, std::size_t(size_));
    }

private:
    const int size_;
    const int radius_;
    const int width_;
    const int padded_;
    std::vector<float> line_;
    std::vector<float> ahead_;
    std::vector<float> behind_;
};

// The extreme over the (2·radius + 1)² square around each sample, clipped to the plane,
// handed out row by row from the top: `emit(row, values)`. The same scheme as `RowExtremes`
// down the columns, a block of whole rows at a time, each row's own extremes made as its
// block needs them; output row k takes `behind` of its own block and `ahead` of padded row
// k + 2·radius, in the same block or the next. Only a few rows are ever held.
template <typename Pick, typename Emit>
void squareFilter(const std::vector<float>& plane, int size, int radius, Emit emit)
{
    const int width = 2 * radius + 1;
    const int padded = (size + 2 * radius + width - 1) / width * width;
    const std::size_t n = std::size_t(size);
    RowExtremes<Pick> along(size, radius);
    const std::size_t blockFloats = std::size_t(width) * n;
    std::vector<float> rows(blockFloats);
    std::vector<float> ahead(blockFloats);
    std::array<std::vector<float>, 2> behind{std::vector<float>(blockFloats), std::vector<float>(blockFloats)};
    std::vector<float> out(n);
    for (int block = 0, index = 0; block < padded; block += width, index ^= 1) {
        for (int i = 0; i < width; ++i) {
            const int row = block + i - radius;
            float* target = rows.data() + std::size_t(i) * n;
            if (row >= 0 && row < size)
                along(plane.data() + std::size_t(row) * n, target);
            else
                std::fill(target, target + n, Pick::kOutside);
        }
        float* blockAhead = ahead.data();
        float* blockBehind = behind[std::size_t(index)].data();
        std::copy(rows.begin(), rows.begin() + std::ptrdiff_t(n), blockAhead);
        for (int i = 1; i < width; ++i)
            pickOf<Pick>(blockAhead + std::size_t(i - 1) * n, rows.data() + std::size_t(i) * n, blockAhead + std::size_t(i) * n, n);
        std::copy(rows.end() - std::ptrdiff_t(n), rows.end(), blockBehind + std::size_t(width - 1) * n);
        for (int i = width - 2; i >= 0; --i)
            pickOf<Pick>(blockBehind + std::size_t(i + 1) * n, rows.data() + std::size_t(i) * n, blockBehind + std::size_t(i) * n, n);
        for (int i = 0; i < width; ++i) {
            const int k = block + i - 2 * radius;
            if (k < 0 || k >= size)
                continue;
            const int own = k / width * width;
            const float* first = (own == block ? blockBehind : behind[std::size_t(index ^ 1)].data())
                + std::size_t(k - own) * n;
            pickOf<Pick>(first, blockAhead + std::size_t(i) * n, out.data(), n);
            emit(k, out.data());
        }
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
        std::vector<float> lines(kLinesTogether * n);
        for (std::size_t row = 0; row < n; row += kLinesTogether) {
            const std::size_t count = std::min(kLinesTogether, n - row);
            float* start = plane.data() + row * n;
            blurLines(start, lines.data(), count, size, radius);
            std::copy(lines.begin(), lines.begin() + std::ptrdiff_t(count * n), start);
        }
        return;
    }
    // Down the columns a whole row at a time, which keeps to memory order. Rows are blurred
    // in place; the ring keeps the last radius + 1 of them as they were, to leave the window.
    const std::size_t kept = std::size_t(radius) + 1;
    std::vector<float> ring(kept * n);
    std::vector<double> sums(n);
    const auto add = [&](const float* line, double sign) {
        for (std::size_t c = 0; c < n; ++c)
            sums[c] += sign * line[c];
    };
    for (int k = 0; k <= std::min(radius, size - 1); ++k)
        add(plane.data() + std::size_t(k) * n, 1);
    for (int k = 0; k < size; ++k) {
        float* row = plane.data() + std::size_t(k) * n;
        std::copy(row, row + n, ring.begin() + std::ptrdiff_t(std::size_t(k) % kept * n));
        const double share = 1.0 / double(std::min(k + radius, size - 1) - std::max(k - radius, 0) + 1);
        for (std::size_t c = 0; c < n; ++c)
            row[c] = float(sums[c] * share);
        if (k + radius + 1 < size)
            add(plane.data() + std::size_t(k + radius + 1) * n, 1);
        if (k - radius >= 0)
            add(ring.data() + std::size_t(k - radius) % kept * n, -1);
    }
}

std::vector<float> TreePlacement::minimumFilter(const std::vector<float>& plane, int size, int radius)
{
    std::vector<float> result(plane.size());
    squareFilter<Lesser>(plane, size, radius, [&](int row, const float* values) {
        std::copy(values, values + size, result.begin() + std::ptrdiff_t(row) * size);
    });
    return result;
}

TreePlacement::Crowns TreePlacement::detectCrowns(std::span<const std::byte> rgba, int size)
{
    Crowns crowns;
    const std::size_t n = std::size_t(size);
    if (size <= 2 * kExtremeRadius || rgba.size() < n * n * 4)
        return crowns;
    // Each channel's share of the luma by byte value, which spares a conversion per channel.
    std::array<std::array<float, 256>, 3> shares;
    for (int value = 0; value < 256; ++value) {
        shares[0][std::size_t(value)] = kRedLuma * float(value);
        shares[1][std::size_t(value)] = kGreenLuma * float(value);
        shares[2][std::size_t(value)] = kBlueLuma * float(value);
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(rgba.data());
    // Each row's luma, blurred along the row at both radii, then both planes down the columns.
    std::vector<float> own(n * n);
    std::vector<float> surround(n * n);
    std::vector<float> luma(kLinesTogether * n);
    for (std::size_t row = 0; row < n; row += kLinesTogether) {
        const std::size_t count = std::min(kLinesTogether, n - row);
        const std::uint8_t* pixel = bytes + row * n * 4;
        for (std::size_t at = 0; at < count * n; ++at)
            luma[at] = shares[0][pixel[4 * at]] + shares[1][pixel[4 * at + 1]] + shares[2][pixel[4 * at + 2]];
        blurLines(luma.data(), own.data() + row * n, count, size, kCrownBlurRadius);
        blurLines(luma.data(), surround.data() + row * n, count, size, kSurroundBlurRadius);
    }
    boxBlur(own, false, size, kCrownBlurRadius);
    boxBlur(surround, false, size, kSurroundBlurRadius);
    // Whether each pixel is the darkest (bit 0) or the brightest (bit 1) of the 7 × 7 square
    // around it, and whether a crown already took it (bit 2). The brightest comes from the
    // same filter picking the greater, which is the minimum of the negated plane negated back.
    constexpr std::uint8_t kLowest = 1;
    constexpr std::uint8_t kHighest = 2;
    constexpr std::uint8_t kTaken = 4;
    std::vector<std::uint8_t> flags(n * n);
    const auto mark = [&](std::uint8_t flag, bool lowest) {
        return [&, flag, lowest](int row, const float* extreme) {
            const float* v = own.data() + std::size_t(row) * n;
            std::uint8_t* out = flags.data() + std::size_t(row) * n;
            for (std::size_t c = 0; c < n; ++c)
                out[c] |= (lowest ? v[c] <= extreme[c] : v[c] >= extreme[c]) ? flag : 0;
        };
    };
    squareFilter<Lesser>(own, size, kExtremeRadius, mark(kLowest, true));
    squareFilter<Greater>(own, size, kExtremeRadius, mark(kHighest, false));

    for (int row = kExtremeRadius; row < size - kExtremeRadius; ++row) {
        for (int column = kExtremeRadius; column < size - kExtremeRadius; ++column) {
            const std::size_t at = std::size_t(row) * n + std::size_t(column);
            const std::uint8_t flag = flags[at];
            if ((flag & (kLowest | kHighest)) == 0 || (flag & kTaken) != 0)
                continue;
            const float v = own[at];
            const float m = surround[at];
            // The brightness tests first: their colour is read only for the few that pass.
            const bool darkish = (flag & kLowest) != 0 && v < kDarkCrownMaxLuma && v < m - kDarkCrownContrast;
            const bool brightish = (flag & kHighest) != 0 && v > kBrightCrownMinLuma && v < kBrightCrownMaxLuma
                && v > m + kBrightCrownContrast;
            if (!darkish && !brightish)
                continue;
            const int r = bytes[4 * at];
            const int g = bytes[4 * at + 1];
            const int b = bytes[4 * at + 2];
            const bool dark = darkish && r - kDarkCrownGreenSlack <= g && b - kDarkCrownGreenSlack <= g;
            const bool bright = !dark && brightish && b + kBrightCrownBlueMargin <= g && r - kBrightCrownRedSlack <= g;
            if (!dark && !bright)
                continue;
            (dark ? crowns.dark : crowns.bright).push_back({column, row});
            for (int dy = -kExtremeRadius; dy <= kExtremeRadius; ++dy) {
                std::uint8_t* line = flags.data() + std::size_t(row + dy) * n + std::size_t(column);
                for (int dx = -kExtremeRadius; dx <= kExtremeRadius; ++dx)
                    line[dx] |= kTaken;
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
