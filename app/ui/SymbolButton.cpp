#include "app/ui/SymbolButton.h"

#include "app/AppModel.h"
#include "widgets/ControlLook.h"
#include "widgets/Symbols.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include <numbers>

namespace velorin {

namespace {

// A control that cannot act now (nothing to act on) is drawn faded.
constexpr double kDisabledOpacity = 0.35;
// A button held down dims while the pointer is on it.
constexpr double kPressedOpacity = 0.6;

} // namespace

SymbolButton::SymbolButton(QSizeF frame, double pixelSize, QWidget* parent)
    : QAbstractButton(parent)
    , frame_(frame.toSize())
    , symbolFont_(Symbols::font(pixelSize, QFont::Medium))
{
    setFixedSize(frame_);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
}

void SymbolButton::setControlAction(AppModel& model, std::function<void()> operation)
{
    setEnabled(bool(operation));
    if (!operation)
        return;
    connect(this, &SymbolButton::clicked, this, [&model, operation = std::move(operation)] {
        model.revealControls();
        operation();
    });
}

void SymbolButton::setSymbol(std::string_view name)
{
    if (symbol_ == name && text_.isEmpty())
        return;
    symbol_ = name;
    text_.clear();
    update();
}

void SymbolButton::setLabelText(const QString& text, const QFont& font)
{
    symbol_.clear();
    text_ = text;
    textFont_ = font;
    update();
}

void SymbolButton::setTint(Tint tint)
{
    if (tint_ == tint)
        return;
    tint_ = tint;
    update();
}

void SymbolButton::setOn(bool on)
{
    setTint(on ? Tint::accent : Tint::primary);
}

void SymbolButton::setRotation(double radians)
{
    if (rotation_ == radians)
        return;
    rotation_ = radians;
    update();
}

bool SymbolButton::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty() && !accessibleName().isEmpty()) {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), accessibleName(), this);
        return true;
    }
    return QAbstractButton::event(event);
}

QSize SymbolButton::sizeHint() const
{
    return frame_;
}

void SymbolButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (!isEnabled())
        painter.setOpacity(kDisabledOpacity);
    else if (isDown())
        painter.setOpacity(kPressedOpacity);
    switch (tint_) {
    case Tint::primary:
        painter.setPen(ControlLook::primaryColor());
        break;
    case Tint::secondary:
        painter.setPen(ControlLook::secondaryColor());
        break;
    case Tint::accent:
        painter.setPen(ControlLook::accentColor());
        break;
    case Tint::red:
        painter.setPen(ControlLook::redColor());
        break;
    }
    const QRectF box(-width() / 2.0, -height() / 2.0, width(), height());
    painter.translate(width() / 2.0, height() / 2.0);
    painter.rotate(rotation_ * 180 / std::numbers::pi);
    if (!text_.isEmpty()) {
        painter.setFont(textFont_);
        painter.drawText(box, Qt::AlignCenter, text_);
        return;
    }
    painter.setFont(symbolFont_);
    painter.drawText(box, Qt::AlignCenter, Symbols::glyph(symbol_));
}

} // namespace velorin
