#include "renderer/PositionMarker.h"

#include <gtest/gtest.h>

#include <algorithm>

using velorin::Camera;
using velorin::PositionMarker;
using velorin::SolidVertex;
using velorin::WorldPoint;

namespace {

Camera cameraAt(double zoom, double pitch)
{
    Camera camera;
    camera.center = WorldPoint::fromLatitudeLongitude(45.9, 6.9);
    camera.zoom = zoom;
    camera.pitch = pitch;
    camera.viewSize = {800, 600};
    return camera;
}

} // namespace

TEST(PositionMarker, TheAccuracyDiscShowsOnlyWhenWiderThanTheDot)
{
    struct Case {
        double zoom, accuracy, scale;
        std::size_t vertices;
    };
    // Rim and dot are 32 triangles each; the accuracy disc 48.
    for (const Case c : {Case{10, 5, 2, 192}, Case{17, 50, 2, 144 + 192}, Case{17, 50, 0.05, 144}}) {
        std::vector<SolidVertex> vertices;
        const Camera camera = cameraAt(c.zoom, 0);
        PositionMarker::append(camera, camera.center, c.accuracy, c.scale, nullptr, vertices);
        EXPECT_EQ(vertices.size(), c.vertices) << c.zoom << " " << c.accuracy << " " << c.scale;
        EXPECT_TRUE(std::all_of(vertices.begin(), vertices.end(), [](auto& v) { return v.z == 1; }));
    }
}

TEST(PositionMarker, APositionBehindTheEyeIsDrawnFarOffScreen)
{
    const Camera camera = cameraAt(15, 1.2);
    const WorldPoint behind{camera.center.x, camera.center.y + 3000 / camera.scale()};
    std::vector<SolidVertex> vertices;
    PositionMarker::append(camera, behind, 5, 2, nullptr, vertices);
    ASSERT_FALSE(vertices.empty());
    EXPECT_TRUE(std::all_of(vertices.begin(), vertices.end(), [](auto& v) { return v.x < -1000 && v.y > 1000; }));
}
