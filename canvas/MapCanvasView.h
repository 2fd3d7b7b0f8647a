#pragma once

#include "canvas/AppleMapLayer.h"
#include "canvas/CameraReportThrottle.h"
#include "canvas/CanvasOverlays.h"
#include "canvas/CanvasWindow.h"
#include "canvas/FilmEncoder.h"
#include "canvas/Flight.h"
#include "canvas/FlightOptions.h"
#include "canvas/Flyover.h"
#include "canvas/FlyoverMode.h"
#include "canvas/FlyoverReadiness.h"
#include "canvas/FrameOverlays.h"
#include "canvas/MarkerPlacement.h"
#include "canvas/ResourceWait.h"
#include "canvas/GestureJournal.h"
#include "canvas/KeyModifiers.h"
#include "canvas/PanInertia.h"
#include "features/ScreenPoint.h"
#include "features/ScreenRect.h"
#include "features/Toponym.h"
#include "features/ToponymLayout.h"
#include "map-data/Basemap.h"
#include "map-data/FileBatchDownload.h"
#include "map-data/SheetCatalog.h"
#include "map-data/WorldRect.h"
#include "platform/Clock.h"
#include "platform/Image.h"
#include "platform/LocationFix.h"
#include "platform/MainQueue.h"
#include "platform/UserDefaults.h"
#include "recordings/CameraPose.h"
#include "recordings/SavedVideo.h"
#include "recordings/TrackPause.h"
#include "recordings/TrackPhoto.h"
#include "renderer/Camera.h"
#include "renderer/MapRenderer.h"
#include "renderer/VisibleTiles.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace gpu {
class Context;
class RenderTarget;
class ShaderLibrary;
} // namespace gpu

