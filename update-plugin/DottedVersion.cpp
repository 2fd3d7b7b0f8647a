#include "update-plugin/DottedVersion.h"

#include <algorithm>
#include <charconv>

namespace korrelvane {

namespace {

constexpr std::size_t kMaxNumbers = 9;
constexpr std::size_t kMaxDigits = 9;

} // namespace

std::optional<DottedVersion> DottedVersion::parse(std::string_view text)
{
    std::vector<std::uint32_t> numbers;
    while (true) {
        const auto dot = text.find('.');
        const auto part = text.substr(0, dot);
        if (part.empty() || part.size() > kMaxDigits || numbers.size() == kMaxNumbers
            || !std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        std::uint32_t number = 0;
        std::from_chars(part.data(), part.data() + part.size(), number);
        numbers.push_back(number);
        if (dot == std::string_view::npos)
            break;
        text.remove_prefix(dot + 1);
    }
    return DottedVersion(std::move(numbers));
}

std::strong_ordering DottedVersion::operator<=>(const DottedVersion& other) const
{
    const std::size_t count = std::max(numbers_.size(), other.numbers_.size());
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t mine = i < numbers_.size() ? numbers_[i] : 0;
        const std::uint32_t theirs = i < other.numbers_.size() ? other.numbers_[i] : 0;
        if (mine != theirs)
            return mine <=> theirs;
    }
    return std::strong_ordering::equal;
}

} // namespace korrelvane
