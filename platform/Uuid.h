#pragma once

#include <string>

namespace platform {

// A random (version 4) UUID as upper-case text, "E621E1F8-C36C-495A-93FC-0C247A3E6E5F",
// the form track and capture folders are named with. Any thread.
std::string makeUuid();
// True for the 8-4-4-4-12 hex form, either case.
bool isUuid(const std::string& text);

} // namespace platform
