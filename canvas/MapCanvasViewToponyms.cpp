// Place-name labels over the map: when they show, where their names stand on screen, the
// label slots of the window and the hover card.

#include "canvas/MapCanvasView.h"
#include "features/ToponymHoverCard.h"
#include "features/ToponymService.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace velorin {

namespace {

WorldPoint worldOf(const Toponym& toponym)
{
    return WorldPoint::fromLatitudeLongitude(toponym.latitude, toponym.longitude);
}

// The reuse key of a label slot: the place and the side of its text.
std::string reuseKey(const ToponymLayout::Placement& placement)
{
    return (placement.textOnLeft ? "<" : ">") + placement.toponym.id;
}

} // namespace

CanvasOverlays* MapCanvasView::overlays() const
{
    return window_.overlays();
}

void MapCanvasView::setShowsToponyms(bool on)
{
    if (on == showsToponyms_)
        return;
    if (isFlying())
        endFlight();
    showsToponyms_ = on;
    relayoutToponyms();
}

void MapCanvasView::toponymsDidChange()
{
    toponymCandidateZoom_ = std::numeric_limits<double>::quiet_NaN();
    relayoutToponyms();
}

void MapCanvasView::relayoutToponyms()
{
    if (!isFlying())
        applyToponymPlacements(layoutToponyms());
}

std::vector<ToponymLayout::Placement> MapCanvasView::layoutToponyms()
{
    const Camera& camera = renderer_->camera;
    const Camera::Size bounds = window_.boundsInPoints();
    if (!showsToponyms_ || !(camera.zoom >= ToponymService::kMinZoom) || bounds.width <= 1 || !services_.toponyms
        || !overlays())
        return {};
    const double time = now();
    if (time - lastCoverageRequest_ > kToponymCoverageSeconds) {
        lastCoverageRequest_ = time;
        // Only the ground a label can stand on: a tilted view sees far beyond the names it
        // ever writes.
        services_.toponyms->request(renderer_->labelledGround(), camera.zoom, camera.center);
    }
    refreshToponymCandidates(camera.zoom);

    // One after the other: only the points in view take the relief's test, which leaves too
    // little work to pay for starting threads every frame.
    // The plan of the world map writes the names of towns and villages itself; its
    // satellite pictures carry no names.
    std::vector<ToponymLayout::Candidate> worldMapCandidates;
    const bool mapWritesPlaces = apple_ && renderer_->basemap == Basemap::applePlan;
    if (mapWritesPlaces) {
        std::copy_if(toponymCandidates_.begin(), toponymCandidates_.end(), std::back_inserter(worldMapCandidates),
            [](const ToponymLayout::Candidate& candidate) { return candidate.toponym.kind != Toponym::Kind::place; });
    }
    const auto& candidates = mapWritesPlaces ? worldMapCandidates : toponymCandidates_;
    ToponymLayout::PointTable table;
    table.reserve(candidates.size());
    for (const auto& candidate : candidates) {
        const WorldPoint world = worldOf(candidate.toponym);
        if (table.contains(world))
            continue;
        if (apple_) {
            const Camera::Point shown = viewPoint(world);
            table.emplace(world, ScreenPoint {shown.x, shown.y});
        } else {
            table.emplace(world, toponymViewPoint(world));
        }
    }
    return ToponymLayout::layout(candidates, kMaxToponymLabels, table, {0, 0, bounds.width, bounds.height});
}

ScreenPoint MapCanvasView::toponymViewPoint(WorldPoint point) const
{
    const Camera& camera = renderer_->camera;
    const double scale = window_.screenScale();
    if (camera.pitch == 0) {
        const Camera::Point flat = camera.screenPoint(point, 0);
        return {flat.x / scale, flat.y / scale};
    }
    const auto projected = renderer_->screenPoint(point);
    if (!projected)
        return {Camera::kOffscreenCoordinate / scale, Camera::kOffscreenCoordinate / scale};
    const ScreenPoint view{projected->x / scale, projected->y / scale};
    // A point outside the view gets no label whatever the relief says: the costly tests
    // are kept for the points that could be labelled.
    const Camera::Size bounds = window_.boundsInPoints();
    if (!ScreenRect{0, 0, bounds.width, bounds.height}.contains(view))
        return view;
    if (renderer_->isFarAhead(point) || renderer_->isHiddenByTerrain(point))
        return ToponymLayout::kNowhere;
    return view;
}