namespace velorin {

class BuildingService;
struct FilmRun;
struct StartView;
class ForestService;
class TerrainService;
class TextureCache;
class TileLoader;
class ToponymService;

// The map view of the main screen without its widget: it owns the renderer and the
// camera, runs the frame loop while something moves, keeps the camera in bounds, reports
// camera changes to the application and keeps the journal. Its window (size, drawing,
// display link) is a `CanvasWindow`. GUI thread only, from construction to destruction;
// the blocks it posts and the callbacks it leaves on services hold it weakly.
class MapCanvasView : public std::enable_shared_from_this<MapCanvasView> {
public:
    // The initial camera, until the first layout fits the view.
    static constexpr double kInitialZoom = 6.0;
    static constexpr Camera::Size kInitialViewSize {1170, 2532};
    static constexpr double kDefaultFocalLength = 1.5;
    static constexpr double kDefaultMinZoom = 5.0;
    // The map may be zoomed out this far beyond the whole catalogue.
    static constexpr double kMinZoomBelowFit = 0.3;
    // Metropolitan France with Corsica: the first view when neither a stored view nor a
    // sheet says where to look.
    static constexpr double kFranceNorthDegrees = 51.1;
    static constexpr double kFranceSouthDegrees = 41.3;
    static constexpr double kFranceWestDegrees = -5.2;
    static constexpr double kFranceEastDegrees = 9.6;
    // The reachable area: the catalogue widened by this share of its size on each side.
    static constexpr double kReachableMarginShare = 0.04;
    // A pitched view may always come this close, even over tiles that stop lower.
    static constexpr double kPitchedMaxZoom = 23;
    static constexpr double kExtrasPauseSeconds = 1.5;
    static constexpr double kInitialLocateSeconds = 20;
    // In the last seconds before that deadline a fix of any positive accuracy is taken;
    // earlier, only fixes of at most kPoorFixAccuracyMeters.
    static constexpr double kAnyFixTakenSeconds = 8;
    static constexpr double kPoorFixAccuracyMeters = 250;
    // A good fix shows this many ground metres a pixel; a poor one shows this many times its
    // accuracy across the view, never wider than kMinPoorFixZoom.
    static constexpr double kFineFixMetersPerPixel = 2.5;
    static constexpr double kPoorFixSpanAccuracies = 6;
    static constexpr double kMinPoorFixZoom = 11;
    static constexpr double kMemoryWarningPurgeFraction = 0.6;
    static constexpr double kReliefPitchRadians = 1.2217304763960306;
    // Relief switched on this close to the place last shown frames that place.
    static constexpr double kChosenPlaceReachMeters = 30;
    static constexpr double kMaxStartPitchRadians = 2.0943951023931953;
    // A command-line snapshot waits this long for the tiles of its view.
    static constexpr double kSnapshotDelaySeconds = 30;
    // The exit status of a snapshot written while no map tile had come: only the sky shows.
    static constexpr int kSnapshotWithoutMapStatus = 3;
    // Frame loop.
    static constexpr int kIdleFramesBeforeStop = 31;
    static constexpr double kMinFrameSeconds = 1.0 / 120;
    static constexpr double kBearingEasingRatePerSecond = 9;
    static constexpr double kPitchEasingRatePerSecond = 7;
    static constexpr double kBearingSnapRadians = 0.002;
    static constexpr double kPitchSnapRadians = 0.001;
    // Coarser scenes are drawn while the camera changed less than this long ago.
    static constexpr double kMovingDetailSeconds = 0.25;
    // Camera and gaze animations.
    static constexpr double kCameraAnimationSeconds = 0.4;
    static constexpr double kZoomAnimationSeconds = 0.25;
    static constexpr double kGazeSeconds = 0.4;
    // A target further than this many view widths is jumped to rather than glided to.
    static constexpr double kMaxGlideViewWidths = 2;
    // Held keys: pan speed in view heights per second on a flat view, its floor as a
    // share of that on a pitched one, turn and zoom rates.
    static constexpr double kHeldKeyPanViewHeightsPerSecond = 0.6;
    static constexpr double kHeldKeyMinPanShare = 0.1;
    static constexpr double kHeldKeyTurnRadiansPerSecond = 1;
    static constexpr double kHeldKeyZoomLevelsPerSecond = 1;
    // Turns about the eye need at least this pitch; flatter views turn about the centre.
    static constexpr double kMinTurnInPlacePitchRadians = 0.05;
    // A camera applied with a bearing this far from the current one ends compass following.
    static constexpr double kCompassInterruptRadians = 0.01;
    // Padding around a framed sheet, in points.
    static constexpr double kFitPaddingPoints = 24;
    // Framed points: their bounds widened by this share of their size on each side, then
    // kept this many points from the view's edges.
    static constexpr double kFitPointsWideningShare = 0.08;
    static constexpr double kFitPointsMarginPoints = 60;
    // Corner-cutting rounds of the drawn track.
    static constexpr int kTrackSmoothingPasses = 2;
    // A place shown in a flat view: the eye's distance covers this much ground.
    static constexpr double kFlatPlaceSpanMeters = 500;
    // Drags: a pitched plain drag moves the ground no faster than 1.2 eye heights plus
    // 80 km/h, over steps of 1/120 s to 0.1 s.
    static constexpr double kPanLimitPitchRadians = 0.3;
    static constexpr double kPanSpeedPerHeight = 1.2;
    static constexpr double kPanBaseSpeedMetersPerSecond = 22.22222222222222;
    static constexpr double kMinPanStepSeconds = 1.0 / 120;
    static constexpr double kMaxPanStepSeconds = 0.1;
    // Points of drag per e-fold of focal length, per 75° of tilt, per radian of turn and
    // per eye distance of climb.
    static constexpr double kFocalDragPoints = 300;
    static constexpr double kTiltDragPoints = 300;
    static constexpr double kTurnDragPoints = 300;
    static constexpr double kClimbDragPoints = 500;
    static constexpr double kMinFocalLength = 0.5;
    static constexpr double kMaxFocalLength = 4.0;
    // The eye never comes closer to the ground than this.
    static constexpr double kMinEyeClearanceMeters = 15;
    static constexpr int kEyeGroundTerrainZoom = 16;
    static constexpr double kMinClimbEyeShare = 0.05;
    // A turn about the eye without a solution retries with the eye 2, 4, … 2048 m higher.
    static constexpr int kTurnAltitudeAttempts = 12;
    static constexpr double kTurnFirstRaiseMeters = 2;
    static constexpr double kGlideSeconds = 0.35;
    static constexpr double kWheelZoomLevelsPerNotch = 0.5;
    // Two-finger tilt: starts after 12 points mostly upright without spreading the fingers;
    // 300 points tilt by 75°; a view left under 3° eases back flat.
    static constexpr double kTiltStartPoints = 12;
    static constexpr double kTiltMaxPinchSpread = 0.08;
    static constexpr double kTiltRadiansPerDrag = 1.3089969389957472;
    static constexpr double kFlattenBelowPitchRadians = 0.05235987755982988;
    // A two-finger rotation starts past this angle.
    static constexpr double kRotationStartRadians = 0.18;
    // Flights: a landing flight ends this far short of the place and this high above it; a
    // tour circles at 0.3 radius above it. The approach takes travel / 2000 m + 2.5 s, within
    // 3 to 8 s, at a cruise pitch of 45° to 85°.
    static constexpr double kLandingShortfallMeters = 500;
    static constexpr double kLandingHeightMeters = 75;
    static constexpr double kOrbitHeightShare = 0.3;
    static constexpr double kApproachMetersPerSecond = 2000;
    static constexpr double kApproachBaseSeconds = 2.5;
    static constexpr double kMinApproachSeconds = 3;
    static constexpr double kMaxApproachSeconds = 8;
    static constexpr double kMinCruisePitchRadians = 0.7853981633974483;
    static constexpr double kMaxCruisePitchRadians = 1.4835298641951802;
    static constexpr double kFallbackArrivalPitchRadians = 1.3962634015954636;
    static constexpr double kMaxTourPitchRadians = 1.53588974175501;
    static constexpr int kFlightPrefetchZoom = 12;
    // A tour's candidates: summit labels this close to the aimed point.
    static constexpr double kTourSummitReachMeters = 300;
    // Prepared flights: 60 frames a second, at most 6 ms of preparation a display frame,
    // retried every 0.1 s while waiting; played at half resolution, never more than 1/30 s
    // of flight time a display frame, once at least a second of frames lies ahead (more when
    // preparation runs slower than the flight).
    static constexpr double kFlightFrameRate = 60;
    static constexpr double kFlightLeadSeconds = 1;
    static constexpr double kFlightPreparationSliceSeconds = 0.006;
    static constexpr double kFlightRetrySeconds = 0.1;
    static constexpr double kFlightWaitReportSeconds = 20;
    static constexpr double kFlightRasterScale = 0.5;
    static constexpr double kMaxFlightStepSeconds = 1.0 / 30;
    // "-demoOrbit" starts a tour this long after the first fit.
    static constexpr double kDemoOrbitDelaySeconds = 8;
    // Flyovers: at least this long a path, flown in 20 s up to 500 m, at 25 m/s up to
    // 7.5 km, in 300 s beyond; with this focal length.
    static constexpr double kMinFlyoverMeters = 50;
    static constexpr double kFlyoverShortestSeconds = 20;
    static constexpr double kFlyoverLongestSeconds = 300;
    static constexpr double kFlyoverCruiseMetersPerSecond = 25;
    static constexpr double kFlyoverFocalLength = 0.75;
    // Departure: once the camera has settled within this much of its targets and its tiles
    // have come (the platform map: after 2 s), but not before 0.5 s nor after 10 s.
    static constexpr double kFlyoverSettledRadians = 0.01;
    static constexpr double kFlyoverMinWaitSeconds = 0.5;
    static constexpr double kFlyoverMaxWaitSeconds = 10;
    // A preparation that has not made the first stretch ready by then (offline, or with
    // downloads that keep failing and retrying) ends: the flyover still leaves within
    // kFlyoverMaxWaitSeconds of its start.
    static constexpr double kFlyoverMaxPreparationSeconds = ResourceWait::kPatienceSeconds;
    static constexpr double kFlyoverPlatformMapWaitSeconds = 2;
    // Holds: the camera waits while less than 2 s of flight are ready ahead, and at most 4 s
    // for tiles missing near the eye, then ignores such stalls for 3 s.
    static constexpr double kFlyoverReadyAheadSeconds = 2;
    static constexpr double kFlyoverMaxStallSeconds = 4;
    static constexpr double kFlyoverIgnoreStallsSeconds = 3;
    // Steps: at most 0.1 s of flight a frame; turning towards the path at rate 2.5/s, by at
    // most 0.785 rad a second; sweep and distance easing at 1.5/s, one sweep every 30 s;
    // speed easing at 3/s.
    static constexpr double kFlyoverMaxStepSeconds = 0.1;
    static constexpr double kFlyoverTurnRate = 2.5;
    static constexpr double kFlyoverMaxTurnRadiansPerSecond = 0.785;
    static constexpr double kFlyoverSwingRate = 1.5;
    static constexpr double kFlyoverSweepSeconds = 30;
    static constexpr double kFlyoverSpeedRate = 3;
    // Bends slow the camera, to 0.15 of its speed at a quarter turn; the bend 40 m ahead counts
    // at 0.7 of its angle.
    static constexpr double kFlyoverMinSpeedFactor = 0.15;
    static constexpr double kFlyoverLookAheadMeters = 40;
    static constexpr double kFlyoverLookAheadWeight = 0.7;
    // Photos: 0.3 of the speed from 60 m before a photo, and for 4.5 s after it.
    static constexpr double kFlyoverPhotoSpeedFactor = 0.3;
    static constexpr double kFlyoverPhotoApproachMeters = 60;
    static constexpr double kFlyoverPhotoSeconds = 4.5;
    // The application hears where the flyover is at most this often.
    static constexpr double kFlyoverPositionReportSeconds = 0.1;
    // The height climbs at rate 5/s and sinks at 0.8/s; the line of sight clears the ground
    // by 15 m, sampled from this zoom's elevations.
    static constexpr double kFlyoverClimbRate = 5;
    static constexpr double kFlyoverSinkRate = 0.8;
    static constexpr double kFlyoverClearanceMeters = 15;
    static constexpr int kFlyoverClearanceZoom = 16;
    // Tiles are asked for ahead of the camera in 600 m squares, 4 s and 8 s of flight ahead.
    static constexpr double kFlyoverPrefetchSideMeters = 600;
    // The palette's steps bring the camera 0.8 times nearer or 1.25 times farther, within
    // 30 to 2000 m; a mode change eases to its start distance.
    static constexpr double kFlyoverNearerFactor = 0.8;
    static constexpr double kFlyoverFartherFactor = 1.25;
    static constexpr double kMinFlyoverBehindMeters = 30;
    static constexpr double kMaxFlyoverBehindMeters = 2000;
    // The preload: samples at least 100 m and 1.5 distances behind apart, computed on
    // several threads from 4 samples on; the flyover leaves preparation once 20 s of flight
    // are ready; trees, aerial photos and buildings are fetched 1200 m around each sample,
    // the photos at level 17.
    static constexpr double kMinFlyoverSampleMeters = 100;
    static constexpr double kFlyoverSampleBehinds = 1.5;
    static constexpr std::size_t kParallelFlyoverSamples = 4;
    static constexpr double kFlyoverPreparedSeconds = 20;
    static constexpr double kFlyoverExtrasReachMeters = 1200;
    static constexpr int kFlyoverAerialLevel = 17;
    // Recordings: 30 poses a second of recorded time; fewer than 60 poses are dropped; the
    // thumbnail is at most 480 pixels on its longer side. A replay holds its first pose 0.5 s.
    static constexpr double kRecordingPosesPerSecond = 30;
    static constexpr std::size_t kMinRecordedPoses = 60;
    static constexpr double kRecordingThumbnailPixels = 480;
    static constexpr double kReplayHoldSeconds = 0.5;
    // Place names: at most this many labels; the area in view is asked for at most every
    // 0.25 s; the candidates are chosen again once the zoom moved by 0.1.
    static constexpr std::size_t kMaxToponymLabels = 28;
    static constexpr double kToponymCoverageSeconds = 0.25;
    static constexpr double kToponymCandidateZoomStep = 0.1;
    // A label is its text, this much wider for the marker, and at least the marker's height.
    static constexpr double kLabelMarkerRoomPoints = 12;
    static constexpr double kLabelMinHeightPoints = 9;
    // A click or the pointer this close to a label counts as on it, sideways and upright.
    static constexpr double kLabelHitSidePoints = 6;
    static constexpr double kLabelHitEndPoints = 4;
    // The pointer may stray this far off the hover card without closing it.
    static constexpr double kHoverCardSlopPoints = 4;
    // Markers stay shown this far outside the view, so that they slide out rather than blink.
    static constexpr double kMarkerMarginPoints = 80;
    static constexpr double kPhotoPinPoints = 34;
    // The library photos are grouped again at most this often, and once more this long after
    // the last request that came too soon.
    static constexpr double kRegroupIntervalSeconds = 0.3;
    static constexpr double kTrailingRegroupSeconds = 0.35;
    // Below this pitch the library photos are looked for around the centre, not on the ground seen.
    static constexpr double kGroundRectMinPitchRadians = 0.01;

