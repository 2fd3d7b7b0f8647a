#include "FakeBuildingService.h"
#include "ForestSceneFixture.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>

using velorin::BuildingGPUVertex;
using velorin::BuildingService;
using velorin::ForestService;
using velorin::TreeTileUniforms;
using velorin::WorldRect;
using Key = ForestService::Key;
using Vertex = BuildingService::Vertex;
using testing_support::RendererTest;

namespace {

// Where a person can look at the buildings on the hills: beside the test program.
constexpr const char* kPictureName = "buildings-check.png";

constexpr std::array<float, 4> kNoColour{-1, -1, -1, -1};
const std::array<float, 4> kSlate{0.33f, 0.34f, 0.37f, 1};

// The tile under the valley, where the close-up cameras look.
const Key kTile{15, std::int64_t(kValley.x * 32768), std::int64_t(kValley.y * 32768)};

double tileMeters(const Key& tile)
{
    const double n = std::exp2(double(tile.z));
    return WorldPoint{(tile.x + 0.5) / n, (tile.y + 0.5) / n}.metersPerWorldUnit() / n;
}

WorldPoint inTile(const Key& tile, double east, double south)
{
    const double n = std::exp2(double(tile.z));
    return {tile.x / n + east / tileMeters(tile) / n, tile.y / n + south / tileMeters(tile) / n};
}

// A flat-roofed box of `height` metres over the rectangle (east, south, width, depth) in tile
// metres, its walls and roof in the given colours.
std::vector<Vertex> box(double east, double south, double width, double depth, double height,
    std::array<float, 4> wall = {0.8f, 0.74f, 0.64f, 1}, std::array<float, 4> roof = kNoColour)
{
    const auto x = [](double v) { return float(v); };
    const float footX = x(east + width / 2);
    const float footY = x(south + depth / 2);
    const std::array<std::array<double, 2>, 4> corners{{{east, south}, {east + width, south}, {east + width, south + depth},
        {east, south + depth}}};
    std::vector<Vertex> vertices;
    for (std::size_t i = 0; i < 4; ++i) {
        const auto& q = corners[i];
        const auto& r = corners[(i + 1) % 4];
        const double length = std::hypot(r[0] - q[0], r[1] - q[1]);
        const float nx = x((r[1] - q[1]) / length);
        const float ny = x(-(r[0] - q[0]) / length);
        const auto wallVertex = [&](const std::array<double, 2>& p, double z, double u) {
            return Vertex{x(p[0]), x(p[1]), x(z), nx, ny, 0, 0, wall, footX, footY, x(u), x(length)};
        };
        for (const Vertex& v : {wallVertex(q, -4, 0), wallVertex(r, -4, length), wallVertex(r, height, length),
                 wallVertex(q, -4, 0), wallVertex(r, height, length), wallVertex(q, height, 0)})
            vertices.push_back(v);
    }
    for (std::size_t corner : {0, 1, 2, 0, 2, 3})
        vertices.push_back({x(corners[corner][0]), x(corners[corner][1]), x(height), 0, 0, 1, 1, roof, footX, footY, 0, 0});
    return vertices;
}

} // namespace

using BuildingVertices = RendererTest;

