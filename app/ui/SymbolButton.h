#pragma once

#include <QAbstractButton>
#include <QFont>
#include <QSizeF>

#include <functional>
#include <string>
#include <string_view>

namespace velorin {

class AppModel;

// An icon button of the map controls: one symbol (or a short text) centred in a fixed
// frame that responds over its whole rectangle, tinted by its state and turned by an
// angle. GUI thread only.
class SymbolButton : public QAbstractButton {
    Q_OBJECT

public:
    enum class Tint { primary, secondary, accent, red };

    // A symbol of `pixelSize` at medium weight, framed at `frame`.
    SymbolButton(QSizeF frame, double pixelSize, QWidget* parent);

    // A press first keeps the map controls shown, then runs `operation`. Without an
    // operation (one the application does not offer yet) the button is disabled.
    void setControlAction(AppModel& model, std::function<void()> operation);
    // Shows the symbol `name` (see Symbols), or `text` in `font` instead.
    void setSymbol(std::string_view name);
    void setLabelText(const QString& text, const QFont& font);
    void setTint(Tint tint);
    // The accent colour while on, the primary colour while off.
    void setOn(bool on);
    // Radians, clockwise on screen, about the frame's centre.
    void setRotation(double radians);

    const std::string& symbol() const { return symbol_; }
    // The font of a text label.
    const QFont& labelFont() const { return textFont_; }
    Tint tint() const { return tint_; }
    double rotation() const { return rotation_; }

    QSize sizeHint() const override;

protected:
    // Its accessibility label is its tooltip, unless it has one of its own: the symbol
    // alone does not say what the button does.
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QSize frame_;
    QFont symbolFont_;
    std::string symbol_;
    QString text_;
    QFont textFont_;
    Tint tint_ = Tint::primary;
    double rotation_ = 0;
};

} // namespace velorin