    // A glide of the centre and zoom.
    struct CameraAnimation {
        WorldPoint fromCenter;
        WorldPoint toCenter;
        double fromZoom = 0;
        double toZoom = 0;
        double start = 0;
        double duration = 0;
    };
    // The view turning to look at another ground point while the eye stays in place.
    struct GazeAnimation {
        WorldPoint eyeGround;
        double eyeAltitude = 0;
        WorldPoint from;
        WorldPoint to;
        double start = 0;
        // Zoom levels added once the turn is done; 0 for none.
        double magnify = 0;
    };
    // Quadratic ease-in and ease-out of a progress in [0, 1].
    static double ease(double t);

    // The zoom and pitch of a flyover camera.
    struct FlyoverFraming {
        double zoom = 0;
        double pitch = 0;
    };
    // A saved video being replayed, and the media time of its first pose.
    struct Replay {
        SavedVideo video;
        double start = 0;
    };
    // The camera poses of the flight or flyover under way, for a video: 30 a second of
    // `elapsed`, the recorded time (pauses of the camera cut out).
    struct Recording {
        std::string name;
        Basemap basemap;
        std::vector<CameraPose> poses;
        double elapsed = 0;
    };

    // The services the canvas draws from; all but the catalogue may be absent.
    struct Services {
        SheetCatalog catalog;
        std::shared_ptr<TileLoader> loader;
        // Trimmed on memory warnings.
        std::shared_ptr<TextureCache> textureCache;
        std::shared_ptr<TerrainService> terrain;
        std::shared_ptr<ForestService> forest;
        std::shared_ptr<BuildingService> buildings;
        // The place names of the labels.
        std::shared_ptr<ToponymService> toponyms = {};
        // Where the world maps' tiles come from, and the folder that keeps them.
        AppleMapLayer::Sources worldMaps = {};
        std::filesystem::path worldMapCache = {};
    };

    // What the canvas runs over: time, the main queue, the preferences, the journal's
    // file and the process's launch arguments.
    struct Environment {
        std::shared_ptr<platform::Clock> clock;
        std::shared_ptr<platform::MainQueue> mainQueue;
        std::shared_ptr<platform::UserDefaults> defaults;
        std::filesystem::path journalFile;
        std::vector<std::string> arguments;
        // Ends the program with a status once a "-snapshotTo" snapshot is written;
        // std::exit when empty.
        std::function<void(int)> exitProgram;
        // Why map tiles are not arriving, in French, as the status indicator says it; empty
        // when nothing is known. A snapshot without a map tells it.
        std::function<std::string()> loadingProblem = {};
    };

    // The canvas with its renderer, made in `context` (current on this thread); nothing
    // when the renderer cannot be made, and the program then stops with
    // MapRenderer::kStartFailureMessage. `window` outlives the canvas.
    static std::shared_ptr<MapCanvasView> make(CanvasWindow& window, gpu::Context& context,
        const gpu::ShaderLibrary& shaders, Services services, Environment environment);
    ~MapCanvasView();
    MapCanvasView(const MapCanvasView&) = delete;
    MapCanvasView& operator=(const MapCanvasView&) = delete;

