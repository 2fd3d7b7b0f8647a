#include "app/ui/Symbols.h"

#include "app/ui/tests/WidgetTest.h"

#include <QRawFont>

#include <set>

using velorin::Symbols;

TEST(Symbols, EveryNameIsADistinctGlyphOfTheIconFont)
{
    testing_support::application();
    ASSERT_TRUE(Symbols::isAvailable()) << Symbols::kFontFile;
    const QRawFont font = QRawFont::fromFont(Symbols::font(24, QFont::Medium));
    std::set<QString> glyphs;
    for (std::string_view name : Symbols::names()) {
        const QString glyph = Symbols::glyph(name);
        ASSERT_EQ(glyph.toUcs4().size(), 1) << name;
        EXPECT_TRUE(font.supportsCharacter(glyph.toUcs4().front())) << name;
        EXPECT_TRUE(glyphs.insert(glyph).second) << name << " shares its glyph";
    }
}

TEST(Symbols, AnUnknownNameDrawsNothing)
{
    testing_support::application();
    EXPECT_TRUE(Symbols::glyph("no.such.symbol").isEmpty());
    EXPECT_TRUE(Symbols::glyph("").isEmpty());
}
