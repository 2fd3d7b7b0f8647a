#pragma once

// Reads libcurl's cookie list lines (the Netscape cookie file format) into cookies.
// Any thread.

#include "platform/HttpSession.h"

#include <optional>
#include <string_view>

namespace platform {

// Nothing for a line that is not a cookie.
std::optional<HttpCookie> parseCookieLine(std::string_view line);

} // namespace platform
