#pragma once

#include <string_view>

namespace platform {

// Names the calling thread for debuggers and profilers (the kernel keeps 15 bytes).
void setCurrentThreadName(std::string_view name);

} // namespace platform
