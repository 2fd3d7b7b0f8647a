#include "features/CanopyGrid.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace velorin {

namespace {

// Where a mosaic pixel lies from a crown's centre pixel: its distance in pixels and the
// cosine and sine of seven times its bearing, which the lobes follow.
struct Offset {
    float distance = 0;
    float lobeCos = 0;
    float lobeSin = 0;
};

class Stamper {
public:
    Stamper(ForestService::Canopy& canopy, double metersPerPixel)
        : canopy_(canopy)
        , metersPerPixel_(metersPerPixel)
        , reach_(int(std::ceil(CanopyGrid::kMaxCrownRadiusMeters * (1 + CanopyGrid::kLobeDepth) / metersPerPixel)))
        , width_(2 * reach_ + 1)
        , offsets_(std::size_t(width_) * std::size_t(width_))
    {
        for (int dy = -reach_; dy <= reach_; ++dy) {
            for (int dx = -reach_; dx <= reach_; ++dx) {
                Offset& offset = offsets_[std::size_t((dy + reach_) * width_ + dx + reach_)];
                offset.distance = float(std::hypot(dx, dy));
                if (dx != 0 || dy != 0) {
                    const double angle = CanopyGrid::kLobes * std::atan2(double(dy), double(dx));
                    offset.lobeCos = float(std::cos(angle));
                    offset.lobeSin = float(std::sin(angle));
                }
            }
        }
    }

    // A dome of `height` metres and `radius` metres centred on pixel (column, row), its
    // lobes turned by `turn` radians; the higher value wins where domes overlap.
    void stamp(int column, int row, double height, double radius, double turn)
    {
        const float radiusPixels = float(std::min(radius, CanopyGrid::kMaxCrownRadiusMeters) / metersPerPixel_);
        const int reach = std::min(reach_, int(std::ceil(radiusPixels * (1 + CanopyGrid::kLobeDepth))));
        const float turnCos = float(std::cos(CanopyGrid::kLobes * turn));
        const float turnSin = float(std::sin(CanopyGrid::kLobes * turn));
        const float centimetres = std::min(float(height * CanopyGrid::kCentimetresPerMeter), 65535.0f);
        const float widest = radiusPixels * float(1 + CanopyGrid::kLobeDepth);
        const int side = canopy_.side;
        for (int dy = std::max(-reach, -row); dy <= std::min(reach, side - 1 - row); ++dy) {
            // Only the chord of the widest lobes' circle on this line.
            const float chord = widest * widest - float(dy * dy);
            if (chord < 0)
                continue;
            const int across = std::min(reach, int(std::sqrt(chord)));
            const Offset* line = offsets_.data() + std::size_t((dy + reach_) * width_ + reach_);
            std::uint16_t* out = canopy_.heights.data() + std::size_t(row + dy) * std::size_t(side) + column;
            for (int dx = std::max(-across, -column); dx <= std::min(across, side - 1 - column); ++dx) {
                const Offset& offset = line[dx];
                // cos(7(θ − θ0)) from the two angles' own cosines and sines.
                const float lobe
                    = 1 + float(CanopyGrid::kLobeDepth) * (offset.lobeCos * turnCos + offset.lobeSin * turnSin);
                const float edge = radiusPixels * lobe;
                if (!(offset.distance < edge))
                    continue;
                const float share = offset.distance / edge;
                const auto units = std::uint16_t(centimetres * std::sqrt(1 - share * share) + 0.5f);
                out[dx] = std::max(out[dx], units);
            }
        }
    }

private:
    ForestService::Canopy& canopy_;
    const double metersPerPixel_;
    const int reach_;
    const int width_;
    std::vector<Offset> offsets_;
};

} // namespace

ForestService::Canopy CanopyGrid::make(const ForestKinds& kinds, const TreePlacement::Mosaic& mosaic, int z,
    std::int64_t x, std::int64_t y)
{
    const int side = mosaic.side;
    ForestService::Canopy canopy{side, std::vector<std::uint16_t>(std::size_t(side) * std::size_t(side))};
    if (side <= 0)
        return canopy;
    const double meters = TreePlacement::tileMeters(z, y);
    const double metersPerPixel = meters / side;
    Stamper stamper(canopy, metersPerPixel);

    // The same crowns, heights and order as the 3D trees, so that the canopy and the
    // trees agree; the crown's pixel is found back from its tree's position.
    const TreePlacement::Crowns crowns = TreePlacement::detectCrowns(mosaic.rgba, side);
    const auto place = [&](const TreePlacement::Tree& tree, double radius) {
        const int column = std::clamp(int(std::floor(tree.x / metersPerPixel)), 0, side - 1);
        const int row = std::clamp(int(std::floor(tree.y / metersPerPixel)), 0, side - 1);
        const double turn = 2 * std::numbers::pi
            * TreePlacement::draw((x << TreePlacement::kCrownHashBits) + column,
                (y << TreePlacement::kCrownHashBits) + row, TreePlacement::kCrownLobeSeed);
        stamper.stamp(column, row, tree.height, radius, turn);
    };
    for (const TreePlacement::Tree& tree : TreePlacement::crownTrees(crowns.dark, crowns.bright, kinds, side, z, x, y))
        place(tree, std::clamp(kCrownRadiusShare * tree.height, kMinCrownRadiusMeters, kMaxCrownRadiusMeters));
    for (const TreePlacement::Tree& shrub : TreePlacement::crownShrubs(crowns.bright, kinds, side, z, x, y))
        place(shrub, kShrubRadiusMeters);
    return canopy;
}

} // namespace velorin
