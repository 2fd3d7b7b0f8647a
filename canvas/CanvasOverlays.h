#pragma once

#include "features/ScreenRect.h"
#include "features/ToponymLabelStyle.h"

#include <cstddef>
#include <functional>
#include <string>

namespace velorin {

// What the map's window shows over the map for the canvas: the place-name labels, each in
// a numbered slot, and the hover card of the name under the pointer. The canvas decides
// what each slot shows and where; the host draws, restyling a slot only when told to and
// otherwise only moving it. Frames are in view points. GUI thread only; the window owns it.
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
};

} // namespace velorin
