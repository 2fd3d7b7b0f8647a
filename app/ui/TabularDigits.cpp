#include "app/ui/TabularDigits.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

namespace velorin {

namespace {

double digitWidth(const QFontMetricsF& metrics)
{
    double widest = 0;
    for (char digit = '0'; digit <= '9'; ++digit)
        widest = std::max(widest, metrics.horizontalAdvance(QChar(digit)));
    return widest;
}

// Lays `text` out, calling `place` with each run of text and where it starts.
template <typename Place>
double layOut(const QFontMetricsF& metrics, const QString& text, Place place)
{
    const double slot = digitWidth(metrics);
    double x = 0;
    qsizetype runStart = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !text[i].isDigit())
            continue;
        // The text between digits keeps its own spacing and kerning.
        const QString run = text.mid(runStart, i - runStart);
        place(run, x);
        x += metrics.horizontalAdvance(run);
        if (i < text.size()) {
            const double advance = metrics.horizontalAdvance(text[i]);
            place(QString(text[i]), x + (slot - advance) / 2);
            x += slot;
        }
        runStart = i + 1;
    }
    return x;
}

} // namespace

double TabularDigits::width(const QFont& font, const QString& text)
{
    return layOut(QFontMetricsF(font), text, [](const QString&, double) { });
}

void TabularDigits::draw(QPainter& painter, QPointF baseline, const QString& text)
{
    layOut(QFontMetricsF(painter.font(), painter.device()), text, [&](const QString& run, double x) {
        if (!run.isEmpty())
            painter.drawText(QPointF(baseline.x() + x, baseline.y()), run);
    });
}

} // namespace velorin
