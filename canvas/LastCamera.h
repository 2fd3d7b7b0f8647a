#pragma once

#include "platform/UserDefaults.h"
#include "renderer/Camera.h"

#include <optional>
#include <string_view>

namespace velorin {

// The view stored when the map was last used, under "Velorin.lastCamera" as
// [latitude, longitude, zoom]; bearing, pitch and focal length are not kept. Thread-safe
// as the defaults are.
struct LastCamera {
    static constexpr std::string_view kKey = "Velorin.lastCamera";

    double latitude = 0;
    double longitude = 0;
    double zoom = 0;

    static void save(platform::UserDefaults& defaults, const Camera& camera);
    // Only exactly three finite numbers count as a view.
    static std::optional<LastCamera> restore(const platform::UserDefaults& defaults);

    bool operator==(const LastCamera&) const = default;
};

} // namespace velorin
