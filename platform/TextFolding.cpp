#include "platform/TextFolding.h"

#include <utf8proc.h>

#include <cstdlib>
#include <memory>

namespace platform {

std::string foldForSearch(std::string_view text)
{
    // Compatibility decomposition folds width and ligatures; stripping marks removes the
    // accents it split off; case folding does the rest.
    constexpr auto options = static_cast<utf8proc_option_t>(
        UTF8PROC_COMPAT | UTF8PROC_CASEFOLD | UTF8PROC_STRIPMARK | UTF8PROC_COMPOSE | UTF8PROC_IGNORE);
    utf8proc_uint8_t* folded = nullptr;
    auto length = utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
        static_cast<utf8proc_ssize_t>(text.size()), &folded, options);
    if (length >= 0) {
        std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> owned(folded, &std::free);
        return std::string(reinterpret_cast<const char*>(folded), static_cast<std::size_t>(length));
    }
    // Invalid UTF-8: fold the longest valid prefix.
    utf8proc_ssize_t valid = 0;
    while (valid < static_cast<utf8proc_ssize_t>(text.size())) {
        utf8proc_int32_t codepoint;
        auto step = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data()) + valid,
            static_cast<utf8proc_ssize_t>(text.size()) - valid, &codepoint);
        if (step <= 0)
            break;
        valid += step;
    }
    return valid > 0 ? foldForSearch(text.substr(0, static_cast<std::size_t>(valid))) : std::string();
}

} // namespace platform
