#include "ForestSceneFixture.h"

using velorin::ForestService;
using Key = ForestService::Key;

namespace {

// A canopy grid of side × side heights of `centimetres`.
ForestService::Canopy grid(int side, std::uint16_t centimetres = 1500)
{
    return {side, std::vector<std::uint16_t>(std::size_t(side) * std::size_t(side), centimetres)};
}

} // namespace

class CanopyTextures : public ForestScene {
protected:
    void SetUp() override
    {
        ForestScene::SetUp();
        renderer->showsTrees = false;
        renderer->basemap = Basemap::orthophoto;
        // The frame's relief, which the canopy follows.
        renderer->prepareScene(clock->now());
        forest->canopyRequests.clear();
        keys = canopyKeys();
        ASSERT_GE(keys.size(), 6u);
    }

    // The canopy update of one new frame, as scene preparation runs it.
    bool nextUpdate()
    {
        ++renderer->frameNumber;
        renderer->needsAnotherFrame = false;
        const bool ready = renderer->updateCanopyTextures();
        renderer->canopyUploads = 0;
        return ready;
    }

    // Every tile within reach failed, but those given a grid.
    void failTheOthers()
    {
        for (const Key& key : keys) {
            if (!forest->grids.contains(key))
                forest->failed.insert(key);
        }
    }

    std::vector<Key> keys;
};

TEST_F(CanopyTextures, AreWantedOnlyCloseUpOnATiltedMapOfPhotosWithTreesOff)
{
    for (const Key& key : keys)
        forest->grids[key] = grid(4);
    renderer->prepareScene(clock->now());
    EXPECT_EQ(renderer->canopyTextures.size(), 2u) << "the gate opens";
    EXPECT_EQ(forest->canopyRequests.size(), 1u);
    renderer->canopyTextures.clear();
    forest->canopyRequests.clear();

    struct Case {
        const char* why;
        std::function<void()> change;
    };
    for (const Case& c : {
             Case{"3D trees on", [&] { renderer->showsTrees = true; }},
             Case{"the TOP25 map", [&] { renderer->basemap = Basemap::top25; }},
             Case{"a pitch of 0.35", [&] { renderer->camera.pitch = 0.35; }},
             Case{"no relief", [&] { renderer->terrain.reset(); }},
             Case{"3.4 m a pixel", [&] { renderer->camera.zoom = 15; }},
         }) {
        const auto camera = renderer->camera;
        const auto terrain = renderer->terrain;
        c.change();
        renderer->prepareScene(clock->now());
        EXPECT_FALSE(renderer->frameCanopyReady) << c.why;
        EXPECT_TRUE(renderer->canopyTextures.empty()) << c.why;
        EXPECT_TRUE(forest->canopyRequests.empty()) << c.why;
        renderer->camera = camera;
        renderer->terrain = terrain;
        renderer->showsTrees = false;
        renderer->basemap = Basemap::orthophoto;
    }

    // Without a forest source.
    auto bare = rendererWith(library);
    bare->camera = renderer->camera;
    bare->frame = renderer->frame;
    bare->showsTrees = false;
    bare->basemap = Basemap::orthophoto;
    EXPECT_FALSE(bare->updateCanopyTextures());
}

TEST_F(CanopyTextures, UploadAtMostTwoAFrameAndAreReadyOnceAllAreIn)
{
    for (std::size_t at = 0; at < 5; ++at)
        forest->grids[keys[at]] = grid(8);
    failTheOthers();
    for (std::size_t uploaded : {2u, 4u}) {
        EXPECT_FALSE(nextUpdate());
        EXPECT_EQ(renderer->canopyTextures.size(), uploaded);
        EXPECT_TRUE(renderer->needsAnotherFrame) << "the rest wait for the next frame";
    }
    EXPECT_TRUE(nextUpdate());
    EXPECT_EQ(renderer->canopyTextures.size(), 5u);
    EXPECT_EQ(renderer->canopyTextures.at(keys[0]).texture->width(), 8);
    EXPECT_FALSE(renderer->needsAnotherFrame);
}

TEST_F(CanopyTextures, ATileStillComingHoldsTheCanopyBackButAFailedOneDoesNot)
{
    failTheOthers();
    forest->failed.erase(keys[3]);
    EXPECT_FALSE(nextUpdate());
    forest->failed.insert(keys[3]);
    EXPECT_TRUE(nextUpdate());
}

TEST_F(CanopyTextures, AGridWithoutHeightsToLiftMakesNoTextureAndHoldsNothingBack)
{
    forest->grids[keys[0]] = grid(0);
    forest->grids[keys[1]] = {4, std::vector<std::uint16_t>(15, 100)};
    failTheOthers();
    EXPECT_TRUE(nextUpdate());
    EXPECT_TRUE(renderer->canopyTextures.empty());
    EXPECT_FALSE(renderer->needsAnotherFrame) << "so that the display can go idle";
}

TEST_F(CanopyTextures, StaleTexturesGoOnceTwentyFiveAreKept)
{
    failTheOthers();
    const auto keep = [&](int count) {
        renderer->canopyTextures.clear();
        for (int i = 0; i < count; ++i)
            renderer->canopyTextures[{15, 1000 + i, 1000}] = {MapRenderer::makeCanopyTexture({0}, 1), renderer->frameNumber - 500};
        // One within reach, used every frame.
        renderer->canopyTextures[keys[0]] = {MapRenderer::makeCanopyTexture({0}, 1), 0};
        nextUpdate();
        return renderer->canopyTextures.size();
    };
    EXPECT_EQ(keep(23), 24u) << "24 are kept, however old";
    EXPECT_EQ(keep(24), 1u) << "at 25 those unused for 120 frames go";
}

