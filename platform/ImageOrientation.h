#pragma once

// Turns decoded pixels upright from the EXIF orientation a camera stored with them.
// Any thread.

#include "platform/Image.h"

namespace platform {

// EXIF orientations 5 to 8 store the picture on its side: its upright width is the
// stored height.
bool orientationSwapsAxes(int exifOrientation);

// The picture as it is meant to be seen: 1 (or any value outside 1…8) leaves it as it is,
// 2 to 8 mirror and turn it as the EXIF tag says.
Image uprightImage(Image stored, int exifOrientation);

} // namespace platform
