#pragma once

#include <QBoxLayout>
#include <QPointer>
#include <QWidget>

namespace velorin {

// One overlay layer of the map screen: a transparent sheet over the whole map whose
// column of controls sits at one alignment with its paddings. Only the controls take
// pointer events; everywhere else, their shadows included, the widgets below get them.
// GUI thread only.
class OverlayLayer : public QWidget {
public:
    // `alignment` places the column; `margins` are the paddings from the map's edges, in
    // points; `spacing` is between the controls.
    OverlayLayer(Qt::Alignment alignment, QMargins margins, int spacing, QWidget* parent);

    // Adds a control at the end of the column, aligned within it, `leadingPadding` points
    // in from the column's leading edge.
    void add(QWidget* control, Qt::Alignment alignment = {}, int leadingPadding = 0);
    QVBoxLayout& column() { return *column_; }

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

    QVBoxLayout* column_;
    QPointer<QWidget> dragTarget_;
};

} // namespace velorin