void MapCanvasView::refreshToponymCandidates(double zoom)
{
    // A NaN on either side is never close.
    if (std::abs(zoom - toponymCandidateZoom_) < kToponymCandidateZoomStep)
        return;
    toponymCandidateZoom_ = zoom;
    CanvasOverlays* host = overlays();
    std::vector<Toponym> visible = services_.toponyms ? services_.toponyms->visibleToponyms(zoom) : std::vector<Toponym>{};
    toponymCandidates_.clear();
    toponymCandidates_.reserve(visible.size());
    for (Toponym& toponym : visible) {
        auto size = toponymSizes_.find(toponym.id);
        if (size == toponymSizes_.end()) {
            const CanvasOverlays::LabelSize text = host ? host->measureLabelText(toponym.labelText())
                                                        : CanvasOverlays::LabelSize{};
            size = toponymSizes_
                       .emplace(toponym.id, CanvasOverlays::LabelSize{std::ceil(text.width) + kLabelMarkerRoomPoints,
                                                std::max(std::ceil(text.height), kLabelMinHeightPoints)})
                       .first;
        }
        const CanvasOverlays::LabelSize found = size->second;
        toponymCandidates_.push_back({std::move(toponym), found.width, found.height});
    }
}

void MapCanvasView::applyToponymPlacements(const std::vector<ToponymLayout::Placement>& placements)
{
    CanvasOverlays* host = overlays();
    const bool inverted = renderer_->basemap.isPhoto();
    shownToponyms_.clear();
    for (std::size_t i = 0; i < placements.size(); ++i) {
        const ToponymLayout::Placement& placement = placements[i];
        labelView(i);
        std::string key = reuseKey(placement);
        if (toponymAssignments_[i] != key || inverted != toponymsOnDarkBackground_) {
            if (host) {
                host->configureLabel(i, {placement.toponym.labelText(), placement.toponym.kind, placement.textOnLeft,
                                            inverted, placement.frame.width, placement.frame.height});
            }
            toponymAssignments_[i] = std::move(key);
        }
        toponymFrames_[i] = placement.frame;
        if (host)
            host->placeLabel(i, placement.frame);
        shownToponyms_.push_back(placement.toponym);
    }
    toponymsOnDarkBackground_ = inverted;
    if (hoveredToponym_) {
        const auto shown = std::find_if(shownToponyms_.begin(), shownToponyms_.end(),
            [&](const Toponym& toponym) { return toponym.id == hoveredToponym_->id; });
        if (shown != shownToponyms_.end()) {
            const ScreenRect& label = toponymFrames_[std::size_t(shown - shownToponyms_.begin())];
            hoverCard_ = ToponymHoverCard::beside(label, window_.boundsInPoints().width).frame;
            if (host)
                host->showHoverCard(label);
        } else {
            closeHoverCard();
        }
    }
    hideLabelViews(placements.size());
}

void MapCanvasView::labelView(std::size_t index)
{
    while (toponymViewCount_ <= index) {
        toponymAssignments_.emplace_back();
        toponymFrames_.emplace_back();
        ++toponymViewCount_;
    }
}

void MapCanvasView::hideLabelViews(std::size_t from)
{
    if (CanvasOverlays* host = overlays())
        host->hideLabels(from);
}

std::optional<std::size_t> MapCanvasView::labelIndex(ScreenPoint point) const
{
    for (std::size_t i = 0; i < shownToponyms_.size(); ++i)
        if (toponymFrames_[i].insetBy(-kLabelHitSidePoints, -kLabelHitEndPoints).contains(point))
            return i;
    return std::nullopt;
}

void MapCanvasView::hover(ScreenPoint point)
{
    if (film_)
        return;
    if (auto index = labelIndex(point)) {
        const ScreenRect& label = toponymFrames_[*index];
        const ScreenRect card = ToponymHoverCard::beside(label, window_.boundsInPoints().width).frame;
        if (hoveredToponym_ && hoveredToponym_->id == shownToponyms_[*index].id && hoverCard_ == card)
            return;
        hoveredToponym_ = shownToponyms_[*index];
        hoverCard_ = card;
        if (CanvasOverlays* host = overlays())
            host->showHoverCard(label);
        return;
    }
    // The pointer may travel from the name onto the card's buttons.
    if (hoverCard_ && hoverCard_->insetBy(-kHoverCardSlopPoints, -kHoverCardSlopPoints).contains(point))
        return;
    closeHoverCard();
}

void MapCanvasView::hoverEnded()
{
    if (film_)
        return;
    closeHoverCard();
}

void MapCanvasView::closeHoverCard()
{
    const bool shown = hoverCard_.has_value();
    hoveredToponym_.reset();
    hoverCard_.reset();
    if (CanvasOverlays* host = overlays(); host && shown)
        host->hideHoverCard();
}

} // namespace velorin
