#pragma once

// Place databases for tests and benchmarks, built the way the media host's files are:
// rows written as given (unknown kinds and NULL columns included), the full-text index
// filled, the version set. Any thread.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

struct PlaceRow {
    int64_t id = 0;
    std::optional<std::string> name;
    // NULL when absent.
    std::optional<std::string> kind = "summit";
    int64_t importance = 3;
    double latitude = 0;
    double longitude = 0;
    std::optional<double> altitude;
    bool label = true;
    // The zoom-11 cell; by default the one that holds the place.
    std::optional<int> cellX;
    std::optional<int> cellY;
};

// The zoom-11 cell column and row of a position.
int cellColumn(double longitude);
int cellRow(double latitude);

// Writes a new database file at `path` (replacing one that is there); throws
// std::runtime_error with SQLite's message when it cannot.
void writePlaceDatabase(const std::filesystem::path& path, const std::vector<PlaceRow>& rows, int version = 2);

} // namespace testing_support
