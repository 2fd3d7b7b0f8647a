#include "app/HeadlessRun.h"

#include "app/AppModel.h"
#include "app/CanvasPortAdapter.h"
#include "app/CanvasServices.h"
#include "canvas/StartView.h"
#include "platform/LaunchArguments.h"

#include <stdexcept>

namespace velorin {

bool HeadlessRun::isRequested(const std::vector<std::string>& arguments)
{
    const bool view = StartView::parse(arguments).has_value();
    const bool film = platform::launchArgumentValue("-filmTo", arguments).has_value();
    return (platform::launchArgumentValue("-snapshotTo", arguments) && view)
        || (film && (view || platform::launchArgumentValue("-filmTrack", arguments)));
}

HeadlessRun::HeadlessRun(AppModel& model, MapCanvasView::Environment environment)
    : context_(gpu::Context::headless())
    , library_(gpu::ShaderLibrary::defaultFolder())
    , window_(*context_, environment.clock)
{
    environment.loadingProblem = [&model] { return model.hasLoadingProblem() ? model.loadingProblemMessage() : std::string(); };
    canvas_ = MapCanvasView::make(window_, *context_, library_, CanvasServices::of(model), std::move(environment));
    if (!canvas_)
        throw std::runtime_error(std::string(MapRenderer::kStartFailureMessage));
    canvas_->setBasemap(model.basemap());
    canvas_->setShowsToponyms(model.showsToponyms());
    canvas_->setShowsSlopes(model.showsSlopes());
    canvas_->setShowsTrees(model.showsTrees());
    window_.setCanvas(canvas_);
    port_ = std::make_shared<CanvasPortAdapter>(canvas_);
    model.setCanvas(port_);
    canvas_->layout();
}

} // namespace velorin
