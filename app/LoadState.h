#pragma once

#include <string>

namespace velorin {

// How far the application's start-up went: still loading, ready to show the map, or
// failed with a French message for the failure screen. A plain value; any thread.
struct LoadState {
    enum class Kind { loading, ready, failed };

    Kind kind = Kind::loading;
    // Only for `failed`.
    std::string message;

    static LoadState loading() { return {}; }
    static LoadState ready() { return { Kind::ready, {} }; }
    static LoadState failed(std::string message) { return { Kind::failed, std::move(message) }; }

    // Same case, and for `failed` the same message.
    bool operator==(const LoadState& other) const
    {
        return kind == other.kind && (kind != Kind::failed || message == other.message);
    }
};

} // namespace velorin
