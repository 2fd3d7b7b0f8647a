#include "app/ui/FlyoverSlider.h"

#include "app/AppModel.h"
#include "widgets/ControlLook.h"
#include "library/ValueFormatters.h"
#include "widgets/MonospacedDigits.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <cmath>

namespace velorin {

FlyoverSlider::FlyoverSlider(AppModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
    , slider_(new QSlider(Qt::Horizontal, this))
    , distance_(new QLabel(this))
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(kHorizontalPaddingPoints, kVerticalPaddingPoints, kHorizontalPaddingPoints,
        kVerticalPaddingPoints);
    row->setSpacing(kSpacingPoints);
    row->setSizeConstraint(QLayout::SetFixedSize);

    slider_->setRange(0, kSteps);
    slider_->setFixedWidth(kSliderWidthPoints);
    slider_->setFocusPolicy(Qt::NoFocus);
    slider_->setAccessibleName(QStringLiteral("Position du survol"));
    // Only the user's moves seek: every action (a drag, a click on the groove, a key) has
    // moved the slider's position when this is heard.
    connect(slider_, &QSlider::actionTriggered, this, [this] {
        if (auto canvas = model_.canvas())
            canvas->seekFlyover(double(slider_->sliderPosition()) / kSteps);
    });
    row->addWidget(slider_, 0, Qt::AlignVCenter);

    distance_->setFont(ControlLook::textFont(kCaptionPixelSize, QFont::Normal));
    QPalette palette = distance_->palette();
    palette.setColor(QPalette::WindowText, ControlLook::secondaryColor());
    distance_->setPalette(palette);
    distance_->setTextFormat(Qt::RichText);
    distance_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    row->addWidget(distance_, 0, Qt::AlignVCenter);

    connect(&model_, &AppModel::changed, this, &FlyoverSlider::refresh);
    refresh();
}

QString FlyoverSlider::distanceText() const
{
    return MonospacedDigits::plainText(distance_->text());
}

void FlyoverSlider::refresh()
{
    const auto& position = model_.flyoverPosition();
    if (position.total > 0 && std::isfinite(position.travelled)) {
        const double fraction = std::clamp(position.travelled / position.total, 0.0, 1.0);
        // A report is no move of the user's: it must not seek back to a rounded point.
        const QSignalBlocker quiet(slider_);
        slider_->setValue(int(std::lround(fraction * kSteps)));
    }
    const QString text = QString::fromStdString(formatDistance(position.travelled) + " / " + formatDistance(position.total));
    distance_->setText(MonospacedDigits::richText(text, distance_->font()));
}

void FlyoverSlider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    ControlLook::paintBackground(painter, rect(), height() / 2.0);
}

} // namespace velorin
