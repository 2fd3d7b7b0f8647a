#include "canvas/LibraryPhotoGroups.h"

#include <cmath>
#include <cstdint>
#include <unordered_map>

namespace velorin {

namespace {

// The cell's key: a column times a prime larger than any row count, plus the row.
std::int64_t cellKey(Camera::Point at)
{
    const auto column = std::int64_t(std::floor(at.x / LibraryPhotoGroups::kCellPoints));
    const auto row = std::int64_t(std::floor(at.y / LibraryPhotoGroups::kCellPoints));
    return column * 100003 + row;
}

} // namespace

std::vector<std::vector<TrackPhoto>> LibraryPhotoGroups::group(const std::vector<Candidate>& candidates)
{
    std::vector<std::vector<TrackPhoto>> groups;
    std::unordered_map<std::int64_t, std::size_t> groupOfCell;
    groupOfCell.reserve(kMaxGroups);
    for (const Candidate& candidate : candidates) {
        const std::int64_t key = cellKey(candidate.at);
        if (const auto found = groupOfCell.find(key); found != groupOfCell.end()) {
            groups[found->second].push_back(*candidate.photo);
        } else if (groups.size() < kMaxGroups) {
            groupOfCell.emplace(key, groups.size());
            groups.push_back({*candidate.photo});
        }
    }
    return groups;
}

} // namespace velorin
