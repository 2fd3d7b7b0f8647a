#include "app/ui/ElidedLabel.h"

#include <QFontMetrics>

namespace velorin {

ElidedLabel::ElidedLabel(QWidget* parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void ElidedLabel::setFullText(const QString& text)
{
    if (text == fullText_)
        return;
    fullText_ = text;
    updateGeometry();
    elide();
}

QSize ElidedLabel::sizeHint() const
{
    const QFontMetrics metrics(font());
    const QMargins margins = contentsMargins();
    return {metrics.horizontalAdvance(fullText_) + margins.left() + margins.right(),
        metrics.height() + margins.top() + margins.bottom()};
}

QSize ElidedLabel::minimumSizeHint() const
{
    const QFontMetrics metrics(font());
    const QMargins margins = contentsMargins();
    return {metrics.horizontalAdvance(QStringLiteral("…")) + margins.left() + margins.right(),
        metrics.height() + margins.top() + margins.bottom()};
}

void ElidedLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::elide()
{
    setText(fontMetrics().elidedText(fullText_, Qt::ElideRight, contentsRect().width()));
}

} // namespace velorin
