#pragma once

#include <optional>
#include <string>
#include <string_view>

// The origin of an absolute URL, as the update requests compare them: its scheme and
// authority ("https://maj.example.fr:8443"), lower-cased, with nothing after. The plug-in's
// headers go only to the feed's own origin. Any thread.
namespace korrelvane {

// Nothing for text that has no scheme or no authority.
std::optional<std::string> urlOrigin(std::string_view url);

} // namespace korrelvane
