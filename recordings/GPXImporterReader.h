#pragma once

#include "recordings/GPXImporterRawPoint.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velorin::GPXImporter {

// Collects the name and the points of a GPX document while its elements stream by.
// Element names may carry any prefix. A name counts only as a direct child of the
// document, its metadata, a track or a route; an elevation or a time only as a direct
// child of its point, so that a waypoint's children, an author's name or a vendor's time
// inside extensions never take their place. One document, one thread.
class Reader {
public:
    // `attributes` holds name and value pairs and ends with a null name.
    void didStart(std::string_view element, const char* const* attributes);
    void didEnd(std::string_view element);
    void foundCharacters(std::string_view characters);

    // The first non-empty name found.
    const std::optional<std::string>& name() const { return name_; }
    const std::vector<RawPoint>& track() const { return track_; }
    const std::vector<RawPoint>& route() const { return route_; }

private:
    enum class Element : std::uint8_t { gpx, metadata, trk, rte, trkpt, rtept, wpt, name, ele, time, other };

    static Element element(std::string_view qualifiedName);
    static bool isPoint(Element element) { return element == Element::trkpt || element == Element::rtept || element == Element::wpt; }

    std::optional<std::string> name_;
    std::vector<RawPoint> track_;
    std::vector<RawPoint> route_;
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
