#include "app/ui/MapToolbar.h"

#include "app/AppModel.h"
#include "app/ui/ControlLook.h"
#include "app/ui/SymbolButton.h"

#include <QBoxLayout>
#include <QPainter>

namespace velorin {

namespace {

constexpr QSizeF kButtonFrame { 61.6, 56 };
constexpr double kSymbolPixelSize = 23.8;

} // namespace

MapToolbar::MapToolbar(AppModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(kHorizontalPaddingPoints, kVerticalPaddingPoints, kHorizontalPaddingPoints,
        kVerticalPaddingPoints);
    row->setSpacing(kSpacingPoints);
    row->setSizeConstraint(QLayout::SetFixedSize);

    addButton("settings", "gearshape", "Réglages", [this] { emit settingsRequested(); });
    relief_ = addButton("relief", "view.3d", "Vue en relief", [this] { model_.toggle3D(); });
    follow_ = addButton("follow", "location", "Suivre ma position", [this] { model_.locateUser(); });
    compass_ = addButton("compass", "location.north.line.fill", "Suivre la boussole",
        [this] { model_.toggleCompassFollowing(); });
    // Disabled until the recording, library and account screens join the map.
    addButton("recording", "figure.walk", "Enregistrer un trajet", nullptr);
    addButton("tracks", "point.topleft.down.to.point.bottomright.curvepath", "Trajets enregistrés", nullptr);
    addButton("account", "person.crop.circle", "Mon compte", nullptr);

    ControlLook::applyShadow(*this, ControlLook::kPanelShadow);
    connect(&model_, &AppModel::changed, this, &MapToolbar::refresh);
    refresh();
}

SymbolButton* MapToolbar::addButton(const char* name, const char* symbol, const char* accessibleName,
    std::function<void()> operation)
{
    auto* button = new SymbolButton(kButtonFrame, kSymbolPixelSize, this);
    button->setObjectName(name);
    button->setSymbol(symbol);
    button->setAccessibleName(QString::fromUtf8(accessibleName));
    button->setControlAction(model_, std::move(operation));
    layout()->addWidget(button);
    layout()->setAlignment(button, Qt::AlignVCenter);
    return button;
}

void MapToolbar::refresh()
{
    const bool relief = model_.is3D();
    relief_->setOn(relief);
    relief_->setAccessibleName(relief ? QStringLiteral("Vue de dessus") : QStringLiteral("Vue en relief"));

    const bool following = model_.isFollowingUser();
    follow_->setSymbol(following ? "location.fill" : "location");
    follow_->setOn(following);

    compass_->setHidden(!model_.location().source().headingAvailable());
    compass_->setOn(model_.isCompassFollowing());
    compass_->setRotation(-model_.bearing());
}

void MapToolbar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // A capsule: the corners are half the height.
    ControlLook::paintBackground(painter, rect(), height() / 2.0);
}

} // namespace velorin
