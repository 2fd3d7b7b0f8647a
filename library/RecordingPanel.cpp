#include "library/RecordingPanel.h"

#include "library/TravelModeText.h"
#include "library/ValueFormatters.h"
#include "recordings/TrackRecorder.h"
#include "widgets/ControlLook.h"
#include "widgets/MonospacedDigits.h"
#include "widgets/Symbols.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace velorin {

namespace {

QString text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

} // namespace

RecordingPanel::RecordingPanel(const TrackRecorder& recorder, QWidget* parent)
    : QWidget(parent)
    , recorder_(recorder)
    , dot_(new QWidget(this))
    , mode_(new QLabel(this))
    , waiting_(new QLabel(QString::fromUtf8(kWaitingText), this))
{
    waiting_->setFont(ControlLook::textFont(kValuePoints, QFont::DemiBold));
    QPalette waiting = waiting_->palette();
    waiting.setColor(QPalette::WindowText, ControlLook::primaryColor());
    waiting_->setPalette(waiting);
    dot_->setFixedSize(kDotPoints, kDotPoints);
    mode_->setFont(Symbols::font(kSymbolPoints, QFont::Medium));
    mode_->hide();

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(kHorizontalPaddingPoints, kVerticalPaddingPoints, kHorizontalPaddingPoints,
        kVerticalPaddingPoints);
    row->setSpacing(kSpacingPoints);
    row->addWidget(dot_, 0, Qt::AlignVCenter);
    row->addWidget(mode_, 0, Qt::AlignVCenter);
    row->addWidget(waiting_, 0, Qt::AlignVCenter);
    duration_ = addCell(QStringLiteral("durée"));
    distance_ = addCell(QStringLiteral("distance"));
    ascent_ = addCell(QStringLiteral("D+"));
    altitude_ = addCell(QStringLiteral("altitude"));
    altitude_.cell->hide();
    for (const CellLabels* cell : { &duration_, &distance_, &ascent_, &altitude_ })
        row->addWidget(cell->cell, 0, Qt::AlignVCenter);
    failureItem_ = new QWidget(this);
    auto* failureRow = new QHBoxLayout(failureItem_);
    failureRow->setContentsMargins(0, 0, 0, 0);
    failureRow->setSpacing(kFailureSpacingPoints);
    auto* warning = new QLabel(Symbols::glyph("exclamationmark.triangle.fill"), failureItem_);
    warning->setFont(Symbols::font(kSymbolPoints, QFont::Medium));
    failure_ = new QLabel(failureItem_);
    failure_->setFont(ControlLook::textFont(kFailurePoints, QFont::DemiBold));
    for (QLabel* label : { warning, failure_ }) {
        QPalette orange = label->palette();
        orange.setColor(QPalette::WindowText, ControlLook::orangeColor());
        label->setPalette(orange);
        failureRow->addWidget(label, 0, Qt::AlignVCenter);
    }
    failureItem_->hide();
    row->addWidget(failureItem_, 0, Qt::AlignVCenter);

    ControlLook::applyShadow(*this, ControlLook::kPillShadow);
    refresh(std::nullopt, std::nullopt);
}

RecordingPanel::CellLabels RecordingPanel::addCell(const QString& label)
{
    auto* cell = new QWidget(this);
    auto* value = new QLabel(cell);
    auto* caption = new QLabel(label, cell);
    value->setFont(ControlLook::textFont(kValuePoints, QFont::DemiBold));
    value->setTextFormat(Qt::RichText);
    caption->setFont(ControlLook::textFont(kLabelPoints, QFont::Normal));
    QPalette primary = value->palette();
    primary.setColor(QPalette::WindowText, ControlLook::primaryColor());
    value->setPalette(primary);
    QPalette secondary = caption->palette();
    secondary.setColor(QPalette::WindowText, ControlLook::secondaryColor());
    caption->setPalette(secondary);
    auto* column = new QVBoxLayout(cell);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(1);
    column->addWidget(value, 0, Qt::AlignHCenter);
    column->addWidget(caption, 0, Qt::AlignHCenter);
    return { cell, value, caption };
}

void RecordingPanel::setValue(const CellLabels& cell, const QString& value)
{
    cell.value->setText(MonospacedDigits::richText(value, cell.value->font()));
}

void RecordingPanel::refresh(std::optional<QString> altitude, std::optional<TravelMode> mode)
{
    const TrackStatistics& statistics = recorder_.statistics();
    // Until a first point is kept there are no figures to show, only the wait.
    const bool waiting = recorder_.current() && recorder_.current()->points.empty();
    waiting_->setVisible(waiting);
    for (const CellLabels* cell : { &duration_, &distance_, &ascent_ })
        cell->cell->setVisible(!waiting);
    setValue(duration_, text(formatDuration(statistics.duration)));
    setValue(distance_, text(formatDistance(statistics.distance)));
    setValue(ascent_, text(formatAltitude(statistics.ascent)));
    altitude_.cell->setVisible(altitude.has_value() && !waiting);
    if (altitude)
        setValue(altitude_, *altitude);

    const auto& failure = recorder_.writeFailure();
    failureItem_->setVisible(failure.has_value());
    failure_->setText(failure ? text(*failure) : QString());

    mode_->setVisible(mode.has_value());
    if (mode) {
        mode_->setText(Symbols::glyph(travelModeSymbol(*mode)));
        mode_->setAccessibleName(QString::fromUtf8(travelModeText(*mode)));
        QPalette palette = mode_->palette();
        palette.setColor(QPalette::WindowText, isSelfPropelled(*mode) ? ControlLook::primaryColor() : ControlLook::orangeColor());
        mode_->setPalette(palette);
    }
    adjustSize();
    update();
}

std::vector<RecordingPanel::Cell> RecordingPanel::cells() const
{
    std::vector<Cell> result;
    for (const CellLabels* cell : { &duration_, &distance_, &ascent_, &altitude_ })
        if (!cell->cell->isHidden())
            result.push_back({ MonospacedDigits::plainText(cell->value->text()), cell->label->text() });
    return result;
}

void RecordingPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    ControlLook::paintBackground(painter, QRectF(rect()), height() / 2.0);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ControlLook::redColor());
    painter.drawEllipse(QRectF(dot_->geometry()));
}

} // namespace velorin
