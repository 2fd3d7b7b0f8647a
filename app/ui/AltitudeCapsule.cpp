#include "app/ui/AltitudeCapsule.h"

#include "app/AppModel.h"
#include "app/ui/OverlayTransition.h"
#include "app/ui/Symbols.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

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

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(kHorizontalPaddingPoints, kVerticalPaddingPoints, kHorizontalPaddingPoints,
        kVerticalPaddingPoints);
    row->setSpacing(kSpacingPoints);
    row->addWidget(symbol_, 0, Qt::AlignVCenter);
    row->addWidget(altitude_, 0, Qt::AlignVCenter);

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
}

void AltitudeCapsule::refresh()
{
    const AltitudeState& state = model_.altitudeState();
    const bool shown = state.kind == AltitudeState::Kind::value && std::isfinite(state.meters);
    transition_->setShown(shown);
    if (shown)
        altitude_->setText(text(state.meters));
}

} // namespace velorin
