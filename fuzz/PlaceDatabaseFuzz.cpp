// The place database's rows, written into a small database file the way the media host
// builds them, then read back through the store's labels and search: every row that comes
// back is the row written, of a known kind and on the globe, and none of those is missed.

#include "features/PlaceDatabase.h"
#include "features/PlaceSearchQuery.h"
#include "fuzz/FuzzCheck.h"
#include "testing/PlaceDatabaseFile.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

using namespace velorin;
using testing_support::PlaceRow;

namespace {

constexpr const char* kCountry = "fr";
// Rows fall into a few cells, so that a cell holds several.
constexpr int kCells = 3;
constexpr int kMaxRows = 16;
constexpr const char* kKinds[] = {"summit", "col", "ridge", "refuge", "viewpoint", "place"};

double coordinate(FuzzedDataProvider& input, double limit)
{
    return input.ConsumeBool() ? input.ConsumeFloatingPointInRange(-limit, limit) : input.ConsumeFloatingPoint<double>();
}

// Text as the file holds it: the writer binds C strings, which end at the first NUL.
std::string text(FuzzedDataProvider& input, std::size_t length)
{
    std::string value = input.ConsumeRandomLengthString(length);
    return value.substr(0, value.find('\0'));
}

// Names of letters, digits, spaces, hyphens and apostrophes, the accented Latin letters
// among them: those the search must always find by their own name.
bool isPlainName(std::string_view name)
{
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (std::isalnum(c) || c == ' ' || c == '-' || c == '\'')
            continue;
        const auto next = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
        if (c == 0xC3 && next >= 0x80 && next <= 0xBF && next != 0x97 && next != 0xB7) {
            ++i;
            continue;
        }
        return false;
    }
    return true;
}

PlaceRow row(FuzzedDataProvider& input)
{
    PlaceRow row;
    row.id = input.ConsumeIntegral<int64_t>();
    if (input.ConsumeBool())
        row.name = text(input, 40);
    else
        row.name.reset();
    const int kind = input.ConsumeIntegralInRange(0, 7);
    if (kind < 6)
        row.kind = kKinds[kind];
    else if (kind == 6)
        row.kind = text(input, 12);
    else
        row.kind.reset();
    row.importance = input.ConsumeIntegral<int8_t>();
    row.latitude = coordinate(input, 90);
    row.longitude = coordinate(input, 180);
    if (input.ConsumeBool())
        row.altitude = input.ConsumeFloatingPoint<double>();
    row.label = input.ConsumeBool();
    row.cellX = input.ConsumeIntegralInRange(0, kCells - 1);
    row.cellY = input.ConsumeIntegralInRange(0, kCells - 1);
    return row;
}

// What SQLite hands back of a real stored in the file: NaN is stored as NULL, read as 0.
double stored(double value)
{
    return std::isnan(value) ? 0 : value;
}

bool isListed(const PlaceRow& row)
{
    return row.kind && Toponym::kindFromRawValue(*row.kind) && std::abs(stored(row.latitude)) <= 90
        && std::abs(stored(row.longitude)) <= 180;
}

// The place is the row it names, read back as written.
void checkPlace(const Place& place, const std::map<std::string, PlaceRow>& rows)
{
    const auto found = rows.find(place.id);
    FUZZ_CHECK(found != rows.end());
    const PlaceRow& row = found->second;
    FUZZ_CHECK(isListed(row));
    FUZZ_CHECK(place.kind == *Toponym::kindFromRawValue(*row.kind));
    FUZZ_CHECK(place.name == row.name.value_or(""));
    FUZZ_CHECK(place.latitude == stored(row.latitude) && place.longitude == stored(row.longitude));
    FUZZ_CHECK(place.importance == row.importance);
    FUZZ_CHECK(place.country == kCountry);
    if (row.altitude && std::isfinite(*row.altitude))
        FUZZ_CHECK(place.altitude == row.altitude);
    else
        FUZZ_CHECK(!place.altitude);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const auto file = std::filesystem::temp_directory_path()
        / ("velorin-places-fuzz-" + std::to_string(getpid()) + ".sqlite");
    FuzzedDataProvider input(data, size);
    const bool verify = input.ConsumeBool();
    std::vector<PlaceRow> written;
    std::map<std::string, PlaceRow> rows;
    const int count = input.ConsumeIntegralInRange(0, kMaxRows);
    for (int i = 0; i < count && input.remaining_bytes() > 0; ++i) {
        PlaceRow place = row(input);
        if (rows.emplace(kCountry + std::to_string(place.id), place).second)
            written.push_back(place);
    }
    testing_support::writePlaceDatabase(file, written);

    const auto opening = PlaceDatabase::open(file, verify);
    FUZZ_CHECK(opening.outcome == PlaceDatabase::Outcome::opened);
    const auto& database = *opening.database;

    for (int cx = 0; cx < kCells; ++cx) {
        for (int cy = 0; cy < kCells; ++cy) {
            const auto labels = database.labels(cx, cy, kCountry);
            FUZZ_CHECK(!labels.damaged);
            std::size_t expected = 0;
            for (const auto& place : written)
                expected += place.label && place.cellX == cx && place.cellY == cy && isListed(place);
            FUZZ_CHECK(labels.places.size() == expected);
            for (const auto& place : labels.places) {
                checkPlace(place, rows);
                const auto& row = rows.at(place.id);
                FUZZ_CHECK(row.label && row.cellX == cx && row.cellY == cy);
            }
        }
    }

    // The walker types a row's name, or anything.
    const std::size_t pick = input.ConsumeIntegral<uint8_t>();
    const PlaceRow* named = written.empty() ? nullptr : &written[pick % written.size()];
    const std::string typed = named && named->name && input.ConsumeBool() ? *named->name : input.ConsumeRemainingBytesAsString();
    const auto expression = placeMatchExpression(typed);
    if (!expression)
        return 0;
    const auto from = WorldPoint::fromLatitudeLongitude(45.19, 5.72);
    const auto found = database.search(*expression, PlaceDistance(from), kMaxRows + 1, kCountry);
    FUZZ_CHECK(!found.damaged);
    for (const auto& place : found.places)
        checkPlace(place, rows);
    // A listed place of a plain name is found by that name.
    if (named && named->name && typed == *named->name && isPlainName(typed) && isListed(*named)) {
        const std::string id = kCountry + std::to_string(named->id);
        FUZZ_CHECK(std::ranges::any_of(found.places, [&](const Place& place) { return place.id == id; }));
    }
    return 0;
}
