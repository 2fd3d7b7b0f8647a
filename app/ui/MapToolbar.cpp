#include "app/ui/MapToolbar.h"

#include "app/AppModel.h"
#include "widgets/ControlLook.h"
#include "app/ui/SymbolButton.h"

#include <QBoxLayout>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>

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
    recording_ = addButton("recording", "figure.walk", "Enregistrer un trajet", [this] { pressRecording(); });
    addButton("tracks", "point.topleft.down.to.point.bottomright.curvepath", "Trajets enregistrés",
        [this] { emit tracksRequested(); });
    account_ = addButton("account", "person.crop.circle", "Mon compte", [this] { emit accountRequested(); });

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

void MapToolbar::pressRecording()
{
    if (model_.tracks().isRecording()) {
        model_.toggleRecording();
        return;
    }
    if (startConfirmation_)
        return;
    auto* confirmation = new QMessageBox(QMessageBox::NoIcon, QString::fromUtf8(kStartTitle),
        QString::fromUtf8(kStartTitle), QMessageBox::NoButton, this);
    confirmation->setInformativeText(QString::fromUtf8(kStartMessage));
    QPushButton* start = confirmation->addButton(QStringLiteral("Démarrer"), QMessageBox::AcceptRole);
    confirmation->addButton(QStringLiteral("Annuler"), QMessageBox::RejectRole);
    confirmation->setDefaultButton(start);
    confirmation->setAttribute(Qt::WA_DeleteOnClose);
    connect(start, &QPushButton::clicked, this, [this] {
        // A recording started meanwhile is not stopped by its own confirmation.
        if (!model_.tracks().isRecording())
            model_.toggleRecording();
    });
    startConfirmation_ = confirmation;
    confirmation->open();
}

void MapToolbar::refresh()
{
    const bool relief = model_.is3D();
    relief_->setOn(relief);
    relief_->setAccessibleName(relief ? QStringLiteral("Vue de dessus") : QStringLiteral("Vue en relief"));

    // Without a position the map follows nothing, and the button does not say it does.
    const auto problem = model_.positionProblem();
    const bool following = model_.isFollowingUser() && !problem;
    follow_->setSymbol(following ? "location.fill" : "location");
    follow_->setOn(following);
    follow_->setToolTip(problem ? QString::fromStdString(positionProblemText(*problem)) : QString());

    compass_->setHidden(!model_.location().source().headingAvailable());
    compass_->setOn(model_.isCompassFollowing());
    compass_->setRotation(-model_.bearing());

    account_->setSymbol(model_.accounts().account() ? "person.crop.circle.fill" : "person.crop.circle");
    const bool recording = model_.tracks().isRecording();
    recording_->setSymbol(recording ? "stop.fill" : "figure.walk");
    recording_->setTint(recording ? SymbolButton::Tint::red : SymbolButton::Tint::primary);
    recording_->setAccessibleName(recording ? QStringLiteral("Arrêter l'enregistrement") : QStringLiteral("Enregistrer un trajet"));
}

void MapToolbar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // A capsule: the corners are half the height.
    ControlLook::paintBackground(painter, rect(), height() / 2.0);
}

} // namespace velorin
