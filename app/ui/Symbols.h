#pragma once

#include <QFont>
#include <QString>

#include <string_view>
#include <vector>

namespace velorin {

// The symbols the map controls draw, by their symbol names ("camera", "tag.fill"…), as
// glyphs of the Material Design Icons font. The font is loaded once, on first use; when it
// is missing that is logged once and the controls draw no symbol. GUI thread only.
class Symbols {
public:
    static constexpr std::string_view kFontFile
        = "/usr/share/fonts/truetype/materialdesignicons-webfont/materialdesignicons-webfont.ttf";
    static constexpr std::string_view kLogCategory = "Symbols";

    // Every symbol name the controls use, in table order.
    static const std::vector<std::string_view>& names();
    // The glyph of `name`; empty for a name outside the table or while the font is missing.
    static QString glyph(std::string_view name);
    // The symbol font at `pixelSize` and `weight`; the default font when it is missing.
    static QFont font(double pixelSize, QFont::Weight weight);
    static bool isAvailable();
};

} // namespace velorin
