#include "testing/PlaceDatabaseFile.h"

#include "features/PlaceDatabaseSchema.h"

#include <sqlite3.h>

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>

namespace testing_support {

namespace {

constexpr double kCellsAcross = 2048;

void run(sqlite3* db, const std::string& sql)
{
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        std::string text = message ? message : "sqlite error";
        sqlite3_free(message);
        throw std::runtime_error(text + " in " + sql);
    }
}

} // namespace

int cellColumn(double longitude)
{
    return int(std::floor((longitude + 180) / 360 * kCellsAcross));
}

int cellRow(double latitude)
{
    const double phi = latitude * std::numbers::pi / 180;
    const double y = (1 - std::log(std::tan(phi) + 1 / std::cos(phi)) / std::numbers::pi) / 2;
    return int(std::floor(y * kCellsAcross));
}

void writePlaceDatabase(const std::filesystem::path& path, const std::vector<PlaceRow>& rows, int version)
{
    std::filesystem::remove(path);
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot create " + path.string());
    }
    try {
        // A file for a test: nothing to keep safe from a power cut.
        run(db, "PRAGMA synchronous = OFF");
        run(db, std::string(velorin::PlaceDatabaseSchema::kCreate));
        run(db, "PRAGMA user_version = " + std::to_string(version));
        run(db, "BEGIN");
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO place VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)", -1, &insert, nullptr);
        for (const PlaceRow& row : rows) {
            sqlite3_bind_int64(insert, 1, row.id);
            if (row.name)
                sqlite3_bind_text(insert, 2, row.name->c_str(), -1, SQLITE_TRANSIENT);
            else
                sqlite3_bind_null(insert, 2);
            if (row.kind)
                sqlite3_bind_text(insert, 3, row.kind->c_str(), -1, SQLITE_TRANSIENT);
            else
                sqlite3_bind_null(insert, 3);
            sqlite3_bind_int64(insert, 4, row.importance);
            sqlite3_bind_double(insert, 5, row.latitude);
            sqlite3_bind_double(insert, 6, row.longitude);
            if (row.altitude)
                sqlite3_bind_double(insert, 7, *row.altitude);
            else
                sqlite3_bind_null(insert, 7);
            // A given cell stands for a position the cell functions cannot take (NaN).
            sqlite3_bind_int(insert, 8, row.cellX ? *row.cellX : cellColumn(row.longitude));
            sqlite3_bind_int(insert, 9, row.cellY ? *row.cellY : cellRow(row.latitude));
            sqlite3_bind_int(insert, 10, row.label ? 1 : 0);
            const int code = sqlite3_step(insert);
            sqlite3_reset(insert);
            if (code != SQLITE_DONE) {
                sqlite3_finalize(insert);
                throw std::runtime_error(sqlite3_errmsg(db));
            }
        }
        sqlite3_finalize(insert);
        run(db, std::string(velorin::PlaceDatabaseSchema::kBuildIndex));
        run(db, "COMMIT");
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    sqlite3_close(db);
}

} // namespace testing_support
