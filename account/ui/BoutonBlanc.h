#pragma once

#include <QColor>
#include <QPushButton>

namespace velorin {

class ActivitySpinner;

// The account sheet's filled button: its label on white (80 % while pressed) in a rounded
// rectangle, the whole at 70 % opacity while disabled. While busy a spinner stands in for
// the label. The caller chooses the label's font, colour and padding. GUI thread only.
class BoutonBlanc : public QPushButton {
public:
    static constexpr double kCornerRadiusPoints = 14;
    static constexpr double kPressedFillOpacity = 0.8;
    static constexpr double kDisabledOpacity = 0.7;

    BoutonBlanc(const QString& text, const QColor& textColor, int verticalPaddingPoints, QWidget* parent = nullptr);

    void setBusy(bool busy);
    bool isBusy() const { return busy_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QColor textColor_;
    int verticalPaddingPoints_;
    bool busy_ = false;
    ActivitySpinner* spinner_;
};

} // namespace velorin
