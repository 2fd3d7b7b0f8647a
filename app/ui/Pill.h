#pragma once

#include <QWidget>

namespace velorin {

// A rounded label floating over the map: whatever its layout holds, padded and set on the
// translucent dark fill with the controls' outline and a small shadow. GUI thread only.
class Pill : public QWidget {
    Q_OBJECT

public:
    static constexpr int kHorizontalPaddingPoints = 12;
    static constexpr int kVerticalPaddingPoints = 9;

    explicit Pill(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace velorin
