#pragma once

#include "platform/Image.h"
#include "platform/gpu/RenderTarget.h"

namespace velorin {

// A rendered frame read back into an opaque image, row 0 at the top, for snapshots and
// films: the frame's alpha is ignored. GL thread, after the frame has been ended.
platform::Image textureImage(const gpu::RenderTarget& target);

} // namespace velorin
