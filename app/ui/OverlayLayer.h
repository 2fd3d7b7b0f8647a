#pragma once

#include <QBoxLayout>
#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>

#include <functional>

namespace velorin {

class OverlayItem;

// One overlay layer of the map screen: a transparent sheet over the whole map whose
// column of controls sits at one alignment with its paddings. Only the controls take
// pointer events; everywhere else, their shadows included, the widgets below get them.
// GUI thread only.
class OverlayLayer : public QWidget {
public:
    // `alignment` places the column; `margins` are the paddings from the map's edges, in
    // points; `spacing` is between the controls.
    OverlayLayer(Qt::Alignment alignment, QMargins margins, int spacing, QWidget* parent);

    // Adds `control`, a child of the layer, at the end of the column, aligned within it,
    // `leadingPadding` points in from the column's leading edge.
    void add(QWidget* control, Qt::Alignment alignment = {}, int leadingPadding = 0);
    QVBoxLayout& column() { return *column_; }

    // Takes a leaving control out of the column at once, or puts an entering one back in
    // its row and places it, while the control's own transition moves it. The controls that
    // the change moves glide to their new places over `glideMs`, or jump there while the
    // layer is not on screen.
    void setInColumn(QWidget& control, bool in, int glideMs);
    // Driven by Qt's animation timer; tests set its current time.
    QVariantAnimation& glide() { return glide_; }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Paints the visible controls and their shadows and nothing else, so that pointer
    // events elsewhere go straight to the widgets below.
    void updateMask();
    // Hands a pointer event over a control's shadow to the widget below it; whether it was
    // one. A press's widget gets the rest of its drag.
    bool passOn(QEvent* event);
    QWidget* widgetBelow(QPointF position);
    void forEachItem(const std::function<void(OverlayItem&)>& visit) const;

    QVBoxLayout* column_;
    QPointer<QWidget> dragTarget_;
    QVariantAnimation glide_;
};

} // namespace velorin
