#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QString>

#include <string_view>
#include <vector>

namespace velorin {

// The symbols the controls and screens draw, by their symbol names ("camera", "tag.fill"…),
// as glyphs of the Material Design Icons font, which every desktop draws the same way. The
// font is loaded once, on first use; when it is missing that is logged once and no symbol
// is drawn. GUI thread only.
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
    // The symbol drawn in `color` on a transparent square of `pixelSize`, for the buttons of
    // the screens' standard widgets; an empty icon when there is no glyph.
    static QIcon icon(std::string_view name, double pixelSize, const QColor& color);
    static bool isAvailable();
};

} // namespace velorin
