#include "widgets/MonospacedDigits.h"

#include <QFontMetricsF>
#include <QTextDocumentFragment>

#include <algorithm>

namespace velorin {

QString MonospacedDigits::richText(const QString& text, const QFont& font)
{
    const QFontMetricsF metrics(font);
    double widest = 0;
    for (char digit = '0'; digit <= '9'; ++digit)
        widest = std::max(widest, metrics.horizontalAdvance(QChar(digit)));
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

} // namespace velorin
