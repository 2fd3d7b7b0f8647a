#include "app/ui/TitledSymbolButton.h"

#include "widgets/ControlLook.h"
#include "widgets/Symbols.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace velorin {

namespace {

// A button held down dims while the pointer is on it.
constexpr double kPressedOpacity = 0.6;

} // namespace

TitledSymbolButton::TitledSymbolButton(const QFont& font, int horizontalPadding, int height, QWidget* parent)
    : QAbstractButton(parent)
    , font_(font)
    , symbolFont_(Symbols::font(font.pixelSize(), font.weight()))
    , padding_(horizontalPadding)
    , height_(height)
{
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void TitledSymbolButton::setContent(std::string_view symbol, const QString& title)
{
    if (symbol_ == symbol && text() == title)
        return;
    symbol_ = symbol;
    setText(title);
    updateGeometry();
    update();
}

QSize TitledSymbolButton::sizeHint() const
{
    const double symbolWidth = QFontMetricsF(symbolFont_).horizontalAdvance(Symbols::glyph(symbol_));
    const double textWidth = QFontMetricsF(font_).horizontalAdvance(text());
    const int height = height_ > 0 ? height_ : int(std::ceil(QFontMetricsF(font_).height()));
    return { int(std::ceil(2 * padding_ + symbolWidth + kSymbolSpacingPoints + textWidth)), height };
}

void TitledSymbolButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (isDown())
        painter.setOpacity(kPressedOpacity);
    painter.setPen(ControlLook::primaryColor());
    const QString glyph = Symbols::glyph(symbol_);
    const double symbolWidth = QFontMetricsF(symbolFont_).horizontalAdvance(glyph);
    painter.setFont(symbolFont_);
    painter.drawText(QRectF(padding_, 0, symbolWidth, height()), Qt::AlignCenter, glyph);
    painter.setFont(font_);
    const double textLeft = padding_ + symbolWidth + kSymbolSpacingPoints;
    painter.drawText(QRectF(textLeft, 0, width() - textLeft, height()), Qt::AlignLeft | Qt::AlignVCenter, text());
}

} // namespace velorin
