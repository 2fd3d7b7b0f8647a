#pragma once

#include "canvas/MarkerPlacement.h"
#include "features/ScreenRect.h"
#include "features/ToponymLabelStyle.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace velorin {

// What the map's window shows over the map for the canvas: the place-name labels, each in
// a numbered slot, the hover card of the name under the pointer, and the markers (pause
// chips, photo pins, library pins, the flyover dot), each named by the id the host gives it
// when it makes it. The canvas decides what each shows and where; the host draws, restyling
// only when told to and otherwise only moving. Frames and centres are in view points. GUI
// thread only; the window owns it.
class CanvasOverlays {
public:
    struct LabelSize {
        double width = 0;
        double height = 0;
    };

    virtual ~CanvasOverlays() = default;

    // A label text's size in the labels' normal style, in points, not rounded.
    virtual LabelSize measureLabelText(const std::string& text) = 0;
    // Slot `index` shows `style` from now on; slots are made as they are first styled, in order.
    virtual void configureLabel(std::size_t index, const ToponymLabelStyle& style) = 0;
    // Slot `index` stands at `frame` and shows.
    virtual void placeLabel(std::size_t index, const ScreenRect& frame) = 0;
    // Every slot from `index` on is hidden.
    virtual void hideLabels(std::size_t index) = 0;
    // The hover card beside a label's frame, above the labels.
    virtual void showHoverCard(const ScreenRect& label) = 0;
    virtual void hideHoverCard() = 0;
    // What the card's two buttons do, "go directly" and "fly there"; an empty one is disabled.
    virtual void setHoverActions(std::function<void()> onJump, std::function<void()> onGo) = 0;

    // Markers, made hidden until placed. A chip with a pause's duration.
    virtual int makePauseChip(const std::string& text) = 0;
    // A round pin of `size` points for the picture `photoId` names, its thumbnail in place
    // of the camera symbol once read; a click calls `onClick`.
    virtual int makePhotoPin(const std::string& photoId, const std::string& accessibleText, double size,
        std::function<void()> onClick) = 0;
    // A photo pin that stands for a group of photos, with a count badge over its corner.
    virtual int makeLibraryPin(const std::string& photoId, const std::string& accessibleText,
        std::function<void()> onClick) = 0;
    virtual int makeFlyoverDot() = 0;
    // A library pin's badge (hidden when empty) and what its pin reads out.
    virtual void setBadge(int marker, const std::string& badge, const std::string& accessibleText) = 0;
    virtual void removeMarker(int marker) = 0;
    // Moves and shows or hides the markers of a batch at once, without animation.
    virtual void applyMarkerPlacements(const std::vector<MarkerPlacement>& placements) = 0;
};

} // namespace velorin
