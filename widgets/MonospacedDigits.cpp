#include "widgets/MonospacedDigits.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextDocumentFragment>

#include <algorithm>

namespace velorin {

namespace {

double widestDigit(const QFontMetricsF& metrics)
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
    const double slot = widestDigit(metrics);
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

QString MonospacedDigits::richText(const QString& text, const QFont& font)
{
    const QFontMetricsF metrics(font);
    const double widest = widestDigit(metrics);
    QString rich;
    for (const QChar c : text) {
        const double missing = c.isDigit() ? widest - metrics.horizontalAdvance(c) : 0;
        const QString escaped = QString(c).toHtmlEscaped();
        if (missing > 0)
            rich += QStringLiteral("<span style=\"letter-spacing:%1px\">%2</span>").arg(missing, 0, 'f', 3).arg(escaped);
        else
            rich += escaped;
    }
    // Spaces kept as they are: the figures' own thin and narrow spaces included.
    return QStringLiteral("<span style=\"white-space:pre\">%1</span>").arg(rich);
}

QString MonospacedDigits::plainText(const QString& richText)
{
    return QTextDocumentFragment::fromHtml(richText).toPlainText();
}

double MonospacedDigits::width(const QFont& font, const QString& text)
{
    return layOut(QFontMetricsF(font), text, [](const QString&, double) { });
}

void MonospacedDigits::draw(QPainter& painter, QPointF baseline, const QString& text)
{
    layOut(QFontMetricsF(painter.font(), painter.device()), text, [&](const QString& run, double x) {
        if (!run.isEmpty())
            painter.drawText(QPointF(baseline.x() + x, baseline.y()), run);
    });
}

} // namespace velorin
