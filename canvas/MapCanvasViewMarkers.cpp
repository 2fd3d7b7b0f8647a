// The markers over the map: pause chips, the track's photo pins, the library photos gathered
// into pins by screen cell, and the flyover's dot; all moved in batches as the camera moves.

#include "canvas/LibraryPhotoGroups.h"
#include "canvas/MapCanvasView.h"
#include "platform/FrenchDate.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace velorin {

namespace {

constexpr double kMaxMercatorLatitude = 85.05112878;

std::vector<WorldPoint> pointsOf(const std::vector<TrackPause>& pauses)
{
    std::vector<WorldPoint> points;
    points.reserve(pauses.size());
    for (const TrackPause& pause : pauses) {
        points.push_back(WorldPoint::fromLatitudeLongitude(
            std::clamp(pause.latitude, -kMaxMercatorLatitude, kMaxMercatorLatitude), pause.longitude));
    }
    return points;
}

std::vector<WorldPoint> pointsOf(const std::vector<TrackPhoto>& photos)
{
    std::vector<WorldPoint> points;
    points.reserve(photos.size());
    for (const TrackPhoto& photo : photos)
        points.push_back(photo.world);
    return points;
}

} // namespace

std::string MapCanvasView::photoPinAccessibleText(const TrackPhoto& photo)
{
    return "Photo de " + platform::frenchTime(photo.date);
}

ScreenRect MapCanvasView::markerRect() const
{
    const Camera::Size bounds = window_.boundsInPoints();
    return ScreenRect {0, 0, bounds.width, bounds.height}.insetBy(-kMarkerMarginPoints, -kMarkerMarginPoints);
}

void MapCanvasView::applyMarkerPlacements(const std::vector<MarkerPlacement>& placements)
{
    if (CanvasOverlays* host = overlays(); host && !placements.empty())
        host->applyMarkerPlacements(placements);
}

void MapCanvasView::placeMarkers(const std::vector<int>& markers, const std::vector<WorldPoint>& points)
{
    if (!markers.empty())
        applyMarkerPlacements(markerPlacements(markers, points, markerRect()));
}

void MapCanvasView::setPhotos(std::vector<TrackPhoto> photos)
{
    if (isFlying())
        endFlight();
    CanvasOverlays* host = overlays();
    if (host) {
        for (int pin : photoPins_)
            host->removeMarker(pin);
    }
    photoPins_.clear();
    photos_ = std::move(photos);
    updateFlyoverPhotoStops();
    if (host) {
        const std::weak_ptr<MapCanvasView> weak = weak_from_this();
        for (std::size_t index = 0; index < photos_.size(); ++index) {
            photoPins_.push_back(host->makePhotoPin(photos_[index].id, photoPinAccessibleText(photos_[index]),
                kPhotoPinPoints, [weak, index] {
                    if (auto self = weak.lock(); self && self->onPhotoTapped)
                        self->onPhotoTapped(int(index));
                }));
        }
    }
    layoutMarkers();
}

void MapCanvasView::rebuildPauseChips()
{
    CanvasOverlays* host = overlays();
    if (!host)
        return;
    for (int chip : pauseChips_)
        host->removeMarker(chip);
    pauseChips_.clear();
    for (const TrackPause& pause : pauses_)
        pauseChips_.push_back(host->makePauseChip(pause.label()));
    layoutMarkers();
}

std::vector<MarkerPlacement> MapCanvasView::trackMarkerPlacements() const
{
    const ScreenRect rect = markerRect();
    std::vector<MarkerPlacement> placements = markerPlacements(pauseChips_, pointsOf(pauses_), rect);
    const std::vector<MarkerPlacement> pins = markerPlacements(photoPins_, pointsOf(photos_), rect);
    placements.insert(placements.end(), pins.begin(), pins.end());
    return placements;
}

void MapCanvasView::layoutMarkers()
{
    if (!overlays())
        return;
    placeMarkers(pauseChips_, pointsOf(pauses_));
    placeMarkers(photoPins_, pointsOf(photos_));
    regroupLibraryPhotos();
    if (flyover_)
        showFlyoverDot(flyover_->point(flyover_->travelled));
}

void MapCanvasView::showFlyoverDot(std::optional<WorldPoint> point)
{
    CanvasOverlays* host = overlays();
    if (!host)
        return;
    if (!point) {
        if (flyoverDot_)
            host->applyMarkerPlacements({{*flyoverDot_, {}, true}});
        return;
    }
    if (!flyoverDot_)
        flyoverDot_ = host->makeFlyoverDot();
    placeMarkers({*flyoverDot_}, {*point});
}