TEST_F(BuildingVertices, StandOnTheGroundUnderTheirFootInTheQuarterOfTheirFoot)
{
    const double half = tileMeters(kTile) / 2;
    struct Case {
        float footX;
        float footY;
        std::array<float, 4> colour;
        std::array<float, 3> drawn;
        int quarter;
    };
    // The ground is told by the foot: 900 m at 10 m east, 900.5 m at 20 m east, 100 m elsewhere.
    const std::vector<Case> cases{
        {10, 10, kNoColour, {0.62f, 0.33f, 0.22f}, 0},
        {20, 10, kNoColour, {0.33f, 0.34f, 0.37f}, 0},
        {float(half), 10, {0.1f, 0.2f, 0.3f, 1}, {0.1f, 0.2f, 0.3f}, 1},
        {10, float(half), kSlate, {0.33f, 0.34f, 0.37f}, 2},
        {float(half), float(half), kNoColour, {0.62f, 0.33f, 0.22f}, 3},
        {float(half) - 1, float(half) - 1, kNoColour, {0.62f, 0.33f, 0.22f}, 0},
        {float(half) + 1, 30, kNoColour, {0.62f, 0.33f, 0.22f}, 1},
    };
    std::vector<Vertex> mesh;
    for (std::size_t at = 0; at < cases.size(); ++at) {
        const Case& c = cases[at];
        mesh.push_back({float(at), 2 * float(at), 3 + float(at), 0.6f, 0.8f, 0, float(at % 2), c.colour, c.footX, c.footY,
            5 + float(at), 7});
    }
    const WorldPoint corner = inTile(kTile, 0, 0);
    const auto ground = pointwise([&](WorldPoint p) {
        const double east = (p.x - corner.x) * tileMeters(kTile) * 32768;
        return std::abs(east - 10) < 1e-3 ? 900.0 : std::abs(east - 20) < 1e-3 ? 900.5 : 100.0;
    });
    const auto quarters = MapRenderer::buildingVertices(mesh, kTile, ground);
    ASSERT_EQ(quarters.vertices.size(), mesh.size());
    EXPECT_EQ(quarters.starts, (std::array<int, 5>{0, 3, 5, 6, 7}));
    std::vector<BuildingGPUVertex> expected;
    for (int quarter = 0; quarter < 4; ++quarter) {
        for (std::size_t at = 0; at < cases.size(); ++at) {
            const Case& c = cases[at];
            if (c.quarter != quarter)
                continue;
            const double groundMeters = c.footX == 10 ? 900 : c.footX == 20 ? 900.5 : 100;
            expected.push_back({float(at), 2 * float(at), float(groundMeters + 3 + double(at)), 0.6f, 0.8f, 0, float(at % 2),
                c.drawn[0], c.drawn[1], c.drawn[2], 5 + float(at), 3 + float(at), 7});
        }
    }
    EXPECT_EQ(quarters.vertices, expected);
}

TEST_F(BuildingVertices, AreTheSameInTheSameOrderWhenALargeTileIsConvertedOnSeveralThreads)
{
    std::vector<Vertex> mesh;
    for (int i = 0; i < 3000; ++i) {
        const auto building = box(double(i % 40) * 20, double(i / 40) * 10, 8, 6, 5 + i % 7);
        mesh.insert(mesh.end(), building.begin(), building.end());
    }
    const auto ground = pointwise([](WorldPoint p) { return 1000 + 1e6 * (p.x - kTile.x / 32768.0); });
    const auto quarters = MapRenderer::buildingVertices(mesh, kTile, ground);
    // Triangle by triangle, as a roof triangle is placed by where it lies.
    std::array<std::vector<BuildingGPUVertex>, 4> oneByOne;
    for (std::size_t at = 0; at < mesh.size(); at += 3) {
        const auto single = MapRenderer::buildingVertices({mesh[at], mesh[at + 1], mesh[at + 2]}, kTile, ground);
        for (std::size_t q = 0; q < 4; ++q)
            oneByOne[q].insert(oneByOne[q].end(), single.vertices.begin() + single.starts[q],
                single.vertices.begin() + single.starts[q + 1]);
    }
    std::vector<BuildingGPUVertex> expected;
    for (const auto& quarter : oneByOne)
        expected.insert(expected.end(), quarter.begin(), quarter.end());
    EXPECT_EQ(quarters.vertices, expected);
}

TEST_F(BuildingVertices, ARoofAcrossTheQuarterLinesIsCutIntoTheQuartersItCoversAndItsWallsStayWithItsFoot)
{
    const double half = tileMeters(kTile) / 2;
    // A 20 m square house a little north-west of the tile's middle, its foot in the first quarter.
    const auto house = box(half - 11, half - 12, 20, 20, 7);
    const auto quarters = MapRenderer::buildingVertices(house, kTile, nullptr);
    double roofArea = 0;
    for (int q = 0; q < 4; ++q) {
        int roofVertices = 0;
        for (int at = quarters.starts[q]; at < quarters.starts[q + 1]; at += 3) {
            const BuildingGPUVertex* t = &quarters.vertices[std::size_t(at)];
            if (t[0].part < 0.5f) {
                EXPECT_EQ(q, 0) << "walls go with their foot";
                continue;
            }
            roofVertices += 3;
            roofArea += ((t[1].x - t[0].x) * (t[2].y - t[0].y) - (t[2].x - t[0].x) * (t[1].y - t[0].y)) / 2;
            for (int k = 0; k < 3; ++k) {
                EXPECT_EQ(t[k].elevation, 7);
                EXPECT_TRUE(q % 2 == 0 ? t[k].x <= half + 1e-3 : t[k].x >= half - 1e-3) << q;
                EXPECT_TRUE(q / 2 == 0 ? t[k].y <= half + 1e-3 : t[k].y >= half - 1e-3) << q;
            }
        }
        EXPECT_GT(roofVertices, 0) << "the roof reaches quarter " << q;
    }
    EXPECT_NEAR(roofArea, 400, 1e-2) << "the pieces cover the roof, once";
}

