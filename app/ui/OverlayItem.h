#pragma once

#include <QPoint>
#include <QRect>
#include <QWidgetItem>

namespace velorin {

// A control's slot in the column of an overlay layer: the layout gives it no room while
// the control leaves, and places the control away from its slot while it glides there.
// GUI thread only; owned by the layer's layout.
class OverlayItem : public QWidgetItem {
public:
    explicit OverlayItem(QWidget* control);

    bool isEmpty() const override;
    void setGeometry(const QRect& slot) override;

    // Out of the column: the layout gives it no room and leaves the control where it is.
    void setOut(bool out);

    // Forgets any glide: the layout's next pass puts the control at its slot.
    void settle() { displacement_ = glideFrom_ = {}; }
    // Starts a glide from `position` in the layer, where the control is held for now.
    void glideFrom(QPoint position);
    // Moves the control along its glide: from where it set off (0) to its slot (1).
    void glide(double progress);

private:
    void setDisplacement(QPoint displacement);

    bool out_ = false;
    QRect slot_;
    QPoint displacement_;
    QPoint glideFrom_;
};

} // namespace velorin
