#include "AppModelFixture.h"

#include "app/CanvasServices.h"
#include "map-data/WorldRect.h"

using testing_support::AppModelFixture;
using velorin::LoadState;

using AppModelStart = AppModelFixture;

TEST_F(AppModelStart, StartingTwiceBuildsOneLoaderOverAnEmptyCatalogue)
{
    auto& model = makeModel();
    EXPECT_EQ(model.state(), LoadState::loading());
    EXPECT_EQ(model.loader(), nullptr);
    EXPECT_FALSE(model.textureCacheUsage());
    EXPECT_TRUE(std::filesystem::is_directory(folders.tiles()));
    EXPECT_TRUE(std::filesystem::is_directory(folders.offline()));

    model.start();
    ASSERT_EQ(model.state(), LoadState::ready());
    auto* loader = model.loader();
    ASSERT_NE(loader, nullptr);
    auto* regions = model.regionDownloader();
    ASSERT_NE(regions, nullptr);
    EXPECT_FALSE(regions->hasBaseMap());
    ASSERT_TRUE(model.catalog());
    EXPECT_TRUE(model.catalog()->sheets().empty());
    EXPECT_EQ(model.catalog()->worldRect(), (velorin::WorldRect { 0, 0, 1, 1 }));
    EXPECT_EQ(model.device(), gpu);
    EXPECT_EQ(model.textureCacheUsage(), velorin::TextureCache::Usage {});

    model.start();
    model.retryStart();
    mainQueue->drain();
    EXPECT_EQ(model.loader(), loader);
    EXPECT_EQ(model.regionDownloader(), regions);
    EXPECT_EQ(gpuProbes, 1);
    EXPECT_EQ(model.state(), LoadState::ready());
}

TEST_F(AppModelStart, WithoutAGpuStartFailsAndBuildsNothingUntilARetryFindsOne)
{
    gpu.reset();
    auto& model = makeModel();
    model.start();
    EXPECT_EQ(model.state(), LoadState::failed("Cet appareil ne prend pas en charge OpenGL 3.3."));
    EXPECT_NE(model.state(), LoadState::failed("autre chose"));
    EXPECT_EQ(model.loader(), nullptr);
    EXPECT_FALSE(model.catalog());
    EXPECT_FALSE(model.device());
    EXPECT_FALSE(model.textureCacheUsage());

    model.start();
    EXPECT_EQ(gpuProbes, 1) << "a failed model stays failed";

    gpu = velorin::GpuDevice { 33, 4096 };
    model.retryStart();
    EXPECT_EQ(model.state(), LoadState::loading());
    mainQueue->drain();
    EXPECT_EQ(model.state(), LoadState::ready());
    EXPECT_NE(model.loader(), nullptr);
}

TEST_F(AppModelStart, TheDefaultProbeFindsOpenGL33OffScreen)
{
    auto device = velorin::GpuDevice::probeDefault();
    ASSERT_TRUE(device);
    EXPECT_GE(device->glVersion, 33);
    EXPECT_GT(device->maxTextureSize, 0);
}

TEST_F(AppModelStart, PendingTimersAndLoaderReportsDoNothingOnceTheModelIsGone)
{
    makeModel().start();
    // An indicator delay, a stall watchdog and a status poll, all pending, and a network
    // report on its way.
    model->tileStatusDidChange(busy(3));
    network->report({ false, false });
    model.reset();
    advance(30);
    EXPECT_EQ(mainQueue->pendingCount(), 0u);
    EXPECT_EQ(clock->pendingTimers(), 0u);
}

TEST_F(AppModelStart, TheCanvasDrawsFromTheModelsOneTerrainAndForest)
{
    auto& model = makeModel();
    model.start();
    const auto services = velorin::CanvasServices::of(model);
    EXPECT_EQ(services.terrain.get(), &model.terrain());
    EXPECT_EQ(services.forest.get(), &model.forest());
    EXPECT_EQ(velorin::CanvasServices::of(model).forest.get(), services.forest.get()) << "built once";
}
