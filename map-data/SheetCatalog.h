#pragma once

#include "map-data/Sheet.h"
#include "map-data/WorldRect.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velorin {

// Every TOP25 sheet the map knows, in catalogue order, with their union rectangle; answers
// which sheet covers a position, which sheets overlap an area and which match a typed name.
// Immutable once built; any thread.
class SheetCatalog {
public:
    // The union of the sheets' rectangles; the whole world (0, 0, 1, 1) without sheets.
    explicit SheetCatalog(std::vector<Sheet> sheets = {});

    const std::vector<Sheet>& sheets() const { return sheets_; }
    const WorldRect& worldRect() const { return worldRect_; }

    // The first sheet whose bounds hold the position, borders included.
    std::optional<Sheet> sheet(double latitude, double longitude) const;
    // Every sheet overlapping `rect` by more than an edge, in catalogue order.
    std::vector<Sheet> sheets(const WorldRect& rect) const;
    // Sheets whose name holds `query`, ignoring case, accents and width: those whose name
    // begins with it first, then the others, each group in catalogue order, at most `limit`.
    std::vector<Sheet> search(std::string_view query, std::size_t limit) const;

private:
    std::vector<Sheet> sheets_;
    WorldRect worldRect_;
    // The sheets' names folded for search, by position.
    std::vector<std::string> foldedNames_;
};

} // namespace velorin
