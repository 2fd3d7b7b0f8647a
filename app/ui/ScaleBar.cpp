#include "app/ui/ScaleBar.h"

#include "app/AppModel.h"
#include "widgets/ControlLook.h"
#include "widgets/MonospacedDigits.h"

#include <QFontMetrics>
#include <QPainter>

#include <array>
#include <cmath>

#include <fmt/format.h>

namespace velorin {

namespace {

QFont labelFont()
{
    return ControlLook::textFont(ScaleBar::kLabelPixelSize, QFont::Medium);
}

// Plain digits of the whole part, with no grouping, however large the number.
QString wholeNumber(double value)
{
    return QString::fromStdString(fmt::format("{:.0f}", std::trunc(value)));
}

} // namespace

std::optional<ScaleBar::Scale> ScaleBar::scale(double metersPerPixel, double displayScale)
{
    if (!std::isfinite(metersPerPixel) || metersPerPixel <= 0)
        return std::nullopt;
    const double metersPerPoint = metersPerPixel * displayScale;
    const double target = kTargetLengthPoints * metersPerPoint;
    const double base = std::pow(10.0, std::floor(std::log10(target)));
    double length = base;
    for (double multiplier : std::array { 2.0, 5.0, 10.0 }) {
        const double candidate = multiplier * base;
        // Strictly nearer only: a tie keeps the smaller length.
        if (std::abs(candidate - target) < std::abs(length - target))
            length = candidate;
    }
    const double width = length / metersPerPoint;
    if (!(width > kMinLengthPoints && width < kMaxLengthPoints))
        return std::nullopt;
    if (length >= kKilometreMeters)
        return Scale { wholeNumber(length / kKilometreMeters) + " km", width };
    return Scale { wholeNumber(length) + " m", width };
}

ScaleBar::ScaleBar(AppModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(&model_, &AppModel::changed, this, &ScaleBar::refresh);
    refresh();
}

void ScaleBar::refresh()
{
    auto next = scale(model_.metersPerPixel(), devicePixelRatioF());
    if (next == current_)
        return;
    current_ = std::move(next);
    setAccessibleName(current_ ? current_->label : QString());
    updateGeometry();
    update();
}

QSize ScaleBar::sizeHint() const
{
    if (!current_)
        return { 0, 0 };
    const QFont font = labelFont();
    const QFontMetrics metrics(font);
    const int width = int(std::ceil(std::max(MonospacedDigits::width(font, current_->label), current_->widthPoints)));
    return { width, metrics.height() + kSpacingPoints + int(std::ceil(kBarThicknessPoints)) };
}

void ScaleBar::paintEvent(QPaintEvent*)
{
    if (!current_)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QFont font = labelFont();
    const QFontMetrics metrics(font);
    painter.setFont(font);
    painter.setPen(ControlLook::primaryColor());
    // Digits in equal slots: the label does not jitter as the figure changes.
    MonospacedDigits::draw(painter, QPointF(0, metrics.ascent()), current_->label);
    painter.setOpacity(kBarOpacity);
    painter.fillRect(QRectF(0, metrics.height() + kSpacingPoints, current_->widthPoints, kBarThicknessPoints),
        ControlLook::primaryColor());
}

} // namespace velorin
