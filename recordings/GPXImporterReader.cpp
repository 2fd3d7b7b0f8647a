#include "recordings/GPXImporterReader.h"

#include "recordings/GPXImporter.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace velorin::GPXImporter {

namespace {

constexpr std::string_view kXmlWhiteSpace = " \t\r\n";

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(kXmlWhiteSpace);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kXmlWhiteSpace) - first + 1);
}

// The name after its prefixes: "gpx:trkpt" and "trkpt" read alike.
std::string_view localName(std::string_view name)
{
    while (!name.empty() && name.back() == ':')
        name.remove_suffix(1);
    const auto colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::optional<double> attribute(const char* const* attributes, const char* wanted)
{
    for (const char* const* pair = attributes; pair[0]; pair += 2) {
        if (std::strcmp(pair[0], wanted) == 0)
            return parseNumber(pair[1]);
    }
    return std::nullopt;
}

} // namespace

std::optional<double> parseNumber(std::string_view text)
{
    text = trimmed(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-')
            return std::nullopt;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

Reader::Element Reader::element(std::string_view qualifiedName)
{
    struct Known {
        std::string_view name;
        Element element;
    };
    static constexpr Known kKnown[] = {{"trkpt", Element::trkpt}, {"ele", Element::ele}, {"time", Element::time},
        {"rtept", Element::rtept}, {"wpt", Element::wpt}, {"name", Element::name}, {"trk", Element::trk},
        {"rte", Element::rte}, {"metadata", Element::metadata}, {"gpx", Element::gpx}};
    const std::string_view local = localName(qualifiedName);
    for (const Known& known : kKnown) {
        if (known.name == local)
            return known.element;
    }
    return Element::other;
}

Reader::List& Reader::current(std::vector<List>& lists, bool& open)
{
    if (!open || lists.empty()) {
        lists.emplace_back();
        open = true;
    }
    return lists.back();
}

void Reader::didStart(std::string_view name, const char* const* attributes)
{
    text_.clear();
    const Element started = element(name);
    open_.push_back(started);
    if (started == Element::trk || started == Element::rte) {
        (started == Element::trk ? tracks_ : routes_).emplace_back();
        (started == Element::trk ? trackOpen_ : routeOpen_) = true;
        return;
    }
    if (!isPoint(started))
        return;
    ++openPoints_;
    const auto latitude = attribute(attributes, "lat");
    const auto longitude = attribute(attributes, "lon");
    const bool onTheGlobe = latitude && longitude && std::abs(*latitude) <= 90 && std::abs(*longitude) <= 180;
    if (started == Element::wpt)
        waypoints_ += onTheGlobe;
    else if (onTheGlobe)
        point_ = RawPoint{*latitude, *longitude, std::nullopt, std::nullopt};
}

void Reader::foundCharacters(std::string_view characters)
{
    if (open_.empty())
        return;
    const Element current = open_.back();
    if (current == Element::name || current == Element::ele || current == Element::time)
        text_ += characters;
}

void Reader::didEnd(std::string_view)
{
    // The parser checks that end tags match, so the element ending is the last one open.
    if (open_.empty())
        return;
    const Element ended = open_.back();
    open_.pop_back();
    const Element parent = open_.empty() ? Element::other : open_.back();
    const bool inPointItself = parent == Element::trkpt || parent == Element::rtept;
    const std::string_view value = trimmed(text_);

    switch (ended) {
    case Element::ele:
        if (point_ && inPointItself)
            point_->altitude = parseNumber(value);
        break;
    case Element::time:
        if (point_ && inPointItself)
            point_->time = parseDate(value);
        break;
    case Element::name: {
        if (openPoints_ > 0 || value.empty())
            break;
        std::optional<std::string>* owner = parent == Element::gpx || parent == Element::metadata ? &name_
            : parent == Element::trk && trackOpen_                                             ? &tracks_.back().name
            : parent == Element::rte && routeOpen_                                             ? &routes_.back().name
                                                                                               : nullptr;
        if (owner && !*owner)
            *owner = std::string(value);
        break;
    }
    case Element::trk:
        trackOpen_ = false;
        break;
    case Element::rte:
        routeOpen_ = false;
        break;
    case Element::trkpt:
    case Element::rtept:
        if (point_) {
            const bool track = ended == Element::trkpt;
            current(track ? tracks_ : routes_, track ? trackOpen_ : routeOpen_).points.push_back(*point_);
        }
        point_.reset();
        --openPoints_;
        break;
    case Element::wpt:
        --openPoints_;
        break;
    default:
        break;
    }
    text_.clear();
}

} // namespace velorin::GPXImporter
