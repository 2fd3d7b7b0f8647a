#pragma once

#include "features/Place.h"
#include "features/PlaceSearchQuery.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
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

    struct Rows {
        std::vector<Place> places;
        // SQLite found the file damaged while answering; the places read before are kept.
        bool damaged = false;
    };

    // Opens the file, checks its version, prepares the store's two queries and finds the
    // best importance class; with `verify`, also runs SQLite's quick integrity check, which
    // reads every page.
    static Opening open(const std::filesystem::path& file, bool verify);

    ~PlaceDatabase();
    PlaceDatabase(const PlaceDatabase&) = delete;
    PlaceDatabase& operator=(const PlaceDatabase&) = delete;

    // The label places of zoom-11 cell (x, y), as places of `country`. Rows of an unknown
    // kind are dropped; a statement that does not prepare gives no rows.
    Rows labels(int x, int y, std::string_view country) const;
    // The places whose names match the full-text `expression`, by importance, then by
    // `distance`: at most `limit` rows, before those of an unknown kind are dropped.
    // A short prefix matches a large share of the names, which SQLite would all have to
    // order; the best importance class alone usually holds enough of them, so it is asked
    // first, and the whole index only when it falls short.
    Rows search(const std::string& expression, const PlaceDistance& distance, int limit, std::string_view country) const;

private:
    PlaceDatabase(sqlite3* connection, std::optional<int64_t> bestClass)
        : connection_(connection)
        , bestClass_(bestClass)
    {
    }

    sqlite3* const connection_;
    // The smallest importance, when it is a whole number.
    const std::optional<int64_t> bestClass_;
};

} // namespace velorin
