#include "widgets/MonospacedDigits.h"

#include "testing/TestApplication.h"

#include <QFontMetricsF>
#include <QLabel>

#include <gtest/gtest.h>


using velorin::MonospacedDigits;

namespace {

double shownWidth(const QString& text, const QFont& font)
{
    QLabel label;
    label.setFont(font);
    label.setTextFormat(Qt::RichText);
    label.setText(MonospacedDigits::richText(text, font));
    return label.sizeHint().width();
}

} // namespace

TEST(MonospacedDigits, EveryFigureTakesTheWidthOfTheWidestAndTheTextStaysAsWritten)
{
    testing_support::application();
    const auto font = testing_support::proportionalDigitsFont();
    if (!font)
        GTEST_SKIP() << "every font here has digits of one width";
    EXPECT_EQ(shownWidth("+1", *font), shownWidth("+8", *font)) << font->family().toStdString();
    EXPECT_EQ(shownWidth("1 111 m", *font), shownWidth("8 808 m", *font));
    EXPECT_GE(shownWidth("Téléchargement 1,1 / 11,1 Mo", *font),
        QFontMetricsF(*font).horizontalAdvance("Téléchargement 1,1 / 11,1 Mo"));

    for (const QString& text : { QString("Téléchargement 1,5 / 10,0 Mo"), QString("<+3 & 2>"), QString("1  204 m") })
        EXPECT_EQ(MonospacedDigits::plainText(MonospacedDigits::richText(text, *font)), text);
}
