#pragma once

#include "map-data/TileKey.h"
#include "platform/Clock.h"
#include "platform/gpu/Texture.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

namespace velorin {

// Keeps decoded tile textures under a byte budget, least recently used first, sparing the
// tiles used for the frame being prepared. Thread-safe: every member takes the cache
// lock; the loader and the sheet slicer insert from their queues, the renderer looks up
// on the GUI thread.
class TextureCache {
public:
    struct Entry {
        std::shared_ptr<gpu::Texture> texture;
        // Clock time of the insertion; the renderer fades the tile in from it.
        double insertedAt = 0;
        // The cache's use counter at the last insertion or marked look-up.
        std::uint64_t lastUsed = 0;
        // The cache's generation at that moment.
        std::uint64_t lastUsedGeneration = 0;
        std::int64_t bytes = 0;
    };

    // What the diagnostics sheet shows, read together.
    struct Usage {
        std::int64_t currentBytes = 0;
        std::size_t entryCount = 0;
        std::int64_t evictionCount = 0;

        bool operator==(const Usage&) const = default;
    };

    static constexpr std::int64_t kMaxByteLimitBytes = std::int64_t(3) << 30;
    static constexpr std::uint64_t kPhysicalMemoryShare = 8;
    // When the physical memory cannot be read.
    static constexpr std::int64_t kFallbackByteLimitBytes = std::int64_t(220) << 20;

    // An eighth of the physical memory, at most kMaxByteLimitBytes; computed once.
    static std::int64_t defaultByteLimit();
    static std::int64_t byteLimit(std::uint64_t physicalMemoryBytes);

    explicit TextureCache(std::shared_ptr<const platform::Clock> clock, std::int64_t byteLimit = defaultByteLimit());
    ~TextureCache();

    TextureCache(const TextureCache&) = delete;
    TextureCache& operator=(const TextureCache&) = delete;

    std::int64_t byteLimit() const { return byteLimit_; }

    // The key's entry, marked as used now and in the current generation.
    std::optional<Entry> entry(const TileKey& key);
    // Whether the key has a texture; leaves the eviction order as it was.
    bool contains(const TileKey& key) const;
    // The bytes of the key's texture; leaves the eviction order as it was.
    std::optional<std::int64_t> byteSize(const TileKey& key) const;
    // Stores the texture under the key, replacing any earlier one, then evicts down to the
    // byte limit when the total goes over it.
    void insert(std::shared_ptr<gpu::Texture> texture, const TileKey& key);
    // Starts a new generation: the renderer calls it at the start of every scene
    // preparation, so only tiles looked up for that frame are spared by eviction.
    void advanceGeneration();
    // Memory-pressure trim: starts a new generation, then evicts until at most
    // (1 − fraction) of the current bytes remain. The fraction is clamped to 0…1.
    void purge(double fraction);
    // Drops every texture (the basemap changed); evictions are not counted.
    void clear();
    Usage usage() const;

private:
    struct Node {
        TileKey key;
        Entry entry;
    };
    using Order = std::list<Node>;

    Order::iterator removeLocked(Order::iterator node, std::vector<std::shared_ptr<gpu::Texture>>& released);
    void evictLocked(std::int64_t targetBytes, std::vector<std::shared_ptr<gpu::Texture>>& released);

    const std::shared_ptr<const platform::Clock> clock_;
    const std::int64_t byteLimit_;

    mutable std::mutex mutex_;
    // Least recently used first. Every use takes the next counter value, so the order is
    // also ascending `lastUsed`, and the entries used in the current generation form its
    // tail: exactly those used after the generation started.
    Order order_;
    std::unordered_map<TileKey, Order::iterator> entries_;
    std::uint64_t useCounter_ = 0;
    std::uint64_t generation_ = 0;
    std::uint64_t useCounterAtGenerationStart_ = 0;
    std::int64_t currentBytes_ = 0;
    std::int64_t evictionCount_ = 0;
};

} // namespace velorin