namespace {

// Where a person can look at photos lifted by the canopy: beside the test program.
constexpr const char* kPictureName = "canopy-check.png";

// A wood of round crowns 12 to 20 m high, one in most cells of 7 m, jittered, as wide as
// crowns are drawn (three tenths of their height, at most 4.5 m). The canopy's height in
// metres at a ground point, 0 in the clearings.
class Wood {
public:
    static constexpr double kCellMeters = 7;

    explicit Wood(WorldPoint origin)
        : origin_(origin)
        , metersPerUnit_(origin.metersPerWorldUnit())
    {
    }

    double heightAt(WorldPoint point) const
    {
        const double east = (point.x - origin_.x) * metersPerUnit_;
        const double south = (point.y - origin_.y) * metersPerUnit_;
        const auto column = std::int64_t(std::floor(east / kCellMeters));
        const auto row = std::int64_t(std::floor(south / kCellMeters));
        double height = 0;
        for (std::int64_t r = row - 1; r <= row + 1; ++r) {
            for (std::int64_t c = column - 1; c <= column + 1; ++c) {
                if (draw(c, r, 1) < 0.12)
                    continue;
                const double dx = east - (double(c) + 0.2 + 0.6 * draw(c, r, 2)) * kCellMeters;
                const double dy = south - (double(r) + 0.2 + 0.6 * draw(c, r, 3)) * kCellMeters;
                const double top = 12 + 8 * draw(c, r, 5);
                const double share = std::hypot(dx, dy) / std::min(0.3 * top, 4.5);
                if (share < 1)
                    height = std::max(height, top * std::sqrt(1 - share * share));
            }
        }
        return height;
    }

private:
    static double draw(std::int64_t column, std::int64_t row, std::uint64_t seed)
    {
        std::uint64_t h = std::uint64_t(column) * 0x9E3779B97F4A7C15ULL ^ std::uint64_t(row) * 0xC2B2AE3D27D4EB4FULL ^ seed;
        h ^= h >> 31;
        h *= 0xBF58476D1CE4E5B9ULL;
        h ^= h >> 29;
        return double(h >> 11) * 0x1p-53;
    }

    WorldPoint origin_;
    double metersPerUnit_;
};

} // namespace

TEST_F(CanopyTextures, LiftTheAerialPhotoOverTheCrownsInAnOffscreenFrame)
{
    renderer->camera.zoom = 17.5;
    renderer->camera.pitch = 1.15;
    renderer->camera.bearing = 0.9;
    provideElevation(renderer->camera);
    renderer->prepareScene(clock->now());
    const Wood wood(kValley);

    // The canopy grids of the tiles within reach, and photos that show the same crowns.
    constexpr int kGridSide = 512;
    for (const Key& key : canopyKeys()) {
        ForestService::Canopy canopy{kGridSide, {}};
        for (int row = 0; row < kGridSide; ++row) {
            for (int column = 0; column < kGridSide; ++column) {
                const WorldPoint point{(key.x + (column + 0.5) / kGridSide) / 32768, (key.y + (row + 0.5) / kGridSide) / 32768};
                canopy.heights.push_back(std::uint16_t(std::lround(wood.heightAt(point) * 100)));
            }
        }
        forest->grids[key] = std::move(canopy);
    }
    tileTexture = [&](const TileKey& key) {
        const auto& tile = std::get<TileKey::WebTile>(key.value);
        const double size = 1 / std::exp2(double(tile.z));
        return texture(128, 128, [&](int u, int v) {
            const double height
                = wood.heightAt({(double(tile.x) + (u + 0.5) / 128) * size, (double(tile.y) + (v + 0.5) / 128) * size});
            if (height == 0)
                return Rgba{168, 160, 118, 255};
            const int light = int(height * 3);
            return Rgba{30 + light, 62 + light, 28 + light / 2, 255};
        });
    };

    const auto render = [&](bool lifted) {
        renderer->showsTrees = !lifted;
        settleWithEveryTile();
        for (int frame = 0; frame < 8; ++frame)
            renderer->prepareScene(clock->now());
        EXPECT_EQ(renderer->frameCanopyReady, lifted);
        const auto target = renderer->renderOffscreen(kWidth, kHeight);
        EXPECT_TRUE(target);
        return target ? image(*target) : platform::Image{};
    };
    const platform::Image flat = render(false);
    const platform::Image lifted = render(true);
    ASSERT_EQ(flat.pixels.size(), lifted.pixels.size());
    writePicture(lifted, kPictureName);
    const auto lifting = std::count_if(renderer->draws.begin(), renderer->draws.end(),
        [](const MapRenderer::Draw& draw) { return draw.canopy != nullptr; });
    EXPECT_GT(lifting, 0);

    // Raised crowns hide the clearings behind them: more of the picture is crowns.
    const auto crowns = [](const platform::Image& picture) {
        int count = 0;
        for (std::size_t at = 0; at < picture.pixels.size(); at += 4)
            count += picture.pixels[at + 1] > picture.pixels[at];
        return count;
    };
    int changed = 0;
    for (std::size_t at = 0; at < flat.pixels.size(); at += 4)
        changed += std::abs(int(flat.pixels[at + 1]) - int(lifted.pixels[at + 1])) > 20;
    EXPECT_GT(changed, kWidth * kHeight / 10);
    EXPECT_GT(crowns(lifted), crowns(flat) * 11 / 10);
}
