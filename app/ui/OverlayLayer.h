#pragma once

#include <QBoxLayout>
#include <QWidget>

namespace velorin {

// One overlay layer of the map screen: a transparent sheet over the whole map whose
// column of controls sits at one alignment with its paddings. Only the controls take
// pointer events; everywhere else the map below gets them. GUI thread only.
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
    // Lets pointer events through everywhere but over the visible controls.
    void updateMask();

    QVBoxLayout* column_;
};

} // namespace velorin
