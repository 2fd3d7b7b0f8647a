#include "canvas/qt/ToponymLabelLayer.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>

#include <cmath>

namespace velorin {

ToponymLabelLayer::ToponymLabelLayer(QWidget* map)
    : QWidget(map)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    setGeometry(map->rect());
    map->installEventFilter(this);
    show();
}

bool ToponymLabelLayer::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return false;
}

void ToponymLabelLayer::configure(std::size_t index, const ToponymLabelStyle& style)
{
    if (slots_.size() <= index)
        slots_.resize(index + 1);
    Slot& slot = slots_[index];
    if (slot.shown)
        update(area(slot));
    slot.style = style;
    render(slot);
    if (slot.shown)
        update(area(slot));
}

void ToponymLabelLayer::place(std::size_t index, const QRectF& frame)
{
    Slot& slot = slots_.at(index);
    if (slot.shown && slot.frame == frame)
        return;
    if (slot.shown)
        update(area(slot));
    slot.frame = frame;
    slot.shown = true;
    update(area(slot));
}

void ToponymLabelLayer::hideFrom(std::size_t index)
{
    for (std::size_t i = index; i < slots_.size(); ++i) {
        if (slots_[i].shown) {
            update(area(slots_[i]));
            slots_[i].shown = false;
        }
    }
}

void ToponymLabelLayer::render(Slot& slot)
{
    slot.image = ToponymLabelView::render(slot.style, devicePixelRatioF());
    ++renders_;
}

QPointF ToponymLabelLayer::imageOrigin(const Slot& slot) const
{
    const double ratio = devicePixelRatioF();
    const double margin = ToponymLabelView::kImageMarginPoints;
    return {std::round((slot.frame.x() - margin) * ratio) / ratio, std::round((slot.frame.y() - margin) * ratio) / ratio};
}

QRect ToponymLabelLayer::area(const Slot& slot) const
{
    const double margin = ToponymLabelView::kImageMarginPoints;
    const QSizeF size(slot.style.width + 2 * margin, slot.style.height + 2 * margin);
    return QRectF(imageOrigin(slot), size).toAlignedRect().adjusted(-1, -1, 1, 1);
}

void ToponymLabelLayer::paintLabels(QPainter& painter)
{
    for (Slot& slot : slots_) {
        if (!slot.shown)
            continue;
        // A window moved to a screen of another scale draws its labels again for it.
        if (slot.image.devicePixelRatio() != devicePixelRatioF())
            render(slot);
        painter.drawImage(imageOrigin(slot), slot.image);
    }
}

void ToponymLabelLayer::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintLabels(painter);
}

} // namespace velorin
