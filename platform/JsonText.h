#pragma once

#include <string>

// Compact JSON text of a document that may hold text from outside (a place name from a
// database, a name typed or imported): a byte that is not UTF-8 becomes U+FFFD rather than
// making the whole write throw. Any thread.
namespace platform {

template <typename Json>
std::string jsonText(const Json& json)
{
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

} // namespace platform
