#pragma once

#include "account/AccountService.h"
#include "app/AltitudeState.h"
#include "app/AppEnvironment.h"
#include "app/CameraInfo.h"
#include "app/GpuDevice.h"
#include "app/LoadState.h"
#include "app/LocationService.h"
#include "app/MainTimer.h"
#include "app/MapCanvasPort.h"
#include "app/PositionProblem.h"
#include "canvas/FlyoverMode.h"
#include "canvas/GestureJournal.h"
#include "canvas/StartView.h"
#include "features/PlaceStore.h"
#include "features/BuildingLoader.h"
#include "features/ForestLoader.h"
#include "features/ToponymService.h"
#include "map-data/Basemap.h"
#include "map-data/DiskStore.h"
#include "map-data/NetworkMonitor.h"
#include "map-data/SheetCatalog.h"
#include "map-data/TerrainService.h"
#include "map-data/TextureCache.h"
#include "map-data/RegionDownloader.h"
#include "map-data/TileLoader.h"
#include "map-data/TileRelay.h"
#include "map-data/WorldPoint.h"
#include "platform/HttpSession.h"
#include "platform/SpeedMotionActivitySource.h"
#include "recordings/CaptureStore.h"
#include "recordings/MotionActivityService.h"
#include "recordings/PhotoLibrary.h"
#include "recordings/TrackPhoto.h"
#include "recordings/TrackRecorder.h"

#include <QObject>

#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velorin {

// The one model of the application: it creates and owns every service, starts the map up,
// publishes the state the screens draw, turns tile-loader and camera reports into that
// state and keeps the user's map preferences. Published state changes are announced by
// `changed`. Main thread only; every delayed action and every callback it hands out hold
// it weakly, so destroying it with work pending does nothing.
class AppModel : public QObject {
    Q_OBJECT

public:
    // Preference keys.
    static constexpr std::string_view kBasemapKey = "Velorin.basemap";
    static constexpr std::string_view kAerialKey = "Velorin.aerial";
    static constexpr std::string_view kToponymsKey = "Velorin.toponyms";
    static constexpr std::string_view kAppleCommerceKey = "Velorin.appleCommerce";
    static constexpr std::string_view kPhotoPinsKey = "Velorin.photoPins";
    static constexpr std::string_view kSlopesKey = "Velorin.slopes";
    static constexpr std::string_view kTreesKey = "Velorin.trees";
    static constexpr std::string_view kFlyoverModeKey = "Velorin.flyoverMode";
    static constexpr std::string_view kLibraryPhotosKey = "Velorin.libraryPhotos";
    // The camera readout over the map, and the gesture journal.
    static constexpr std::string_view kCameraInfoKey = GestureJournal::kEnabledKey;
    // Films in 1080 lines when true, 720 otherwise.
    static constexpr std::string_view kVideoHDKey = "videoHD";
    // Where the position comes from, as `PositionSourceChoice::text` writes it.
    static constexpr std::string_view kPositionSourceKey = "Velorin.positionSource";
    // While following, the map says the position is missing once none came for this long.
    static constexpr double kPositionWaitSeconds = 30.0;

    static constexpr std::string_view kNoGpuMessage = "Cet appareil ne prend pas en charge OpenGL 3.3.";
    static constexpr double kInitialZoom = 6.0;
    // The loading indicator shows only once loading has lasted this long.
    static constexpr double kActivityDelaySeconds = 0.4;
    // Busy without progress and without a camera change for this long is a stall.
    static constexpr double kStallTimeoutSeconds = 12.0;
    static constexpr double kStatusPollIntervalSeconds = 2.0;
    // More transport failures in a row than this mean the servers cannot be reached.
    static constexpr std::int64_t kUnreachableAfterTransportFailures = 2;
    // The map controls hide this long after the last interaction.
    static constexpr double kControlsHideDelaySeconds = 3.5;
    // Following the walker zooms a wider view in to this level; a closer one keeps its zoom.
    static constexpr double kFollowZoom = 14.0;
    // A map turned by less than this already points north for the compass button.
    static constexpr double kNorthUpToleranceRadians = 0.01;
    static constexpr double kCompassHeadingFilterDegrees = 2.0;
    // A photo reached during a flyover stays shown this long after the last one.
    static constexpr double kFlyoverPhotoSeconds = 4.5;
    // The name a saved track's flyover is recorded under: this, then the track's name.
    static constexpr std::string_view kFlyoverNamePrefix = "Survol · ";
    // "-filmTrack": the track is flown this long after start-up.
    static constexpr double kFilmTrackDelaySeconds = 3.0;
    static constexpr std::string_view kSkipJournalLine = "vol sauté";
    // A capture notice shows this long.
    static constexpr double kNoticeSeconds = 1.8;
    // Poses a second of a recorded flight.
    static constexpr double kRecordedFrameRate = 30.0;
    static constexpr int kFilmHeightHD = 1080;
    static constexpr int kFilmHeight = 720;
    static constexpr const char* kFilmInProgressFile = "en-cours.mp4";
    static constexpr std::string_view kViewSavedNotice = "Vue enregistrée";
    static constexpr std::string_view kViewNotSavedNotice = "Vue non enregistrée";

