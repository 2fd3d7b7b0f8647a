#include "app/HeadlessSnapshot.h"

#include "app/AppModel.h"
#include "canvas/StartView.h"
#include "platform/LaunchArguments.h"

#include <stdexcept>

namespace velorin {

namespace {

// The model owns its services for the life of the process, longer than any canvas: the
// canvas borrows them.
template <typename T>
std::shared_ptr<T> borrowed(T* service)
{
    return std::shared_ptr<T>(std::shared_ptr<void>{}, service);
}

} // namespace

bool HeadlessSnapshot::isRequested(const std::vector<std::string>& arguments)
{
    return platform::launchArgumentValue("-snapshotTo", arguments) && StartView::parse(arguments);
}

HeadlessSnapshot::HeadlessSnapshot(AppModel& model, MapCanvasView::Environment environment)
    : context_(gpu::Context::headless())
    , library_(gpu::ShaderLibrary::defaultFolder())
    , window_(*context_, environment.clock)
{
    MapCanvasView::Services services {*model.catalog(), borrowed(model.loader()), model.cache(),
        borrowed(&model.terrain()), nullptr, nullptr};
    canvas_ = MapCanvasView::make(window_, *context_, library_, std::move(services), std::move(environment));
    if (!canvas_)
        throw std::runtime_error(std::string(MapRenderer::kStartFailureMessage));
    canvas_->setBasemap(model.basemap());
    canvas_->setShowsToponyms(model.showsToponyms());
    canvas_->setShowsSlopes(model.showsSlopes());
    canvas_->setShowsTrees(model.showsTrees());
    window_.setCanvas(canvas_);
    canvas_->layout();
}

} // namespace velorin