    // Reports to the application; set by the view host, each optional.
    std::function<void(const Camera&)> onCameraChanged;
    std::function<void()> onUserInteraction;
    std::function<void()> onTouch;
    // A click on the pin of the photo at this index of `photos()`.
    std::function<void(int)> onPhotoTapped;
    // A click on a library pin, with the photos of its group.
    std::function<void(const std::vector<TrackPhoto>&)> onLibraryPhotosTapped;
    std::function<void(bool)> onPitchChanged;
    std::function<void()> onCompassFollowingInterrupted;
    std::function<void(std::optional<std::pair<std::string, double>>)> onFlight;
    std::function<void(std::optional<double>)> onFlyoverProgress;
    std::function<void()> onFlyoverEnded;
    std::function<void(int)> onFlyoverPhoto;
    std::function<void(double, double)> onFlyoverPosition;
    // A finished recording of at least 60 poses: its name, basemap, poses and a thumbnail.
    std::function<void(const std::string&, Basemap, const std::vector<CameraPose>&, const std::optional<platform::Image>&)>
        onAnimationRecorded;

    MapRenderer& renderer() { return *renderer_; }
    const Camera& camera() const { return renderer_->camera; }

    // The window was laid out or resized: view size, minimum zoom, the first fit of the
    // view (with the launch arguments) and the clamp; then a frame.
    void layout();
    // One frame of the display link; times in seconds of the display's clock.
    void step(double timestamp, double targetTimestamp);
    // The window's draw: the camera takes the view's pixel size, the renderer's frame
    // update runs at the canvas's time and the frame goes into `framebuffer`; a view
    // without area draws nothing. Then the GL names released meanwhile are deleted. The
    // canvas's context must be current.
    void drawFrame(unsigned framebuffer);
    // A redraw that must happen even if nothing moves, then frames.
    void ensureDisplayLink();
    // Frames for something that starts moving.
    void startDisplayLink();
    bool hasDisplayLink() const { return displayLinkRunning_; }

    // Every change of the renderer's camera ends here: clamp, redraw, throttled reports.
    void cameraDidChange();
    // The throttled reports that follow a camera change (journal motion line, camera
    // report, stored view), for moves that bypass `cameraDidChange`.
    void reportCameraChange();
    // Keeps zoom, centre and pitch within their limits; true when it lowered the pitch
    // for the eye's clearance over the terrain.
    bool clampCamera();
    double maxZoom() const;
    double minZoom() const { return minZoom_; }
    const WorldRect& reachableRect();

    void saveLastCamera();
    // The relief toggle: eases the pitch to 70°, or frames in relief the place just shown
    // (on); eases it to 0 and zooms back within the basemap's depth over 0.25 s (off).
    void set3D(bool on);
    // Turns the map with the device heading (on) or back to north (off).
    void setCompassFollowing(bool on);
    // A heading update from the location service, in degrees.
    void headingDidChange(double degrees);
    // The last device heading, in radians, without turning anything.
    void setLatestHeading(double radians) { latestHeading_ = radians; }
    bool isCompassFollowing() const { return isCompassFollowing_; }
    // Drops the following flag alone; the bearing stays where it eases to.
    void clearCompassFollowing() { isCompassFollowing_ = false; }
    // Radians: the bearing the frame loop eases the camera towards.
    void setTargetBearing(double radians) { targetBearing_ = radians; }
    // A camera flight runs, or its last frame is still shown.
    bool isFlying() const { return flight_.has_value() || arrivalFrame_.has_value(); }

    // The device's position for the marker, drawn with its horizontal accuracy (0 when not
    // above 0); none, or a fix without finite coordinates, removes the marker. A frame follows.
    void setUserLocation(const std::optional<platform::LocationFix>& fix);
    // The one-time centring on the first usable fix after the first fit; true when it moved
    // the camera. See kInitialLocateSeconds and kAnyFixTakenSeconds.
    bool handleInitialLocation(const platform::LocationFix& fix);
    // The zoom that shows a fix known to `accuracy` metres at `latitude` degrees.
    double zoomForFix(double accuracy, double latitude) const;

    // The track to draw, smoothed, and its pauses; an empty list clears it. A running
    // flight ends first; a frame follows.
    void setTrack(const std::vector<TrackDisplayPoint>& points, std::vector<TrackPause> pauses);
    const std::vector<TrackPause>& pauses() const { return pauses_; }

    // Map options. The basemap switch empties the tile fades and the texture cache and
    // clamps the camera to the new basemap's depth.
    void setBasemap(Basemap basemap);
    // Place-name labels wanted; switching lays them out again at once.
    void setShowsToponyms(bool on);
    bool showsToponyms() const { return showsToponyms_; }

    // Place-name labels. The placements for the camera now: at most kMaxToponymLabels
    // names in front of the eye and not hidden by the relief, none crowding another; asks
    // the service for the area in view on the way. Empty below zoom 13, while labels are
    // off, or without a window that shows them.
    std::vector<ToponymLayout::Placement> layoutToponyms();
    // Shows the placements in the window's label slots, restyling a slot only when its place,
    // side or style changed; moves the hover card with its label or closes it.
    void applyToponymPlacements(const std::vector<ToponymLayout::Placement>& placements);
    // The names that may be labelled at `zoom`, with their label sizes, unless the zoom moved
    // less than kToponymCandidateZoomStep since the last refresh.
    void refreshToponymCandidates(double zoom);
    // Where a world point shows in the view, in points; far outside it when a pitched view
    // has it far ahead, behind the relief or behind the eye.
    ScreenPoint toponymViewPoint(WorldPoint point) const;
    // The index of the shown label at a view point, with some slop around each.
    std::optional<std::size_t> labelIndex(ScreenPoint point) const;
    // The pointer moved over the map without a button (view points): the card opens over
    // the name under it and stays while the pointer travels onto it.
    void hover(ScreenPoint point);
    // The pointer left the map: the card closes.
    void hoverEnded();
    // The places labelled now, in slot order.
    const std::vector<Toponym>& shownToponyms() const { return shownToponyms_; }
    const std::optional<Toponym>& hoveredToponym() const { return hoveredToponym_; }
    // NaN until the first refresh, and after the names changed.
    double toponymCandidateZoom() const { return toponymCandidateZoom_; }
    void setShowsSlopes(bool on);
    // Trees and buildings.
    void setShowsTrees(bool on);

    // The glide left by a drag; a zero velocity stops it.
    void setInertia(PanInertia inertia);
    const PanInertia& inertia() const { return inertia_; }

    // Glides to `target` (or jumps there when it is far or `animated` is false), at `zoom`
    // or the current zoom, clamped into the zoom limits.
    void animateCamera(WorldPoint target, std::optional<double> zoom, bool animated);
    const std::optional<CameraAnimation>& animation() const { return animation_; }
    const std::optional<GazeAnimation>& gaze() const { return gaze_; }
    // Ends a running flyover, with its recording and preload, giving the camera back the
    // user's focal length; nothing while none runs.
    void stopAnimations();
    // The user takes over: a running flight ends with everything it changed (raster, frame
    // rate, preload, held scene), and so do the gaze and a flyover; the application hears
    // that no flight runs and that the user moved the map. Safe while no flight runs.
    void endFlight();

