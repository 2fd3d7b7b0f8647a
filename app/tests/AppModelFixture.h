#pragma once

// An application model over a temporary folder, a manual clock, a drainable main queue, a
// fake network, a fake location source and a GPU probe that the test decides. Time moves in
// eighths of a second, draining the main queue after each, so that actions re-armed by
// other actions start at the right moment.

#include "app/AppModel.h"
#include "platform/DrainableMainQueue.h"
#include "platform/ManualClock.h"
#include "testing/FakeLocationSource.h"
#include "testing/FakeNetworkPathSource.h"
#include "testing/InMemoryKeychain.h"
#include "testing/LogCapture.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

class AppModelFixture : public ::testing::Test {
protected:
    static constexpr double kStepSeconds = 0.125;

    static velorin::ServiceHosts unreachableHosts()
    {
        velorin::ServiceHosts hosts;
        hosts.scheme = "http";
        for (std::string* host : {&hosts.ignHost, &hosts.openTopoHost, &hosts.swisstopoHost, &hosts.spainHost,
                 &hosts.austriaHost, &hosts.osmTileHost, &hosts.satelliteTileHost, &hosts.terrariumHost})
            *host = "127.0.0.1:9";
        return hosts;
    }

    LogCapture log;
    TemporaryFolder folder;
    platform::Folders folders = platform::Folders::under(folder.path());
    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>(1000.0);
    std::shared_ptr<platform::DrainableMainQueue> mainQueue = std::make_shared<platform::DrainableMainQueue>();
    std::shared_ptr<FakeNetworkPathSource::Control> network;
    std::shared_ptr<FakeLocationSource::Control> position;
    // Taken by the next model instead of a fake source, when set.
    std::unique_ptr<platform::LocationSource> deviceLocation;
    // The permission the next model's fake source starts with.
    platform::LocationAuthorization devicePermission = platform::LocationAuthorization::notDetermined;
    // Providers that refuse at once, so nothing a test builds reaches the internet; a test
    // that serves tiles points a host at its loopback server.
    velorin::ServiceHosts hosts = unreachableHosts();
    // Kept from one model to the next, as the desktop's keychain is.
    std::shared_ptr<InMemoryKeychain> keychain = std::make_shared<InMemoryKeychain>(mainQueue);
    std::optional<velorin::GpuDevice> gpu = velorin::GpuDevice { 45, 16384 };
    // The present moment of the next model, which dates its recordings.
    platform::SystemTime now = platform::SystemTime(std::chrono::seconds(1'800'000'000));
    // The model's photo lookups wait here until the test runs them.
    std::shared_ptr<platform::DrainableMainQueue> photoWorker = std::make_shared<platform::DrainableMainQueue>();
    // Builds the next model's sources from the walker's choice, when set.
    std::function<std::unique_ptr<platform::LocationSource>(const platform::PositionSourceChoice&)> makeLocationSource;
    // The launch arguments of the next model.
    std::vector<std::string> arguments = {"velorin"};
    int gpuProbes = 0;
    // The update plug-in the next model tells who is signed in; empty for none.
    std::function<velorin::UpdatePlugin*()> updatePlugin;
    std::unique_ptr<velorin::AppModel> model;
    int changes = 0;

    void TearDown() override
    {
        model.reset();
        mainQueue->drain();
    }

    // Writes the preferences file as the user left it.
    void storePreferences(const std::string& json)
    {
        std::filesystem::create_directories(folders.config);
        std::ofstream(folders.defaults()) << json;
    }

    std::shared_ptr<platform::UserDefaults> readPreferences() const
    {
        return std::make_shared<platform::UserDefaults>(folders.defaults());
    }

    velorin::AppModel& makeModel()
    {
        model.reset();
        velorin::AppEnvironment environment;
        environment.folders = folders;
        environment.defaults = readPreferences();
        environment.hosts = hosts;
        environment.clock = clock;
        environment.mainQueue = mainQueue;
        auto source = std::make_unique<FakeNetworkPathSource>();
        network = source->control();
        environment.networkPaths = std::move(source);
        if (deviceLocation) {
            environment.locationSource = std::move(deviceLocation);
        } else {
            auto locationSource = std::make_unique<FakeLocationSource>();
            position = locationSource->control();
            position->authorization = devicePermission;
            environment.locationSource = std::move(locationSource);
        }
        environment.keychain = keychain;
        environment.probeGpu = [this] {
            ++gpuProbes;
            return gpu;
        };
        environment.now = [this] { return now; };
        environment.updatePlugin = updatePlugin;
        environment.photoWorker = photoWorker;
        environment.arguments = arguments;
        environment.makeLocationSource = makeLocationSource;
        model = std::make_unique<velorin::AppModel>(std::move(environment));
        QObject::connect(model.get(), &velorin::AppModel::changed, [this] { ++changes; });
        return *model;
    }

    // Runs the photo lookups waiting, then what they posted.
    void runPhotoLookups()
    {
        photoWorker->drain();
        mainQueue->drain();
    }

    void advance(double seconds)
    {
        while (seconds > 0) {
            const double step = std::min(kStepSeconds, seconds);
            clock->advance(step);
            mainQueue->drain();
            seconds -= step;
        }
    }

    // A walker's fix with a good position and altitude.
    static platform::LocationFix walkerFix(double latitude, double longitude, double altitude)
    {
        platform::LocationFix fix;
        fix.latitude = latitude;
        fix.longitude = longitude;
        fix.altitude = altitude;
        fix.horizontalAccuracy = 10;
        fix.verticalAccuracy = 5;
        return fix;
    }

    // Lets the model locate the walker, who is at `fix`.
    void locateWalker(const platform::LocationFix& fix)
    {
        position->changeAuthorization(platform::LocationAuthorization::authorizedWhenInUse);
        model->locateUser();
        position->deliver({fix});
    }

    static velorin::TileLoader::Status busy(std::int64_t pending, std::int64_t delivered = 0)
    {
        velorin::TileLoader::Status status;
        status.pending = pending;
        status.delivered = delivered;
        return status;
    }
};

} // namespace testing_support