    // The running camera flight: its name and its distance from the start, in metres.
    using FlightInfo = std::pair<std::string, double>;
    // Metres along the flown path, and its length.
    struct FlyoverPosition {
        double travelled = 0;
        double total = 0;
        bool operator==(const FlyoverPosition&) const = default;
    };

    // Builds the services in order: the disk store, the account service, the location
    // service, the network monitor, the motion activity, the texture cache, the tile session
    // and its relay, then the track recorder. Preferences are read first.
    explicit AppModel(AppEnvironment environment, QObject* parent = nullptr);
    ~AppModel() override;

    // The restored preferences, read the way start-up reads them.
    static Basemap storedBasemap(const platform::UserDefaults& defaults);
    static bool storedShowsToponyms(const platform::UserDefaults& defaults);
    static bool libraryPhotosEnabled(const platform::UserDefaults& defaults);
    // "Velorin.aerial" when it names a selectable basemap, else the IGN orthophoto.
    static Basemap rememberedAerialBasemap(const platform::UserDefaults& defaults);

    // Start-up: only a loading model goes on. Without a GPU the state becomes failed and
    // nothing is built; otherwise the sheet catalogue and the tile loader are built, the
    // state becomes ready, the location starts and "-filmTrack" shows and flies its track.
    void start();
    // The failure screen's retry: a failed model goes back to loading, then starts again
    // from the main queue.
    void retryStart();

    // Published state.
    const LoadState& state() const { return state_; }
    double zoom() const { return zoom_; }
    double metersPerPixel() const { return metersPerPixel_; }
    bool isFollowingUser() const { return isFollowingUser_; }
    bool isCompassFollowing() const { return isCompassFollowing_; }
    Basemap basemap() const { return basemap_; }
    bool showsToponyms() const { return showsToponyms_; }
    bool showsAppleCommerce() const { return showsAppleCommerce_; }
    bool showsPhotoPins() const { return showsPhotoPins_; }
    bool showsSlopes() const { return showsSlopes_; }
    // Radians, as the camera holds it.
    double bearing() const { return bearing_; }
    const TileLoader::Status& tileStatus() const { return tileStatus_; }
    bool showsActivity() const { return showsActivity_; }
    const AltitudeState& altitudeState() const { return altitudeState_; }
    bool areControlsVisible() const { return areControlsVisible_; }
    bool showsTrees() const { return showsTrees_; }
    bool is3D() const { return is3D_; }
    FlyoverMode flyoverMode() const { return flyoverMode_; }
    bool isStalled() const { return isStalled_; }
    // A track flyover runs on the canvas.
    bool isFlyingOver() const { return isFlyingOver_; }
    bool isFlyoverPaused() const { return isFlyoverPaused_; }
    // 0 to 1: how far the running flight or flyover has gone.
    std::optional<double> flyoverProgress() const { return flyoverProgress_; }
    const std::optional<FlightInfo>& flight() const { return flight_; }
    // An index into `trackPhotos`: the photo the flyover passes now.
    std::optional<int> flyoverPhotoIndex() const { return flyoverPhotoIndex_; }
    const FlyoverPosition& flyoverPosition() const { return flyoverPosition_; }
    // The photos taken along the track shown on the map.
    const std::vector<TrackPhoto>& trackPhotos() const { return trackPhotos_; }
    void setTrackPhotos(std::vector<TrackPhoto> photos);
    // The photos the photo viewer pages through, and the one it shows; no index, no viewer.
    const std::vector<TrackPhoto>& viewedPhotos() const { return viewedPhotos_; }
    std::optional<int> viewedPhotoIndex() const { return viewedPhotoIndex_; }
    // The camera readout: none until the first refresh, and none once asked for without a map.
    const std::optional<CameraInfo>& cameraInfo() const { return cameraInfo_; }
    bool showsCameraInfo() const { return showsCameraInfo_; }

