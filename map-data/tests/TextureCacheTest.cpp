#include "map-data/TextureCache.h"
#include "platform/ManualClock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using velorin::TileKey;
using Usage = velorin::TextureCache::Usage;

namespace {

constexpr std::int64_t kLimitBytes = 1000;

TileKey key(int i) { return TileKey::pyramid(10, i, 0); }

// 4 × width × height bytes: a 5 × 5 texture weighs 100 bytes.
std::shared_ptr<gpu::Texture> texture(int width = 5, int height = 5)
{
    return gpu::Texture::make(gpu::PixelFormat::rgba8, width, height,
        std::vector<std::byte>(std::size_t(width) * std::size_t(height) * 4));
}

struct TextureCache : ::testing::Test {
    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>(50.0);
    velorin::TextureCache cache{clock, kLimitBytes};

    void fill(int from, int to)
    {
        for (int i = from; i < to; ++i)
            cache.insert(texture(), key(i));
    }
    std::vector<int> present(int count) const
    {
        std::vector<int> keys;
        for (int i = 0; i < count; ++i)
            if (cache.contains(key(i)))
                keys.push_back(i);
        return keys;
    }
};

} // namespace

TEST_F(TextureCache, ReinsertingAKeyReplacesItsTextureWithoutCountingItTwice)
{
    auto first = texture();
    cache.insert(first, key(1));
    clock->advance(2.5);
    auto second = texture(10, 5);
    cache.insert(second, key(1));

    EXPECT_EQ(cache.usage(), (Usage{200, 1, 0}));
    auto entry = cache.entry(key(1));
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->texture, second);
    EXPECT_EQ(entry->insertedAt, 52.5);
    EXPECT_EQ(entry->bytes, 200);
    EXPECT_FALSE(cache.entry(key(2)));
}

TEST_F(TextureCache, GoingOverTheLimitEvictsTheLeastRecentlyUsedTilesNotMarkedThisFrame)
{
    fill(0, 10);
    cache.advanceGeneration();
    ASSERT_TRUE(cache.entry(key(0)));
    EXPECT_TRUE(cache.contains(key(1))) << "a plain test does not count as a use";

    fill(10, 12);

    EXPECT_EQ(present(12), (std::vector<int>{0, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(cache.usage(), (Usage{1000, 10, 2}));
}

TEST_F(TextureCache, TilesMarkedThisFrameAreSparedUntilTheCacheWouldStayHalfAgainOverItsLimit)
{
    fill(0, 14);
    EXPECT_EQ(cache.usage(), (Usage{1400, 14, 0})) << "every tile was inserted this frame";

    cache.advanceGeneration();
    for (int i : {13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0})
        ASSERT_TRUE(cache.entry(key(i)));
    cache.insert(texture(), key(14));
    EXPECT_EQ(cache.usage(), (Usage{1500, 15, 0})) << "exactly 1.5 times the limit";

    cache.insert(texture(10, 5), key(15));
    EXPECT_EQ(cache.usage(), (Usage{1000, 9, 7}));
    EXPECT_EQ(present(16), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 14, 15})) << "least recently used first";
}

TEST_F(TextureCache, APurgeStartsANewGenerationAndKeepsAtMostWhatRemainsOfTheFraction)
{
    fill(0, 10);
    cache.advanceGeneration();
    for (int i : {7, 8, 9, 0, 1})
        ASSERT_TRUE(cache.entry(key(i)));

    cache.purge(0.6);

    EXPECT_EQ(cache.usage(), (Usage{400, 4, 6}));
    EXPECT_EQ(present(10), (std::vector<int>{0, 1, 8, 9}));

    cache.purge(2.0);
    EXPECT_EQ(cache.usage(), (Usage{0, 0, 10})) << "a fraction above 1 empties the cache";
}

TEST_F(TextureCache, ClearingForANewBasemapDropsEverythingWithoutCountingEvictions)
{
    fill(0, 10);
    cache.advanceGeneration();
    fill(10, 12);
    cache.clear();
    EXPECT_EQ(cache.usage(), (Usage{0, 0, 2}));
    EXPECT_FALSE(cache.contains(key(11)));
    fill(0, 10);
    EXPECT_EQ(cache.usage(), (Usage{1000, 10, 2}));
}

TEST_F(TextureCache, TheBudgetIsAnEighthOfPhysicalMemoryUpToThreeGibibytes)
{
    constexpr std::uint64_t gib = std::uint64_t(1) << 30;
    struct Case {
        std::uint64_t memory;
        std::int64_t limit;
    };
    for (auto c : {Case{4 * gib, 512 << 20}, Case{16 * gib, 2 * gib}, Case{32 * gib, 3 * gib}, Case{128 * gib, 3 * gib}})
        EXPECT_EQ(velorin::TextureCache::byteLimit(c.memory), c.limit) << c.memory;
    EXPECT_GT(velorin::TextureCache::defaultByteLimit(), 0);
    EXPECT_LE(velorin::TextureCache::defaultByteLimit(), velorin::TextureCache::kMaxByteLimitBytes);
}

TEST_F(TextureCache, LoaderThreadsAndTheRendererShareTheCache)
{
    constexpr int kKeysPerThread = 2000;
    std::atomic<bool> done{false};
    std::thread renderer([&] {
        while (!done) {
            cache.advanceGeneration();
            for (int i = 0; i < 40; ++i)
                if (cache.contains(key(i)))
                    cache.entry(key(i));
        }
    });
    std::vector<std::thread> loaders;
    for (int t = 0; t < 4; ++t)
        loaders.emplace_back([&, t] {
            for (int i = 0; i < kKeysPerThread; ++i)
                cache.insert(texture(), key((i * 7 + t) % 60));
        });
    for (auto& loader : loaders)
        loader.join();
    done = true;
    renderer.join();

    auto usage = cache.usage();
    EXPECT_EQ(usage.currentBytes, std::int64_t(usage.entryCount) * 100);
    EXPECT_LE(usage.currentBytes, kLimitBytes * 3 / 2);
}
