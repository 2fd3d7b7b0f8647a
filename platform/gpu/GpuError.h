#pragma once

#include <stdexcept>

namespace gpu {

// A GPU object that could not be made: no context, a missing or failing shader function,
// a buffer or render target the driver refused. The message says why, with the compiler
// log where there is one. Thrown on the thread that made the object.
class GpuError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace gpu
