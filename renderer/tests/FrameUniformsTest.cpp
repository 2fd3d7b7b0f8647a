#include "renderer/FrameUniforms.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

using velorin::Camera;
using velorin::FrameState;
using velorin::FrameUniforms;

TEST(FrameUniforms, CarryTheCameraProjectionAndTheFrameRelief)
{
    Camera camera;
    camera.center = {0.5, 0.5};
    camera.zoom = 20;
    camera.viewSize = {800, 1000};
    camera.focalLength = 1;
    camera.pitch = 0.5;
    FrameState frame;
    frame.frameCos = 0.6;
    frame.frameSin = 0.8;
    frame.frameHeightScale = 0.25;
    frame.frameBaseElevation = 1200;
    frame.frameBumpFade = {100, 200};
    frame.frameBumpNear = {10, 20};

    const FrameUniforms u = FrameUniforms::make(camera, frame, true);
    EXPECT_FLOAT_EQ(u.bearingCos, 0.6f);
    EXPECT_FLOAT_EQ(u.bearingSin, 0.8f);
    EXPECT_FLOAT_EQ(u.pitchSin, float(std::sin(0.5)));
    EXPECT_FLOAT_EQ(u.pitchCos, float(std::cos(0.5)));
    EXPECT_FLOAT_EQ(u.focal, 1000);
    EXPECT_FLOAT_EQ(u.halfWidth, 400);
    EXPECT_FLOAT_EQ(u.halfHeight, 500);
    EXPECT_FLOAT_EQ(u.heightScale, 0.25f);
    EXPECT_FLOAT_EQ(u.baseElevation, 1200);
    EXPECT_FLOAT_EQ(u.near, 10);
    EXPECT_FLOAT_EQ(u.epsilon, 0.0005f);
    EXPECT_NEAR(u.eyeDistance, 40189.9f, 0.1f);
    EXPECT_NEAR(u.distanceLimit, 40189.9f / 4, 0.1f);
    EXPECT_EQ(u.photoRelief, 1);
    EXPECT_EQ((std::array{u.bumpFadeStart, u.bumpFadeEnd, u.bumpNearStart, u.bumpNearEnd}),
        (std::array{100.0f, 200.0f, 10.0f, 20.0f}));
}

TEST(FrameUniforms, DistanceLimitIsTwoFocalDistancesAtLeastAndUnlimitedWhenFlat)
{
    Camera camera;
    camera.center = {0.5, 0.5};
    camera.viewSize = {800, 1000};
    camera.focalLength = 1;
    struct Case {
        double zoom;
        double pitch;
        float limit;
    };
    // Zoom 10: the sight distance is 8 f, so a quarter of it is below 2 f.
    for (auto c : {Case{10, 0.4, 2000}, Case{20, 0.4, 40189.9f / 4}, Case{20, 0, std::numeric_limits<float>::max()}}) {
        camera.zoom = c.zoom;
        camera.pitch = c.pitch;
        EXPECT_NEAR(FrameUniforms::make(camera, {}, false).distanceLimit, c.limit, 0.1f) << c.zoom << " " << c.pitch;
    }
}

TEST(FrameUniforms, PhotoReliefNeedsAPhotographicBasemapAndRelief)
{
    Camera camera;
    camera.viewSize = {10, 10};
    FrameState relief;
    relief.frameHeightScale = 0.1;
    EXPECT_EQ(FrameUniforms::make(camera, relief, true).photoRelief, 1);
    EXPECT_EQ(FrameUniforms::make(camera, relief, false).photoRelief, 0);
    EXPECT_EQ(FrameUniforms::make(camera, FrameState{}, true).photoRelief, 0);
}
