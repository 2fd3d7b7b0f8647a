#pragma once

#include "features/Toponym.h"

#include <string>

namespace velorin {

// What a place-name label shows: its text, the marker of its kind at the text's start (or
// its end when the text stands on the left), the light style for photographic basemaps, and
// the label's size in points. A plain value; any thread.
struct ToponymLabelStyle {
    std::string text;
    Toponym::Kind kind = Toponym::Kind::place;
    bool textOnLeft = false;
    bool inverted = false;
    double width = 0;
    double height = 0;

    bool operator==(const ToponymLabelStyle&) const = default;
};

} // namespace velorin
