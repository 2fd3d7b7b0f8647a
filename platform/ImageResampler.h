#pragma once

// Shrinks RGBA8 images by area averaging, weighting colours by their alpha so that
// transparent pixels never tint their neighbours. Any thread.

#include "platform/Image.h"

namespace platform {

// `width` and `height` no larger than the source's, and positive.
Image downscale(const Image& source, int width, int height);

} // namespace platform
