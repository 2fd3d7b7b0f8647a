#pragma once

#include "canvas/FlyoverMode.h"
#include "app/CameraInfo.h"
#include "features/Toponym.h"
#include "map-data/Basemap.h"
#include "map-data/WorldPoint.h"
#include "map-data/WorldRect.h"
#include "platform/Image.h"
#include "platform/LocationFix.h"
#include "recordings/CameraPose.h"
#include "recordings/SavedVideo.h"
#include "recordings/TrackDisplayPoint.h"
#include "recordings/SavedVideo.h"
#include "recordings/TrackPause.h"
#include "recordings/TrackPhoto.h"
#include "renderer/Camera.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velorin {

// What the application model drives of the live map canvas: the position marker, the
// track, the camera moves that follow the walker, the compass, flights and flyovers. The map view host adapts
// its canvas to it and hands it to the model, which holds it weakly and skips every call
// while there is none. Main thread only.
class MapCanvasPort {
public:
    virtual ~MapCanvasPort() = default;

    // Stores the device position and its accuracy for drawing, and asks for a frame.
    virtual void setUserLocation(const platform::LocationFix& fix) = 0;
    // While the canvas still waits for a first fix, it may centre the view on this one and
    // return true: the fix is consumed.
    virtual bool handleInitialLocation(const platform::LocationFix& fix) = 0;
    // Moves the camera to `center`, at `zoom` when given, easing there when `animated`.
    virtual void animateCamera(const WorldPoint& center, std::optional<double> zoom, bool animated) = 0;

    // Radians: the last device heading.
    virtual void setLatestHeading(double radians) = 0;
    virtual bool isCompassFollowing() const = 0;
    // Stores the flag alone, without moving anything.
    virtual void clearCompassFollowing() = 0;
    // Ends a running flight, stores the flag and, when on, aims the bearing at the latest
    // heading; starts the frame loop.
    virtual void setCompassFollowing(bool on) = 0;
    // Radians: the bearing the frame loop eases the camera towards.
    virtual void setTargetBearing(double radians) = 0;

    // A camera flight runs or is about to land.
    virtual bool isFlying() const = 0;
    virtual void endFlight() = 0;
    // Runs the frame loop unless it runs already or the view cannot draw.
    virtual void startDisplayLink() = 0;
    // Draws again even if nothing moves, and so asks for its tiles again.
    virtual void ensureDisplayLink() = 0;

    // Radians: turns about the aimed point, eased by the frame loop.
    virtual void rotate(double radians) = 0;
    // Radians: turns about the eye, animated, or now.
    virtual void turnInPlace(double radians) = 0;
    virtual void turnInPlaceNow(double radians) = 0;
    // Levels: zooms about the middle of the view by the step, animated and within the zoom
    // limits; while a flyover runs, brings its following camera nearer or farther instead.
    virtual void adjustFlyoverDistance(double levels) = 0;
    // Frames a world rectangle, at most at the basemap's highest zoom.
    virtual void fit(const WorldRect& rect, bool animated) = 0;
    // Glides to frame the points of a track with a margin; nothing for none.
    virtual void fit(const std::vector<WorldPoint>& points) = 0;

    // The track to draw and its pauses; empty lists clear it.
    virtual void setTrack(const std::vector<TrackDisplayPoint>& points, const std::vector<TrackPause>& pauses) = 0;

    // A place chosen in the search: centred in view (eased there when `animated`), or
    // reached at once without easing.
    virtual void show(const Toponym& place, bool animated) = 0;
    virtual void goDirectly(const Toponym& place) = 0;
    // Whether the canvas flies: a flight to a place, or a tour around it with `orbit`.
    virtual bool canStartFlight() const = 0;
    virtual void startFlight(const Toponym& place, bool orbit) = 0;
    // The ground point the camera aims at; nothing once the canvas is gone.
    virtual std::optional<WorldPoint> cameraCenter() const = 0;
    // The renderer's camera and its eye; nothing once the canvas is gone.
    virtual std::optional<CameraInfo> cameraInfo() const = 0;

    // The map options, each ending a running flight first.
    virtual void set3D(bool on) = 0;
    virtual void setBasemap(Basemap basemap) = 0;
    virtual void setShowsToponyms(bool on) = 0;
    virtual void setShowsSlopes(bool on) = 0;
    virtual void setShowsTrees(bool on) = 0;

    // Saved views and videos. The map as shown now, rendered offscreen; nothing for a view
    // without area or a failed render.
    virtual std::optional<platform::Image> snapshot() = 0;
    // The camera the map is drawn with; nothing once the canvas is gone.
    virtual std::optional<CameraPose> camera() const = 0;
    // Puts the camera at the pose at once, ending a flight.
    virtual void apply(const CameraPose& pose) = 0;
    // Replays the video's poses on the live map.
    virtual void play(const SavedVideo& video) = 0;
    // The photo pins: those taken along the track shown, and the located photos of the
    // library, grouped afresh at the next layout.
    virtual void setPhotos(const std::vector<TrackPhoto>& photos) = 0;
    virtual void setLibraryPhotos(const std::vector<TrackPhoto>& photos) = 0;

    // Track flyovers. Starts one along `points`, ending the running one; true when it
    // started, which needs two points or more over more than 50 m of path.
    virtual bool startFlyover(const std::vector<WorldPoint>& points) = 0;
    // Ends a running flyover, which reports its end; nothing while none runs.
    virtual void stopAnimations() = 0;
    // The mode the next flyover flies in; `applyFlyoverMode` turns a running one to it.
    virtual void setFlyoverMode(FlyoverMode mode) = 0;
    virtual void applyFlyoverMode() = 0;
    // Moves a running flyover to `fraction` of its path, at most the whole path.
    virtual void seekFlyover(double fraction) = 0;
    virtual void setFlyoverPaused(bool paused) = 0;
    // The name the next flight or flyover is recorded under.
    virtual void setAnimationName(const std::string& name) = 0;
    // A drone tour around the summit near the aimed point, or around the point itself.
    virtual void startAimedPointTour() = 0;

    // Seconds: the flight time at which the running camera flight reaches its destination
    // (the end of its approach); nothing while no flight runs.
    virtual std::optional<double> runningFlightDuration() const = 0;
    // The camera of the running flight `seconds` after its start; nothing without a flight
    // or a solution.
    virtual std::optional<Camera> applyFlightFrame(double seconds) = 0;
    // Puts a solved camera in place at once and reports it.
    virtual void applyCamera(const Camera& camera, bool keepBaseElevation) = 0;
    // A line of the gesture journal, with the current view.
    virtual void writeJournal(std::string_view text) = 0;
    // Shops and services on the world maps.
    virtual void setShowsAppleCommerce(bool on) = 0;
    // Films a saved video into an MP4 at `path`, `height` pixels high, on `basemap`, with the
    // overlays when asked for, without blocking the main thread: `progress` hears the
    // fraction done after each frame, `completion` once whether the film is whole at `path`
    // (a failed film leaves what was there). False, with no completion, when the film cannot
    // start: no poses, an unusable frame rate, another film running, or no canvas.
    virtual bool exportVideo(const SavedVideo& video, Basemap basemap, int height, const std::filesystem::path& path,
        bool overlays, std::function<void(double)> progress, std::function<void(bool)> completion)
        = 0;
};

} // namespace velorin