    // Starts a landing flight to `place`, or a drone tour around it (`orbit`); a place or an
    // eye whose position is not finite starts nothing.
    void startFlight(const Toponym& place, bool orbit);
    // A drone tour around the summit label nearest the aimed point within 300 m, or around
    // the aimed point itself ("Point visé").
    void startAimedPointTour();
    // The camera of `flight` `t` seconds after its start; nothing when it cannot be solved.
    // Changes nothing but asking for the elevations around it.
    std::optional<Camera> applyFlightFrame(const Flight& flight, double t) const;
    // A point of a tour's orbit at `angle`, at least 60 m above the ground under it.
    Flight::Eye orbitPoint(const Flight& flight, double angle, double base) const;
    const std::optional<Flight>& flight() const { return flight_; }
    const std::optional<PreparedFlightFrame>& arrivalFrame() const { return arrivalFrame_; }
    // 0.5 while a prepared flight plays, else 1: the share of the view's pixels drawn.
    double flightRasterScale() const { return flightRasterScale_; }
    // "Vol vers …" or "Tour de …": the name the next recording takes; the application names
    // the flyovers it starts.
    const std::string& animationName() const { return animationName_; }
    void setAnimationName(std::string name) { animationName_ = std::move(name); }
    const FlightOptions& flightOptions() const { return flightOptions_; }
    // The platform map stands in for the relief; flights then play live, unprepared.
    bool isAppleLayerShown() const { return apple_ != nullptr; }
    // The world map layer while a world basemap is shown and the window can host its map.
    AppleMapLayer* appleLayer() const { return apple_.get(); }
    // Takes the world map's camera back into the canvas, with the rules that keep the two
    // from fighting: the canvas's camera wins for 1.5 s after the layer is made and over
    // the map's own easing, and a map that flattens the view at its pitch ceiling is pushed
    // back once per change of distance. A camera holding a value that is not finite is
    // ignored.
    void applyAppleCamera(const platform::MapCamera& camera, bool userInitiated);
    // Shops and services on the world maps: copied into every new layer.
    void setShowsAppleCommerce(bool on);
    bool showsAppleCommerce() const { return showsAppleCommerce_; }
    // The world map's pitch and distance last taken back.
    struct AppleShown {
        double pitch = 0;
        double distance = 0;
    };
    std::optional<bool> applePitched() const { return applePitched_; }
    std::optional<double> appleWantedPitch() const { return appleWantedPitch_; }
    const std::optional<AppleShown>& appleLastShown() const { return appleLastShown_; }
    double appleSettlesUntil() const { return appleSettlesUntil_; }
    // What stands over the map in a frame prepared for the renderer's camera now: the
    // labels laid out over that frame's relief.
    FrameOverlays overlayPlacements();
    // What a flight's preload fetches: the map tiles its cameras show, in the order it shows
    // them, and the elevation grids under them; and how many of its sample times had a camera.
    struct FlightPreloadList {
        std::vector<TileKey> tiles;
        std::vector<FileBatchDownload::Item> elevations;
        int cameras = 0;
    };
    FlightPreloadList flightPreloadList(const Flight& flight) const;
    // The flight preload's progress handler: wakes the frame loop when the flight `flightId`
    // is the one running, or with no flight for a preload that had none.
    void flightPreloadProgress(const std::string& flightId);
    // Something a prepared frame may wait for (a tile, a grid, trees, buildings) has arrived.
    void flightResourceArrived();

    // Turns the view about the aimed point, eased by the frame loop.
    void rotate(double radians);
    // Turns a pitched view about the eye, animated or at once; flatter views, or turns
    // without a solved camera, turn about the aimed point.
    void turnInPlace(double radians);
    void turnInPlaceNow(double radians);
    // Frames `rect` with padding, no deeper than the maximum zoom.
    void fit(const WorldRect& rect, bool animated);
    // Glides to frame the points (a track) with a margin, no deeper than the maximum zoom;
    // nothing for none.
    void fit(const std::vector<WorldPoint>& points);
    // Zooms to `zoom` over 0.25 s keeping the ground under `about` (pixels) in place.
    void zoom(double zoom, Camera::Point about);
    // The palette's zoom steps: the flyover camera 0.8 times nearer (positive) or 1.25 times
    // farther while one runs, otherwise a zoom by `step` levels about the centre of the view.
    // A step that is not a number is ignored.
    void adjustFlyoverDistance(double step);
    // Puts a solved camera in place at once; ignored outside the zoom limits.
    void applyCamera(const Camera& camera, bool keepBaseElevation);
    // Goes to a place at once, without easing the bearing or the pitch on.
    void goDirectly(const Toponym& place);
    // Centres the view on a place: a pitched view frames it in relief, a flat one (or one
    // whose relief framing has no solution) shows 500 m around it and remembers it as
    // the chosen place.
    void show(const Toponym& place, bool animated);
    // The pitched camera that looks at a place from behind, as far back and as high as its
    // kind asks; nothing when no camera has that view.
    std::optional<Camera> reliefFraming(const Toponym& place) const;
    // The place last shown in a flat view, which a flight may take as its goal.
    const std::optional<Toponym>& chosenPlace() const { return chosenPlace_; }

    // Track flyovers. Starts one along a walk's points (those with non-finite coordinates
    // left out), smoothed, ending the running one; true when it started. Nothing starts, and
    // nothing running ends, for fewer than two points, 50 m of path or less, or a view
    // without height.
    bool startFlyover(const std::vector<WorldPoint>& points);
    const std::optional<Flyover>& flyover() const { return flyover_; }
    // Moves a running flyover to `fraction` of its path (clamped into [0, 1]); a fraction
    // that is not a number is ignored.
    void seekFlyover(double fraction);
    // The mode the next flyover flies in; `applyFlyoverMode` turns a running one to it.
    void setFlyoverMode(FlyoverMode mode) { flyoverMode_ = mode; }
    FlyoverMode flyoverMode() const { return flyoverMode_; }
    void applyFlyoverMode();
    void setFlyoverPaused(bool paused);
    // The photos taken along the track shown; a flyover slows down and shows each.
    void setPhotos(std::vector<TrackPhoto> photos);
    const std::vector<TrackPhoto>& photos() const { return photos_; }
    void updateFlyoverPhotoStops();
    // The zoom and pitch that put the eye `behind` metres behind and `height` metres above
    // `point`, with the flyover's focal length.
    FlyoverFraming flyoverFraming(WorldPoint point, double behind, double height) const;
    // The least height above `point` from which a camera `distance` metres behind it, looking
    // along `heading`, sees it over the ground with 15 m to spare; 0 without relief data.
    double flyoverClearanceHeight(WorldPoint point, double heading, double distance) const;
    // What a flyover's preload fetches: the map tiles its sample cameras show, in the order
    // they show them; the extra downloads (elevations, and with trees forest, aerial photos
    // and buildings around the path); the checkpoints that turn progress into distance; and
    // how many samples and cameras it looked through, and whether on several threads.
    struct FlyoverPreloadList {
        std::vector<TileKey> tiles;
        std::vector<FileBatchDownload::Item> extras;
        FlyoverReadiness readiness;
        int samples = 0;
        int cameras = 0;
        bool parallel = false;
    };
    FlyoverPreloadList flyoverPreloadList(const Flyover& flyover) const;
    // The map tiles and elevation grids seen by the preload's cameras `distance` metres along.
    VisibleTiles flyoverTiles(const Flyover& flyover, double distance) const;
    // A preload report: how far the flyover may fly, and the progress shown; nothing for a
    // flyover other than the running one.
    void flyoverPreloadProgress(const FlyoverReadiness& readiness, std::int64_t done, std::int64_t total);

