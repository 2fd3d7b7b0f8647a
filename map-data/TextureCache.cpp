#include "map-data/TextureCache.h"

#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <utility>

namespace velorin {

namespace {

// Textures leave the cache under the lock but are released after it, since releasing
// the last reference to one hands its GL name to the GL thread.
using Released = std::vector<std::shared_ptr<gpu::Texture>>;

} // namespace

std::int64_t TextureCache::byteLimit(std::uint64_t physicalMemoryBytes)
{
    return std::int64_t(std::min<std::uint64_t>(physicalMemoryBytes / kPhysicalMemoryShare, kMaxByteLimitBytes));
}

std::int64_t TextureCache::defaultByteLimit()
{
    static const std::int64_t limit = [] {
        long pages = ::sysconf(_SC_PHYS_PAGES);
        long pageBytes = ::sysconf(_SC_PAGESIZE);
        if (pages <= 0 || pageBytes <= 0)
            return kFallbackByteLimitBytes;
        return byteLimit(std::uint64_t(pages) * std::uint64_t(pageBytes));
    }();
    return limit;
}

TextureCache::TextureCache(std::shared_ptr<const platform::Clock> clock, std::int64_t byteLimit)
    : clock_(std::move(clock))
    , byteLimit_(byteLimit)
{
}

TextureCache::~TextureCache() = default;

std::optional<TextureCache::Entry> TextureCache::entry(const TileKey& key)
{
    std::lock_guard lock(mutex_);
    auto found = entries_.find(key);
    if (found == entries_.end())
        return std::nullopt;
    auto node = found->second;
    node->entry.lastUsed = ++useCounter_;
    node->entry.lastUsedGeneration = generation_;
    order_.splice(order_.end(), order_, node);
    return node->entry;
}

bool TextureCache::contains(const TileKey& key) const
{
    std::lock_guard lock(mutex_);
    return entries_.contains(key);
}

std::optional<std::int64_t> TextureCache::byteSize(const TileKey& key) const
{
    std::lock_guard lock(mutex_);
    auto found = entries_.find(key);
    if (found == entries_.end())
        return std::nullopt;
    return found->second->entry.bytes;
}

void TextureCache::insert(std::shared_ptr<gpu::Texture> texture, const TileKey& key)
{
    assert(texture);
    if (!texture)
        return;
    auto bytes = std::int64_t(texture->byteSize());
    double now = clock_->now();
    Released released;
    std::lock_guard lock(mutex_);
    if (auto found = entries_.find(key); found != entries_.end()) {
        currentBytes_ -= found->second->entry.bytes;
        released.push_back(std::move(found->second->entry.texture));
        order_.erase(found->second);
        entries_.erase(found);
    }
    order_.push_back(Node{key, Entry{std::move(texture), now, ++useCounter_, generation_, bytes}});
    entries_.emplace(key, std::prev(order_.end()));
    currentBytes_ += bytes;
    if (currentBytes_ > byteLimit_)
        evictLocked(byteLimit_, released);
}

void TextureCache::advanceGeneration()
{
    std::lock_guard lock(mutex_);
    ++generation_;
    useCounterAtGenerationStart_ = useCounter_;
}

void TextureCache::purge(double fraction)
{
    fraction = std::isnan(fraction) ? 0.0 : std::clamp(fraction, 0.0, 1.0);
    Released released;
    std::lock_guard lock(mutex_);
    ++generation_;
    useCounterAtGenerationStart_ = useCounter_;
    evictLocked(std::int64_t((1.0 - fraction) * double(currentBytes_)), released);
}

void TextureCache::clear()
{
    Order dropped;
    std::lock_guard lock(mutex_);
    dropped.swap(order_);
    entries_.clear();
    currentBytes_ = 0;
}

TextureCache::Usage TextureCache::usage() const
{
    std::lock_guard lock(mutex_);
    return {currentBytes_, entries_.size(), evictionCount_};
}

TextureCache::Order::iterator TextureCache::removeLocked(Order::iterator node, Released& released)
{
    currentBytes_ -= node->entry.bytes;
    ++evictionCount_;
    released.push_back(std::move(node->entry.texture));
    entries_.erase(node->key);
    return order_.erase(node);
}

void TextureCache::evictLocked(std::int64_t targetBytes, Released& released)
{
    // First the entries not used in the current generation, least recently used first.
    auto node = order_.begin();
    while (currentBytes_ > targetBytes && node != order_.end() && node->entry.lastUsed <= useCounterAtGenerationStart_)
        node = removeLocked(node, released);
    // The tiles of the frame being prepared go too when sparing them would leave the
    // cache more than half again over its target.
    if (currentBytes_ <= targetBytes * 3 / 2)
        return;
    while (currentBytes_ > targetBytes && !order_.empty())
        removeLocked(order_.begin(), released);
}

} // namespace velorin
