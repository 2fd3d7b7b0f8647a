// The tile layer passes of the renderer: which tiles of a level the camera sees, which of
// them are wanted, how each is drawn (its own texture or a cached ancestor's) and how a
// newly reached level fades in.

#include "renderer/MapRenderer.h"

#include "map-data/TextureCache.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <unordered_set>

namespace velorin {

namespace {

// A held reveal lets its tiles show after this long even if some are still missing.
constexpr double kRevealHoldSeconds = 1.0;
constexpr double kFadeInSeconds = 0.18;
// A terrain occlusion answer is reused for fewer frames than this.
constexpr int kHiddenTileReuseFrames = 20;
// Overlays draw above every basemap level.
constexpr double kOverlayLevelBase = 23;
constexpr double kOverlayLevelPerTileLevel = 0.05;
// Ancestors standing in on the relief sort below every tile level and lie behind the tiles
// over them in depth.
constexpr double kBackdropLevelOffset = 40;
constexpr int kTileDivisions = 16;
constexpr int kMaxBackdropDivisionDoublings = 3;
// Tiles nearer the eye than this many focal distances are also wanted as near tiles.
constexpr double kNearDesiredFocalDistances = 4;
// Own draws start a little before their band so that neighbouring bands overlap.
constexpr double kMinDepthShareOfNear = 0.9;
// Prefetching stops two levels coarser than the pass.
constexpr int kPrefetchCoarserLevels = 2;
constexpr std::int64_t kMaxPrefetchTiles = 64;
// From this camera zoom on, the sheet pyramid is a backdrop under the sheet layers.
constexpr double kSheetBackdropMinZoom = 10.6;

struct TileRange {
    std::int64_t x0 = 0;
    std::int64_t x1 = -1;
    std::int64_t y0 = 0;
    std::int64_t y1 = -1;

