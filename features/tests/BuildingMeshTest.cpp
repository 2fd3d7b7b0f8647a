#include "features/BuildingMesh.h"

#include "BuildingFootprints.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

using namespace velorin;
using namespace building_testing;
using Vertex = BuildingMesh::Vertex;
using Ring = BuildingMesh::Ring;
using json = nlohmann::json;

namespace {

std::optional<std::vector<Vertex>> build(const std::string& document)
{
    return BuildingMesh::buildTile(bytes(document), kZ, kX, kY);
}

std::vector<Vertex> part(const std::vector<Vertex>& vertices, float which)
{
    std::vector<Vertex> chosen;
    std::copy_if(vertices.begin(), vertices.end(), std::back_inserter(chosen), [&](const Vertex& v) { return v.part == which; });
    return chosen;
}

double area(const BuildingMesh::Triangle& t)
{
    return ((t[1].x - t[0].x) * (t[2].y - t[0].y) - (t[1].y - t[0].y) * (t[2].x - t[0].x)) / 2;
}

double area(const Ring& ring)
{
    double sum = 0;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const auto& a = ring[i];
        const auto& b = ring[(i + 1) % ring.size()];
        sum += a.x * b.y - b.x * a.y;
    }
    return sum / 2;
}

} // namespace

TEST(BuildingMesh, RaisesWallsFromBelowTheGroundAndRoofsFlatOrPitchedByTheirHeights)
{
    struct Case {
        const char* what;
        json properties;
        double width;
        double depth;
        double ridge;
        double eaves; // equal to the ridge for a flat roof
    };
    const std::vector<Case> cases{
        {"no height", json::object(), 10, 10, 6, 6},
        {"below the least height", {{"hauteur", 1.0}}, 10, 10, 2.5, 2.5},
        {"an impossible height", {{"hauteur", 5000}}, 10, 10, 6, 6},
        {"a roof 6 m high on 10 m", {{"hauteur", 10}, {"altitude_maximale_toit", 110}, {"altitude_minimale_toit", 104}},
            20, 10, 10, 4},
        {"a roof capped at 4.8 m on 8 m, 6 m wide", {{"hauteur", 8}, {"altitude_maximale_toit", 110}, {"altitude_minimale_toit", 104}},
            12, 6, 8, 3.5},
        {"a roof of 0.5 m", {{"hauteur", 10}, {"altitude_maximale_toit", 104.5}, {"altitude_minimale_toit", 104}}, 10, 4, 10,
            10},
        {"a roof on a narrow building", {{"hauteur", 10}, {"altitude_maximale_toit", 110}, {"altitude_minimale_toit", 104}}, 10,
            0.9, 10, 10},
        {"roof altitudes the wrong way round", {{"hauteur", 10}, {"altitude_maximale_toit", 100}, {"altitude_minimale_toit", 104}},
            20, 10, 10, 10},
    };
    for (const Case& c : cases) {
        const auto mesh = build(collection({feature(ring(rectangle(100, 200, c.width, c.depth)), c.properties)}));
        ASSERT_TRUE(mesh) << c.what;
        const auto walls = part(*mesh, 0);
        const auto roof = part(*mesh, 1);
        ASSERT_FALSE(roof.empty()) << c.what;
        const auto [lowestRoof, highestRoof] = std::minmax_element(
            roof.begin(), roof.end(), [](const Vertex& a, const Vertex& b) { return a.z < b.z; });
        EXPECT_NEAR(highestRoof->z, c.ridge, 1e-4) << c.what;
        EXPECT_NEAR(lowestRoof->z, c.eaves, 1e-4) << c.what;
        float lowestWall = std::numeric_limits<float>::max();
        float highestWall = std::numeric_limits<float>::lowest();
        for (const Vertex& v : walls) {
            lowestWall = std::min(lowestWall, v.z);
            highestWall = std::max(highestWall, v.z);
        }
        EXPECT_EQ(lowestWall, -4) << c.what;
        EXPECT_NEAR(highestWall, c.ridge, 1e-4) << c.what << ": the gables reach the ridge";
        for (const Vertex& v : roof)
            EXPECT_GT(v.nz, 0) << c.what;
        if (c.ridge == c.eaves) {
            EXPECT_EQ(walls.size(), 24u) << c.what;
            EXPECT_EQ(roof.size(), 6u) << c.what << ": two triangles";
        } else {
            EXPECT_EQ(walls.size(), 36u) << c.what << ": each gable is split at the ridge";
        }
    }
}

