#pragma once

#include "map-data/WorldPoint.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velorin {

// What the place search makes of the text the walker typed, before any database is asked:
// its words, the full-text expression that must match every one of them, and how near a
// place lies to the point the search starts from. Pure; any thread.

// The lower-cased words of `query`: maximal runs of letters and numbers, every other
// character (space, hyphen, apostrophe, punctuation, symbol) separating them. A decomposed
// accent stays with its letter.
std::vector<std::string> searchTerms(std::string_view query);

// Each word as a quoted prefix term ("saint"* "jean"*), a word with "ss" also matching its
// "ß" spelling (("gross"* OR "groß"*)), joined so that every term must match. Nothing when
// the query has no word, or only one word shorter than two characters.
std::optional<std::string> placeMatchExpression(std::string_view query);

// Closeness to the search's reference point: the squared distance in degrees of latitude,
// with longitudes shrunk to their true width at the point's latitude.
struct PlaceDistance {
    double latitude = 0;
    double longitude = 0;
    // cos² of the point's latitude.
    double scale = 1;

    explicit PlaceDistance(const WorldPoint& point);
    double key(double placeLatitude, double placeLongitude) const;
};

} // namespace velorin