    bool empty() const { return x0 > x1 || y0 > y1; }
    std::int64_t count() const { return empty() ? 0 : (x1 - x0 + 1) * (y1 - y0 + 1); }
};

TileRange tileRange(const WorldRect& area, int z)
{
    const double n = std::exp2(z);
    const auto index = [n](double coordinate) {
        // Clamped as a double so that a point far outside the world stays in range.
        return std::int64_t(std::clamp(std::floor(coordinate * n), -1.0, n));
    };
    const std::int64_t last = std::int64_t(n) - 1;
    return {std::max<std::int64_t>(0, index(area.minX)), std::min(last, index(area.maxX)),
        std::max<std::int64_t>(0, index(area.minY)), std::min(last, index(area.maxY))};
}

std::array<WorldPoint, 4> tileSquare(int z, std::int64_t x, std::int64_t y)
{
    const double d = 1 / std::exp2(z);
    return {{{double(x) * d, double(y) * d}, {double(x + 1) * d, double(y) * d},
        {double(x + 1) * d, double(y + 1) * d}, {double(x) * d, double(y + 1) * d}}};
}

struct Tile {
    int z = 0;
    std::int64_t x = 0;
    std::int64_t y = 0;
};

} // namespace

void MapRenderer::prepareTileDraws(const WorldRect& visible, double now)
{
    const int level = basemap.tileLevel(camera.zoom, contentScale);
    const int minLevel = basemap.minLevel();
    const bool pyramid = basemap == Basemap::top25;
    const bool backdrop = pyramid && camera.zoom >= kSheetBackdropMinZoom;
    for (const DesiredTileBand& band : desiredTiles(visible, std::nullopt, basemap.maxLevel() - level)) {
        layTiles({band.rect, basemap.tileLevel(camera.zoom - band.drop, contentScale), minLevel, band.near, band.far,
            band.whole, 2 * band.drop, now, pyramid, basemap.index(), backdrop});
    }

    const int prefetchLevel = std::max(minLevel, level - detailBias);
    for (const WorldRect& rect : prefetchRects) {
        const TileRange range = tileRange(rect, prefetchLevel);
        if (range.empty() || range.count() > kMaxPrefetchTiles)
            continue;
        for (std::int64_t x = range.x0; x <= range.x1; ++x) {
            for (std::int64_t y = range.y0; y <= range.y1; ++y) {
                lowPriority.push_back(pyramid ? TileKey::pyramid(prefetchLevel, x, y)
                                              : TileKey::webTile(basemap.index(), prefetchLevel, x, y));
            }
        }
    }
}

void MapRenderer::layTiles(const TilePass& pass)
{
    const int z = pass.level;
    const TileRange range = tileRange(pass.area, z);
    if (range.empty())
        return;
    const auto keyOf = [&pass](int level, std::int64_t x, std::int64_t y) {
        return pass.pyramid ? TileKey::pyramid(level, x, y) : TileKey::webTile(pass.source, level, x, y);
    };
    const auto cached = [this](const TileKey& key) { return textures && textures->contains(key); };
    const bool overlay = pass.pass % 2 != 0;
    const auto drawLevel = [overlay](int level) {
        return overlay ? kOverlayLevelBase + kOverlayLevelPerTileLevel * level : double(level);
    };

    struct Wanted {
        TileKey key;
        double priority = 0;
        bool hidden = false;
    };
    struct Own {
        Tile tile;
        std::optional<TileKey> ancestorKey;
        Tile ancestor;
    };
    std::vector<Wanted> wanted;
    std::unordered_set<TileKey> wantedAncestors;
    std::vector<Own> own;
    std::vector<Tile> backdrops;
    std::unordered_set<TileKey> backdropKeys;
    const auto addBackdrop = [&](const TileKey& key, Tile tile) {
        if (backdropKeys.insert(key).second)
            backdrops.push_back(tile);
    };
    std::size_t visibleCount = 0;
    std::size_t missingCount = 0;
    const int coarseLevel = std::max(pass.lowestLevel, z - detailBias);

    for (std::int64_t x = range.x0; x <= range.x1; ++x) {
        for (std::int64_t y = range.y0; y <= range.y1; ++y) {
            const auto corners = tileSquare(z, x, y);
            double priority = 0;
            if (pass.flatOrder) {
                const double d = 1 / std::exp2(z);
                const double cx = (double(x) + 0.5) * d - camera.center.x;
                const double cy = (double(y) + 0.5) * d - camera.center.y;
                priority = cx * cx + cy * cy;
            } else {
                double nearest = std::numeric_limits<double>::infinity();
                double farthest = -nearest;
                for (const WorldPoint& corner : corners) {
                    const double depth = viewDepth(corner);
                    nearest = std::min(nearest, depth);
                    farthest = std::max(farthest, depth);
                }
                if (farthest < pass.near || nearest > pass.far || !isQuadVisible(corners))
                    continue;
                priority = nearest;
            }

            const TileKey key = keyOf(z, x, y);
            const bool hasTexture = cached(key);
            bool hidden = false;
            if (!pass.flatOrder && !hasTexture && !preparingFlightFrame)
                hidden = isTileHidden(key, corners);
            ++visibleCount;

            if (coarseLevel < z && !hasTexture) {
                const int shift = z - coarseLevel;
                const TileKey ancestor = keyOf(coarseLevel, x >> shift, y >> shift);
                if (wantedAncestors.insert(ancestor).second)
                    wanted.push_back({ancestor, priority, hidden});
            } else {
                wanted.push_back({key, priority, hidden});
            }

            std::optional<TileKey> ancestorKey;
            Tile ancestor;
            for (int level = z - 1; level >= pass.lowestLevel; --level) {
                const int shift = z - level;
                TileKey candidate = keyOf(level, x >> shift, y >> shift);
                if (cached(candidate)) {
                    ancestorKey = std::move(candidate);
                    ancestor = {level, x >> shift, y >> shift};
                    break;
                }
            }
            if (hasTexture)
                own.push_back({{z, x, y}, ancestorKey, ancestor});
            else if (ancestorKey)
                addBackdrop(*ancestorKey, ancestor);
            else
                ++missingCount;
        }
    }

    auto record = reveals.find(pass.pass);
    if (record == reveals.end() || record->second.level != z)
        record = reveals.insert_or_assign(pass.pass, Reveal{z, pass.now, std::nullopt}).first;
    Reveal& reveal = record->second;
    if (!reveal.releasedAt) {
        if (own.size() >= visibleCount || missingCount > 0 || pass.now - reveal.since >= kRevealHoldSeconds)
            reveal.releasedAt = pass.now;
        else
            needsAnotherFrame = true;
    }

    std::vector<TileKey> ownKeys;
    std::vector<std::optional<TileKey>> companions;
    ownKeys.reserve(own.size());
    companions.reserve(own.size());
    for (const Own& draw : own) {
        ownKeys.push_back(keyOf(z, draw.tile.x, draw.tile.y));
        companions.push_back(draw.ancestorKey);
    }
    const std::vector<float> alphas = revealAlphas(ownKeys, companions, reveal, pass.now);
    for (std::size_t at = 0; at < own.size(); ++at) {
        if (alphas[at] < 1 && own[at].ancestorKey)
            addBackdrop(*own[at].ancestorKey, own[at].ancestor);
    }

    const double s = camera.scale();
    const bool flat = camera.pitch == 0 || frame.frameHeightScale == 0;
    for (const Tile& tile : backdrops) {
        const auto entry = textures->entry(keyOf(tile.z, tile.x, tile.y));
        if (!entry)
            continue;
        const auto corners = tileSquare(tile.z, tile.x, tile.y);
        if (!overlay && !pass.backdrop && camera.pitch != 0) {
            const int divisions = kTileDivisions << std::clamp(z - tile.z, 0, kMaxBackdropDivisionDoublings);
            appendDraw(entry->texture, false, divisions, 0, 0, 0, corners, 1, tile.z - kBackdropLevelOffset, 0, true);
            continue;
        }
        MeshKey meshKey{corners[0], corners[1], corners[2], corners[3], 1, -1, 0, false};
        if (!flat) {
            meshKey.divisions = kTileDivisions;
            meshKey.terrainZoom = frame.frameTerrainZoom;
            meshKey.terrainGeneration = terrainGeneration;
            meshKey.skirt = true;
        }
        TileUniforms uniforms;
        gpu::Float2* offsets[] = {&uniforms.nw, &uniforms.ne, &uniforms.se, &uniforms.sw};
        for (std::size_t corner = 0; corner < corners.size(); ++corner) {
            *offsets[corner] = {float((corners[corner].x - camera.center.x) * s),
                float((corners[corner].y - camera.center.y) * s)};
        }
        uniforms.level = float(drawLevel(tile.z));
        draws.push_back({mesh(meshKey), meshKey, meshKey.divisions, entry->texture, nullptr, uniforms, true});
    }

    const double minDepth = pass.flatOrder ? 0 : kMinDepthShareOfNear * pass.near;
    for (std::size_t at = 0; at < own.size(); ++at) {
        if (!(alphas[at] > 0))
            continue;
        const auto entry = textures->entry(ownKeys[at]);
        if (!entry)
            continue;
        const Tile& tile = own[at].tile;
        appendDraw(entry->texture, pass.backdrop, kTileDivisions, z, int(tile.x), int(tile.y),
            tileSquare(z, tile.x, tile.y), alphas[at], drawLevel(z), minDepth, false);
    }

    std::stable_sort(
        wanted.begin(), wanted.end(), [](const Wanted& a, const Wanted& b) { return a.priority < b.priority; });
    std::vector<TileKey> seen;
    for (const Wanted& entry : wanted) {
        if (entry.hidden)
            lowPriority.push_back(entry.key);
        else
            seen.push_back(entry.key);
    }
    if (pass.flatOrder) {
        desired.insert(desired.end(), seen.begin(), seen.end());
        nearDesired.insert(nearDesired.end(), seen.begin(), seen.end());
    } else {
        desired.insert(desired.begin(), seen.begin(), seen.end());
        if (pass.near < kNearDesiredFocalDistances * camera.focalDistance())
            nearDesired.insert(nearDesired.end(), seen.begin(), seen.end());
    }

    const int prefetchLevel = std::max(pass.lowestLevel, z - kPrefetchCoarserLevels);
    if (prefetchLevel < z) {
        const TileRange coarse = tileRange(pass.area, prefetchLevel);
        for (std::int64_t x = coarse.x0; x <= coarse.x1; ++x) {
            for (std::int64_t y = coarse.y0; y <= coarse.y1; ++y)
                lowPriority.push_back(keyOf(prefetchLevel, x, y));
        }
    }
    if (camera.pitch == 0) {
        const std::int64_t last = (std::int64_t(1) << z) - 1;
        for (std::int64_t x = std::max<std::int64_t>(0, range.x0 - 1); x <= std::min(last, range.x1 + 1); ++x) {
            for (std::int64_t y = std::max<std::int64_t>(0, range.y0 - 1); y <= std::min(last, range.y1 + 1); ++y) {
                if (x < range.x0 || x > range.x1 || y < range.y0 || y > range.y1)
                    lowPriority.push_back(keyOf(z, x, y));
            }
        }
    }
}

bool MapRenderer::isTileHidden(const TileKey& key, const std::array<WorldPoint, 4>& corners)
{
    const auto found = hiddenTiles.find(key);
    if (found != hiddenTiles.end() && frameNumber - found->second.frame < kHiddenTileReuseFrames
        && (poseChangedFrame == frameNumber || poseChangedFrame < found->second.frame))
        return found->second.hidden;
    const WorldPoint centre{(corners[0].x + corners[2].x) / 2, (corners[0].y + corners[2].y) / 2};
    const bool hidden = isHiddenByTerrain(corners[0]) && isHiddenByTerrain(corners[1])
        && isHiddenByTerrain(corners[2]) && isHiddenByTerrain(corners[3]) && isHiddenByTerrain(centre);
    hiddenTiles[key] = {hidden, frameNumber};
    return hidden;
}

std::vector<float> MapRenderer::revealAlphas(const std::vector<TileKey>& keys,
    const std::vector<std::optional<TileKey>>& companions, const Reveal& reveal, double now)
{
    const std::size_t count = std::min(keys.size(), companions.size());
    std::vector<float> alphas;
    alphas.reserve(count);
    for (std::size_t at = 0; at < count; ++at) {
        const auto entry = textures ? textures->entry(keys[at]) : std::nullopt;
        if (!entry) {
            alphas.push_back(0);
        } else if (entry->insertedAt < reveal.since || !companions[at]) {
            alphas.push_back(1);
        } else if (!reveal.releasedAt) {
            alphas.push_back(0);
        } else if (preparingFlightFrame) {
            alphas.push_back(1);
        } else {
            const double t = (now - std::max(entry->insertedAt, *reveal.releasedAt)) / kFadeInSeconds;
            if (t < 1) {
                needsAnotherFrame = true;
                alphas.push_back(float(std::max(t, 0.0)));
            } else {
                alphas.push_back(1);
            }
        }
    }
    return alphas;
}

} // namespace velorin