    // Markers over the map. The pause chips of `pauses()`, made again; then every marker
    // is placed.
    void rebuildPauseChips();
    // Places every marker for the camera now, in one batch a kind: pause chips, photo
    // pins, the library pins (grouped again, throttled) and, while a flyover runs, its dot.
    void layoutMarkers();
    // Groups the library photos again unless that was done less than
    // kRegroupIntervalSeconds ago, in which case it is done kTrailingRegroupSeconds after the
    // last such request; then places the library pins.
    void regroupLibraryPhotos();
    // The library photos in view, in screen cells, without the track's own photos; none
    // during a flight or a flyover. Pins are reused while their photo still leads a group.
    void rebuildLibraryGroups();
    void applyMarkerPlacements(const std::vector<MarkerPlacement>& placements);
    // Every located photo of the library; grouped again at the next layout, which follows.
    void setLibraryPhotos(std::vector<TrackPhoto> photos);
    const std::vector<TrackPhoto>& libraryPhotos() const { return libraryPhotos_; }
    const std::vector<std::vector<TrackPhoto>>& libraryGroups() const { return libraryGroups_; }
    // The pin of each group, by the id of the group's first photo.
    const std::unordered_map<std::string, int>& libraryPins() const { return libraryPins_; }
    double lastLibraryGrouping() const { return lastLibraryGrouping_; }
    const std::vector<int>& pauseChips() const { return pauseChips_; }
    const std::vector<int>& photoPins() const { return photoPins_; }
    const std::optional<int>& flyoverDot() const { return flyoverDot_; }
    // What a photo pin reads out: "Photo de " and the time it was taken, local time.
    static std::string photoPinAccessibleText(const TrackPhoto& photo);

    // Where markers at `points` stand in the view, paired in order with `markers` (the
    // longer list's extra entries ignored): hidden outside `rect` (its right and bottom
    // edges outside) and where the relief hides the point, unless the platform map is shown.
    std::vector<MarkerPlacement> markerPlacements(
        const std::vector<int>& markers, const std::vector<WorldPoint>& points, const ScreenRect& rect) const;
    // A world point in the view's points, on its relief; behind the eye, far off the view.
    Camera::Point viewPoint(WorldPoint point) const;

    // Saved views and videos. Puts the camera at a pose at once, ending a flight; the pose's
    // focal length becomes the user's. A pose holding a value that is not finite, or whose
    // focal length is not above 0, is ignored.
    void apply(const CameraPose& pose);
    // Replays a video: its first pose held 0.5 s, then its poses at its frame rate. A video
    // without poses, with a rate that is not a finite number above 0 or with a pose that
    // `apply` would ignore is ignored.
    void play(const SavedVideo& video);
    const std::optional<Replay>& replay() const { return replay_; }
    const std::optional<Recording>& recording() const { return recording_; }

    // Keyboard: the characters typed and the names of the motion keys ("up", "down",
    // "left", "right", "z", "q", "s", "d", see motionKeyName) pressed, released or
    // cancelled together; every press leaves a journal line. A repeated press of keys
    // already held (auto-repeat) changes nothing; the window drops the releases that
    // auto-repeat sends between them.
    void keysPressed(std::string_view characters, const std::vector<std::string>& names);
    void keysReleased(const std::vector<std::string>& names, bool cancelled);
    const std::vector<std::string>& heldKeys() const { return heldKeys_; }
    // The window lost focus: no key or modifier stays held, and nothing is reported.
    void focusLost();

    // A finger or a mouse button came down on the map: the application hears of the touch,
    // and a replay ends.
    void touchBegan();
    // Gestures; positions and translations in view points, as the window gives them.
    // A one-finger drag (or a continuous scroll): plain, or what the held modifiers make
    // of it (Control: focal length; Command: eye move, with Shift climbing; Option and
    // Shift: tilt; Option: turn about the eye; Shift: climb).
    void dragBegan();
    void dragChanged(Camera::Point translation, Camera::Point location, KeyModifiers eventModifiers);
    void dragEnded(Camera::Point velocityPoints);
    // Glides to a ground point, `zoomBy` levels closer; a pitched view turns its gaze.
    void glide(WorldPoint target, double zoomBy);
    // Moves the centre to a ground point, `zoomBy` levels closer, keeping the tilt and the
    // heading.
    void slide(WorldPoint target, double zoomBy);
    // A double click on the ground glides there one level closer; on the sky nothing.
    void doubleClick(Camera::Point location);
    // Mouse wheel steps (positive inwards) zoom about the cursor.
    void wheelNotches(double notches, Camera::Point location);
    void pinchBegan();
    void pinchChanged(double scale, Camera::Point location);
    // Two fingers moving together upright tilt the view; `pinchScale` is the pinch's
    // scale at the same moment (1 without a pinch).
    void tiltChanged(Camera::Point translation, double pinchScale);
    void tiltEnded();
    // Two fingers turning: the ground under them stays under them.
    void rotationChanged(double rotation, Camera::Point location);
    void rotationEnded();
    // A click: on a place name, glides there at the same zoom, or flies there (Command) or
    // around it (Option); elsewhere, with Command, glides to the ground clicked.
    void click(Camera::Point location, KeyModifiers eventModifiers);
    // A two-finger (right) click zooms one level out about it; with Option, over a place
    // name, tours the place.
    void twoFingerClick(Camera::Point location, KeyModifiers eventModifiers);
    // A pinch, rotation or climb ended: the camera is reported.
    void gestureEnded();
    Camera::Point pixelPoint(Camera::Point points) const;

