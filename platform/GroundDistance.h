#pragma once

namespace platform {

// Twice the Earth's mean radius (6 371 008.8 m).
inline constexpr double kEarthDiameterMeters = 12742017.6;

// Metres over the ground between two positions in degrees (haversine on a sphere of the
// Earth's mean radius). Pure; any thread.
double groundDistance(double latitude1, double longitude1, double latitude2, double longitude2);

} // namespace platform
