#pragma once

namespace platform {

// One report of the device's network path: whether it reaches the internet, and whether
// the link is metered (a phone shared over cellular). A plain value; any thread.
struct NetworkPath {
    bool satisfied = true;
    bool expensive = false;

    bool operator==(const NetworkPath&) const = default;
};

} // namespace platform