    // Application lifecycle.
    void handleMemoryWarning();
    void handleBackground();
    void handleForeground();
    void forgetModifiers();
    void setHeldModifiers(KeyModifiers modifiers) { heldModifiers_ = modifiers; }
    const KeyModifiers& heldModifiers() const { return heldModifiers_; }

    // The journal of gestures, keys and camera moves, with the current view.
    void writeJournal(std::string_view text);
    void noteGesture(std::string_view word, GestureJournal::GesturePhase phase, KeyModifiers eventModifiers,
        std::string_view detail);

    // The map as shown now, rendered offscreen at the view's pixel size, scaled down to
    // fit `maxDimension` when given; nothing for a view without area or a failed render.
    std::optional<platform::Image> snapshot(std::optional<double> maxDimension);
    // Writes the snapshot as a JPEG file; the program's exit status: a failed render,
    // encoding or write is 1, a picture without a single map tile `kSnapshotWithoutMapStatus`,
    // each with a line on standard error saying why; a map with tiles still missing is 0, with
    // a line saying how many came.
    int writeSnapshot(const std::filesystem::path& path);

    // Films `video` into an MP4 at `path`, `height` pixels high (rounded up to even) and as
    // wide as its first pose's proportions give, on `basemap` (a platform basemap becomes the
    // orthophoto), with the window's overlays drawn into each frame when `overlays` is set.
    // Each frame waits for what it shows, at most ResourceWait::kPatienceSeconds, and once a
    // frame has given up the next ones wait only after something new arrived. The film runs
    // from the main queue without blocking it: `progress` hears the fraction encoded after
    // each frame, and `completion` once, on the main thread, whether the whole film is at
    // `path` (a failed film leaves what was there). Camera, basemap and detail come back
    // after it; meanwhile the display link stays off and input is ignored. False, with
    // nothing changed and no completion, for a video without poses, a frame rate that is not
    // a finite number of at least 1, or while another film runs.
    bool exportVideo(const SavedVideo& video, Basemap basemap, int height, const std::filesystem::path& path,
        bool overlays, std::function<void(double)> progress, std::function<void(bool)> completion);
    bool isExporting() const { return film_ != nullptr; }
    // The film automation. A travel filmed to "-filmTo": the program ends with status 1
    // without a terrain service.
    void filmTravel(double height, const std::vector<WorldPoint>& eyePath, const std::vector<WorldPoint>& targets);
    // A travel's camera poses: from each eye point, `height` metres above the ground averaged
    // over the 30 points on each side (never below the ground under it), looking at its
    // target; eyes within 0.5 m of their target, or that would look up past 120°, have none.
    std::vector<CameraPose> travelPoses(
        double height, const std::vector<WorldPoint>& eyePath, const std::vector<WorldPoint>& targets) const;
    // "-dumpFrames": a half-size JPEG of the view, at most every 0.25 s, named by its number
    // from "f0001.jpg"; called in each recorded frame of a flight.
    void dumpFrame();

    bool awaitingInitialLocation() const { return awaitingInitialLocation_; }
    double initialLocateDeadline() const { return initialLocateDeadline_; }
    bool hasPerformedInitialFit() const { return hasPerformedInitialFit_; }
    double targetBearing() const { return targetBearing_; }
    double targetPitch() const { return targetPitch_; }
    // The focal length the user chose, to which flights return.
    double userFocalLength() const { return userFocalLength_; }

private:
    MapCanvasView(CanvasWindow& window, gpu::Context& context, Services services, Environment environment);
    // "-snapshotTo": the snapshot 30 s after the first fit, then the program ends.
    void scheduleSnapshot();
    void installCallbacks();
    void terrainDidChange();
    // New place names: the candidates are chosen again, and the labels laid out at once.
    void toponymsDidChange();
    // Lays the labels out again unless a flight shows its own.
    void relayoutToponyms();
    // Makes sure the window has slot `index`.
    void labelView(std::size_t index);
    void hideLabelViews(std::size_t from);
    void closeHoverCard();
    CanvasOverlays* overlays() const;
    void initialFit();
    // Makes the world map layer under the canvas; none when the window hosts no map.
    void makeAppleLayer();
    // Sets the world map's camera, not animated, from the renderer's camera.
    void pushCameraToApple();
    void applyStartView(const StartView& start);
    void reportCameraChange(double now);
    double eyeAltitude() const;
    // The basemap's deepest useful camera zoom at the screen's scale.
    double basemapMaxZoom() const;
    // Glides (or jumps) to `center` at the zoom that shows `rect` with a padding, no
    // deeper than the maximum zoom.
    void frame(const WorldRect& rect, WorldPoint center, double paddingPoints, bool animated);
    double now() const { return environment_.clock->now(); }

    // One display frame of the running flight: prepares frames ahead or plays them; false
    // once the flight has ended.
    bool flightStep(Flight flight);
    // Prepares the flight's next frames within one display frame's slice, or none while
    // the next waits for what it shows and was tried less than the retry interval ago.
    void prepareFlightFrames(Flight& flight, double time);
    // Writes a stepped flight back, unless something ended it meanwhile.
    void storeFlight(const Flight& flight);
    // Fetches the tiles and elevation grids the flight will show, in the order it needs them.
    void preloadFlight(const Flight& flight);
    // The ground height flights keep above: the relief's elevation, or the frame's base
    // elevation on a flat frame or without terrain.
    double groundHeight(WorldPoint point) const;
    // Asks for the elevations within `meters` of `point`.
    void prefetchAround(WorldPoint point, double meters) const;
    // Raster, frame rate and held scene back as they are without a flight.
    void restoreAfterFlight();

    // One frame of the running flyover: departure, holds for tiles, turning, speed, height.
    void flyoverStep();
    // Writes a stepped flyover back, unless something ended or replaced it meanwhile.
    void storeFlyover(const Flyover& flyover);
    // Fetches what the flyover's cameras will show, and holds it until the start is ready.
    void preloadFlyoverTiles(const Flyover& flyover);
    // The camera every preload sample looks through, before its centre and bearing.
    Camera flyoverSampleCamera(const Flyover& flyover) const;
    // The tiles of one sample: any thread.
    VisibleTiles sampleTiles(const Flyover& flyover, double distance, Camera look) const;
    // Shows the flyover's dot at a point, or hides it.
    void showFlyoverDot(std::optional<WorldPoint> point);
    // The view's bounds grown by kMarkerMarginPoints on every side.
    ScreenRect markerRect() const;
    // Places one batch of markers at their points.
    void placeMarkers(const std::vector<int>& markers, const std::vector<WorldPoint>& points);
    // Where the pause chips and the photo pins stand: the markers that flights carry in
    // their frames.
    std::vector<MarkerPlacement> trackMarkerPlacements() const;
    void libraryPinTapped(const std::string& leaderId);
    // The camera at a pose at once, in the view's own size, its targets with it.
    void showPose(const CameraPose& pose);
    // One frame of a replay; whether it showed a pose.
    bool replayStep();
    void finishReplay(const Replay& replay);
    // The pose recording of one frame, `dt` seconds long.
    void recordAnimationFrame(double dt);
    void finishRecording();
    // The launch automation's hook: the film of a recording.
    void filmRecording(const std::string& name, Basemap basemap, const std::vector<CameraPose>& poses);
    // The environment's exitProgram, or std::exit without one.
    std::function<void(int)> programExit() const;
    // "-filmTravel": builds the travel's paths and films them 30 s later.
    void startFilmTravel();
    // One step of the running film: the next frame rendered and queued, a retry while its
    // data are missing, or the end once every frame is encoded.
    void filmStep(std::uint64_t film);
    void postFilmStep();
    void filmFrameEncoded(std::uint64_t film, std::size_t index, const FilmEncoder::FrameResult& result);
    // Puts back what the film changed and tells its caller.
    void endFilm(bool finished);
    // The camera a film frame is drawn with.
    Camera filmCamera(const CameraPose& pose) const;
    // Held and prepared flight frames dropped.
    void clearHeldFlightFrame();

