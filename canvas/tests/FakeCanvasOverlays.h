#pragma once

#include "canvas/CanvasOverlays.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// The window's side of the overlays, recording what the canvas asks of it: label slots
// (a label text is 7 points a letter and 14 high), the hover card, and the markers with
// every batch of placements.
class FakeCanvasOverlays final : public velorin::CanvasOverlays {
public:
    enum class Kind { pauseChip, photoPin, libraryPin, flyoverDot };
    struct Marker {
        Kind kind;
        std::string text;
        std::string accessibleText;
        std::string badge;
        std::function<void()> onClick;
        std::optional<velorin::MarkerPlacement> placement;
    };

    std::map<std::size_t, velorin::ToponymLabelStyle> styles;
    std::map<std::size_t, int> restyles;
    std::map<std::size_t, velorin::ScreenRect> frames;
    std::size_t hiddenFrom = 0;
    int measures = 0;
    std::optional<velorin::ScreenRect> card;
    std::function<void()> onJump;
    std::function<void()> onGo;

    // The markers alive, by id, with their last placement.
    std::map<int, Marker> markers;
    std::vector<std::vector<velorin::MarkerPlacement>> batches;
    int made = 0;

    LabelSize measureLabelText(const std::string& text) override
    {
        ++measures;
        return {7.0 * double(text.size()), 14};
    }
    void configureLabel(std::size_t index, const velorin::ToponymLabelStyle& style) override
    {
        styles[index] = style;
        ++restyles[index];
    }
    void placeLabel(std::size_t index, const velorin::ScreenRect& frame) override { frames[index] = frame; }
    void hideLabels(std::size_t index) override { hiddenFrom = index; }
    void showHoverCard(const velorin::ScreenRect& label) override { card = label; }
    void hideHoverCard() override { card.reset(); }
    void setHoverActions(std::function<void()> jump, std::function<void()> go) override
    {
        onJump = std::move(jump);
        onGo = std::move(go);
    }

    int makePauseChip(const std::string& text) override { return make({Kind::pauseChip, text, {}, {}, {}, {}}); }
    int makePhotoPin(const std::string& photoId, const std::string& accessibleText, double,
        std::function<void()> onClick) override
    {
        return make({Kind::photoPin, photoId, accessibleText, {}, std::move(onClick), {}});
    }
    int makeLibraryPin(const std::string& photoId, const std::string& accessibleText,
        std::function<void()> onClick) override
    {
        return make({Kind::libraryPin, photoId, accessibleText, {}, std::move(onClick), {}});
    }
    int makeFlyoverDot() override { return make({Kind::flyoverDot, {}, {}, {}, {}, {}}); }
    void setBadge(int marker, const std::string& badge, const std::string& accessibleText) override
    {
        markers.at(marker).badge = badge;
        markers.at(marker).accessibleText = accessibleText;
    }
    void removeMarker(int marker) override { markers.erase(marker); }
    void applyMarkerPlacements(const std::vector<velorin::MarkerPlacement>& placements) override
    {
        batches.push_back(placements);
        for (const velorin::MarkerPlacement& placement : placements)
            markers.at(placement.marker).placement = placement;
    }

    int totalRestyles() const
    {
        int total = 0;
        for (const auto& [index, count] : restyles)
            total += count;
        return total;
    }
    // The markers of a kind, in id order (the order they were made).
    std::vector<const Marker*> ofKind(Kind kind) const
    {
        std::vector<const Marker*> found;
        for (const auto& [id, marker] : markers)
            if (marker.kind == kind)
                found.push_back(&marker);
        return found;
    }
    // Whether a marker is placed and shown.
    static bool isShown(const Marker& marker) { return marker.placement && !marker.placement->hidden; }

private:
    int make(Marker marker)
    {
        markers.emplace(++made, std::move(marker));
        return made;
    }
};

} // namespace testing_support