// The close view over the valley with a building source beside the forest.
class Buildings : public ForestScene {
protected:
    // The frame of `mesh` over aerial photos of every level, meadow except where `colourAt`
    // gives a colour, all of them cached at level 18.
    platform::Image drawOnPhotos(const std::vector<Vertex>& mesh, const std::function<std::optional<Rgba>(WorldPoint)>& colourAt)
    {
        tileTexture = [this, colourAt](const TileKey& key) {
            const auto& tile = std::get<TileKey::WebTile>(key.value);
            const double size = 1 / std::exp2(double(tile.z));
            return texture(64, 64, [&](int u, int v) {
                const WorldPoint p{(double(tile.x) + (u + 0.5) / 64) * size, (double(tile.y) + (v + 0.5) / 64) * size};
                const int grain = (u * 7 + v * 13) % 9;
                return colourAt(p).value_or(Rgba{120 + grain, 150 + grain, 90, 255});
            });
        };
        renderer->basemap = Basemap::orthophoto;
        settleWithEveryTile();
        for (int i = 0; i < 8; ++i) {
            for (int j = 0; j < 8; ++j) {
                const TileKey key = TileKey::webTile(Basemap(Basemap::orthophoto).index(), 18, 8 * kTile.x + j, 8 * kTile.y + i);
                cache->insert(tileTexture(key), key);
            }
        }
        buildings->meshes[kTile] = mesh;
        renderer->prepareScene(clock->now());
        EXPECT_FALSE(renderer->buildingDraws.empty());
        const auto frame = renderer->renderOffscreen(kWidth, kHeight);
        EXPECT_TRUE(frame);
        return frame ? image(*frame) : platform::Image{};
    }

    // The colour drawn at a roof point `height` metres above the ground, in tile metres.
    std::array<int, 3> roofPixel(const platform::Image& picture, double east, double south, double height) const
    {
        const WorldPoint point = inTile(kTile, east, south);
        const double ground = renderer->terrain->elevationAt(point.x, point.y, renderer->frame.frameTerrainZoom);
        const auto screen = renderer->camera.screenPoint(
            point, (ground + height - renderer->frame.frameBaseElevation) * renderer->frame.frameHeightScale);
        EXPECT_TRUE(screen.x >= 0 && screen.x < kWidth && screen.y >= 0 && screen.y < kHeight);
        if (!(screen.x >= 0 && screen.x < kWidth && screen.y >= 0 && screen.y < kHeight) || picture.pixels.empty())
            return {};
        const std::size_t at = (std::size_t(screen.y) * kWidth + std::size_t(screen.x)) * 4;
        return {int(picture.pixels[at]), int(picture.pixels[at + 1]), int(picture.pixels[at + 2])};
    }

    std::shared_ptr<testing_support::FakeBuildingService> buildings
        = std::make_shared<testing_support::FakeBuildingService>();

    void SetUp() override
    {
        renderer = MapRenderer::make(*context, library, velorin::SheetCatalog{}, nullptr, Camera{}, nullptr, forest, buildings);
        ScenePreparation::SetUp();
        renderer->camera = closeUp(kValley, 0.5);
        provideElevation(renderer->camera);
    }

    // The roof imagery of the tile's north-west quarter at a level, with nothing wanted before.
    MapRenderer::RoofImagery roofs(int level)
    {
        renderer->lowPriority.clear();
        renderer->flightRoofKeys.clear();
        return renderer->roofImagery(kTile, 0, 0, level, tileMeters(kTile) / 2);
    }

    // The level-L tile over cell (i, j) of the tile's north-west quarter.
    static TileKey cellTile(int level, int i, int j)
    {
        const int shift = 18 - level;
        return TileKey::webTile(Basemap(Basemap::orthophoto).index(), level, (8 * kTile.x + j) >> shift, (8 * kTile.y + i) >> shift);
    }
};

