#include "app/ui/FlightWave.h"

#include "app/AppModel.h"
#include "widgets/ControlLook.h"
#include "app/ui/LoadingWave.h"
#include "app/ui/TitledSymbolButton.h"

#include <QBoxLayout>
#include <QPainter>

namespace velorin {

namespace {

// The capsule of choices, on the controls' material.
class ChoicesCapsule : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        ControlLook::paintBackground(painter, rect(), height() / 2.0);
    }
};

} // namespace

FlightWave::FlightWave(AppModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
    , wave_(new LoadingWave(model.flyoverProgress(), this))
    , choices_(new ChoicesCapsule(this))
{
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(kHorizontalPaddingPoints, 0, kHorizontalPaddingPoints, 0);
    stack->setSpacing(kSpacingPoints);
    stack->setSizeConstraint(QLayout::SetFixedSize);
    stack->addWidget(wave_, 0, Qt::AlignHCenter);

    auto* row = new QHBoxLayout(choices_);
    row->setContentsMargins(kChoicesHorizontalPaddingPoints, kChoicesVerticalPaddingPoints,
        kChoicesHorizontalPaddingPoints, kChoicesVerticalPaddingPoints);
    row->setSpacing(kChoiceSpacingPoints);
    const QFont font = ControlLook::textFont(kSubheadlinePixelSize, QFont::DemiBold);
    stop_ = new TitledSymbolButton(font, 0, 0, choices_);
    stop_->setObjectName("stop");
    stop_->setContent("stop.fill", QStringLiteral("Arrêter"));
    connect(stop_, &QAbstractButton::clicked, this, [this] { model_.stopFlyover(); });
    row->addWidget(stop_);
    skip_ = new TitledSymbolButton(font, 0, 0, choices_);
    skip_->setObjectName("skip");
    skip_->setContent("arrow.up", QStringLiteral("Aller directement"));
    connect(skip_, &QAbstractButton::clicked, this, [this] { model_.skipFlight(); });
    row->addWidget(skip_);
    stack->addWidget(choices_, 0, Qt::AlignHCenter);

    connect(&model_, &AppModel::changed, this, &FlightWave::refresh);
    refresh();
}

void FlightWave::enterEvent(QEnterEvent*)
{
    setShowsChoices(true);
}

void FlightWave::leaveEvent(QEvent*)
{
    setShowsChoices(false);
}

void FlightWave::setShowsChoices(bool shows)
{
    showsChoices_ = shows;
    refresh();
}

void FlightWave::refresh()
{
    const auto progress = model_.flyoverProgress();
    wave_->setProgress(progress);
    // The pointer still over the wave opens nothing more once the flight has ended: a new
    // hover does, once a new progress exists.
    if (hadProgress_ && !progress)
        showsChoices_ = false;
    hadProgress_ = progress.has_value();
    skip_->setVisible(model_.flight().has_value());
    choices_->setVisible(progress && showsChoices_);
}

} // namespace velorin
