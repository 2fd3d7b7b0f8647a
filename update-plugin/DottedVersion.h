#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace korrelvane {

// A version of numbers separated by dots ("1.10.2"), compared number by number, missing
// numbers counting as 0: 0.10.0 comes after 0.9.9 and 1.0 equals 1.0.0. Any thread.
class DottedVersion {
public:
    // Nothing unless the text is one to nine numbers of at most nine digits, dot-separated.
    static std::optional<DottedVersion> parse(std::string_view text);

    std::strong_ordering operator<=>(const DottedVersion& other) const;
    bool operator==(const DottedVersion& other) const { return (*this <=> other) == 0; }

private:
    explicit DottedVersion(std::vector<std::uint32_t> numbers)
        : numbers_(std::move(numbers))
    {
    }

    std::vector<std::uint32_t> numbers_;
};

} // namespace korrelvane
