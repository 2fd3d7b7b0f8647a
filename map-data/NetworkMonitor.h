#pragma once

#include "platform/Executor.h"
#include "platform/NetworkPath.h"
#include "platform/NetworkPathSource.h"

#include <functional>
#include <memory>

namespace velorin {

// Whether the device has a usable network path and whether it is metered, for the
// screens that explain a loading problem and for the diagnostics sheet. Until the first
// report the device counts as online and unmetered. Reports arrive on the source's
// thread and are applied on the main queue, in order; everything else is main thread.
class NetworkMonitor {
public:
    // Starts the source at once.
    NetworkMonitor(std::unique_ptr<platform::NetworkPathSource> source, std::shared_ptr<platform::Executor> mainQueue);
    // Stops the source; reports already posted do nothing.
    ~NetworkMonitor();

    NetworkMonitor(const NetworkMonitor&) = delete;
    NetworkMonitor& operator=(const NetworkMonitor&) = delete;

    bool isReachable() const { return path_.satisfied; }
    bool isExpensive() const { return path_.expensive; }

    // Called on the main queue after a report changed either value.
    std::function<void()> onChange;

private:
    void apply(platform::NetworkPath path);

    platform::NetworkPath path_;
    // Posted reports hold it weakly.
    std::shared_ptr<NetworkMonitor*> lifetime_;
    // Last: stopped first, while the rest still stands.
    std::unique_ptr<platform::NetworkPathSource> source_;
};

} // namespace velorin