    // The two world maps are drawn by a map view of their own, hosted by the map's window.
    static constexpr bool worldMapsAvailable() { return true; }

    // Photo pins. The palette's switch: stores it, shows or hides the track's photos and
    // reads the library's again (asking for access only when switching on).
    void togglePhotoPins();
    // Reads the located photos of the Pictures folder again for the map, when they are shown
    // ("Velorin.libraryPhotos" and the photo pins), on the photo worker; otherwise clears
    // them at once. A newer reload drops the result of an older one. `requestAccess` lets
    // the reading ask for access where a system asks.
    void reloadLibraryPhotos(bool requestAccess);
    // The recorder's shown track changed: the photos of the displayed track are looked up
    // again, none while recording.
    void shownTrackDidChange();
    // Looks up the photos taken during `track` (none clears them), dropping any lookup
    // still running.
    void loadTrackPhotos(const std::optional<Track>& track);
    const std::vector<TrackPhoto>& libraryPhotos() const { return libraryPhotos_; }
    const PhotoLibrary& photoLibrary() const { return *photoLibrary_; }
    // A track pin was tapped: the viewer opens the track photos current now at `index`.
    void photoTapped(int index);
    // A group of library pins was tapped: the viewer opens its first photo.
    void libraryPhotosTapped(std::vector<TrackPhoto> photos);
    // Closing the viewer clears the index.
    void setViewedPhotoIndex(std::optional<int> index);

    // Captures: saved views, recorded flights and their films.
    CaptureStore& captures() { return *captures_; }
    const CaptureStore& captures() const { return *captures_; }
    // The text shown over the map for kNoticeSeconds after a capture.
    const std::optional<std::string>& captureNotice() const { return captureNotice_; }
    // The share of frames written of each film being made, by video id.
    const std::map<std::string, double>& movieProgress() const { return movieProgress_; }
    // The palette's save button: the map's snapshot and camera become a saved view named
    // after the flight running, else after the moment; a notice says whether it was kept.
    void saveCurrentView();
    void showNotice(std::string text);
    // Ends following, puts the camera at the view's pose and selects its basemap.
    void openSavedView(const SavedView& view);
    // Ends following, selects the video's basemap (the world maps excepted) and replays it.
    void playSavedVideo(const SavedVideo& video);
    // The video's film at the height "videoHD" asks: an existing one at once; else rendered
    // by the canvas into "en-cours.mp4" beside it, then moved into place. `done` hears the
    // film's path, or nothing without a canvas, while that video's film is being made, or
    // when the canvas cannot make it. Never two films of one video at once.
    void makeFilm(const SavedVideo& video, std::function<void(std::optional<std::filesystem::path>)> done);
    // The canvas recorded a flight: it is kept as a saved video.
    void animationRecorded(const std::string& name, Basemap basemap, const std::vector<CameraPose>& poses,
        const std::optional<platform::Image>& image);

