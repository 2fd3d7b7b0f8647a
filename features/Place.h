#pragma once

#include "features/Toponym.h"

#include <cstdint>
#include <optional>
#include <string>

namespace velorin {

// A named place of a country's place database, as the search lists it: a summit, col,
// refuge or locality with its position, altitude and importance. A plain value; any thread.
struct Place {
    // The database's country code followed by the row id: "ch4711".
    std::string id;
    // Empty when the database has none.
    std::string name;
    Toponym::Kind kind = Toponym::Kind::place;
    // Degrees, WGS 84.
    double latitude = 0;
    double longitude = 0;
    // Metres, when the database knows it.
    std::optional<double> altitude;
    // Ascending: smaller values come first.
    int64_t importance = 0;
    // The code of the database the row came from: "fr", "ch", "at" or "es".
    std::string country;

    // The same place as the map's labels and camera take it; the country is dropped.
    Toponym toponym() const;

    bool operator==(const Place&) const = default;
};

} // namespace velorin
