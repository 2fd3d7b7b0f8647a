#pragma once

#include "features/Place.h"

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct sqlite3;

namespace velorin {

// One open place database: a read-only connection that SQLite serialises itself, so that
// the search on the GUI thread and label queries on workers may share it. The files come
// from the network, so the connection trusts nothing in them: no schema code runs with
// side effects and no extension loads. Shared by pointer, so that a query in flight keeps
// it open after the store has dropped it. Thread-safe.
class PlaceDatabase {
public:
    enum class Outcome {
        opened,
        // SQLite cannot open the file (a missing one fails here); the file stays.
        unavailable,
        // A readable database of another version, an empty file among them.
        otherVersion,
        // Not a database, damaged, or without the tables the store reads.
        damaged,
    };

    struct Opening {
        Outcome outcome = Outcome::unavailable;
        std::shared_ptr<PlaceDatabase> database;
    };

    // A numbered parameter's value, bound as a 32-bit integer, a double or a text.
    using Value = std::variant<int, double, std::string>;

    struct Rows {
        std::vector<Place> places;
        // SQLite found the file damaged while answering; the places read before are kept.
        bool damaged = false;
    };

    // Opens the file, checks its version and prepares the store's two queries; with
    // `verify`, also runs SQLite's quick integrity check, which reads every page.
    static Opening open(const std::filesystem::path& file, bool verify);

    ~PlaceDatabase();
    PlaceDatabase(const PlaceDatabase&) = delete;
    PlaceDatabase& operator=(const PlaceDatabase&) = delete;

    // Runs `sql` with ?1, ?2… bound to `parameters`, and decodes each row (id, name, kind,
    // importance, lat, lon, alt) as a place of `country`; rows of an unknown kind are
    // dropped. A statement that does not prepare gives no rows.
    Rows places(std::string_view sql, const std::vector<Value>& parameters, std::string_view country) const;

private:
    explicit PlaceDatabase(sqlite3* connection)
        : connection_(connection)
    {
    }

    sqlite3* const connection_;
};

} // namespace velorin
