#pragma once

#include <QPushButton>

namespace velorin {

// The account sheet's outlined button: its label in white inside the white outline of a
// rounded rectangle, the whole at 70 % opacity while pressed. The caller chooses the
// label's font and padding. GUI thread only.
class BoutonContour : public QPushButton {
public:
    static constexpr double kCornerRadiusPoints = 14;
    static constexpr double kLineWidthPoints = 1.5;
    static constexpr double kPressedOpacity = 0.7;

    BoutonContour(const QString& text, int verticalPaddingPoints, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int verticalPaddingPoints_;
};

} // namespace velorin
