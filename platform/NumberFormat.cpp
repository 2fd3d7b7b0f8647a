#include "platform/NumberFormat.h"

#include <array>
#include <charconv>
#include <cmath>

namespace platform {

namespace {
constexpr std::string_view kNarrowNoBreakSpace = "\u202F";
}

std::string cNumber(double value, int fractionDigits)
{
    if (std::isnan(value))
        return "nan";
    if (std::isinf(value))
        return value > 0 ? "inf" : "-inf";
    std::array<char, 400> buffer;
    auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
        std::chars_format::fixed, fractionDigits);
    return std::string(buffer.data(), result.ptr);
}

std::string cNumberShortest(double value)
{
    if (!std::isfinite(value))
        return cNumber(value, 0);
    std::array<char, 64> buffer;
    auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

std::string frenchNumber(double value, int fractionDigits)
{
    std::string plain = cNumber(value, fractionDigits);
    if (!std::isfinite(value))
        return plain;
    std::string_view digits = plain;
    std::string sign;
    if (!digits.empty() && digits.front() == '-') {
        digits.remove_prefix(1);
        // "-0,0" reads oddly: a value that rounds to zero has no sign.
        if (digits.find_first_not_of("0.") != std::string_view::npos)
            sign = "-";
    }
    auto point = digits.find('.');
    std::string_view whole = digits.substr(0, point);
    std::string text = sign;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0)
            text += kNarrowNoBreakSpace;
        text += whole[i];
    }
    if (point != std::string_view::npos) {
        text += ',';
        text += digits.substr(point + 1);
    }
    return text;
}

} // namespace platform
