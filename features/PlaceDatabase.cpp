#include "features/PlaceDatabase.h"

#include "features/PlaceDatabaseSchema.h"

#include <fmt/format.h>
#include <sqlite3.h>

#include <cmath>
#include <memory>

namespace velorin {

namespace {

constexpr double kMaxLatitude = 90;
constexpr double kMaxLongitude = 180;

// What SQLite says of a file that is no database or whose pages do not hold together.
bool isDamage(int code)
{
    const int primary = code & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB || code == SQLITE_IOERR_SHORT_READ;
}

struct Finalize {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, Finalize>;

// The statement and SQLite's answer to preparing it.
std::pair<Statement, int> prepare(sqlite3* connection, std::string_view sql)
{
    sqlite3_stmt* statement = nullptr;
    const int code = sqlite3_prepare_v2(connection, sql.data(), int(sql.size()), &statement, nullptr);
    return {Statement(statement), code};
}

// The one row of a pragma that answers a single value: its text, or what failed.
struct PragmaAnswer {
    int code = SQLITE_OK;
    bool hasRow = false;
    std::string text;
};

PragmaAnswer pragma(sqlite3* connection, std::string_view sql)
{
    auto [statement, code] = prepare(connection, sql);
    PragmaAnswer answer;
    if (code != SQLITE_OK) {
        answer.code = code;
        return answer;
    }
    code = sqlite3_step(statement.get());
    if (code == SQLITE_ROW) {
        answer.hasRow = true;
        if (const auto* text = sqlite3_column_text(statement.get(), 0))
            answer.text = reinterpret_cast<const char*>(text);
        // A damaged file may say so in further rows.
        code = sqlite3_step(statement.get());
        answer.code = code == SQLITE_ROW ? SQLITE_ROW : (code == SQLITE_DONE ? SQLITE_OK : code);
    } else if (code != SQLITE_DONE) {
        answer.code = code;
    }
    return answer;
}

bool configure(sqlite3* connection)
{
    int ignored = 0;
    return sqlite3_extended_result_codes(connection, 1) == SQLITE_OK
        && sqlite3_exec(connection, "PRAGMA mmap_size = 1073741824", nullptr, nullptr, nullptr) == SQLITE_OK
        && sqlite3_db_config(connection, SQLITE_DBCONFIG_DEFENSIVE, 1, &ignored) == SQLITE_OK
        && sqlite3_db_config(connection, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, &ignored) == SQLITE_OK
        && sqlite3_db_config(connection, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, &ignored) == SQLITE_OK;
}

PlaceDatabase::Outcome check(sqlite3* connection, bool verify)
{
    using Outcome = PlaceDatabase::Outcome;
    const PragmaAnswer version = pragma(connection, "PRAGMA user_version");
    if (isDamage(version.code))
        return Outcome::damaged;
    if (version.code != SQLITE_OK || !version.hasRow || version.text != std::to_string(PlaceDatabaseSchema::kVersion))
        return Outcome::otherVersion;
    for (std::string_view sql : {PlaceDatabaseSchema::kLabelsQuery, PlaceDatabaseSchema::kSearchQuery}) {
        if (prepare(connection, sql).second != SQLITE_OK)
            return Outcome::damaged;
    }
    if (verify) {
        const PragmaAnswer integrity = pragma(connection, "PRAGMA quick_check");
        if (integrity.code != SQLITE_OK || integrity.text != "ok")
            return Outcome::damaged;
    }
    return Outcome::opened;
}

struct Read {
    // SQLite's last answer: SQLITE_DONE once every row was read.
    int code = SQLITE_DONE;
    // The rows SQLite gave, kept or not, and the importance of the last one.
    int rows = 0;
    int64_t lastImportance = 0;
};

// Steps through the statement's rows (id, name, kind, importance, lat, lon, alt) and keeps
// those of a known kind at a position on the globe as places of `country`.
Read readPlaces(sqlite3_stmt* query, std::string_view country, std::vector<Place>& places)
{
    Read read;
    while ((read.code = sqlite3_step(query)) == SQLITE_ROW) {
        ++read.rows;
        read.lastImportance = sqlite3_column_int64(query, 3);
        const auto* kindText = reinterpret_cast<const char*>(sqlite3_column_text(query, 2));
        const auto kind = kindText ? Toponym::kindFromRawValue(kindText) : std::nullopt;
        if (!kind)
            continue;
        Place place;
        place.latitude = sqlite3_column_double(query, 4);
        place.longitude = sqlite3_column_double(query, 5);
        // The map cannot go to a place off the globe.
        if (!(std::abs(place.latitude) <= kMaxLatitude && std::abs(place.longitude) <= kMaxLongitude))
            continue;
        place.id = fmt::format("{}{}", country, sqlite3_column_int64(query, 0));
        if (const auto* name = sqlite3_column_text(query, 1))
            place.name.assign(reinterpret_cast<const char*>(name), std::size_t(sqlite3_column_bytes(query, 1)));
        place.kind = *kind;
        place.importance = sqlite3_column_int64(query, 3);
        if (sqlite3_column_type(query, 6) != SQLITE_NULL) {
            const double altitude = sqlite3_column_double(query, 6);
            if (std::isfinite(altitude))
                place.altitude = altitude;
        }
        place.country = country;
        places.push_back(std::move(place));
    }
    return read;
}

// The smallest importance, by the importance index: nothing when there is no row or it is
// not a whole number; no answer at all when SQLite fails.
std::optional<std::optional<int64_t>> readBestClass(sqlite3* connection)
{
    auto [statement, code] = prepare(connection, PlaceDatabaseSchema::kBestImportance);
    if (code != SQLITE_OK || sqlite3_step(statement.get()) != SQLITE_ROW)
        return std::nullopt;
    if (sqlite3_column_type(statement.get(), 0) != SQLITE_INTEGER)
        return std::optional<int64_t>();
    return std::optional<int64_t>(sqlite3_column_int64(statement.get(), 0));
}

} // namespace

PlaceDatabase::Opening PlaceDatabase::open(const std::filesystem::path& file, bool verify)
{
    sqlite3* connection = nullptr;
    const int code = sqlite3_open_v2(file.c_str(), &connection, SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (code != SQLITE_OK || !configure(connection)) {
        sqlite3_close(connection);
        return {Outcome::unavailable, nullptr};
    }
    Outcome outcome = check(connection, verify);
    const auto bestClass = outcome == Outcome::opened ? readBestClass(connection) : std::nullopt;
    if (outcome == Outcome::opened && !bestClass)
        outcome = Outcome::damaged;
    if (outcome != Outcome::opened) {
        sqlite3_close(connection);
        return {outcome, nullptr};
    }
    return {Outcome::opened, std::shared_ptr<PlaceDatabase>(new PlaceDatabase(connection, *bestClass))};
}

PlaceDatabase::~PlaceDatabase()
{
    sqlite3_close(connection_);
}

PlaceDatabase::Rows PlaceDatabase::labels(int x, int y, std::string_view country) const
{
    Rows rows;
    auto [statement, code] = prepare(connection_, PlaceDatabaseSchema::kLabelsQuery);
    if (code != SQLITE_OK) {
        rows.damaged = isDamage(code);
        return rows;
    }
    sqlite3_bind_int(statement.get(), 1, x);
    sqlite3_bind_int(statement.get(), 2, y);
    rows.damaged = isDamage(readPlaces(statement.get(), country, rows.places).code);
    return rows;
}

PlaceDatabase::Rows PlaceDatabase::search(const std::string& expression, const PlaceDistance& distance, int limit,
    std::string_view country) const
{
    Rows rows;
    auto [statement, code] = prepare(connection_, PlaceDatabaseSchema::kSearchQuery);
    if (code != SQLITE_OK) {
        rows.damaged = isDamage(code);
        return rows;
    }
    sqlite3_stmt* const query = statement.get();
    const auto run = [&](const std::string& match) {
        sqlite3_reset(query);
        sqlite3_bind_text(query, 1, match.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(query, 2, distance.latitude);
        sqlite3_bind_double(query, 3, distance.longitude);
        sqlite3_bind_double(query, 4, distance.scale);
        sqlite3_bind_int(query, 5, limit);
        rows.places.clear();
        const Read read = readPlaces(query, country, rows.places);
        rows.damaged = isDamage(read.code);
        return read;
    };
    // Only names are searched; the importance column narrows a search to one class.
    const std::string names = "name : (" + expression + ")";
    if (bestClass_) {
        const Read best = run(fmt::format("{} AND importance : \"{}\"", names, *bestClass_));
        // Enough places of the best class: no other can come before them.
        if (rows.damaged || (best.rows >= limit && best.lastImportance == *bestClass_))
            return rows;
    }
    run(names);
    return rows;
}

} // namespace velorin
