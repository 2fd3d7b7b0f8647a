#pragma once

#include <string>
#include <string_view>

namespace platform {

// Folds text for search the way French readers compare names: case, accents and width
// are ignored ("Écrins" and "ecrins" fold alike). Invalid UTF-8 folds to its valid part.
// Any thread.
std::string foldForSearch(std::string_view text);

} // namespace platform
