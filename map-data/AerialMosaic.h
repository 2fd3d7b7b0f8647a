#pragma once

#include "map-data/Basemap.h"
#include "map-data/MosaicPixels.h"
#include "map-data/ServiceHosts.h"
#include "map-data/FetchURL.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velorin {

// Repairs aerial photo tiles: white, empty areas of the French orthophoto are filled from
// the Spanish, Swiss or Austrian photos, or from an enlarged crop of a coarser orthophoto
// tile, and flat areas of the neighbours' tiles from the orthophoto. Every failure gives
// nothing, silently. The operations block on their fetches: call them on the loader's
// mosaic queue, never on the GUI thread. Immutable; any thread.
class AerialMosaic {
public:
    // The bytes of an upstream file, or nothing; blocks while it downloads.
    using Fetch = std::function<std::optional<std::vector<std::byte>>(const std::string& url)>;

    // The level whose orthophoto tiles stand in, enlarged, for finer ones.
    static constexpr std::int64_t kAncestorLevel = 12;
    // The finest orthophoto level; finer tiles are crops of it.
    static constexpr std::int64_t kFinestOrthophotoLevel = 19;
    // Fewer white pixels than this are left as they are.
    static constexpr std::size_t kMinWhitePixels = 64;
    // Filled areas reach this far past the white pixels, over the JPEG fringe around them.
    static constexpr int kFillMarginPixels = 2;
    // A missing tile is replaced by its ancestor's crop at most this many levels finer
    // (a 16 × 16 enlargement); beyond, the crop is too blurred to show.
    static constexpr std::int64_t kMaxSubstituteEnlargementLevels = 4;
    static constexpr int kSubstituteSidePixels = 256;

    // `relayed` may be empty: files then come straight from their providers.
    AerialMosaic(ServiceHosts hosts, RelayMapping relayed, Fetch fetch);

    // The part of the level-12 orthophoto tile above tile (z, x, y), drawn into
    // width × height pixels; nothing below level 13, when it cannot be had, or when it is
    // all white.
    std::optional<platform::Image> ancestorPhotoCrop(std::int64_t z, std::int64_t x, std::int64_t y, int width,
        int height) const;

    // The orthophoto of tile (z, x, y), cropped from level 19 above it, drawn into
    // width × height pixels; nothing when it cannot be had.
    std::optional<platform::Image> overzoomOrthophoto(std::int64_t z, std::int64_t x, std::int64_t y, int width,
        int height) const;

    // A fetched orthophoto tile with its white areas filled from the first neighbouring
    // source textured there, else from the ancestor crop, as JPEG; nothing when it has
    // fewer than 64 white pixels or nothing could fill them.
    std::optional<std::vector<std::byte>> fillFromNeighbours(std::span<const std::byte> data, std::int64_t z,
        std::int64_t x, std::int64_t y) const;

    // A stand-in for an orthophoto tile the provider does not have: the first textured
    // neighbouring tile as fetched, else the enlarged ancestor crop as JPEG up to four
    // levels below the ancestor; nothing otherwise.
    std::optional<std::vector<std::byte>> substitutePhotoTile(std::int64_t z, std::int64_t x, std::int64_t y) const;

    // A neighbouring source's tile whose flat areas hold white pixels, with those pixels
    // taken from the orthophoto of the same address, as JPEG; nothing when it has no flat
    // block or no orthophoto could be had.
    std::optional<std::vector<std::byte>> fillFlatAreas(std::span<const std::byte> data, std::int64_t z,
        std::int64_t x, std::int64_t y) const;

private:
    std::optional<std::vector<std::byte>> fetchTile(Basemap basemap, std::int64_t z, std::int64_t x,
        std::int64_t y) const;
    // Tile (z, x, y)'s part of the orthophoto tile `levelsUp` levels above it.
    std::optional<platform::Image> orthophotoCrop(std::int64_t z, std::int64_t x, std::int64_t y,
        std::int64_t levelsUp, int width, int height) const;

    const ServiceHosts hosts_;
    const RelayMapping relayed_;
    const Fetch fetch_;
};

} // namespace velorin
