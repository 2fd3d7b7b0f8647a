#include "map-data/TerrainService.h"

#include <cstring>

namespace velorin {

namespace {

constexpr std::size_t kBILBytes = kElevationGridCells * sizeof(float);
constexpr unsigned char kPNGSignature[] = { 0x89, 0x50, 0x4E, 0x47 };

bool startsWithPNGSignature(std::span<const std::byte> bytes)
{
    return bytes.size() >= sizeof kPNGSignature && std::memcmp(bytes.data(), kPNGSignature, sizeof kPNGSignature) == 0;
}

} // namespace

std::optional<ElevationGrid> TerrainService::decodeTerrarium(std::span<const std::byte> bytes)
{
    if (bytes.size() == kBILBytes && !startsWithPNGSignature(bytes))
        return decodeBIL(bytes);
    platform::ImageDecodeOptions options;
    options.maxPixels = kElevationGridCells;
    auto image = platform::decodeImage(bytes, options);
    if (!image)
        return std::nullopt;
    return terrariumHeights(*image);
}

} // namespace velorin
