#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Unicode text as the user reads it: code points and user-perceived characters of UTF-8
// text, by the Unicode tables that ship with the system. Any thread.

// The code points of `utf8`; each byte that starts no valid sequence gives U+FFFD.
std::u32string decodeUtf8(std::string_view utf8);
// UTF-8 of code points that are all valid scalar values.
std::string encodeUtf8(std::u32string_view codePoints);

// One user-perceived character (extended grapheme cluster) of a UTF-8 text.
struct TextCluster {
    std::string_view text;
    // The general category of the cluster's first code point is a letter (L*) or a
    // number (N*): "é", "ß", "京" and "٣" are, "-", " " and "😀" are not.
    bool isLetterOrNumber = false;
};

// The clusters of valid UTF-8 text, in order; they cover the whole text.
std::vector<TextCluster> textClusters(std::string_view utf8);

} // namespace platform
