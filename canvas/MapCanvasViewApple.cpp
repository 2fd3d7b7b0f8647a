// The world map layer under the canvas: made and dropped with the basemap, and its camera
// kept in step with the canvas's both ways.

#include "canvas/MapCanvasView.h"
#include "renderer/PixelScale.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velorin {

namespace {

constexpr double kSettleSeconds = 1.5;
// Two map distances this close (a share of the later) are the same distance.
constexpr double kSameDistanceShare = 0.02;
// A map pitch this far from the last taken back was the user tilting it.
constexpr double kUserTiltRadians = 0.005235987755982988;
// A map flatter than the wanted pitch by more than this flattened the view by itself.
constexpr double kFlattenedRadians = 0.008726646259971648;
constexpr double kPitchedRadians = 0.05235987755982988;
constexpr double kCompassFollowingSlopRadians = 0.05;

} // namespace

void MapCanvasView::makeAppleLayer()
{
    auto mapView = window_.makeMapView({services_.worldMapCache, environment_.clock});
    if (!mapView)
        return;
    appleSettlesUntil_ = now() + kSettleSeconds;
    auto layer = std::make_unique<AppleMapLayer>(std::move(mapView), services_.worldMaps);
    std::weak_ptr<MapCanvasView> weak = weak_from_this();
    layer->onCameraChanged = [weak](const platform::MapCamera& camera, bool userInitiated) {
        if (auto self = weak.lock())
            self->applyAppleCamera(camera, userInitiated);
    };
    layer->setTrack(renderer_->trackPoints);
    layer->setSlopes(renderer_->showsSlopes);
    layer->setPosition(renderer_->userLocation ? std::optional(renderer_->userLocation->world) : std::nullopt);
    layer->setShowsCommerce(showsAppleCommerce_);
    apple_ = std::move(layer);
    if (hasPerformedInitialFit_)
        pushCameraToApple();
}

void MapCanvasView::pushCameraToApple()
{
    if (apple_)
        apple_->mapView().setCamera(AppleMapLayer::mapCamera(renderer_->camera), false);
}

void MapCanvasView::setShowsAppleCommerce(bool on)
{
    showsAppleCommerce_ = on;
    if (apple_)
        apple_->setShowsCommerce(on);
}

void MapCanvasView::applyAppleCamera(const platform::MapCamera& map, bool userInitiated)
{
    const Camera::Size pixels = pixelScale(window_.boundsInPoints(), window_.screenScale());
    if (!hasPerformedInitialFit_ || pixels.height <= 1 || !map.isFinite())
        return;
    const double time = now();
    if (!userInitiated && time < appleSettlesUntil_) {
        // The map settles on its first views by itself: the canvas's camera stands.
        if (!isPushingToApple_) {
            isPushingToApple_ = true;
            pushCameraToApple();
            isPushingToApple_ = false;
        }
        return;
    }
    Camera& camera = renderer_->camera;
    if (userInitiated) {
        appleSettlesUntil_ = 0;
    } else if (animation_ || flyover_ || std::abs(targetPitch_ - camera.pitch) > kPitchSnapRadians
        || std::abs(Camera::wrapAngle(targetBearing_ - camera.bearing)) > kBearingSnapRadians) {
        // The canvas is moving the map itself.
        return;
    }

    const Camera shown = AppleMapLayer::camera(map, pixels);
    const double distance = map.distance;
    double wanted = appleWantedPitch_.value_or(camera.pitch);
    if (appleLastShown_ && std::abs(distance - appleLastShown_->distance) < kSameDistanceShare * appleLastShown_->distance
        && std::abs(shown.pitch - appleLastShown_->pitch) > kUserTiltRadians)
        wanted = shown.pitch;
    wanted = std::max(wanted, shown.pitch);
    appleWantedPitch_ = wanted;
    appleLastShown_ = AppleShown {shown.pitch, distance};

    if (userInitiated) {
        animation_.reset();
        awaitingInitialLocation_ = false;
        if (onTouch)
            onTouch();
        if (isFlying())
            endFlight();
        if (isCompassFollowing_ && std::abs(Camera::wrapAngle(targetBearing_ - shown.bearing)) > kCompassFollowingSlopRadians) {
            isCompassFollowing_ = false;
            if (onCompassFollowingInterrupted)
                onCompassFollowingInterrupted();
        }
    }

    camera = shown;
    camera.pitch = wanted;
    if (!isCompassFollowing_)
        targetBearing_ = shown.bearing;
    targetPitch_ = wanted;

    if (!userInitiated && shown.pitch < wanted - kFlattenedRadians && !isPushingToApple_
        && std::abs(distance - appleLastPushDistance_) > kSameDistanceShare * distance) {
        // The map stopped the pitch at its ceiling: it is asked once more for the view.
        appleLastPushDistance_ = distance;
        isPushingToApple_ = true;
        pushCameraToApple();
        isPushingToApple_ = false;
    }

    const bool pitched = shown.pitch > kPitchedRadians;
    if (applePitched_ != pitched) {
        applePitched_ = pitched;
        if (onPitchChanged)
            onPitchChanged(pitched);
    }
    // The markers ride with the world map as it is dragged; a flight shows its own.
    if (!isFlying())
        layoutMarkers();
    relayoutToponyms();
    reportCameraChange(time);
}

} // namespace velorin
