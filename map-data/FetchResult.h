#pragma once

#include "platform/HttpSession.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace velorin {

// What a blocking download brought back: the body of a 2xx answer, the HTTP status of any
// answer, and the transport error. A plain value; any thread.
struct FetchResult {
    std::optional<std::vector<std::byte>> data;
    std::optional<int> status;
    std::optional<platform::HttpError> error;
};

} // namespace velorin
