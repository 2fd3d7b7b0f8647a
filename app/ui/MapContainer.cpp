#include "app/ui/MapContainer.h"

#include "app/AppModel.h"
#include "app/CanvasPortAdapter.h"
#include "app/CanvasServices.h"
#include "canvas/qt/MapCanvasWidget.h"

#include <QVBoxLayout>

namespace velorin {

MapContainer::MapContainer(AppModel& model, MapCanvasView::Environment environment, QWidget* parent)
    : QWidget(parent)
    , model_(model)
    , environment_(std::move(environment))
    , shaders_(gpu::ShaderLibrary::defaultFolder())
    , widget_(new MapCanvasWidget(environment_.clock,
          [this](CanvasWindow& window, gpu::Context& context) { return makeCanvas(window, context); }, this))
{
    // A snapshot of the shown view that finds no map tile says why.
    environment_.loadingProblem
        = [this] { return model_.hasLoadingProblem() ? model_.loadingProblemMessage() : std::string(); };
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(widget_);
    // Keys go to the map.
    setFocusProxy(widget_);
    widget_->onFailure = [model = QPointer<AppModel>(&model)](const std::string& message) {
        if (model)
            model->mapDidFail(message);
    };
}

MapContainer::~MapContainer() = default;

std::shared_ptr<MapCanvasView> MapContainer::canvas() const
{
    return widget_->canvas();
}

std::shared_ptr<MapCanvasView> MapContainer::makeCanvas(CanvasWindow& window, gpu::Context& context)
{
    auto canvas = MapCanvasView::make(window, context, shaders_, CanvasServices::of(model_), environment_);
    if (!canvas)
        return nullptr;
    wireCallbacks(*canvas, &model_);
    port_ = std::make_shared<CanvasPortAdapter>(canvas);
    pushModelState(*port_);
    // The window has its size by now. The first fit comes after the options, so that the
    // stored view is fitted under the basemap that draws it (whose tiles set the deepest
    // zoom), and before the known position, so that a map opened after the first fix may
    // still centre on it.
    canvas->layout();
    pushPosition(*port_);
    return canvas;
}

void MapContainer::pushModelState(MapCanvasPort& port)
{
    port.setBasemap(model_.basemap());
    port.setShowsAppleCommerce(model_.showsAppleCommerce());
    port.setShowsToponyms(model_.showsToponyms());
    port.setShowsSlopes(model_.showsSlopes());
    port.setShowsTrees(model_.showsTrees());
    model_.setCanvas(port_);
    // The recording under way, or the track opened, before the map was shown.
    model_.tracks().publishMapTrack();
    port.setPhotos(model_.showsPhotoPins() ? model_.trackPhotos() : std::vector<TrackPhoto> {});
    port.setLibraryPhotos(model_.libraryPhotos());
}

void MapContainer::pushPosition(MapCanvasPort& port)
{
    if (const auto& fix = model_.location().location()) {
        port.setUserLocation(*fix);
        port.handleInitialLocation(*fix);
    }
}

void MapContainer::wireCallbacks(MapCanvasView& canvas, QPointer<AppModel> model)
{
    canvas.onCameraChanged = [model](const Camera& camera) {
        if (model)
            model->cameraDidChange(camera.center, camera.zoom, camera.bearing);
    };
    canvas.onTouch = [model] {
        if (model)
            model->revealControls();
    };
    canvas.onUserInteraction = [model] {
        if (model)
            model->setIsFollowingUser(false);
    };
    canvas.onPitchChanged = [model](bool pitched) {
        if (model)
            model->setIs3D(pitched);
    };
    canvas.onCompassFollowingInterrupted = [model] {
        if (model)
            model->stopCompassFollowing();
    };
    canvas.onFlight = [model](std::optional<std::pair<std::string, double>> flight) {
        if (model)
            model->flightDidChange(std::move(flight));
    };
    canvas.onFlyoverProgress = [model](std::optional<double> progress) {
        if (model)
            model->flyoverProgressDidChange(progress);
    };
    canvas.onFlyoverEnded = [model] {
        if (model)
            model->flyoverDidEnd();
    };
    canvas.onFlyoverPhoto = [model](int index) {
        if (model)
            model->showFlyoverPhoto(index);
    };
    canvas.onFlyoverPosition = [model](double travelled, double total) {
        if (model)
            model->flyoverPositionDidChange(travelled, total);
    };
    canvas.onAnimationRecorded = [model](const std::string& name, Basemap basemap, const std::vector<CameraPose>& poses,
                                     const std::optional<platform::Image>& image) {
        if (model)
            model->animationRecorded(name, basemap, poses, image);
    };
    canvas.onPhotoTapped = [model](int index) {
        if (model)
            model->photoTapped(index);
    };
    canvas.onLibraryPhotosTapped = [model](const std::vector<TrackPhoto>& photos) {
        if (model)
            model->libraryPhotosTapped(photos);
    };
}

} // namespace velorin
