#include "app/CanvasPortAdapter.h"

#include "canvas/MapCanvasView.h"

#include <utility>

namespace velorin {

CanvasPortAdapter::CanvasPortAdapter(std::weak_ptr<MapCanvasView> canvas)
    : canvas_(std::move(canvas))
{
}

void CanvasPortAdapter::setUserLocation(const platform::LocationFix& fix)
{
    if (auto canvas = canvas_.lock())
        canvas->setUserLocation(fix);
}

bool CanvasPortAdapter::handleInitialLocation(const platform::LocationFix& fix)
{
    auto canvas = canvas_.lock();
    return canvas && canvas->handleInitialLocation(fix);
}

void CanvasPortAdapter::animateCamera(const WorldPoint& center, std::optional<double> zoom, bool animated)
{
    if (auto canvas = canvas_.lock())
        canvas->animateCamera(center, zoom, animated);
}

void CanvasPortAdapter::setLatestHeading(double radians)
{
    if (auto canvas = canvas_.lock())
        canvas->setLatestHeading(radians);
}

bool CanvasPortAdapter::isCompassFollowing() const
{
    auto canvas = canvas_.lock();
    return canvas && canvas->isCompassFollowing();
}

void CanvasPortAdapter::clearCompassFollowing()
{
    if (auto canvas = canvas_.lock())
        canvas->clearCompassFollowing();
}

void CanvasPortAdapter::setCompassFollowing(bool on)
{
    if (auto canvas = canvas_.lock())
        canvas->setCompassFollowing(on);
}

void CanvasPortAdapter::setTargetBearing(double radians)
{
    if (auto canvas = canvas_.lock())
        canvas->setTargetBearing(radians);
}

bool CanvasPortAdapter::isFlying() const
{
    auto canvas = canvas_.lock();
    return canvas && canvas->isFlying();
}

void CanvasPortAdapter::endFlight()
{
    if (auto canvas = canvas_.lock())
        canvas->endFlight();
}

void CanvasPortAdapter::startDisplayLink()
{
    if (auto canvas = canvas_.lock())
        canvas->startDisplayLink();
}

void CanvasPortAdapter::ensureDisplayLink()
{
    if (auto canvas = canvas_.lock())
        canvas->ensureDisplayLink();
}

void CanvasPortAdapter::rotate(double radians)
{
    if (auto canvas = canvas_.lock())
        canvas->rotate(radians);
}

void CanvasPortAdapter::turnInPlace(double radians)
{
    if (auto canvas = canvas_.lock())
        canvas->turnInPlace(radians);
}

void CanvasPortAdapter::turnInPlaceNow(double radians)
{
    if (auto canvas = canvas_.lock())
        canvas->turnInPlaceNow(radians);
}

void CanvasPortAdapter::adjustFlyoverDistance(double levels)
{
    if (auto canvas = canvas_.lock())
        canvas->adjustFlyoverDistance(levels);
}

void CanvasPortAdapter::fit(const WorldRect& rect, bool animated)
{
    if (auto canvas = canvas_.lock())
        canvas->fit(rect, animated);
}

void CanvasPortAdapter::fit(const std::vector<WorldPoint>& points)
{
    if (auto canvas = canvas_.lock())
        canvas->fit(points);
}

void CanvasPortAdapter::setTrack(const std::vector<TrackDisplayPoint>& points, const std::vector<TrackPause>& pauses)
{
    if (auto canvas = canvas_.lock())
        canvas->setTrack(points, pauses);
}

void CanvasPortAdapter::show(const Toponym& place, bool animated)
{
    if (auto canvas = canvas_.lock())
        canvas->show(place, animated);
}

void CanvasPortAdapter::goDirectly(const Toponym& place)
{
    if (auto canvas = canvas_.lock())
        canvas->goDirectly(place);
}

bool CanvasPortAdapter::canStartFlight() const
{
    return !canvas_.expired();
}

void CanvasPortAdapter::startFlight(const Toponym& place, bool orbit)
{
    if (auto canvas = canvas_.lock())
        canvas->startFlight(place, orbit);
}

std::optional<WorldPoint> CanvasPortAdapter::cameraCenter() const
{
    if (auto canvas = canvas_.lock())
        return canvas->camera().center;
    return std::nullopt;
}

std::optional<CameraInfo> CanvasPortAdapter::cameraInfo() const
{
    auto canvas = canvas_.lock();
    if (!canvas)
        return std::nullopt;
    const Camera& camera = canvas->camera();
    // The eye's height at the scale of the map itself: the relief flattened in a view
    // nearly straight down would put it thousands of kilometres up.
    return CameraInfo {camera, canvas->renderer().eyePosition(camera, 0.0)};
}

void CanvasPortAdapter::set3D(bool on)
{
    if (auto canvas = canvas_.lock())
        canvas->set3D(on);
}

void CanvasPortAdapter::setBasemap(Basemap basemap)
{
    if (auto canvas = canvas_.lock())
        canvas->setBasemap(basemap);
}

void CanvasPortAdapter::setShowsToponyms(bool on)
{
    if (auto canvas = canvas_.lock())
        canvas->setShowsToponyms(on);
}

void CanvasPortAdapter::setShowsSlopes(bool on)
{
    if (auto canvas = canvas_.lock())
        canvas->setShowsSlopes(on);
}

void CanvasPortAdapter::setShowsTrees(bool on)
{
    if (auto canvas = canvas_.lock())
        canvas->setShowsTrees(on);
}

std::optional<platform::Image> CanvasPortAdapter::snapshot()
{
    if (auto canvas = canvas_.lock())
        return canvas->snapshot(std::nullopt);
    return std::nullopt;
}

std::optional<CameraPose> CanvasPortAdapter::camera() const
{
    auto canvas = canvas_.lock();
    if (!canvas)
        return std::nullopt;
    const Camera& camera = canvas->camera();
    return CameraPose { camera.center.x, camera.center.y, camera.zoom, camera.bearing, camera.pitch,
        camera.focalLength, camera.viewSize.width, camera.viewSize.height };
}

void CanvasPortAdapter::apply(const CameraPose& pose)
{
    if (auto canvas = canvas_.lock())
        canvas->apply(pose);
}

void CanvasPortAdapter::play(const SavedVideo& video)
{
    if (auto canvas = canvas_.lock())
        canvas->play(video);
}

void CanvasPortAdapter::setPhotos(const std::vector<TrackPhoto>& photos)
{
    if (auto canvas = canvas_.lock())
        canvas->setPhotos(photos);
}

void CanvasPortAdapter::setLibraryPhotos(const std::vector<TrackPhoto>& photos)
{
    if (auto canvas = canvas_.lock())
        canvas->setLibraryPhotos(photos);
}

bool CanvasPortAdapter::startFlyover(const std::vector<WorldPoint>& points)
{
    auto canvas = canvas_.lock();
    return canvas && canvas->startFlyover(points);
}

void CanvasPortAdapter::stopAnimations()
{
    if (auto canvas = canvas_.lock())
        canvas->stopAnimations();
}

void CanvasPortAdapter::setFlyoverMode(FlyoverMode mode)
{
    if (auto canvas = canvas_.lock())
        canvas->setFlyoverMode(mode);
}

void CanvasPortAdapter::applyFlyoverMode()
{
    if (auto canvas = canvas_.lock())
        canvas->applyFlyoverMode();
}

void CanvasPortAdapter::seekFlyover(double fraction)
{
    if (auto canvas = canvas_.lock())
        canvas->seekFlyover(fraction);
}

void CanvasPortAdapter::setFlyoverPaused(bool paused)
{
    if (auto canvas = canvas_.lock())
        canvas->setFlyoverPaused(paused);
}

void CanvasPortAdapter::setAnimationName(const std::string& name)
{
    if (auto canvas = canvas_.lock())
        canvas->setAnimationName(name);
}

void CanvasPortAdapter::startAimedPointTour()
{
    if (auto canvas = canvas_.lock())
        canvas->startAimedPointTour();
}

std::optional<double> CanvasPortAdapter::runningFlightDuration() const
{
    auto canvas = canvas_.lock();
    if (!canvas || !canvas->flight())
        return std::nullopt;
    return canvas->flight()->duration;
}

std::optional<Camera> CanvasPortAdapter::applyFlightFrame(double seconds)
{
    auto canvas = canvas_.lock();
    if (!canvas || !canvas->flight())
        return std::nullopt;
    return canvas->applyFlightFrame(*canvas->flight(), seconds);
}

void CanvasPortAdapter::applyCamera(const Camera& camera, bool keepBaseElevation)
{
    if (auto canvas = canvas_.lock())
        canvas->applyCamera(camera, keepBaseElevation);
}

void CanvasPortAdapter::writeJournal(std::string_view text)
{
    if (auto canvas = canvas_.lock())
        canvas->writeJournal(text);
}

void CanvasPortAdapter::setShowsAppleCommerce(bool on)
{
    if (auto canvas = canvas_.lock())
        canvas->setShowsAppleCommerce(on);
}

bool CanvasPortAdapter::exportVideo(const SavedVideo& video, Basemap basemap, int height,
    const std::filesystem::path& path, bool overlays, std::function<void(double)> progress,
    std::function<void(bool)> completion)
{
    auto canvas = canvas_.lock();
    return canvas
        && canvas->exportVideo(video, basemap, height, path, overlays, std::move(progress), std::move(completion));
}

} // namespace velorin
