#include "features/PlaceStore.h"
#include "platform/DrainableMainQueue.h"
#include "platform/HttpSession.h"
#include "platform/ManualClock.h"
#include "testing/PlaceDatabaseFile.h"
#include "testing/TemporaryFolder.h"

#include <benchmark/benchmark.h>

#include <array>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kNamesPerDatabase = 100'000;
const velorin::WorldPoint kChamonix = velorin::WorldPoint::fromLatitudeLongitude(45.92, 6.87);

// Names the way an Alpine gazetteer spells them: many saints, monts and cols, German
// compounds with ß and ss, apostrophes and hyphens; a few important places and many
// minor ones, as gazetteers rank them.
// Class 1 for 1 % of the places, 2 for 3 %, 3 for 8 %, 4 for 18 %, 5 for 30 %, 6 for 40 %.
int64_t importanceClass(unsigned percentile)
{
    constexpr std::array<unsigned, 5> kUpTo = {1, 4, 12, 30, 60};
    for (std::size_t i = 0; i < kUpTo.size(); ++i)
        if (percentile < kUpTo[i])
            return int64_t(i + 1);
    return 6;
}

std::vector<testing_support::PlaceRow> gazetteer(unsigned seed)
{
    static const std::array<const char*, 24> firsts = {"Saint-", "Sainte-", "Mont ", "Pic ", "Col de ", "Aiguille de ",
        "Lac de ", "Refuge de ", "L'Alpe d'", "Grand ", "Petit ", "Piz ", "Gross", "Groß", "Punta ", "Sierra de ",
        "Puerto de ", "Pointe de ", "Dent de ", "Tête de ", "Roc de ", "Crêt de ", "Hochalm ", "Sankt "};
    static const std::array<const char*, 32> seconds = {"Jean", "Blanc", "Martin", "Bernard", "Salève", "Sallanches",
        "Huez", "Venediger", "glockner", "Arolla", "Valais", "Écrins", "Maurienne", "Savoie", "Aneto", "Mulhacén",
        "Bellecôte", "Vanoise", "Pelvoux", "Lauteraar", "Sassolungo", "Saas", "Sarenne", "Anniviers", "Combin",
        "Belledonne", "Chartreuse", "Vercors", "Dévoluy", "Queyras", "Ubaye", "Mercantour"};
    static const std::array<const char*, 6> kinds = {"summit", "col", "ridge", "refuge", "viewpoint", "place"};
    std::mt19937 random(seed);
    std::vector<testing_support::PlaceRow> rows;
    rows.reserve(kNamesPerDatabase);
    for (int i = 1; i <= kNamesPerDatabase; ++i) {
        testing_support::PlaceRow row;
        row.id = i;
        row.name = std::string(firsts[random() % firsts.size()]) + seconds[random() % seconds.size()]
            + (random() % 3 == 0 ? " " + std::to_string(random() % 1000) : "");
        row.kind = kinds[random() % kinds.size()];
        row.importance = importanceClass(random() % 100);
        row.latitude = 42 + double(random() % 80'000) / 10'000;
        row.longitude = 0 + double(random() % 110'000) / 10'000;
        row.altitude = double(random() % 4000);
        row.label = random() % 4 == 0;
        rows.push_back(std::move(row));
    }
    return rows;
}

// A store with `count` generated databases open, built once per count.
class Gazetteers {
public:
    velorin::PlaceStore& store(int count)
    {
        auto& made = stores_[count];
        if (!made) {
            made = std::make_unique<velorin::PlaceStore>(session_, velorin::ServiceHosts(), folder_ / std::to_string(count),
                clock_, mainQueue_);
            for (int i = 0; i < count; ++i) {
                const std::string code(velorin::PlaceStore::countries[std::size_t(i)].code);
                testing_support::writePlaceDatabase(made->databaseFile(code), gazetteer(unsigned(i + 1)));
                made->ensureDatabase(code);
            }
        }
        return *made;
    }

private:
    testing_support::TemporaryFolder folder_;
    platform::HttpSession session_;
    platform::ManualClock clock_;
    platform::DrainableMainQueue mainQueue_;
    std::map<int, std::unique_ptr<velorin::PlaceStore>> stores_;
};

Gazetteers& gazetteers()
{
    static Gazetteers shared;
    return shared;
}

// One keystroke's search, on the GUI thread: the target is 5 ms whatever was typed.
void search(benchmark::State& state, const char* query)
{
    auto& store = gazetteers().store(int(state.range(0)));
    std::size_t found = 0;
    for (auto _ : state) {
        auto places = store.placeSearch(query, kChamonix, velorin::PlaceStore::kSearchLimit);
        found = places.size();
        benchmark::DoNotOptimize(places);
    }
    state.counters["found"] = double(found);
}

#define PLACE_SEARCH(name, query) \
    BENCHMARK_CAPTURE(search, name, query)->ArgName("databases")->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)

PLACE_SEARCH(sa, "sa");
PLACE_SEARCH(sai, "sai");
PLACE_SEARCH(saint, "saint");
PLACE_SEARCH(mont_bl, "mont bl");
PLACE_SEARCH(gross, "gross");
PLACE_SEARCH(l_alpe, "l alpe");

} // namespace