    // Frame loop steps, in their order within a frame; each says whether it moved.
    bool easeBearing(double dt);
    bool easePitch(double dt);
    void beginInteraction(bool clearsInitialLocation);
    void plainDrag(double dx, double dy, Camera::Point location);
    void changeFocalLength(double dy);
    void moveEye(double dx, double dy, bool changesAltitude);
    void tiltAboutEye(double d);
    void turnAboutEye(double dx);
    void climb(double d);
    bool stepHeldKeys(double dt);
    bool stepGaze();
    bool stepCameraAnimation(bool active);
    bool stepInertia(double dt);
    void stepDetail(bool& active);
    void finishFrame(bool active);
    void stopDisplayLink();

    CanvasWindow& window_;
    gpu::Context& context_;
    Services services_;
    Environment environment_;
    std::unique_ptr<MapRenderer> renderer_;
    GestureJournal journal_;
    CameraReportThrottle reports_;

    PanInertia inertia_;
    std::optional<CameraAnimation> animation_;
    std::optional<GazeAnimation> gaze_;
    std::vector<std::string> heldKeys_;
    Camera::Point lastPanTranslation_;
    double lastPanTime_ = 0;
    bool panUsedModifier_ = false;
    double pinchStartZoom_ = 0;
    bool isTilting_ = false;
    double tiltStartPitch_ = 0;
    double tiltOriginY_ = 0;
    bool isRotating_ = false;
    double rotationStartBearing_ = 0;
    double rotationOrigin_ = 0;
    KeyModifiers heldModifiers_;
    double lastMotion_ = 0;
    double minZoom_ = kDefaultMinZoom;
    bool hasPerformedInitialFit_ = false;
    bool needsRedraw_ = true;
    bool isCompassFollowing_ = false;
    bool showsToponyms_ = true;
    double latestHeading_ = 0;
    double targetBearing_ = 0;
    double targetPitch_ = 0;
    bool awaitingInitialLocation_ = true;
    double initialLocateDeadline_ = std::numeric_limits<double>::max();
    int idleFrames_ = 0;
    bool isBackgrounded_ = false;
    bool displayLinkRunning_ = false;
    double userFocalLength_ = kDefaultFocalLength;
    std::optional<WorldRect> reachableRect_;
    std::optional<Toponym> chosenPlace_;
    std::vector<TrackPause> pauses_;

    FlightOptions flightOptions_;
    std::optional<Flight> flight_;
    std::optional<PreparedFlightFrame> arrivalFrame_;
    double flightRasterScale_ = 1;
    std::unique_ptr<FileBatchDownload> flightPreload_;
    bool flightFrameReady_ = false;
    std::string animationName_ = "Animation";
    double lastWaitReport_ = -std::numeric_limits<double>::infinity();
    ResourceWait resourceWait_;
    // The id of the last flight warned of frames taken without all they show.
    std::string flightWarnedOfMissing_;
    // The half-size frame a prepared flight plays into.
    std::unique_ptr<gpu::RenderTarget> flightRaster_;

    std::optional<Flyover> flyover_;
    std::unique_ptr<FileBatchDownload> flyoverPreload_;
    FlyoverMode flyoverMode_ = FlyoverMode::follow;
    double lastFlyoverPositionReport_ = 0;
    std::vector<TrackPhoto> photos_;
    // Markers, by the ids the window's overlays gave them.
    std::vector<int> pauseChips_;
    std::vector<int> photoPins_;
    std::optional<int> flyoverDot_;
    std::vector<TrackPhoto> libraryPhotos_;
    std::vector<std::vector<TrackPhoto>> libraryGroups_;
    std::unordered_map<std::string, int> libraryPins_;
    std::unordered_map<int, std::vector<TrackPhoto>> libraryGroupsByPin_;
    double lastLibraryGrouping_ = 0;
    // Raised by each trailing regroup asked for: only the latest one runs.
    std::uint64_t regroupGeneration_ = 0;
    std::optional<Replay> replay_;
    std::optional<Recording> recording_;
    // The world map layer and its camera bookkeeping.
    std::unique_ptr<AppleMapLayer> apple_;
    std::optional<bool> applePitched_;
    double appleSettlesUntil_ = 0;
    bool showsAppleCommerce_ = false;
    std::optional<double> appleWantedPitch_;
    std::optional<AppleShown> appleLastShown_;
    double appleLastPushDistance_ = 0;
    bool isPushingToApple_ = false;
    std::unique_ptr<FilmRun> film_;
    std::uint64_t lastFilmId_ = 0;
    // "-dumpFrames": the folder, read once on first use, and the frames dumped so far.
    std::optional<std::optional<std::filesystem::path>> dumpFolder_;
    int dumpCount_ = 0;
    double dumpLast_ = 0;
    // Place-name labels: what each of the window's slots was last styled for, their frames
    // (the first `shownToponyms_.size()` shown), the style they were styled in, the label
    // sizes measured so far, the candidates of the last refresh and the hovered place.
    std::vector<std::string> toponymAssignments_;
    std::vector<ScreenRect> toponymFrames_;
    std::size_t toponymViewCount_ = 0;
    std::vector<Toponym> shownToponyms_;
    bool toponymsOnDarkBackground_ = false;
    std::unordered_map<std::string, CanvasOverlays::LabelSize> toponymSizes_;
    std::vector<ToponymLayout::Candidate> toponymCandidates_;
    double toponymCandidateZoom_ = std::numeric_limits<double>::quiet_NaN();
    double lastCoverageRequest_ = 0;
    std::optional<Toponym> hoveredToponym_;
    // The hover card's frame while it shows.
    std::optional<ScreenRect> hoverCard_;
};

} // namespace velorin
