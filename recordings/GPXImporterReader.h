#pragma once

#include "recordings/GPXImporterRawPoint.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velorin::GPXImporter {

// Collects the name and the points of a GPX document while its elements stream by: the
// points of each track and of each route apart, so that the gap between two of them is
// never walked. Element names may carry any prefix. A name counts only as a direct child
// of the document or its metadata (the document's), or of a track or a route (its own);
// an elevation or a time only as a direct child of its point, so that a waypoint's
// children, an author's name or a vendor's time inside extensions never take their place.
// One document, one thread.
class Reader {
public:
    // The points of one track (every segment of it) or one route, and its own name.
    struct List {
        std::optional<std::string> name;
        std::vector<RawPoint> points;
    };

    // `attributes` holds name and value pairs and ends with a null name.
    void didStart(std::string_view element, const char* const* attributes);
    void didEnd(std::string_view element);
    void foundCharacters(std::string_view characters);

    // The document's first non-empty name.
    const std::optional<std::string>& name() const { return name_; }
    // One list per track and per route, in document order; track points outside any track
    // make a list of their own. A list may hold no point.
    const std::vector<List>& tracks() const { return tracks_; }
    const std::vector<List>& routes() const { return routes_; }
    // Waypoints with usable coordinates.
    std::size_t waypoints() const { return waypoints_; }

private:
    enum class Element : std::uint8_t { gpx, metadata, trk, rte, trkpt, rtept, wpt, name, ele, time, other };

    static Element element(std::string_view qualifiedName);
    static bool isPoint(Element element) { return element == Element::trkpt || element == Element::rtept || element == Element::wpt; }

    // The list that the points and the name of an open track or route go to; a new one for
    // points outside any.
    static List& current(std::vector<List>& lists, bool& open);

    std::optional<std::string> name_;
    std::vector<List> tracks_;
    std::vector<List> routes_;
    bool trackOpen_ = false;
    bool routeOpen_ = false;
    std::size_t waypoints_ = 0;
    std::optional<RawPoint> point_;
    // Character data since the last element start or end, gathered only inside a name,
    // an elevation or a time.
    std::string text_;
    std::vector<Element> open_;
    int openPoints_ = 0;
};

// The decimal number of a GPX attribute or element: XML white space around it and a
// leading "+" are allowed; hexadecimal, infinities, NaN and values beyond a double are not.
std::optional<double> parseNumber(std::string_view text);

} // namespace velorin::GPXImporter