TEST_F(Buildings, AreDrawnByQuarterOnlyWhereTreesAre)
{
    const double half = tileMeters(kTile) / 2;
    auto mesh = box(100, 100, 20, 12, 8);
    const auto eastern = box(half + 100, half + 100, 10, 10, 6);
    mesh.insert(mesh.end(), eastern.begin(), eastern.end());
    buildings->meshes[kTile] = mesh;
    buildings->meshes[{15, kTile.x + 1, kTile.y}] = {};
    renderer->prepareScene(clock->now());

    ASSERT_EQ(renderer->buildingDraws.size(), 2u) << "the north-west and south-east quarters";
    const auto& first = renderer->buildingDraws[0];
    EXPECT_EQ(first.firstVertex, 0);
    EXPECT_EQ(first.endVertex, 30);
    EXPECT_EQ(renderer->buildingDraws[1].firstVertex, 30);
    EXPECT_EQ(renderer->buildingDraws[1].endVertex, 60);
    EXPECT_EQ(renderer->buildingDraws[1].buffer, first.buffer) << "one buffer a tile";
    const double s = renderer->camera.scale();
    const WorldPoint centre = renderer->camera.center;
    EXPECT_FLOAT_EQ(first.uniforms.origin.x, float((kTile.x / 32768.0 - centre.x) * s));
    EXPECT_FLOAT_EQ(first.uniforms.origin.y, float((kTile.y / 32768.0 - centre.y) * s));
    EXPECT_FLOAT_EQ(first.uniforms.pixelsPerMeter, float(s / (tileMeters(kTile) * 32768)));
    EXPECT_EQ(first.uniforms.eye, renderer->frame.frameTreeEye);
    EXPECT_EQ(first.uniforms.shape, 0);
    EXPECT_EQ(first.uniforms.leafA, gpu::Float4{});
    EXPECT_EQ(first.roof[0].y, 0) << "no roof photos on the Plan IGN";
    ASSERT_EQ(buildings->requests.size(), 1u);
    EXPECT_EQ(buildings->requests[0], forest->requests.at(0)) << "the trees' area";

    // Kept while the relief stays, made again for a new one.
    renderer->prepareScene(clock->now());
    EXPECT_EQ(renderer->buildingDraws.front().buffer, first.buffer);
    const auto kept = first.buffer;
    renderer->terrainGeneration += 1;
    renderer->prepareScene(clock->now());
    EXPECT_NE(renderer->buildingDraws.front().buffer, kept);

    struct Case {
        const char* why;
        std::function<void()> change;
    };
    for (const Case& c : {Case{"3D trees off", [&] { renderer->showsTrees = false; }},
             Case{"a flat map", [&] { renderer->camera.pitch = 0; }}}) {
        const auto camera = renderer->camera;
        buildings->requests.clear();
        c.change();
        renderer->prepareScene(clock->now());
        EXPECT_TRUE(renderer->buildingDraws.empty()) << c.why;
        EXPECT_TRUE(buildings->requests.empty()) << c.why;
        renderer->camera = camera;
        renderer->showsTrees = true;
    }

    // While extras pause, what is built still shows, and nothing is asked for.
    buildings->requests.clear();
    renderer->extrasPausedUntil = clock->now() + 1;
    renderer->prepareScene(clock->now());
    EXPECT_EQ(renderer->buildingDraws.size(), 2u);
    EXPECT_TRUE(buildings->requests.empty());
}

TEST_F(Buildings, TakeFinerRoofPhotosForQuartersNearTheLineOfSight)
{
    renderer->basemap = Basemap::orthophoto;
    buildings->meshes[kTile] = box(10, 10, 10, 10, 6);
    const double meters = tileMeters(kTile) * 32768;
    // The quarter's centre, and the line of sight from the view's bottom to its centre.
    const WorldPoint quarter = inTile(kTile, tileMeters(kTile) / 4, tileMeters(kTile) / 4);
    for (const auto& [distance, level] : {std::pair{449.0, 18}, std::pair{451.0, 17}}) {
        // Looking north from a point that far east: the line of sight runs south of the centre.
        renderer->camera = closeUp({quarter.x + distance / meters, quarter.y}, 0);
        renderer->prepareScene(clock->now());
        renderer->lowPriority.clear();
        renderer->buildingDraws.clear();
        const WorldPoint near = renderer->camera.worldPoint({kWidth / 2.0, kHeight});
        ASSERT_GT(near.y, quarter.y) << "the view's bottom lies south of the quarter";
        renderer->prepareBuildings({quarter.x, quarter.y, quarter.x, quarter.y}, false);
        ASSERT_EQ(renderer->buildingDraws.size(), 1u);
        ASSERT_EQ(renderer->lowPriority.size(), 16u) << distance << " m";
        for (const TileKey& key : renderer->lowPriority)
            EXPECT_EQ(std::get<TileKey::WebTile>(key.value).z, level) << distance << " m";
    }
}

