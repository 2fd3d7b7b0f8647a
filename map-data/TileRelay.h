#pragma once

#include "map-data/ServiceHosts.h"

#include "platform/Clock.h"
#include "platform/Executor.h"
#include "platform/HttpSession.h"
#include "platform/UserDefaults.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace velorin {

// Sends the public providers' tiles through the maker's caching relay while it is
// switched on and answers its status probe, and straight upstream otherwise. Probes are
// started by use, at most one a minute, never by a timer, on a session of the relay's own:
// a map busy with stalled tiles still learns that the relay went down. Thread-safe: the
// loader, the mosaic, terrain tasks and the main thread all ask it.
class TileRelay {
public:
    static constexpr double kProbeIntervalSeconds = 60;
    static constexpr double kProbeTimeoutSeconds = 4;
    // The user's switch in the settings; absent or not a Boolean means on.
    static constexpr std::string_view kSwitchKey = "Velorin.tileRelay";
    static constexpr std::string_view kStatusPath = "_etat";

    // `clock` and `defaults` must outlive the relay.
    TileRelay(ServiceHosts hosts, platform::Clock& clock, const platform::UserDefaults& defaults);
    ~TileRelay();
    TileRelay(const TileRelay&) = delete;
    TileRelay& operator=(const TileRelay&) = delete;

    // The relay's form of `url` (the relay's token address followed by the URL without
    // its scheme) when the URL uses the configured scheme and one of the relayed hosts;
    // nothing otherwise, and nothing while no relay is configured.
    std::optional<std::string> relayURL(std::string_view url) const;
    // The URL to fetch: the relay form while the relay is on and its last probe answered
    // 200, else `url` unchanged. Starts a probe, without waiting for it, when the last one
    // started more than a minute ago, so the first URL after launch goes upstream.
    std::string relayedURL(std::string url);
    // A relay is configured and the user has not switched it off.
    bool isRelayEnabled() const;

private:
    // Shared with the probe's completion, which may outlive the relay.
    struct State {
        std::mutex mutex;
        bool up = false;
        double lastProbe; // on `clock_`; -infinity before the first probe
    };

    // Replies only flip a flag under a lock: they run where they arrive.
    struct InlineExecutor final : platform::Executor {
        void post(Task task) override { task(); }
    };

    void relayProbe();

    const ServiceHosts hosts_;
    const std::vector<std::string> relayedHosts_;
    platform::Clock& clock_;
    const platform::UserDefaults& defaults_;
    const std::shared_ptr<State> state_;
    InlineExecutor inline_;
    // The probes' own, so that they never wait behind tiles; outlives `probe_`.
    platform::HttpSession session_;
    // Guards `probe_`, which is never destroyed under `state_->mutex`.
    std::mutex probeMutex_;
    platform::HttpTask probe_;
};

} // namespace velorin
