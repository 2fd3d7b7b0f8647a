#include "app/ui/OverlayItem.h"

#include <QWidget>

#include <cmath>

namespace velorin {

OverlayItem::OverlayItem(QWidget* control)
    : QWidgetItem(control)
{
}

bool OverlayItem::isEmpty() const
{
    return out_ || QWidgetItem::isEmpty();
}

void OverlayItem::setGeometry(const QRect& slot)
{
    slot_ = slot;
    // Moves nothing while empty: a leaving control stays where its transition holds it.
    QWidgetItem::setGeometry(slot.translated(displacement_));
}

void OverlayItem::setOut(bool out)
{
    out_ = out;
    settle();
}

void OverlayItem::glideFrom(QPoint position)
{
    setDisplacement(position - (widget()->pos() - displacement_));
    glideFrom_ = displacement_;
}

void OverlayItem::glide(double progress)
{
    const double away = 1 - progress;
    setDisplacement(QPoint(int(std::lround(glideFrom_.x() * away)), int(std::lround(glideFrom_.y() * away))));
}

void OverlayItem::setDisplacement(QPoint displacement)
{
    if (displacement == displacement_)
        return;
    displacement_ = displacement;
    if (slot_.isValid())
        setGeometry(slot_);
}

} // namespace velorin