TEST_F(Buildings, TakeTheirRoofPhotosFromTheFinestLevelCached)
{
    const auto photo = plain({150, 90, 70, 255});
    const double cell = tileMeters(kTile) / 8;

    // Not on a map that is no photo, nor on the world map drawn by others.
    for (Basemap basemap : {Basemap::planIGN, Basemap::appleSatellite}) {
        renderer->basemap = basemap;
        const auto imagery = roofs(18);
        EXPECT_EQ(imagery.roof[0], (gpu::Float4{float(cell), 0, 0, 0})) << basemap.rawValue();
        for (std::size_t at = 1; at < imagery.roof.size(); ++at)
            EXPECT_EQ(imagery.roof[at], gpu::Float4{}) << basemap.rawValue();
        for (const auto& texture : imagery.photos)
            EXPECT_EQ(texture, renderer->blankTexture()) << basemap.rawValue();
        EXPECT_TRUE(renderer->lowPriority.empty()) << basemap.rawValue();
    }

    renderer->basemap = Basemap::orthophoto;
    // Nothing cached from level 18 down to 14: no photos, and the level-18 ones wanted.
    cache->insert(photo, cellTile(13, 0, 0));
    auto imagery = roofs(18);
    EXPECT_EQ(imagery.roof[0], (gpu::Float4{float(cell), 1, 0, 0}));
    EXPECT_EQ(imagery.roof[1], gpu::Float4{});
    EXPECT_EQ(imagery.photos[0], renderer->blankTexture());
    ASSERT_EQ(renderer->lowPriority.size(), 16u);
    EXPECT_EQ(renderer->lowPriority[0], cellTile(18, 0, 0));
    EXPECT_EQ(renderer->lowPriority[5], cellTile(18, 1, 1)) << "row by row";

    // Only a level-16 ancestor: a quarter of it a cell, the level-18 tiles still wanted.
    const TileKey ancestor = cellTile(16, 0, 0);
    cache->insert(photo, ancestor);
    imagery = roofs(18);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            const std::int64_t x = 8 * kTile.x + j;
            const std::int64_t y = 8 * kTile.y + i;
            EXPECT_EQ(imagery.roof[std::size_t(1 + 4 * i + j)], (gpu::Float4{float(x % 4) / 4, float(y % 4) / 4, 0.25f, 0}));
            EXPECT_EQ(imagery.photos[std::size_t(4 * i + j)], photo);
        }
    }
    EXPECT_EQ(renderer->lowPriority.size(), 16u);
    for (const TileKey& key : renderer->lowPriority)
        EXPECT_EQ(std::get<TileKey::WebTile>(key.value).z, 18);

    // Every level-18 tile there: each cell its whole photo, nothing wanted.
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j)
            cache->insert(plain({100, 100, 100, 255}), cellTile(18, i, j));
    }
    imagery = roofs(18);
    for (std::size_t at = 1; at < imagery.roof.size(); ++at)
        EXPECT_EQ(imagery.roof[at], (gpu::Float4{0, 0, 1, 0}));
    EXPECT_NE(imagery.photos[15], photo);
    EXPECT_TRUE(renderer->lowPriority.empty());

    // A flight frame wants every cell's tile at the level asked for, once a cell.
    renderer->preparingFlightFrame = true;
    roofs(17);
    renderer->preparingFlightFrame = false;
    ASSERT_EQ(renderer->flightRoofKeys.size(), 16u);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            const auto wanted = cellTile(17, i, j);
            EXPECT_EQ(std::count(renderer->flightRoofKeys.begin(), renderer->flightRoofKeys.end(), wanted), 4);
        }
    }
}

