#include "map-data/ui/ByteCountText.h"

#include "platform/NumberFormat.h"

#include <array>
#include <cmath>

namespace velorin {

namespace {

std::string countText(std::uintmax_t bytes, double unitBytes)
{
    struct Unit {
        const char* name;
        int fractionDigits;
    };
    constexpr std::array<Unit, 4> kUnits { Unit { "ko", 0 }, Unit { "Mo", 1 }, Unit { "Go", 2 }, Unit { "To", 2 } };
    if (bytes == 0)
        return "Zéro octet";
    if (bytes == 1)
        return "1 octet";
    if (double(bytes) < unitBytes)
        return platform::frenchNumber(double(bytes), 0) + " octets";
    double value = double(bytes);
    std::size_t unit = 0;
    value /= unitBytes;
    while (unit + 1 < kUnits.size() && std::round(value * 100) / 100 >= unitBytes) {
        value /= unitBytes;
        ++unit;
    }
    return platform::frenchNumber(value, kUnits[unit].fractionDigits) + " " + kUnits[unit].name;
}

} // namespace

std::string byteCountText(std::uintmax_t bytes)
{
    return countText(bytes, 1000);
}

std::string memoryByteCountText(std::uintmax_t bytes)
{
    return countText(bytes, 1024);
}

} // namespace velorin