    // Services.
    const platform::Folders& folders() const { return folders_; }
    const std::shared_ptr<platform::UserDefaults>& defaults() const { return defaults_; }
    const ServiceHosts& hosts() const { return hosts_; }
    const std::shared_ptr<DiskStore>& store() const { return store_; }
    const std::shared_ptr<TileRelay>& relay() const { return relay_; }
    // The one account service; its changes are announced as the model's.
    AccountService& accounts() { return *accounts_; }
    const AccountService& accounts() const { return *accounts_; }
    const NetworkMonitor& network() const { return *network_; }
    const std::shared_ptr<TextureCache>& cache() const { return cache_; }
    const std::shared_ptr<platform::HttpSession>& session() const { return session_; }
    // Built by `start`; empty before.
    const std::optional<SheetCatalog>& catalog() const { return catalog_; }
    TileLoader* loader() const { return loader_.get(); }
    RegionDownloader* regionDownloader() const { return regions_.get(); }
    // The same, for the screens that keep it while they show its progress.
    const std::shared_ptr<RegionDownloader>& downloader() const { return regions_; }
    const std::optional<GpuDevice>& device() const { return device_; }
    // Built on first use.
    TerrainService& terrain();
    // Built on first use, over the "Places" folder; announces each database a download
    // makes available through `placesDidChange`.
    PlaceStore& places();
    // Raised by one each time a place database becomes available: the place search asks again.
    int placesRevision() const { return placesRevision_; }
    // A place database became available: the map's names are built again with its labels,
    // then the revision rises.
    void placesDidChange();
    ForestLoader& forest();
    BuildingLoader& buildings();
    // Built on first use, over the place store, the disk store and the tile session.
    ToponymService& toponyms();
    // The launch option "-position" when it names a source, else the stored choice, else
    // automatic.
    static platform::PositionSourceChoice positionSourceChoice(std::span<const std::string> arguments,
        const platform::UserDefaults& defaults);
    const platform::PositionSourceChoice& positionSource() const { return positionSource_; }
    // Stores the walker's choice and, where the model builds its sources, reads positions
    // from it at once.
    void selectPositionSource(const platform::PositionSourceChoice& choice);
    // Why the map, following the walker, has no position: set while following is on and no
    // fix came for `kPositionWaitSeconds`, or at once when nothing gives positions.
    std::optional<PositionProblem> positionProblem() const;
    // Where positions come from now, for the walker to read.
    std::string positionSourceName() const { return location_->source().name(); }
    LocationService& location() { return *location_; }
    const LocationService& location() const { return *location_; }
    // How the walker moves, read from the speeds of the fixes.
    const MotionActivityService& motion() const { return *motion_; }
    // The recorder and the saved tracks, over "VelorinTracks".
    TrackRecorder& tracks() { return *tracks_; }
    const TrackRecorder& tracks() const { return *tracks_; }
    // The GUI thread's queue, where workers hand their results back.
    const std::shared_ptr<platform::MainQueue>& mainQueue() const { return mainQueue_; }
    // Where the Pictures folder is read and captures are copied out, off the GUI thread.
    const std::shared_ptr<platform::Executor>& photoWorker() const { return photoWorker_; }
    // Where GPX files are imported, one batch after the other, off the GUI thread; the
    // model's end waits for the batch running.
    platform::Executor& importWorker() { return *importWorker_; }

    // The live map canvas, held weakly: filled by the map view host, empty before the map
    // is shown and once it is gone.
    void setCanvas(std::weak_ptr<MapCanvasPort> canvas) { canvas_ = std::move(canvas); }
    // The live canvas for the map controls' own turns and zoom steps; null while there is none.
    std::shared_ptr<MapCanvasPort> canvas() const { return canvas_.lock(); }

    // Position following and the compass.
    void locateUser();
    void toggleCompassFollowing();
    void stopCompassFollowing();
    // Shows the map controls and hides them again once no interaction came for a while.
    void revealControls();

    // The record button, once a start is confirmed: stops the recording under way, or
    // starts one with the motion activity, following the walker.
    void toggleRecording();
    // Shows a saved track on the map as it is on disk now (the recording keeps priority),
    // ends following and frames the track's points.
    void openTrack(const Track& track);
    // The recorder's track on the map, for the canvas.
    void trackPointsDidChange(const std::vector<TrackDisplayPoint>& points, const std::vector<TrackPause>& pauses);
    // The application quits: a recording under way ends now, as a stop would end it.
    void applicationWillTerminate();

    // Reports of the location service.
    void locationDidUpdate(const platform::LocationFix& fix);
    void locationDidFail();
    void authorizationDidChange(platform::LocationAuthorization authorization);
    void headingDidChange(double degrees);

    // Tile status, loading indicator and stall watchdog.
    void tileStatusDidChange(const TileLoader::Status& status);
    void startStatusPoll();
    void updateStallWatchdog(bool busy, bool progressed);
    // Forgets the loader's hold-offs and the stall, and polls the status again.
    void retryLoading();
    bool hasLoadingProblem() const;
    // "Hors réseau", "Serveur injoignable" or "Chargement bloqué".
    std::string loadingProblemMessage() const;
    // Nothing before start-up has built the loader.
    std::optional<TextureCache::Usage> textureCacheUsage() const;

