#pragma once

#include "platform/MapView.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

namespace testing_support {

// A map view that keeps what it is given and reports as a real one does: setting its camera
// reports at once, with the pitch stopped at its ceiling. The test plays the user's moves
// and the map's own through `userMoves` and `mapMoves`. Its points are a flat view of the
// ground at the camera's scale (metres per point = distance / (1.5 × height)). Main thread
// only.
class FakeMapView final : public platform::MapView {
public:
    double width = 500;
    double height = 400;
    double pitchCeiling = 60;
    int pushes = 0;
    int animatedPushes = 0;
    platform::MapCamera shown;
    platform::MapTileSource tiles;
    std::optional<platform::MapTileSource> overlay;
    std::vector<platform::MapPolyline> lines;
    std::optional<platform::MapCoordinate> dot;
    bool userMoving = false;

    platform::MapCamera camera() const override { return shown; }
    void setCamera(const platform::MapCamera& camera, bool animated) override
    {
        ++pushes;
        animatedPushes += animated ? 1 : 0;
        shown = camera;
        shown.pitch = std::min(camera.pitch, pitchCeiling);
        if (onCameraChanged)
            onCameraChanged(shown, userMoving);
    }
    // A gesture step of the user.
    void userMoves(const platform::MapCamera& camera)
    {
        shown = camera;
        if (onCameraChanged)
            onCameraChanged(shown, true);
    }
    // A change the map made by itself (its own easing, a flattening at its ceiling).
    void mapMoves(const platform::MapCamera& camera)
    {
        shown = camera;
        if (onCameraChanged)
            onCameraChanged(shown, false);
    }

    std::optional<platform::MapCoordinate> coordinate(platform::MapViewPoint point) const override
    {
        const double metres = metresPerPoint();
        const double north = -(point.y - height / 2) * metres;
        const double east = (point.x - width / 2) * metres;
        const double latitude = shown.latitude + north / kMetresPerDegree;
        const double longitude = shown.longitude + east / (kMetresPerDegree * std::cos(radians(shown.latitude)));
        return platform::MapCoordinate {latitude, longitude};
    }
    std::optional<platform::MapViewPoint> point(platform::MapCoordinate coordinate) const override
    {
        const double metres = metresPerPoint();
        const double north = (coordinate.latitude - shown.latitude) * kMetresPerDegree;
        const double east
            = (coordinate.longitude - shown.longitude) * kMetresPerDegree * std::cos(radians(shown.latitude));
        return platform::MapViewPoint {width / 2 + east / metres, height / 2 - north / metres};
    }

    void setTileSource(platform::MapTileSource source) override { tiles = std::move(source); }
    void setTileOverlay(std::optional<platform::MapTileSource> source) override { overlay = std::move(source); }
    void setPolylines(std::vector<platform::MapPolyline> polylines) override { lines = std::move(polylines); }
    void setPositionDot(std::optional<platform::MapCoordinate> position) override { dot = position; }
    bool isUserMoving() const override { return userMoving; }

private:
    static constexpr double kMetresPerDegree = 111319.49079327357;
    static double radians(double degrees) { return degrees * std::numbers::pi / 180; }
    double metresPerPoint() const { return shown.distance / (1.5 * height); }
};

} // namespace testing_support