TEST(BuildingMesh, WindsEveryRingOneWaySoThatWallsFaceOutwards)
{
    const std::vector<std::pair<double, double>> corners{{10, 10}, {30, 12}, {28, 25}, {12, 22}};
    auto reversed = corners;
    std::reverse(reversed.begin(), reversed.end());
    const auto forwards = build(collection({feature(ring(corners))}));
    const auto backwards = build(collection({feature(ring(reversed))}));
    ASSERT_TRUE(forwards && backwards);
    EXPECT_EQ(*forwards, *backwards);

    const auto walls = part(*forwards, 0);
    ASSERT_EQ(walls.size(), 24u);
    for (std::size_t at = 0; at < walls.size(); at += 6) {
        const double midX = (walls[at].x + walls[at + 1].x) / 2 - walls[at].footX;
        const double midY = (walls[at].y + walls[at + 1].y) / 2 - walls[at].footY;
        EXPECT_GT(midX * walls[at].nx + midY * walls[at].ny, 0) << "wall " << at / 6;
        EXPECT_EQ(walls[at].nz, 0);
    }
    EXPECT_NEAR(walls[0].footX, 20, 1e-3);
    EXPECT_NEAR(walls[0].footY, 17.25, 1e-3);
}

TEST(BuildingMesh, MarksFacadesOnTheLongWallsOfDwellings)
{
    struct Case {
        const char* what;
        json properties;
        bool facade;
    };
    const std::vector<Case> cases{
        {"a house", json::object(), true},
        {"a castle", {{"nature", "Château"}, {"usage_1", "Résidentiel"}}, true},
        {"a greenhouse", {{"nature", "Serre"}}, false},
        {"a barn", {{"usage_1", "Agricole"}}, false},
        {"a shed", {{"hauteur", 2.9}}, false},
    };
    for (const Case& c : cases) {
        const auto mesh = build(collection({feature(ring(rectangle(0, 0, 10, 2.1)), c.properties)}));
        ASSERT_TRUE(mesh);
        for (const Vertex& v : part(*mesh, 0)) {
            const bool longWall = v.ny == 1 || v.ny == -1;
            EXPECT_EQ(v.wallLength, c.facade && longWall ? 10.0f : 0.0f) << c.what << ", " << (longWall ? "long" : "2.1 m") << " wall";
            EXPECT_TRUE(v.wallU == 0 || std::abs(v.wallU - (longWall ? 10 : 2.1)) < 1e-4) << c.what;
        }
    }
}

