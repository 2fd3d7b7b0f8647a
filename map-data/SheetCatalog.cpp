#include "map-data/SheetCatalog.h"

#include "platform/TextFolding.h"

#include <algorithm>

namespace velorin {

SheetCatalog::SheetCatalog(std::vector<Sheet> sheets)
    : sheets_(std::move(sheets))
    , worldRect_ { 0, 0, 1, 1 }
{
    if (!sheets_.empty()) {
        worldRect_ = sheets_.front().worldRect;
        for (const auto& sheet : sheets_) {
            worldRect_.minX = std::min(worldRect_.minX, sheet.worldRect.minX);
            worldRect_.minY = std::min(worldRect_.minY, sheet.worldRect.minY);
            worldRect_.maxX = std::max(worldRect_.maxX, sheet.worldRect.maxX);
            worldRect_.maxY = std::max(worldRect_.maxY, sheet.worldRect.maxY);
        }
    }
    foldedNames_.reserve(sheets_.size());
    for (const auto& sheet : sheets_)
        foldedNames_.push_back(platform::foldForSearch(sheet.name));
}

std::optional<Sheet> SheetCatalog::sheet(double latitude, double longitude) const
{
    for (const auto& sheet : sheets_) {
        if (sheet.south <= latitude && latitude <= sheet.north && sheet.west <= longitude && longitude <= sheet.east)
            return sheet;
    }
    return std::nullopt;
}

std::vector<Sheet> SheetCatalog::sheets(const WorldRect& rect) const
{
    std::vector<Sheet> found;
    for (const auto& sheet : sheets_) {
        const auto& other = sheet.worldRect;
        if (rect.maxX > other.minX && other.maxX > rect.minX && rect.maxY > other.minY && other.maxY > rect.minY)
            found.push_back(sheet);
    }
    return found;
}

std::vector<Sheet> SheetCatalog::search(std::string_view query, std::size_t limit) const
{
    // Spaces are part of the query: "mont " must not find "Montagne".
    const std::string folded = platform::foldForSearch(query);
    if (folded.empty())
        return {};
    std::vector<Sheet> prefixMatches;
    std::vector<Sheet> containsMatches;
    for (std::size_t i = 0; i < sheets_.size() && prefixMatches.size() < limit; ++i) {
        const auto& name = foldedNames_[i];
        if (name.starts_with(folded))
            prefixMatches.push_back(sheets_[i]);
        else if (name.find(folded) != std::string::npos && containsMatches.size() < limit)
            containsMatches.push_back(sheets_[i]);
    }
    for (auto& sheet : containsMatches) {
        if (prefixMatches.size() >= limit)
            break;
        prefixMatches.push_back(std::move(sheet));
    }
    return prefixMatches;
}

} // namespace velorin
