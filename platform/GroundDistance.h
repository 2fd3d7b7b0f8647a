#pragma once

namespace platform {

// Twice the Earth's mean radius (6 371 008.8 m).
inline constexpr double kEarthDiameterMeters = 12742017.6;

// Metres over the ground between two positions in degrees (haversine on a sphere of the
// Earth's mean radius). Pure; any thread.
double groundDistance(double latitude1, double longitude1, double latitude2, double longitude2);

// Whether positions lie within a distance of one centre, exactly as groundDistance measures
// it but without its inverse trigonometry, for scans that test many positions against the
// same centre. Pure; any thread.
class GroundCircle {
public:
    GroundCircle(double latitude, double longitude, double radiusMeters);
    // groundDistance(centre, position) <= radius.
    bool contains(double latitude, double longitude) const;

private:
    double latitude_;
    double longitude_;
    double cosLatitude_;
    // The haversine term at the radius: a position is inside when its own is no larger.
    double limit_;
};

} // namespace platform
