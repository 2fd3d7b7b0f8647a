#pragma once

#include <QString>
#include <QWidget>

namespace velorin {

// The chip that says how long the walker stopped at a pause: the duration in white on a
// dark capsule with a faint white ring. It lets the pointer through. GUI thread only.
class PauseChip : public QWidget {
public:
    static constexpr double kTextPoints = 11;
    // The text is measured within this box, then the chip adds its padding.
    static constexpr double kMaxTextWidthPoints = 200;
    static constexpr double kMaxTextHeightPoints = 40;
    static constexpr int kHorizontalPaddingPoints = 9;
    static constexpr int kVerticalPaddingPoints = 3;

    PauseChip(const QString& text, QWidget* parent);

    const QString& text() const { return text_; }
    // The text's size within the measuring box, each side raised to a whole point.
    QSize textSize() const { return textSize_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static QFont font();

    QString text_;
    QSize textSize_;
};

} // namespace velorin
