#include "features/PlaceDatabase.h"

#include "features/PlaceDatabaseSchema.h"

#include <fmt/format.h>
#include <sqlite3.h>

#include <cmath>
#include <memory>
#include <type_traits>

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

} // namespace

PlaceDatabase::Opening PlaceDatabase::open(const std::filesystem::path& file, bool verify)
{
    sqlite3* connection = nullptr;
    const int code = sqlite3_open_v2(file.c_str(), &connection, SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (code != SQLITE_OK || !configure(connection)) {
        sqlite3_close(connection);
        return {Outcome::unavailable, nullptr};
    }
    const Outcome outcome = check(connection, verify);
    if (outcome != Outcome::opened) {
        sqlite3_close(connection);
        return {outcome, nullptr};
    }
    return {Outcome::opened, std::shared_ptr<PlaceDatabase>(new PlaceDatabase(connection))};
}

PlaceDatabase::~PlaceDatabase()
{
    sqlite3_close(connection_);
}

PlaceDatabase::Rows PlaceDatabase::places(std::string_view sql, const std::vector<Value>& parameters,
    std::string_view country) const
{
    Rows rows;
    auto [statement, code] = prepare(connection_, sql);
    if (code != SQLITE_OK) {
        rows.damaged = isDamage(code);
        return rows;
    }
    sqlite3_stmt* const query = statement.get();
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        const int index = int(i) + 1;
        std::visit(
            [&](const auto& value) {
                using T = std::decay_t<decltype(value)>;
                if constexpr (std::is_same_v<T, int>)
                    sqlite3_bind_int(query, index, value);
                else if constexpr (std::is_same_v<T, double>)
                    sqlite3_bind_double(query, index, value);
                else
                    sqlite3_bind_text(query, index, value.c_str(), -1, SQLITE_TRANSIENT);
            },
            parameters[i]);
    }
    while ((code = sqlite3_step(query)) == SQLITE_ROW) {
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
        rows.places.push_back(std::move(place));
    }
    rows.damaged = code != SQLITE_DONE && isDamage(code);
    return rows;
}

} // namespace velorin