TEST_F(Buildings, AFlightWaitsForTheBuildingsOfEveryTileWithTrees)
{
    settleWithEveryTile();
    ASSERT_FALSE(forest->requests.empty());
    const auto tiles = velorin::tileCover(forest->requests.back());
    for (const Key& key : tiles)
        forest->trees[key] = {};
    forest->trees.erase(tiles.front());
    EXPECT_FALSE(renderer->flightReadiness(renderer->camera));
    std::vector<std::string> waits;
    std::copy_if(renderer->flightWaits.begin(), renderer->flightWaits.end(), std::back_inserter(waits),
        [](const std::string& wait) { return wait.starts_with("bâtiments ") || wait.starts_with("arbres "); });
    ASSERT_EQ(waits.size(), tiles.size());
    EXPECT_EQ(waits[0], fmt::format("arbres 15 {} {}", tiles[0].x, tiles[0].y)) << "no trees, whatever its buildings";
    EXPECT_EQ(waits[1], fmt::format("bâtiments 15 {} {}", tiles[1].x, tiles[1].y));

    forest->trees[tiles.front()] = {};
    for (const Key& key : tiles)
        buildings->meshes[key] = {};
    EXPECT_TRUE(renderer->flightReadiness(renderer->camera));
}

TEST_F(Buildings, StaleBuffersGoOnceMoreThanTwoHundredTilesAreKept)
{
    const auto keep = [&](int count) {
        renderer->buildingBuffers.clear();
        for (int i = 0; i < count; ++i)
            renderer->buildingBuffers[{{15, 1000 + i, 1000}, 0, 0}] = {{}, {}, renderer->frameNumber - 300};
        renderer->prepareScene(clock->now());
        return renderer->buildingBuffers.size();
    };
    EXPECT_EQ(keep(200), 200u);
    EXPECT_EQ(keep(201), 0u) << "those unused for 300 frames go";
}

TEST_F(Buildings, CarryTheAerialPhotoOnTheirRoofsInAnOffscreenFrame)
{
    // A row of houses across the valley, their roofs on the photo in tile red.
    struct House {
        double east;
        double south;
        double width;
        double depth;
        double height;
    };
    // Well inside a quarter of the tile, which the roof photos are laid out by.
    const double centreEast = tileMeters(kTile) / 4;
    const double centreSouth = tileMeters(kTile) / 4;
    renderer->camera = closeUp(inTile(kTile, centreEast, centreSouth), 0.5);
    renderer->camera.zoom = 17.5;
    renderer->camera.pitch = 0.9;
    provideElevation(renderer->camera);
    std::vector<House> houses;
    for (int i = -3; i <= 3; ++i)
        houses.push_back({centreEast + 26 * i - 9, centreSouth + (i % 2) * 24 - 7, 18, 14, 7.0 + 2 * (i % 3 + 2)});
    std::vector<Vertex> mesh;
    for (const House& house : houses) {
        const auto building = box(house.east, house.south, house.width, house.depth, house.height);
        mesh.insert(mesh.end(), building.begin(), building.end());
    }
    const auto onRoof = [&](WorldPoint p) {
        const double east = (p.x * 32768 - double(kTile.x)) * tileMeters(kTile);
        const double south = (p.y * 32768 - double(kTile.y)) * tileMeters(kTile);
        return std::any_of(houses.begin(), houses.end(), [&](const House& h) {
            return east >= h.east && east <= h.east + h.width && south >= h.south && south <= h.south + h.depth;
        });
    };
    // The aerial photo of any level: meadow, and the roofs where the houses stand.
    const platform::Image picture = drawOnPhotos(mesh, [&](WorldPoint p) {
        return onRoof(p) ? std::optional(Rgba{196, 72, 150, 255}) : std::nullopt;
    });
    writePicture(picture, kPictureName);

    // The middle house's roof, seen from above, takes the photo's colour, lit.
    const House& middle = houses[3];
    const auto [r, g, b] = roofPixel(picture, middle.east + middle.width / 2, middle.south + middle.depth / 2, middle.height);
    EXPECT_GT(r, 2 * g) << r << " " << g << " " << b;
    EXPECT_GT(b, g + 30) << r << " " << g << " " << b;
}

