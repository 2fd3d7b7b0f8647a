#include "app/ui/AltitudeCapsule.h"

#include "app/AppModel.h"
#include "widgets/ControlLook.h"
#include "app/ui/OverlayTransition.h"
#include "widgets/MonospacedDigits.h"
#include "widgets/Symbols.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QTextDocument>

#include <cmath>

namespace velorin {

AltitudeCapsule::AltitudeCapsule(AppModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
    , symbol_(new QLabel(Symbols::glyph("mountain.2.fill"), this))
    , altitude_(new QLabel(this))
    , transition_(new OverlayTransition(*this, Qt::TopEdge, kTransitionSeconds))
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    setPalette(palette);

    symbol_->setFont(Symbols::font(kSymbolPoints, QFont::DemiBold));
    QFont font = altitude_->font();
    font.setPointSize(kTextPoints);
    font.setWeight(QFont::DemiBold);
    altitude_->setFont(font);
    // The figure keeps its width from one metre to the next.
    altitude_->setTextFormat(Qt::RichText);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(kHorizontalPaddingPoints, kVerticalPaddingPoints, kHorizontalPaddingPoints,
        kVerticalPaddingPoints);
    row->setSpacing(kSpacingPoints);
    row->addWidget(symbol_, 0, Qt::AlignVCenter);
    row->addWidget(altitude_, 0, Qt::AlignVCenter);

    change_.setStartValue(0.0);
    change_.setEndValue(1.0);
    change_.setDuration(int(kTransitionSeconds * 1000));
    change_.setEasingCurve(ControlLook::easeInOut());
    connect(&change_, &QVariantAnimation::valueChanged, this,
        [this](const QVariant& value) { applyChange(value.toDouble()); });

    connect(&model_, &AppModel::changed, this, [this] { refresh(); });
    refresh();
}

QString AltitudeCapsule::text(double meters)
{
    return QString::number(std::llround(meters)) + QStringLiteral(" m");
}

void AltitudeCapsule::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    const double radius = height() / 2.0;
    painter.drawRoundedRect(rect(), radius, radius);
    if (change_.state() != QAbstractAnimation::Running || previous_.isEmpty())
        return;
    // The old figure fades out where the new one fades in, laid out as the label lays it.
    QTextDocument figure;
    figure.setDocumentMargin(0);
    figure.setDefaultFont(altitude_->font());
    figure.setDefaultStyleSheet(QStringLiteral("body { color: white; }"));
    figure.setHtml(previous_);
    const QRect place = altitude_->geometry();
    painter.setOpacity(1 - change_.currentValue().toDouble());
    painter.translate(place.left(), place.top() + (place.height() - figure.size().height()) / 2);
    figure.drawContents(&painter);
}

void AltitudeCapsule::refresh()
{
    if (const auto problem = model_.positionProblem()) {
        symbol_->setText(Symbols::glyph("location"));
        transition_->setShown(true);
        showAltitude(problemText(*problem));
        return;
    }
    const AltitudeState& state = model_.altitudeState();
    const bool shown = state.kind == AltitudeState::Kind::value && std::isfinite(state.meters);
    transition_->setShown(shown);
    if (shown) {
        symbol_->setText(Symbols::glyph("mountain.2.fill"));
        showAltitude(text(state.meters));
    }
}

QString AltitudeCapsule::problemText(PositionProblem problem)
{
    return QString::fromStdString(positionProblemText(problem));
}

void AltitudeCapsule::showAltitude(const QString& plain)
{
    const QString text = MonospacedDigits::richText(plain, altitude_->font());
    if (text == altitude_->text())
        return;
    // Only a figure in view changes gently; an entering capsule brings its own.
    const bool gently = isVisible() && transition_->progress() >= 1 && !altitude_->text().isEmpty();
    change_.stop();
    previous_ = altitude_->text();
    previousWidth_ = width();
    altitude_->setText(text);
    if (gently)
        change_.start();
    else
        applyChange(1);
}

void AltitudeCapsule::applyChange(double progress)
{
    QPalette palette = altitude_->palette();
    QColor color = Qt::white;
    color.setAlphaF(float(progress));
    palette.setColor(QPalette::WindowText, color);
    altitude_->setPalette(palette);
    if (progress >= 1) {
        previous_.clear();
        setMinimumWidth(0);
        setMaximumWidth(QWIDGETSIZE_MAX);
    } else {
        const int width = sizeHint().width();
        setFixedWidth(int(std::lround(previousWidth_ + (width - previousWidth_) * progress)));
    }
    update();
}

} // namespace velorin
