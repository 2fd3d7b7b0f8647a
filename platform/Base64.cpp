#include "platform/Base64.h"

#include <array>
#include <cstdint>

namespace platform {

namespace {

constexpr std::string_view kStandard = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::string_view kUrl = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

std::string encode(std::span<const std::byte> bytes, std::string_view alphabet, bool pad)
{
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        uint32_t v = (uint32_t(bytes[i]) << 16) | (uint32_t(bytes[i + 1]) << 8) | uint32_t(bytes[i + 2]);
        for (int shift : {18, 12, 6, 0})
            text += alphabet[(v >> shift) & 63];
    }
    std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        uint32_t v = uint32_t(bytes[i]) << 16;
        if (rest == 2)
            v |= uint32_t(bytes[i + 1]) << 8;
        text += alphabet[(v >> 18) & 63];
        text += alphabet[(v >> 12) & 63];
        if (rest == 2)
            text += alphabet[(v >> 6) & 63];
        if (pad)
            text.append(3 - rest, '=');
    }
    return text;
}

constexpr std::array<int8_t, 256> decodeTable()
{
    std::array<int8_t, 256> table{};
    table.fill(-1);
    for (int i = 0; i < 64; ++i) {
        table[static_cast<unsigned char>(kStandard[i])] = static_cast<int8_t>(i);
        table[static_cast<unsigned char>(kUrl[i])] = static_cast<int8_t>(i);
    }
    return table;
}

} // namespace

std::string base64Encode(std::span<const std::byte> bytes)
{
    return encode(bytes, kStandard, true);
}

std::string base64UrlEncode(std::span<const std::byte> bytes)
{
    return encode(bytes, kUrl, false);
}

std::optional<std::vector<std::byte>> base64Decode(std::string_view text)
{
    static constexpr auto kTable = decodeTable();
    while (!text.empty() && text.back() == '=')
        text.remove_suffix(1);
    if (text.size() % 4 == 1)
        return std::nullopt;
    std::vector<std::byte> bytes;
    bytes.reserve(text.size() * 3 / 4);
    uint32_t buffer = 0;
    int bits = 0;
    for (char c : text) {
        int8_t value = kTable[static_cast<unsigned char>(c)];
        if (value < 0)
            return std::nullopt;
        buffer = (buffer << 6) | uint32_t(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes.push_back(std::byte((buffer >> bits) & 0xFF));
        }
    }
    return bytes;
}

} // namespace platform
