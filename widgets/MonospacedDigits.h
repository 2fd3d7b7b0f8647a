#pragma once

#include <QFont>
#include <QPointF>
#include <QString>

class QPainter;

namespace velorin {

// Figures that all take the width of the widest one, as monospaced digits do, so that a
// count, a download figure, an altitude or a scale keeps its width as it changes: "1 204 m"
// is as wide as "1 808 m" whatever the desktop's font. Qt 6.4 cannot ask a font for its
// tabular figures, so each narrower digit is given the room it lacks: as rich text for a
// label, or laid out by hand for a painter. GUI thread only.
class MonospacedDigits {
public:
    // `text` as rich text whose digits, in `font`, are all as wide as the widest.
    static QString richText(const QString& text, const QFont& font);
    // The plain text of what `richText` made.
    static QString plainText(const QString& richText);
    // The width of `text` laid out so, in pixels of `font`.
    static double width(const QFont& font, const QString& text);
    // Draws `text` laid out so in the painter's font and pen, its baseline starting at
    // `baseline`; each digit stands in the middle of its room.
    static void draw(QPainter& painter, QPointF baseline, const QString& text);
};

} // namespace velorin
