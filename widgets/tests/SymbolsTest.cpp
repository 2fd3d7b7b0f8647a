#include "widgets/Symbols.h"

#include "testing/TestApplication.h"

#include <QImage>
#include <QRawFont>

#include <gtest/gtest.h>

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
    EXPECT_TRUE(Symbols::icon("no.such.symbol", 16, Qt::white).isNull());
}

TEST(Symbols, AnIconIsTheGlyphInItsColourOnATransparentSquare)
{
    testing_support::application();
    const QImage image = Symbols::icon("map", 24, QColor(255, 0, 0)).pixmap(24, 24).toImage();
    ASSERT_EQ(image.size(), QSize(24, 24));
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << "the corner stays clear";
    int inked = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 128) {
                ++inked;
                EXPECT_EQ(qGreen(image.pixel(x, y)) + qBlue(image.pixel(x, y)), 0) << "red only";
            }
    EXPECT_GT(inked, 24);
}
