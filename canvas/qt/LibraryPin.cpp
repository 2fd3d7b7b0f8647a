#include "canvas/qt/LibraryPin.h"

#include "canvas/qt/PhotoPin.h"

#include <QLabel>
#include <QRegion>

#include <algorithm>

namespace velorin {

LibraryPin::LibraryPin(const QString& accessibleText, QWidget* parent)
    : QWidget(parent)
    , pin_(new PhotoPin(kPinPoints, accessibleText, this))
    , badge_(new QLabel(this))
{
    const int side = int(kPinPoints) + 2 * kOverflowPoints;
    setFixedSize(side, side);
    pin_->move(kOverflowPoints, kOverflowPoints);
    QFont font;
    font.setPixelSize(int(kBadgeTextPoints));
    font.setBold(true);
    badge_->setFont(font);
    badge_->setAlignment(Qt::AlignCenter);
    // System blue.
    badge_->setStyleSheet(QStringLiteral("QLabel { color: white; background: rgb(10, 132, 255); border-radius: 9px; }"));
    badge_->setAttribute(Qt::WA_TransparentForMouseEvents);
    setBadge({}, accessibleText);
}

void LibraryPin::setBadge(const QString& text, const QString& accessibleText)
{
    pin_->setAccessibleName(accessibleText);
    badge_->setText(text);
    badge_->setVisible(!text.isEmpty());
    QRegion shape(pin_->geometry(), QRegion::Ellipse);
    if (!text.isEmpty()) {
        const int width = std::max(kMinBadgeWidthPoints, badge_->fontMetrics().horizontalAdvance(text) + kBadgePaddingPoints);
        const QRect corner = pin_->geometry();
        const int centerX = corner.x() + corner.width() - kBadgeInsetPoints;
        const int centerY = corner.y() + kBadgeInsetPoints;
        badge_->setGeometry(centerX - width / 2, centerY - kBadgeHeightPoints / 2, width, kBadgeHeightPoints);
        shape += badge_->geometry();
    }
    setMask(shape);
}

} // namespace velorin
