#pragma once

#include <string_view>

namespace velorin {

// Who publishes Velorin, as the legal notices name them: a line left empty is not shown.
// A plain value; any thread.
struct Publisher {
    std::string_view name;
    std::string_view postalAddress;
    std::string_view telephone;
    std::string_view email;

    // The publisher of this program.
    static constexpr Publisher velorin() { return {"VASK", "", "", ""}; }
};

} // namespace velorin
