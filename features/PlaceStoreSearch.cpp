#include "features/PlaceStore.h"

#include "features/PlaceSearchQuery.h"

#include <algorithm>
#include <utility>

namespace velorin {

std::vector<Place> PlaceStore::placeSearch(std::string_view query, const WorldPoint& point, int limit)
{
    const auto expression = placeMatchExpression(query);
    if (!expression || limit <= 0)
        return {};
    std::vector<std::string> codes;
    {
        std::lock_guard guard(lock_);
        for (const auto& entry : databases_)
            codes.push_back(entry.first);
    }
    const PlaceDistance distance(point);
    struct Candidate {
        Place place;
        double key;
    };
    std::vector<Candidate> candidates;
    for (const std::string& code : codes) {
        auto connection = database(code);
        if (!connection)
            continue;
        auto rows = connection->search(*expression, distance, limit, code);
        if (rows.damaged)
            queryFoundDamage(code, connection);
        for (Place& place : rows.places) {
            const double key = distance.key(place.latitude, place.longitude);
            candidates.push_back({std::move(place), key});
        }
    }
    std::stable_sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        return a.place.importance != b.place.importance ? a.place.importance < b.place.importance : a.key < b.key;
    });
    std::vector<Place> places;
    for (std::size_t i = 0; i < candidates.size() && i < std::size_t(limit); ++i)
        places.push_back(std::move(candidates[i].place));
    return places;
}

} // namespace velorin
