#include "app/AppModel.h"

#include "platform/OperationQueue.h"

#include <QPointer>

#include <algorithm>
#include <limits>
#include <utility>

namespace velorin {

namespace {

bool isSelectable(Basemap basemap)
{
    return std::find(Basemap::selectable.begin(), Basemap::selectable.end(), basemap) != Basemap::selectable.end();
}

std::optional<Basemap> selectableBasemap(const platform::UserDefaults& defaults, std::string_view key)
{
    auto raw = defaults.string(key);
    if (!raw)
        return std::nullopt;
    auto basemap = Basemap::fromRawValue(*raw);
    if (!basemap || !isSelectable(*basemap))
        return std::nullopt;
    return basemap;
}

FlyoverMode storedFlyoverMode(const platform::UserDefaults& defaults)
{
    const auto raw = defaults.string(AppModel::kFlyoverModeKey);
    return raw ? flyoverModeFromRawValue(*raw).value_or(FlyoverMode::follow) : FlyoverMode::follow;
}

std::shared_ptr<platform::HttpSession> makeTileSession(std::shared_ptr<platform::Clock> clock)
{
    auto options = TileLoader::sessionOptions();
    options.clock = std::move(clock);
    return std::make_shared<platform::HttpSession>(std::move(options));
}

// `utilisateur:` for the plug-in that `plugin` gives at the time, if any.
AccountService::PluginMessage pluginMessage(std::function<UpdatePlugin*()> plugin)
{
    if (!plugin)
        return {};
    return [plugin = std::move(plugin)](const std::optional<std::string>& email) {
        if (UpdatePlugin* target = plugin())
            target->utilisateur(email);
    };
}

} // namespace

AppModel::AppModel(AppEnvironment environment, QObject* parent)
    : QObject(parent)
    , folders_(std::move(environment.folders))
    , defaults_(std::move(environment.defaults))
    , hosts_(std::move(environment.hosts))
    , mainQueue_(std::move(environment.mainQueue))
    , clock_(std::move(environment.clock))
    , probeGpu_(std::move(environment.probeGpu))
    , arguments_(std::move(environment.arguments))
    , now_(environment.now ? std::move(environment.now) : [] { return std::chrono::system_clock::now(); })
    , basemap_(storedBasemap(*defaults_))
    , showsToponyms_(storedShowsToponyms(*defaults_))
    , showsAppleCommerce_(defaults_->boolean(kAppleCommerceKey).value_or(false))
    , showsPhotoPins_(defaults_->boolean(kPhotoPinsKey).value_or(false))
    , showsSlopes_(defaults_->boolean(kSlopesKey).value_or(false))
    , store_(std::make_shared<DiskStore>(folders_.tiles(), folders_.offline()))
    , accounts_(std::make_unique<AccountService>(AccountService::Dependencies { hosts_, defaults_,
          std::move(environment.keychain), clock_, mainQueue_, pluginMessage(std::move(environment.updatePlugin)) }))
    , showsTrees_(defaults_->boolean(kTreesKey).value_or(true))
    , flyoverMode_(storedFlyoverMode(*defaults_))
    , positionSource_(positionSourceChoice(arguments_, *defaults_))
    , makeLocationSource_(std::move(environment.makeLocationSource))
    , location_(std::make_unique<LocationService>(environment.locationSource ? std::move(environment.locationSource)
                                                                            : makeLocationSource_(positionSource_),
          clock_, mainQueue_))
    , positionWait_(clock_, mainQueue_)
    , network_(std::make_unique<NetworkMonitor>(std::move(environment.networkPaths), mainQueue_))
    , motionSource_(std::make_shared<platform::SpeedMotionActivitySource>(mainQueue_,
          [this] { return location_->authorization() != platform::LocationAuthorization::restricted; }))
    , motion_(std::make_unique<MotionActivityService>(motionSource_))
    , showsCameraInfo_(defaults_->boolean(kCameraInfoKey).value_or(false))
    , cache_(std::make_shared<TextureCache>(clock_))
    , activityDelay_(clock_, mainQueue_)
    , stallWatchdog_(clock_, mainQueue_)
    , statusPoll_(clock_, mainQueue_)
    , controlsHide_(clock_, mainQueue_)
    , flyoverPhotoHide_(clock_, mainQueue_)
    , filmTrack_(clock_, mainQueue_)
    , lastCameraChange_(-std::numeric_limits<double>::infinity())
    , session_(makeTileSession(clock_))
    , relay_(std::make_shared<TileRelay>(hosts_, *clock_, *defaults_))
    , captures_(std::make_unique<CaptureStore>(folders_.captures(), now_, !environment.scripted))
    , noticeTimer_(clock_, mainQueue_)
    , photoLibrary_(std::make_shared<PhotoLibrary>(folders_.pictures))
    , tracks_(std::make_unique<TrackRecorder>(std::make_unique<TrackStore>(folders_.tracks()), *location_,
          now_, environment.scripted ? TrackRecorder::Unfinished::leave : TrackRecorder::Unfinished::repair))
    , photoWorker_(environment.photoWorker ? std::move(environment.photoWorker)
                                           : std::make_shared<platform::OperationQueue>("Photos", 1))
    , importWorker_(std::make_unique<platform::OperationQueue>("Imports", 1))
{
    QPointer<AppModel> weak(this);
    accounts_->onChange = [weak] {
        if (weak)
            emit weak->changed();
    };
    tracks_->onPointsChanged = [weak](const auto& points, const auto& pauses) {
        if (weak)
            weak->trackPointsDidChange(points, pauses);
    };
    tracks_->onChange = [weak] {
        if (weak)
            emit weak->changed();
    };
    tracks_->onShownTrackChange = [weak] {
        if (weak)
            weak->shownTrackDidChange();
    };
    captures_->onChange = [weak] {
        if (weak)
            emit weak->changed();
    };
    network_->onChange = [weak] {
        if (weak)
            emit weak->changed();
    };
    motion_->onChange = [weak] {
        if (weak)
            emit weak->changed();
    };
    location_->onUpdate = [weak](const platform::LocationFix& fix) {
        if (weak)
            weak->locationDidUpdate(fix);
    };
    location_->onAuthorizationChange = [weak](platform::LocationAuthorization authorization) {
        if (weak)
            weak->authorizationDidChange(authorization);
    };
    location_->onHeading = [weak](double degrees) {
        if (weak)
            weak->headingDidChange(degrees);
    };
    location_->onFailure = [weak](const platform::LocationError&) {
        if (weak)
            weak->locationDidFail();
    };
}

AppModel::~AppModel() = default;

Basemap AppModel::storedBasemap(const platform::UserDefaults& defaults)
{
    return selectableBasemap(defaults, kBasemapKey).value_or(Basemap::planIGN);
}

bool AppModel::storedShowsToponyms(const platform::UserDefaults& defaults)
{
    return defaults.boolean(kToponymsKey).value_or(true);
}

bool AppModel::libraryPhotosEnabled(const platform::UserDefaults& defaults)
{
    return defaults.boolean(kLibraryPhotosKey).value_or(true);
}

Basemap AppModel::rememberedAerialBasemap(const platform::UserDefaults& defaults)
{
    return selectableBasemap(defaults, kAerialKey).value_or(Basemap::orthophoto);
}

void AppModel::start()
{
    if (state_ != LoadState::loading())
        return;
    auto device = probeGpu_ ? probeGpu_() : std::nullopt;
    if (!device) {
        publish(state_, LoadState::failed(std::string(kNoGpuMessage)));
        return;
    }
    device_ = *device;

    SheetCatalog catalog;
    TileLoader::Dependencies dependencies;
    dependencies.catalog = catalog;
    dependencies.store = store_;
    dependencies.cache = cache_;
    dependencies.session = session_;
    dependencies.hosts = hosts_;
    dependencies.clock = clock_;
    dependencies.mainQueue = mainQueue_;
    dependencies.relay = relay_;
    auto loader = std::make_unique<TileLoader>(std::move(dependencies));
    QPointer<AppModel> weak(this);
    loader->setOnStatusChange([weak](const TileLoader::Status& status) {
        if (weak)
            weak->tileStatusDidChange(status);
    });
    catalog_ = std::move(catalog);
    loader_ = std::move(loader);
    RegionDownloader::Services regionServices;
    regionServices.store = store_;
    regionServices.loader = loader_.get();
    regionServices.mainQueue = mainQueue_;
    regions_ = RegionDownloader::make(std::move(regionServices));
    publish(state_, LoadState::ready());
    revealControls();
    reloadLibraryPhotos(false);
    location_->start();
    armPositionWait(false);
    startFilmTrack(arguments_);
}

void AppModel::retryStart()
{
    if (state_.kind != LoadState::Kind::failed)
        return;
    publish(state_, LoadState::loading());
    QPointer<AppModel> weak(this);
    mainQueue_->post([weak] {
        if (weak)
            weak->start();
    });
}

TerrainService& AppModel::terrain()
{
    if (!terrain_)
        terrain_ = std::make_unique<TerrainService>(*store_, *session_, hosts_, *mainQueue_, *clock_, relay_.get());
    return *terrain_;
}

ForestLoader& AppModel::forest()
{
    if (!forest_)
        forest_ = std::make_unique<ForestLoader>(*store_, *session_, hosts_, *mainQueue_, *clock_, relay_.get());
    return *forest_;
}

BuildingLoader& AppModel::buildings()
{
    if (!buildings_)
        buildings_ = std::make_unique<BuildingLoader>(*store_, *session_, hosts_, *mainQueue_, *clock_);
    return *buildings_;
}

void AppModel::cameraDidChange(const WorldPoint& center, double zoom, double bearing)
{
    lastCameraChange_ = clock_->now();
    publish(zoom_, zoom);
    publish(metersPerPixel_, center.metersPerPixel(zoom));
    publish(bearing_, bearing);
    if (defaults_->boolean(kCameraInfoKey).value_or(false))
        refreshCameraInfo();
}

void AppModel::refreshCameraInfo()
{
    // A readout of a map that is gone would mislead.
    const auto canvas = canvas_.lock();
    publish(cameraInfo_, canvas ? canvas->cameraInfo() : std::nullopt);
}

void AppModel::setShowsCameraInfo(bool on)
{
    defaults_->setBoolean(kCameraInfoKey, on);
    publish(showsCameraInfo_, on);
}

} // namespace velorin