TEST(BuildingMesh, ColoursWallsAndRoofsByTheirMaterials)
{
    using Color = BuildingMesh::Color;
    struct WallCase {
        std::optional<std::string_view> material;
        Color colour;
    };
    for (const WallCase& c : {WallCase{"03", {0.73f, 0.73f, 0.71f}}, WallCase{"10", {0.74f, 0.68f, 0.58f}},
             WallCase{"00", BuildingMesh::kDefaultWallColor}, WallCase{"", BuildingMesh::kDefaultWallColor},
             WallCase{"9", BuildingMesh::kDefaultWallColor}, WallCase{std::nullopt, BuildingMesh::kDefaultWallColor}})
        EXPECT_EQ(BuildingMesh::wallColor(c.material), c.colour) << c.material.value_or("(none)");

    struct RoofCase {
        std::optional<std::string_view> material;
        std::optional<std::string_view> nature;
        Color colour;
    };
    for (const RoofCase& c : {RoofCase{"01", "Serre", {0.62f, 0.33f, 0.22f}}, RoofCase{"4", std::nullopt, {0.60f, 0.59f, 0.56f}},
             RoofCase{std::nullopt, "Serre", {0.80f, 0.85f, 0.85f}},
             RoofCase{"00", "Industriel, agricole ou commercial", {0.55f, 0.56f, 0.57f}},
             RoofCase{std::nullopt, "Indifférenciée", BuildingMesh::kNoRoofColor}})
        EXPECT_EQ(BuildingMesh::roofColor(c.material, c.nature), c.colour) << c.material.value_or("(none)");

    // The mesh carries them with an opaque alpha, and the sentinel for a roof without one.
    const auto mesh = build(collection({feature(ring(rectangle(0, 0, 8, 8)), {{"materiaux_des_murs", "03"}})}));
    ASSERT_TRUE(mesh);
    EXPECT_EQ(part(*mesh, 0).front().color, (std::array<float, 4>{0.73f, 0.73f, 0.71f, 1}));
    EXPECT_EQ(part(*mesh, 1).front().color, (std::array<float, 4>{-1, -1, -1, -1}));
}

TEST(BuildingMesh, BuildsWhatTheDocumentHoldsAndNothingFromAnotherShape)
{
    const json square = ring(rectangle(0, 0, 8, 8));
    json polygonShaped = feature(square);
    polygonShaped["geometry"]["coordinates"] = {square};
    json withoutGeometry = feature(square);
    withoutGeometry["geometry"] = nullptr;
    json withoutCoordinates = feature(square);
    withoutCoordinates["geometry"].erase("coordinates");
    json withoutProperties = feature(square);
    withoutProperties.erase("properties");
    json holed = feature(square);
    holed["geometry"]["coordinates"][0].push_back(ring(rectangle(2, 2, 2, 2)));
    json triangle = feature(ring({{0, 0}, {8, 0}}));
    json badPositions = feature(square);
    auto& positions = badPositions["geometry"]["coordinates"][0][0];
    positions.insert(positions.begin() + 1, json::array({6.1}));
    positions.insert(positions.begin() + 2, json::array({200.0, 45.0}));
    positions.insert(positions.begin() + 3, json::array({6.1, -91.0}));

    struct Case {
        const char* what;
        std::string document;
        std::optional<std::size_t> vertices;
    };
    const std::vector<Case> cases{
        {"no features", R"({"features":[]})", 0},
        {"not JSON", "<html>Service indisponible</html>", std::nullopt},
        {"no feature list", R"({"type":"FeatureCollection"})", std::nullopt},
        {"an exception report", R"({"exceptions":[{"code":"InvalidParameterValue"}]})", std::nullopt},
        {"a square", collection({feature(square)}), 30},
        {"a polygon's coordinates", collection({polygonShaped}), std::nullopt},
        {"a feature without properties", collection({withoutProperties}), std::nullopt},
        {"a height as text", collection({feature(square, {{"hauteur", "12"}})}), std::nullopt},
        {"a feature without geometry beside a square", collection({withoutGeometry, feature(square)}), 30},
        {"a geometry without coordinates", collection({withoutCoordinates}), 0},
        {"a ring of two corners", collection({triangle}), 0},
        {"an inner ring, ignored", collection({holed}), 30},
        {"positions off the globe or without a latitude", collection({badPositions}), 30},
    };
    for (const Case& c : cases) {
        const auto mesh = build(c.document);
        ASSERT_EQ(mesh.has_value(), c.vertices.has_value()) << c.what;
        if (mesh) {
            EXPECT_EQ(mesh->size(), *c.vertices) << c.what;
        }
    }
}

