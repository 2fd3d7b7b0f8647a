#include "update-plugin/HeaderCode.h"

#include <utf8proc.h>

namespace korrelvane {

namespace {

bool passes(utf8proc_int32_t codePoint)
{
    switch (utf8proc_category(codePoint)) {
    case UTF8PROC_CATEGORY_LU:
    case UTF8PROC_CATEGORY_LL:
    case UTF8PROC_CATEGORY_LT:
    case UTF8PROC_CATEGORY_LM:
    case UTF8PROC_CATEGORY_LO:
    case UTF8PROC_CATEGORY_MN:
    case UTF8PROC_CATEGORY_MC:
    case UTF8PROC_CATEGORY_ME:
    case UTF8PROC_CATEGORY_ND:
    case UTF8PROC_CATEGORY_NL:
    case UTF8PROC_CATEGORY_NO:
        return true;
    default:
        return codePoint == '@' || codePoint == '.' || codePoint == '-' || codePoint == '_';
    }
}

} // namespace

std::string code(std::string_view text)
{
    constexpr char kHex[] = "0123456789ABCDEF";
    std::string coded;
    auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
    utf8proc_ssize_t offset = 0;
    const auto size = static_cast<utf8proc_ssize_t>(text.size());
    while (offset < size) {
        utf8proc_int32_t codePoint = 0;
        const auto length = utf8proc_iterate(bytes + offset, size - offset, &codePoint);
        if (length <= 0 || codePoint < 0)
            return {};
        const std::string_view character = text.substr(std::size_t(offset), std::size_t(length));
        if (passes(codePoint)) {
            coded += character;
        } else {
            for (unsigned char byte : character) {
                coded += '%';
                coded += kHex[byte >> 4];
                coded += kHex[byte & 15];
            }
        }
        offset += length;
    }
    return coded;
}

} // namespace korrelvane
