#pragma once

#include "map-data/WorldPoint.h"
#include "renderer/Camera.h"

#include <functional>
#include <optional>

namespace velorin {

// The ground as a frame draws it, for the questions the canvas asks about it: where the
// eye is, which camera looks at a point or has its eye at a place, where the line of sight
// or a screen ray meets the relief and whether relief hides a point. Heights are scaled by
// the same relief factor as the drawn terrain, so that the answers agree with the picture.
// A value over the frame's relief parameters; any thread, as long as `elevation` may be
// called from it.
class ReliefGeometry {
public:
    // Ground elevation in metres at a world point.
    using Elevation = std::function<double(WorldPoint)>;

    // Pitch from which relief is drawn at its full height (75°), and its sine.
    static constexpr double kFullReliefPitchRadians = 1.3089969389957472;
    static constexpr double kFullReliefPitchSine = 0.9659258262890683;
    // The steepest camera the solvers give (120°), looking up past the horizon.
    static constexpr double kMaxPitchRadians = 2.0943951023931953;
    // An eye solved from its place needs at least this much tilt.
    static constexpr double kMinEyeCameraPitchRadians = 0.01;
    // An eye this close to its target, horizontally, cannot aim at it.
    static constexpr double kMinAimDistanceMeters = 0.5;
    static constexpr int kAimPitchIterations = 8;
    static constexpr double kMarchGrowth = 1.03;
    static constexpr double kMinMarchStepMeters = 1;
    static constexpr double kFirstMarchStepInFocalDistances = 0.01;
    static constexpr int kRefineBisections = 18;
    static constexpr int kSightSamples = 64;
    // The hidden test: samples along the sight line, the margin the ground must clear it
    // by and the share near the target that is never sampled.
    static constexpr int kMinHiddenSamples = 16;
    static constexpr int kMaxHiddenSamples = 48;
    static constexpr double kMetersPerHiddenSample = 10;
    static constexpr double kMinHiddenClearanceMeters = 3;
    static constexpr double kMaxHiddenClearanceMeters = 20;
    static constexpr double kHiddenClearanceShare = 0.01;
    static constexpr double kMaxHiddenTailShare = 0.25;
    static constexpr double kHiddenTailMeters = 10;

    struct Eye {
        WorldPoint ground;
        double altitude = 0; // metres
    };

    // `heightScale`: screen pixels per metre of relief, 0 for a flat frame; `baseElevation`:
    // the metres drawn at the ground plane; `elevation` empty when no terrain is known.
    ReliefGeometry(double heightScale, double baseElevation, Elevation elevation);

    // 1 for a flat frame, a camera looking straight down or from 75° of pitch on, else
    // sin(pitch)/sin 75°.
    double reliefFactor(double pitch) const;

    // The eye of a camera; `pitch`, when given, replaces the camera's only in the relief
    // factor.
    Eye eyePosition(const Camera& camera, std::optional<double> pitch = std::nullopt) const;
    // The two ways of making a camera from an eye, named for what they take since a member
    // cannot share the name of a camera field.
    // The camera centred on `target` whose eye is at `eye`, `altitude` metres high, with the
    // template's view size and focal length; nothing when the eye is over the target or
    // would look up more steeply than kMaxPitchRadians.
    std::optional<Camera> lookAtCamera(WorldPoint target, WorldPoint eye, double altitude, const Camera& look) const;
    // The camera with its eye at `eye`, `altitude` metres high, turned and tilted as given,
    // centred where its line of sight meets the ground; nothing when the pitch is outside
    // (kMinEyeCameraPitchRadians, kMaxPitchRadians] or the line meets no ground within the
    // template's sight distance.
    std::optional<Camera> cameraFromEye(
        WorldPoint eye, double altitude, double bearing, double pitch, const Camera& look) const;
    // The camera re-centred on the first relief that its line of sight meets, the eye kept
    // where it is; nothing for a flat camera or frame, without terrain or without a hit.
    std::optional<Camera> nearestTerrainHit(const Camera& camera) const;
    // Where the ray through a screen point (drawable pixels) meets the ground; nothing for
    // the sky or ground beyond the sight distance.
    std::optional<WorldPoint> terrainPoint(Camera::Point screen, const Camera& camera) const;
    // Whether relief between the camera's eye and the point hides it; false for a flat
    // camera or frame and without terrain.
    bool isHiddenByTerrain(WorldPoint point, const Camera& camera) const;

private:
    bool hasRelief() const;
    // The terrain's elevation where relief is drawn, the base elevation elsewhere.
    double groundAt(WorldPoint point) const;

    double heightScale_;
    double baseElevation_;
    Elevation elevation_;
};

} // namespace velorin
