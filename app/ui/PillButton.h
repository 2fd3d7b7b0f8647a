#pragma once

#include <QAbstractButton>

namespace velorin {

// A pill over the map that is pressed as a whole: its content (a layout of labels) lets
// the pointer through to it. Looks like `Pill`. GUI thread only.
class PillButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit PillButton(QWidget* parent);

    // Lets presses on `child` reach the pill.
    static void passPointerThrough(QWidget& child);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace velorin
