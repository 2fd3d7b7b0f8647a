#pragma once

#include "renderer/Camera.h"

namespace velorin {

// The size of a view in device pixels, the unit of every screen computation of the camera
// and the renderer: its bounds in points times the scale of its window's screen (the
// primary screen's when it has no window). Any thread.
inline Camera::Size pixelScale(Camera::Size boundsInPoints, double screenScale)
{
    return {boundsInPoints.width * screenScale, boundsInPoints.height * screenScale};
}

} // namespace velorin