TEST(BuildingMesh, FindsTheRidgeAlongTheLongSideOfTheSmallestBoundingRectangle)
{
    // A 20 × 6 rectangle turned 30° from east.
    const double turn = std::numbers::pi / 6;
    const auto at = [&](double along, double across) {
        return BuildingMesh::Point{along * std::cos(turn) - across * std::sin(turn), along * std::sin(turn) + across * std::cos(turn)};
    };
    const auto ridge = BuildingMesh::ridgeLine({at(0, 0), at(20, 0), at(20, 6), at(0, 6)});
    EXPECT_NEAR(ridge.halfWidth, 3, 1e-9);
    EXPECT_NEAR(std::abs(ridge.normal.x * std::cos(turn) + ridge.normal.y * std::sin(turn)), 0, 1e-9) << "across the long side";
    const auto middle = at(10, 3);
    EXPECT_NEAR(ridge.normal.x * middle.x + ridge.normal.y * middle.y, ridge.offset, 1e-9);
}

TEST(BuildingMesh, TriangulatesConcaveRingsIntoExactlyTheirArea)
{
    const auto comb = [](int teeth) {
        Ring ring{{0, 0}};
        for (int tooth = 0; tooth < teeth; ++tooth) {
            ring.push_back({4.0 * tooth + 1, 0});
            ring.push_back({4.0 * tooth + 1, 10});
            ring.push_back({4.0 * tooth + 3, 10});
            ring.push_back({4.0 * tooth + 3, 0});
        }
        ring.push_back({4.0 * teeth, 0});
        ring.push_back({4.0 * teeth, -3});
        ring.push_back({0, -3});
        // Wound with a positive area: south is +y.
        std::reverse(ring.begin(), ring.end());
        return ring;
    };
    struct Case {
        const char* what;
        Ring ring;
    };
    const std::vector<Case> cases{
        {"an L", {{0, 0}, {10, 0}, {10, 4}, {4, 4}, {4, 10}, {0, 10}}},
        {"a courtyard's U", {{0, 0}, {3, 0}, {3, 6}, {7, 6}, {7, 0}, {10, 0}, {10, 9}, {0, 9}}},
        {"a comb", comb(12)},
        {"a corner on a straight side", {{0, 0}, {5, 0}, {10, 0}, {10, 10}, {0, 10}}},
    };
    for (Case c : cases) {
        if (area(c.ring) < 0)
            std::reverse(c.ring.begin(), c.ring.end());
        const auto triangles = BuildingMesh::triangulate(c.ring);
        EXPECT_EQ(triangles.size(), c.ring.size() - 2) << c.what;
        double covered = 0;
        for (const auto& triangle : triangles) {
            EXPECT_GE(area(triangle), 0) << c.what;
            covered += area(triangle);
        }
        EXPECT_NEAR(covered, area(c.ring), 1e-9) << c.what;
    }
    EXPECT_TRUE(BuildingMesh::triangulate({{0, 0}, {1, 0}}).empty());
}

TEST(BuildingMesh, ClipsATenThousandCornerBlockWithoutRoofingItsCourtyard)
{
    Ring block;
    for (const auto& [east, south] : courtyardBlock(10000))
        block.push_back({east, south});
    ASSERT_GT(area(block), 0);
    const auto triangles = BuildingMesh::triangulate(block);
    ASSERT_EQ(triangles.size(), block.size() - 2) << "every corner was clipped as an ear, nothing fanned";
    double covered = 0;
    std::size_t overCourtyard = 0;
    for (const auto& triangle : triangles) {
        EXPECT_GE(area(triangle), 0);
        covered += area(triangle);
        const double x = (triangle[0].x + triangle[1].x + triangle[2].x) / 3;
        const double y = (triangle[0].y + triangle[1].y + triangle[2].y) / 3;
        if (std::hypot(x, y) < kCourtyardRadiusMeters - 0.01)
            ++overCourtyard;
    }
    EXPECT_NEAR(covered, area(block), 1e-6 * area(block));
    EXPECT_EQ(overCourtyard, 0u);
}