    // The map canvas reports a new camera: centre, zoom and bearing in radians; the readout
    // follows while "Velorin.cameraInfo" is on.
    void cameraDidChange(const WorldPoint& center, double zoom, double bearing);
    // Reads the camera and its eye from the live canvas; without one the readout empties.
    void refreshCameraInfo();
    // Shows or hides the readout panel, and stores the preference.
    void setShowsCameraInfo(bool on);
    // The map canvas reports that the user moved the map (following ends) and whether the
    // view is now pitched; both only publish, the canvas has already moved.
    void setIsFollowingUser(bool on);
    void setIs3D(bool on);
    // The map window could not draw (no usable OpenGL context): a ready model fails with
    // `message`, so that the failure screen offers a new start.
    void mapDidFail(const std::string& message);

    // Map options; each stores its preference.
    void selectBasemap(Basemap basemap);
    void toggleAerial();
    void setAppleMap(bool on);
    void toggleToponyms();
    void toggleAppleCommerce();
    void toggleSlopes();
    void toggleTrees();
    // Not stored.
    void toggle3D();

    // Flyovers and flights. The palette's play button: stops a flyover or a flight that
    // runs, else flies over the track on the map, else tours the aimed point.
    void toggleFlyover();
    // The library's flyover of a saved track: shows the track as it is on disk and flies
    // the points given.
    void startFlyover(const Track& track);
    // Stops the running flyover or flight; the canvas reports the end.
    void stopFlyover();
    // Stored as "follow" or "drone" on every assignment, and turned on the canvas at once.
    void setFlyoverMode(FlyoverMode mode);
    void toggleFlyoverMode();
    void toggleFlyoverPause();
    // A photo of `trackPhotos` reached: shown until 4.5 s after the last one.
    void showFlyoverPhoto(int index);
    // The photo shown is opened in the viewer, the flyover paused.
    void openFlyoverPhoto();
    // "Aller directement": the running flight lands at once.
    void skipFlight();
    // "-filmTrack" in these launch arguments: the first saved track whose name begins with
    // the text is shown, with "-flyoverMode", and flown 3.0 s later from "-filmFrom". The
    // model runs it at start-up; the window runs it again for a later start's arguments.
    void startFilmTrack(const std::vector<std::string>& arguments);
    // A later start's "-startAt" view: the camera goes there at once.
    void showStartView(const StartView& view);

    // The canvas's flight and flyover reports.
    void flightDidChange(std::optional<FlightInfo> flight);
    void flyoverProgressDidChange(std::optional<double> progress);
    void flyoverPositionDidChange(double travelled, double total);
    void flyoverDidEnd();

signals:
    // After any published value changed, and when the network monitor or the account
    // service reports a change.
    void changed();

private:
    // Starts the wait for a position, or starts it over when `restart`; a pending wait
    // otherwise goes on.
    void armPositionWait(bool restart);
    template <typename T>
    void publish(T& field, T value);
    // A canvas operation that takes an option's new value; none for options the canvas
    // does not draw.
    using CanvasOption = void (MapCanvasPort::*)(bool);
    // Flips `flag` and passes its new value to the canvas, when there is one.
    void toggleFlag(bool AppModel::*flag, CanvasOption apply);
    // The same, storing the new value under `key` too.
    void persistFlag(bool AppModel::*flag, std::string_view key, CanvasOption apply);
    void pollStatus();
    void stallWatchdogFired();
    // Sets the canvas's mode (and the recording's name, when given) and starts the
    // flyover; it runs only once the canvas has started it.
    void flyOver(const std::vector<WorldPoint>& points, std::optional<std::string> animationName);
    void publishLibraryPhotos(std::vector<TrackPhoto> photos);
    void publishTrackPhotos(std::vector<TrackPhoto> photos);
    // Runs `lookup` on the photo worker and hands its result to `publish` on the main queue,
    // unless `cancelled` was set meanwhile or the model is gone.
    void lookUpPhotos(const std::shared_ptr<std::atomic<bool>>& cancelled,
        std::function<std::vector<TrackPhoto>(const PhotoLibrary&, const std::atomic<bool>*)> lookup,
        void (AppModel::*publish)(std::vector<TrackPhoto>));

    // What the model is built over.
    const platform::Folders folders_;
    const std::shared_ptr<platform::UserDefaults> defaults_;
    const ServiceHosts hosts_;
    // The queue before the clock, so that the clock's timer thread has stopped before
    // the queue it posts to may go.
    const std::shared_ptr<platform::MainQueue> mainQueue_;
    const std::shared_ptr<platform::Clock> clock_;
    const GpuDevice::Probe probeGpu_;
    const std::vector<std::string> arguments_;
    // The present moment, which names saved views.
    const std::function<platform::SystemTime()> now_;