TEST_F(Buildings, ShowThePhotoUnderARoofThatCrossesAQuarterLine)
{
    // A long house whose foot lies in the north-west quarter and whose east end reaches 12 m
    // into the north-east one: the photo shows its roof red, east of the line blue.
    const double half = tileMeters(kTile) / 2;
    const double south = half / 2;
    renderer->camera = closeUp(inTile(kTile, half, south + 7), 0.5);
    renderer->camera.zoom = 18;
    renderer->camera.pitch = 0.6;
    provideElevation(renderer->camera);
    const auto house = box(half - 36, south, 48, 14, 8);
    const platform::Image picture = drawOnPhotos(house, [&](WorldPoint p) -> std::optional<Rgba> {
        const double east = (p.x * 32768 - double(kTile.x)) * tileMeters(kTile);
        const double southOf = (p.y * 32768 - double(kTile.y)) * tileMeters(kTile);
        if (east < half - 36 || east > half + 12 || southOf < south || southOf > south + 14)
            return std::nullopt;
        return east < half ? Rgba{196, 72, 60, 255} : Rgba{40, 90, 220, 255};
    });
    writePicture(picture, "buildings-quarter-line.png");

    for (const double east : {half + 3, half + 9}) {
        const auto [r, g, b] = roofPixel(picture, east, south + 7, 8);
        EXPECT_GT(b, r + 60) << "the photo beyond the line, not its edge stretched: " << r << " " << g << " " << b;
    }
    const auto [r, g, b] = roofPixel(picture, half - 6, south + 7, 8);
    EXPECT_GT(r, b + 60) << r << " " << g << " " << b;
}

TEST_F(Buildings, ShowTheirStoreysCloseUpAndPlainWallsFarOff)
{
    // A town of long houses with façades over the tile's north-west quarter, and the same
    // town with plain walls.
    const double quarter = tileMeters(kTile) / 2;
    std::vector<Vertex> facades;
    for (double east = 20; east + 24 < quarter; east += 34) {
        for (double south = 20; south + 14 < quarter; south += 30) {
            const auto house = box(east, south, 24, 14, 9 + std::fmod(east + south, 7));
            facades.insert(facades.end(), house.begin(), house.end());
        }
    }
    std::vector<Vertex> plain = facades;
    for (Vertex& vertex : plain)
        vertex.wallLength = 0;
    settleWithEveryTile();

    const auto render = [&](double zoom, const std::vector<Vertex>& mesh) {
        renderer->camera = closeUp(inTile(kTile, quarter / 2, quarter / 2 - 60), 0.5);
        renderer->camera.zoom = zoom;
        renderer->camera.pitch = 1.0;
        provideElevation(renderer->camera);
        renderer->buildingBuffers.clear();
        buildings->meshes[kTile] = mesh;
        renderer->prepareScene(clock->now());
        EXPECT_FALSE(renderer->buildingDraws.empty()) << "zoom " << zoom;
        const auto frame = renderer->renderOffscreen(kWidth, kHeight);
        EXPECT_TRUE(frame);
        return frame ? image(*frame) : platform::Image{};
    };
    // Pixels where the façades change the picture by more than a shade.
    const auto windowPixels = [](const platform::Image& a, const platform::Image& b) {
        int count = 0;
        for (std::size_t at = 0; at + 3 < a.pixels.size(); at += 4) {
            int difference = 0;
            for (std::size_t c = 0; c < 3; ++c)
                difference = std::max(difference, std::abs(int(a.pixels[at + c]) - int(b.pixels[at + c])));
            count += difference > 24;
        }
        return count;
    };

    platform::Image picture{2 * kWidth, kHeight, std::vector<std::byte>(std::size_t(2 * kWidth * kHeight * 4))};
    int column = 0;
    // Buildings show from 3 m a pixel, here a quarter of a level above zoom 15.
    for (const double zoom : {15.25, 17.0}) {
        const platform::Image shown = render(zoom, facades);
        const platform::Image walls = render(zoom, plain);
        ASSERT_EQ(shown.pixels.size(), std::size_t(kWidth * kHeight * 4));
        const int windows = windowPixels(shown, walls);
        if (zoom < 16)
            EXPECT_LT(windows, kWidth * kHeight / 1000) << "far off, walls read as walls, without specks";
        else
            EXPECT_GT(windows, kWidth * kHeight / 100) << "close up, the storeys show";
        for (int row = 0; row < kHeight; ++row)
            std::copy_n(shown.pixels.begin() + std::ptrdiff_t(row * kWidth * 4), kWidth * 4,
                picture.pixels.begin() + std::ptrdiff_t((row * 2 * kWidth + column) * 4));
        column += kWidth;
    }
    writePicture(picture, "buildings-distance.png");
}
