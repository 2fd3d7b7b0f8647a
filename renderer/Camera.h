#pragma once

#include "map-data/WorldPoint.h"
#include "map-data/WorldRect.h"

#include <array>
#include <optional>

namespace velorin {

// What the map view shows: where it looks, how close, which way and how steeply, with
// every projection between the screen and the flat ground plane, so that gestures,
// labels, tile selection and the renderer agree. Screen points are drawable pixels, origin
// at the top left, y downwards. A plain value; any thread.
struct Camera {
    struct Size {
        double width = 0;
        double height = 0;

        bool operator==(const Size&) const = default;
    };

    // A screen point, a screen delta or a ground offset (X to the right of the screen,
    // Y towards its bottom, in pixels at the centre's scale), as the operation says.
    struct Point {
        double x = 0;
        double y = 0;

        bool operator==(const Point&) const = default;
    };

    struct Projection {
        Point point;
        double depth = 0;
    };

    struct Orientation {
        double bearing = 0;
        double pitch = 0;
    };

    // Where callers put a point that lies behind the eye.
    static constexpr double kOffscreenCoordinate = -10'000'000;
    // Ground shown along the line of sight, before the clamp to the focal distance.
    static constexpr double kSightDistanceMeters = 6000;
    static constexpr double kMinSightInFocalDistances = 8;
    static constexpr double kMaxSightInFocalDistances = 64;
    // A point nearer the eye than this share of the focal distance is not projected.
    static constexpr double kNearDepthShare = 0.01;
    // The footprint rows of `groundRect`, in half view heights below the bottom and above
    // the top, and how much wider than the view it is taken.
    static constexpr double kFootprintNearRowShare = 1.3;
    static constexpr double kFootprintFarRowShare = -0.3;
    static constexpr double kFootprintWidening = 2.2;
    static constexpr double kOrientationEasingSeconds = 1.5;

    WorldPoint center;
    // The world is 256·2^zoom pixels wide at the centre.
    double zoom = 0;
    Size viewSize;
    // Radians, clockwise from north: the direction the top of the view faces.
    double bearing = 0;
    // Radians; 0 looks straight down.
    double pitch = 0;
    // The eye sits viewSize.height·focalLength pixels from the centre.
    double focalLength = 1.5;

    // Pixels per world unit at the centre.
    double scale() const;
    // The eye's distance from the centre, in pixels.
    double focalDistance() const;

    // How far along the line of sight ground is shown, in pixels.
    double eyeDistance() const;
    // The screen point and depth of a bearing-aligned ground offset at a height (pixels);
    // nothing when its depth is at most 1 % of the focal distance.
    std::optional<Projection> project(Point offset, double height) const;
    // The screen point of a world point at a height; kOffscreenCoordinate on both axes
    // behind the eye.
    Point screenPoint(WorldPoint point, double height) const;
    // The ground offset under a screen point; rays that miss the ground or meet it beyond
    // the sight distance land on the row at the sight distance.
    Point groundOffset(Point screen) const;
    WorldPoint worldPoint(Point screen) const;
    // The ground seen between two view depths (pixels), within the view's widened footprint:
    // its four corners in order round it (near left, near right, far right, far left), and
    // the rectangle that holds them; nothing for a view that does not look along the ground.
    std::optional<std::array<WorldPoint, 4>> groundFootprint(double nearDepth, double farDepth) const;
    std::optional<WorldRect> groundRect(double nearDepth, double farDepth) const;
    WorldRect visibleRect() const;
    // The zoom at which `rect` fits the view with `padding` pixels on each side; the
    // current zoom for a rectangle without area.
    double fitZoom(const WorldRect& rect, double padding) const;
    // Bearing and pitch part of the way towards a target, the bearing by the shorter arc.
    Orientation easedOrientation(double targetBearing, double targetPitch, double elapsedSeconds) const;

    // New zoom, keeping the ground point under `about` where it is on the screen.
    void setZoom(double newZoom, Point about);
    // Moves the view by a screen delta along the ground.
    void panAlongGround(Point delta);
    // Moves the view by a screen delta, ignoring the pitch.
    void pan(Point delta);
    void fit(const WorldRect& rect, double padding, double maxZoom);
    // Keeps the zoom within the limits and the flat view inside `rect`.
    void clamp(const WorldRect& rect, double minZoom, double maxZoom);

    // An angle reduced into (−π, π].
    static double wrapAngle(double radians);

    // Field by field as IEEE doubles: a NaN anywhere makes two cameras unequal.
    bool operator==(const Camera&) const = default;

private:
    // Ground offset to world delta and back, by the bearing; skipped at bearing exactly 0
    // so that a north-up camera maps points without rounding.
    Point rotate(Point offset) const;
    Point unrotate(Point delta) const;
};

} // namespace velorin