    // In construction order.
    LoadState state_;
    double zoom_ = kInitialZoom;
    double metersPerPixel_ = 0;
    bool isFollowingUser_ = false;
    bool isCompassFollowing_ = false;
    Basemap basemap_;
    bool showsToponyms_;
    bool showsAppleCommerce_;
    bool showsPhotoPins_;
    bool showsSlopes_;
    double bearing_ = 0;
    TileLoader::Status tileStatus_;
    bool showsActivity_ = false;
    AltitudeState altitudeState_;
    bool areControlsVisible_ = true;
    std::shared_ptr<DiskStore> store_;
    std::unique_ptr<AccountService> accounts_;
    bool showsTrees_;
    bool is3D_ = false;
    bool isFlyingOver_ = false;
    std::optional<double> flyoverProgress_;
    std::optional<FlightInfo> flight_;
    bool isFlyoverPaused_ = false;
    std::optional<int> flyoverPhotoIndex_;
    FlyoverPosition flyoverPosition_;
    FlyoverMode flyoverMode_;
    platform::PositionSourceChoice positionSource_;
    const std::function<std::unique_ptr<platform::LocationSource>(const platform::PositionSourceChoice&)> makeLocationSource_;
    std::unique_ptr<LocationService> location_;
    // Runs from the start of locating, again from each fix; once it ends, a position is overdue.
    MainTimer positionWait_;
    bool isPositionOverdue_ = false;
    std::unique_ptr<NetworkMonitor> network_;
    std::shared_ptr<platform::SpeedMotionActivitySource> motionSource_;
    std::unique_ptr<MotionActivityService> motion_;
    bool isStalled_ = false;
    std::optional<CameraInfo> cameraInfo_;
    bool showsCameraInfo_;
    std::optional<SheetCatalog> catalog_;
    std::optional<GpuDevice> device_;
    std::shared_ptr<TextureCache> cache_;
    MainTimer activityDelay_;
    MainTimer stallWatchdog_;
    MainTimer statusPoll_;
    MainTimer controlsHide_;
    MainTimer flyoverPhotoHide_;
    MainTimer filmTrack_;
    std::int64_t lastDelivered_ = 0;
    double lastSheetProgress_ = 0;
    // On `clock_`, so that a step of the wall clock never fakes a stall.
    double lastCameraChange_;
    std::shared_ptr<platform::HttpSession> session_;
    std::shared_ptr<TileRelay> relay_;
    std::optional<Basemap> basemapBeforeAerial_;
    std::optional<Basemap> basemapBeforeApple_;
    std::unique_ptr<CaptureStore> captures_;
    std::optional<std::string> captureNotice_;
    std::map<std::string, double> movieProgress_;
    MainTimer noticeTimer_;
    std::weak_ptr<MapCanvasPort> canvas_;
    std::vector<TrackPhoto> trackPhotos_;
    std::optional<int> viewedPhotoIndex_;
    std::vector<TrackPhoto> viewedPhotos_;
    std::vector<TrackPhoto> libraryPhotos_;
    // Set to drop the result of the lookup under way.
    std::shared_ptr<std::atomic<bool>> photoTask_;
    std::shared_ptr<std::atomic<bool>> libraryPhotosTask_;
    std::shared_ptr<const PhotoLibrary> photoLibrary_;
    // Records through the location service, so it goes before it.
    std::unique_ptr<TrackRecorder> tracks_;
    // After everything they use, so that they go first.
    std::unique_ptr<TileLoader> loader_;
    std::unique_ptr<TerrainService> terrain_;
    int placesRevision_ = 0;
    std::unique_ptr<PlaceStore> places_;
    std::unique_ptr<ForestLoader> forest_;
    std::unique_ptr<BuildingLoader> buildings_;
    // Reads the place store's labels, so it goes before it.
    std::unique_ptr<ToponymService> toponyms_;
    // Downloads through the loader, so it goes before it.
    std::shared_ptr<RegionDownloader> regions_;
    // Last, so that a lookup or an import still running ends before anything it reports to
    // goes.
    std::shared_ptr<platform::Executor> photoWorker_;
    std::unique_ptr<platform::Executor> importWorker_;
};

template <typename T>
void AppModel::publish(T& field, T value)
{
    if (field == value)
        return;
    field = std::move(value);
    emit changed();
}

} // namespace velorin
