#include "features/ui/ToponymHoverView.h"

#include "features/ToponymHoverCard.h"
#include "widgets/Symbols.h"

#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QToolButton>

#include <cmath>
#include <utility>

namespace velorin {

namespace {

constexpr const char* kSymbolProperty = "symbol";

// A button's glyph, semibold, drawn at the screen's pixel ratio: white, and faint for a
// button with nothing to do.
QIcon glyphIcon(const QString& symbol, double ratio)
{
    QIcon icon;
    for (const auto& [mode, alpha] : {std::pair{QIcon::Normal, 1.0}, std::pair{QIcon::Disabled, ToponymHoverView::kDisabledAlpha}}) {
        const int side = int(std::ceil(ToponymHoverView::kGlyphPixels * ratio));
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setPen(QColor::fromRgbF(1, 1, 1, float(alpha)));
        painter.setFont(Symbols::font(ToponymHoverView::kGlyphPixels * ratio, QFont::DemiBold));
        painter.drawText(pixmap.rect(), Qt::AlignCenter, Symbols::glyph(symbol.toStdString()));
        painter.end();
        pixmap.setDevicePixelRatio(ratio);
        icon.addPixmap(pixmap, mode);
    }
    return icon;
}

QRect rounded(const ScreenRect& rect)
{
    return QRect(int(std::lround(rect.minX())), int(std::lround(rect.minY())), int(std::lround(rect.width)),
        int(std::lround(rect.height)));
}

} // namespace

ToponymHoverView::ToponymHoverView(QWidget* parent)
    : QWidget(parent)
    , jump_(button("arrow.up", "Aller directement à ce lieu", &ToponymHoverView::onJump_))
    , go_(button("paperplane", "Y aller", &ToponymHoverView::onGo_))
{
    setAttribute(Qt::WA_TranslucentBackground);
    for (QToolButton* button : {jump_, go_})
        button->setIcon(glyphIcon(button->property(kSymbolProperty).toString(), iconRatio_));
    hide();
}

QToolButton* ToponymHoverView::button(const char* symbol, const char* name,
    std::function<void()> ToponymHoverView::*callback)
{
    auto* made = new QToolButton(this);
    made->setAutoRaise(true);
    made->setFocusPolicy(Qt::NoFocus);
    made->setProperty(kSymbolProperty, symbol);
    made->setIconSize(QSize(int(kGlyphPixels), int(kGlyphPixels)));
    made->setAccessibleName(QString::fromUtf8(name));
    made->setToolTip(QString::fromUtf8(name));
    made->setStyleSheet("QToolButton { border: none; background: transparent; padding: 0; }"
                        "QToolButton:hover { background: rgba(255, 255, 255, 40); border-radius: 13px; }");
    made->setEnabled(false);
    connect(made, &QToolButton::clicked, this, [weak = QPointer(this), callback] {
        if (weak && weak->*callback)
            (weak->*callback)();
    });
    return made;
}

void ToponymHoverView::setOnJump(std::function<void()> callback)
{
    onJump_ = std::move(callback);
    jump_->setEnabled(bool(onJump_));
}

void ToponymHoverView::setOnGo(std::function<void()> callback)
{
    onGo_ = std::move(callback);
    go_->setEnabled(bool(onGo_));
}

void ToponymHoverView::layout(const ScreenRect& label)
{
    const ToponymHoverCard card = ToponymHoverCard::beside(label, parentWidget() ? parentWidget()->width() : 0.0);
    cornerRadius_ = card.cornerRadius;
    if (iconRatio_ != devicePixelRatioF()) {
        iconRatio_ = devicePixelRatioF();
        for (QToolButton* button : {jump_, go_})
            button->setIcon(glyphIcon(button->property(kSymbolProperty).toString(), iconRatio_));
    }
    setGeometry(rounded(card.frame));
    jump_->setGeometry(rounded(card.jump));
    go_->setGeometry(rounded(card.go));
    show();
    update();
}

void ToponymHoverView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double half = kBorderWidth / 2;
    const QRectF pill = QRectF(rect()).adjusted(half, half, -half, -half);
    painter.setPen(QPen(Qt::white, kBorderWidth));
    painter.setBrush(QColor::fromRgbF(0, 0, 0, float(kBackgroundAlpha)));
    painter.drawRoundedRect(pill, cornerRadius_ - half, cornerRadius_ - half);
}

} // namespace velorin
