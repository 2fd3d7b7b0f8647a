#pragma once

#include "app/GpuDevice.h"
#include "app/UpdatePlugin.h"
#include "map-data/ServiceHosts.h"
#include "platform/Clock.h"
#include "platform/Executor.h"
#include "platform/Folders.h"
#include "platform/Keychain.h"
#include "platform/Iso8601.h"
#include "platform/LocationSource.h"
#include "platform/MainQueue.h"
#include "platform/NetworkPathSource.h"
#include "platform/PositionSourceChoice.h"
#include "platform/UserDefaults.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velorin {

// What the application model is built over: the user's folders and preferences, the
// service hosts, time, the main queue, the network path, the device position, the keychain,
// the GPU probe, the update plug-in and the launch arguments. The program fills it from the
// process; tests use temporary folders, a manual clock, a drainable main queue, a fake network
// and position, a keychain in memory, a probe and a plug-in of their choice, and the launch
// arguments. Handed over once, on the main thread.
struct AppEnvironment {
    platform::Folders folders;
    std::shared_ptr<platform::UserDefaults> defaults;
    ServiceHosts hosts;
    std::shared_ptr<platform::Clock> clock;
    std::shared_ptr<platform::MainQueue> mainQueue;
    // Required.
    std::unique_ptr<platform::NetworkPathSource> networkPaths;
    // The device position; when none, the model builds it with `makeLocationSource` from the
    // walker's choice.
    std::unique_ptr<platform::LocationSource> locationSource;
    // Builds the source a choice names, at start and when the walker picks another in the
    // settings; empty keeps `locationSource` whatever is chosen.
    std::function<std::unique_ptr<platform::LocationSource>(const platform::PositionSourceChoice&)> makeLocationSource = {};
    // Empty counts as no GPU.
    GpuDevice::Probe probeGpu;
    // Required: where the account's session is kept.
    std::shared_ptr<platform::Keychain> keychain;
    // The present moment, which dates recordings and captures; empty is the system's clock.
    std::function<platform::SystemTime()> now = {};
    // The update plug-in that hears who is signed in, read at each message (the first read
    // may load it); empty, or giving nothing, when there is none.
    std::function<UpdatePlugin*()> updatePlugin = {};
    // Where the Pictures folder is read and captures are copied out; a pool of one thread
    // when empty.
    std::shared_ptr<platform::Executor> photoWorker = {};
    // The process arguments, for the launch automation ("-filmTrack").
    std::vector<std::string> arguments = {};
    // A scripted run ("-snapshotTo", "-filmTo") that may run beside the window: it repairs
    // no track left open and trims no video, since those are the window's.
    bool scripted = false;
};

} // namespace velorin
