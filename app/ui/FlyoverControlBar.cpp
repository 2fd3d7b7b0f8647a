#include "app/ui/FlyoverControlBar.h"

#include "app/AppModel.h"
#include "widgets/ControlLook.h"
#include "app/ui/SymbolButton.h"
#include "app/ui/TitledSymbolButton.h"

#include <QHBoxLayout>
#include <QPainter>

namespace velorin {

namespace {

constexpr double kSymbolPixelSize = 17;

} // namespace

FlyoverControlBar::FlyoverControlBar(AppModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->setSizeConstraint(QLayout::SetFixedSize);
    const QFont font = ControlLook::textFont(kSubheadlinePixelSize, QFont::DemiBold);

    addSymbolButton("farther", "minus", [this] {
        if (auto canvas = model_.canvas())
            canvas->adjustFlyoverDistance(kFartherStep);
    })->setAccessibleName(QStringLiteral("S'éloigner"));
    addDivider();
    mode_ = new TitledSymbolButton(font, kModePaddingPoints, kButtonHeightPoints, this);
    mode_->setObjectName("mode");
    mode_->setAccessibleDescription(QStringLiteral("Passe du suivi au drone et inversement"));
    mode_->setToolTip(mode_->accessibleDescription());
    connect(mode_, &QAbstractButton::clicked, this, [this] { model_.toggleFlyoverMode(); });
    row->addWidget(mode_);
    addDivider();
    pause_ = addSymbolButton("pause", "pause.fill", [this] { model_.toggleFlyoverPause(); });
    addDivider();
    auto* stop = new TitledSymbolButton(font, kStopPaddingPoints, kButtonHeightPoints, this);
    stop->setObjectName("stop");
    stop->setContent("stop.fill", QStringLiteral("Arrêter"));
    connect(stop, &QAbstractButton::clicked, this, [this] {
        if (auto canvas = model_.canvas())
            canvas->stopAnimations();
    });
    row->addWidget(stop);
    addDivider();
    addSymbolButton("closer", "plus", [this] {
        if (auto canvas = model_.canvas())
            canvas->adjustFlyoverDistance(kCloserStep);
    })->setAccessibleName(QStringLiteral("Se rapprocher"));

    connect(&model_, &AppModel::changed, this, &FlyoverControlBar::refresh);
    refresh();
}

SymbolButton* FlyoverControlBar::addSymbolButton(const char* name, const char* symbol, std::function<void()> action)
{
    auto* button = new SymbolButton(kSymbolFrame, kSymbolPixelSize, this);
    button->setObjectName(name);
    button->setSymbol(symbol);
    connect(button, &QAbstractButton::clicked, this, std::move(action));
    layout()->addWidget(button);
    return button;
}

void FlyoverControlBar::addDivider()
{
    auto* divider = ControlLook::makeDivider(QSize(1, kDividerHeightPoints), this);
    layout()->addWidget(divider);
    layout()->setAlignment(divider, Qt::AlignVCenter);
}

void FlyoverControlBar::refresh()
{
    // The mode in force, not the one a press switches to.
    if (model_.flyoverMode() == FlyoverMode::follow)
        mode_->setContent("figure.hiking", QStringLiteral("Suivi"));
    else
        mode_->setContent("binoculars.fill", QStringLiteral("Drone"));
    const bool paused = model_.isFlyoverPaused();
    pause_->setSymbol(paused ? "play.fill" : "pause.fill");
    pause_->setAccessibleName(paused ? QStringLiteral("Reprendre") : QStringLiteral("Pause"));
}

void FlyoverControlBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    ControlLook::paintBackground(painter, rect(), height() / 2.0);
}

} // namespace velorin
