#pragma once

#include "map-data/TileRelay.h"
#include "platform/HttpSession.h"

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace velorin {

// Downloads a provider's file and waits for it, for the work of feature loaders that runs on
// their own worker threads, never the GUI thread. Files go through the tile relay while it
// is on and up. Thread-safe; `stop` wakes every waiting fetch, and later ones give nothing.
class BlockingFetch {
public:
    // A transfer is given up after this long in all.
    static constexpr double kOverallTimeoutSeconds = 60;

    // The session and the relay (if any) outlive the fetcher.
    BlockingFetch(platform::HttpSession& session, TileRelay* relay);
    BlockingFetch(const BlockingFetch&) = delete;
    BlockingFetch& operator=(const BlockingFetch&) = delete;

    // The body of a 200 answer to `upstreamURL`; nothing for any other status, a transport
    // error, or once stopped.
    std::optional<std::vector<std::byte>> get(const std::string& upstreamURL);
    void stop();

private:
    // Answers only fill a slot under the lock: they run where they arrive.
    struct InlineExecutor final : platform::Executor {
        void post(Task task) override { task(); }
    };
    // Shared with the transfers' completions, which may come after a fetch gave up.
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        bool stopped = false;
    };

    platform::HttpSession& session_;
    TileRelay* const relay_;
    InlineExecutor inline_;
    const std::shared_ptr<State> state_ = std::make_shared<State>();
};

} // namespace velorin
