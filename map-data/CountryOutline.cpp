#include "map-data/CountryOutline.h"

#include "platform/MappedFile.h"
#include "platform/Resources.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace velorin {

namespace {

constexpr int64_t kMinimumRingPoints = 3;
constexpr int64_t kPointBytes = 16;
constexpr const char* kFranceResource = "France.outline";

int32_t readInt32(const std::byte* at)
{
    uint32_t value;
    std::memcpy(&value, at, sizeof value);
    if constexpr (std::endian::native == std::endian::big)
        value = __builtin_bswap32(value);
    return static_cast<int32_t>(value);
}

double readDouble(const std::byte* at)
{
    uint64_t bits;
    std::memcpy(&bits, at, sizeof bits);
    if constexpr (std::endian::native == std::endian::big)
        bits = __builtin_bswap64(bits);
    return std::bit_cast<double>(bits);
}

} // namespace

CountryOutline::CountryOutline(std::vector<std::vector<Point>> rings)
    : rings_(std::move(rings))
{
    bounds_.reserve(rings_.size());
    for (const auto& ring : rings_) {
        Bounds box { ring.front().x, ring.front().y, ring.front().x, ring.front().y };
        for (const auto& p : ring) {
            box.minX = std::min(box.minX, p.x);
            box.minY = std::min(box.minY, p.y);
            box.maxX = std::max(box.maxX, p.x);
            box.maxY = std::max(box.maxY, p.y);
        }
        bounds_.push_back(box);
    }
}

CountryOutline CountryOutline::parse(std::span<const std::byte> bytes)
{
    const int64_t size = static_cast<int64_t>(bytes.size());
    std::vector<std::vector<Point>> rings;
    if (size < 4)
        return {};
    const int64_t ringCount = readInt32(bytes.data());
    int64_t offset = 4;
    for (int64_t r = 0; r < ringCount; ++r) {
        if (offset + 4 > size)
            break;
        const int64_t pointCount = readInt32(bytes.data() + offset);
        offset += 4;
        if (pointCount < kMinimumRingPoints || pointCount * kPointBytes > size - offset)
            break;
        std::vector<Point> ring;
        ring.reserve(static_cast<std::size_t>(pointCount));
        for (int64_t i = 0; i < pointCount; ++i, offset += kPointBytes) {
            Point p { readDouble(bytes.data() + offset), readDouble(bytes.data() + offset + 8) };
            if (!std::isfinite(p.x) || !std::isfinite(p.y))
                return CountryOutline(std::move(rings));
            ring.push_back(p);
        }
        rings.push_back(std::move(ring));
    }
    return CountryOutline(std::move(rings));
}

CountryOutline CountryOutline::read(const std::filesystem::path& path)
{
    auto file = platform::MappedFile::open(path);
    return file ? parse(file->bytes()) : CountryOutline();
}

const CountryOutline& CountryOutline::france()
{
    static const CountryOutline outline = read(platform::resourcesFolder() / kFranceResource);
    return outline;
}

bool CountryOutline::contains(double x, double y) const
{
    bool inside = false;
    for (std::size_t r = 0; r < rings_.size(); ++r) {
        const Bounds& box = bounds_[r];
        if (x < box.minX || x > box.maxX || y < box.minY || y > box.maxY)
            continue;
        const auto& ring = rings_[r];
        for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
            const Point& a = ring[i];
            const Point& b = ring[j];
            if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x)
                inside = !inside;
        }
    }
    return inside;
}

} // namespace velorin
