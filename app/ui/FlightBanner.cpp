#include "app/ui/FlightBanner.h"

#include "app/AppModel.h"
#include "app/ui/SymbolButton.h"
#include "widgets/ControlLook.h"
#include "library/ValueFormatters.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

namespace velorin {

namespace {

QLabel* label(const QFont& font, const QColor& colour, QWidget* parent)
{
    auto* text = new QLabel(parent);
    text->setFont(font);
    text->setTextFormat(Qt::PlainText);
    QPalette palette = text->palette();
    palette.setColor(QPalette::WindowText, colour);
    text->setPalette(palette);
    return text;
}

} // namespace

FlightBanner::FlightBanner(AppModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(kHorizontalPaddingPoints, kTopMarginPoints + kVerticalPaddingPoints,
        kHorizontalPaddingPoints, kVerticalPaddingPoints);
    row->setSpacing(kSpacingPoints);
    row->setSizeConstraint(QLayout::SetFixedSize);

    back_ = new SymbolButton(QSizeF(kBackButtonPoints, kBackButtonPoints), kSubheadlinePixelSize, this);
    back_->setObjectName("endFlight");
    back_->setSymbol("arrow.uturn.backward");
    back_->setTint(SymbolButton::Tint::secondary);
    back_->setAccessibleName(QStringLiteral("Arrêter le vol"));
    back_->setControlAction(model_, [this] { model_.stopFlyover(); });
    row->addWidget(back_, 0, Qt::AlignVCenter);
    name_ = label(ControlLook::textFont(kSubheadlinePixelSize, QFont::DemiBold), ControlLook::primaryColor(), this);
    row->addWidget(name_, 0, Qt::AlignVCenter);
    distance_ = label(ControlLook::textFont(kSubheadlinePixelSize, QFont::Normal), ControlLook::secondaryColor(), this);
    row->addWidget(distance_, 0, Qt::AlignVCenter);

    connect(&model_, &AppModel::changed, this, &FlightBanner::refresh);
    refresh();
}

QString FlightBanner::distanceText(double meters)
{
    return QString::fromStdString("· " + formatDistance(meters) + " depuis le départ");
}

void FlightBanner::refresh()
{
    // The screen shows the banner while a flight runs; it keeps the last flight's text
    // as it leaves.
    const auto& flight = model_.flight();
    if (!flight)
        return;
    name_->setText(QString::fromStdString(flight->first));
    distance_->setText(distanceText(flight->second));
}

void FlightBanner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF capsule = QRectF(rect()).adjusted(0, kTopMarginPoints, 0, 0);
    ControlLook::paintBackground(painter, capsule, capsule.height() / 2);
}

} // namespace velorin