void MapCanvasView::setLibraryPhotos(std::vector<TrackPhoto> photos)
{
    libraryPhotos_ = std::move(photos);
    lastLibraryGrouping_ = 0;
    layoutMarkers();
}

void MapCanvasView::regroupLibraryPhotos()
{
    // Without library photos there is nothing to group, and no pin left to move.
    if (libraryPhotos_.empty() && libraryPins_.empty())
        return;
    const double time = now();
    if (time - lastLibraryGrouping_ > kRegroupIntervalSeconds) {
        lastLibraryGrouping_ = time;
        rebuildLibraryGroups();
    } else {
        const std::uint64_t generation = ++regroupGeneration_;
        environment_.clock->after(kTrailingRegroupSeconds,
            [weak = weak_from_this(), queue = environment_.mainQueue, generation] {
                queue->post([weak, generation] {
                    if (auto self = weak.lock(); self && self->regroupGeneration_ == generation)
                        self->regroupLibraryPhotos();
                });
            });
    }
    std::vector<int> pins;
    std::vector<WorldPoint> points;
    pins.reserve(libraryGroups_.size());
    points.reserve(libraryGroups_.size());
    for (const std::vector<TrackPhoto>& group : libraryGroups_) {
        if (const auto pin = libraryPins_.find(group.front().id); pin != libraryPins_.end()) {
            pins.push_back(pin->second);
            points.push_back(group.front().world);
        }
    }
    placeMarkers(pins, points);
}

void MapCanvasView::rebuildLibraryGroups()
{
    std::vector<std::vector<TrackPhoto>> groups;
    if (!libraryPhotos_.empty() && !isFlying() && !flyover_) {
        const Camera& camera = renderer_->camera;
        std::optional<WorldRect> seen;
        if (camera.pitch > kGroundRectMinPitchRadians && !isAppleLayerShown())
            seen = camera.groundRect(0, camera.eyeDistance());
        if (!seen) {
            const double reach = std::hypot(camera.viewSize.width, camera.viewSize.height) / (256 * std::exp2(camera.zoom));
            seen = WorldRect {camera.center.x - reach, camera.center.y - reach, camera.center.x + reach, camera.center.y + reach};
        }
        std::unordered_set<std::string_view> trackIds;
        for (const TrackPhoto& photo : photos_)
            trackIds.insert(photo.id);
        const Camera::Size bounds = window_.boundsInPoints();
        const ScreenRect view {0, 0, bounds.width, bounds.height};
        std::vector<LibraryPhotoGroups::Candidate> candidates;
        for (const TrackPhoto& photo : libraryPhotos_) {
            const WorldPoint at = photo.world;
            if (!(at.x >= seen->minX && at.x <= seen->maxX && at.y >= seen->minY && at.y <= seen->maxY)
                || trackIds.contains(photo.id))
                continue;
            const Camera::Point point = viewPoint(at);
            if (view.contains({point.x, point.y}))
                candidates.push_back({&photo, point});
        }
        groups = LibraryPhotoGroups::group(candidates);
    }
    libraryGroups_ = std::move(groups);

    CanvasOverlays* host = overlays();
    if (!host)
        return;
    std::unordered_set<std::string_view> leaders;
    for (const std::vector<TrackPhoto>& group : libraryGroups_)
        leaders.insert(group.front().id);
    for (auto entry = libraryPins_.begin(); entry != libraryPins_.end();) {
        if (leaders.contains(entry->first)) {
            ++entry;
            continue;
        }
        host->removeMarker(entry->second);
        libraryGroupsByPin_.erase(entry->second);
        entry = libraryPins_.erase(entry);
    }
    for (const std::vector<TrackPhoto>& group : libraryGroups_) {
        const TrackPhoto& first = group.front();
        auto pin = libraryPins_.find(first.id);
        if (pin == libraryPins_.end()) {
            const int made = host->makeLibraryPin(first.id, photoPinAccessibleText(first),
                [weak = weak_from_this(), id = first.id] {
                    if (auto self = weak.lock())
                        self->libraryPinTapped(id);
                });
            pin = libraryPins_.emplace(first.id, made).first;
        }
        const std::size_t count = group.size();
        host->setBadge(pin->second, count >= 2 ? std::to_string(count) : std::string(),
            count >= 2 ? fmt::format("{} photos", count) : std::string("Photo"));
        libraryGroupsByPin_[pin->second] = group;
    }
}

void MapCanvasView::libraryPinTapped(const std::string& leaderId)
{
    const auto pin = libraryPins_.find(leaderId);
    if (pin == libraryPins_.end())
        return;
    const auto group = libraryGroupsByPin_.find(pin->second);
    if (group != libraryGroupsByPin_.end() && onLibraryPhotosTapped)
        onLibraryPhotosTapped(group->second);
}

} // namespace velorin
