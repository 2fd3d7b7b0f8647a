#pragma once

#include <QFont>
#include <QPointF>
#include <QString>

class QPainter;

namespace velorin {

// Text whose digits each take the width of the font's widest digit, so that a figure that
// changes neither moves nor shifts what follows it, as the tabular figures of a font would
// (Qt 6.4 cannot ask a font for them, and many fonts space their digits proportionally).
// GUI thread only.
class TabularDigits {
public:
    // The width of `text` laid out so, in pixels of `font`.
    static double width(const QFont& font, const QString& text);
    // Draws `text` laid out so in the painter's font and pen, its baseline starting at
    // `baseline`.
    static void draw(QPainter& painter, QPointF baseline, const QString& text);
};

} // namespace velorin
