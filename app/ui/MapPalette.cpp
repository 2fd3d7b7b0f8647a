#include "app/ui/MapPalette.h"

#include "app/AppModel.h"
#include "widgets/ControlLook.h"
#include "app/ui/SymbolButton.h"

#include <QBoxLayout>
#include <QPainter>

namespace velorin {

namespace {

constexpr QSizeF kButtonFrame { 61.6, 58.8 };
constexpr double kSymbolPixelSize = 23.8;
constexpr double kIgnTextPixelSize = 16.8;
constexpr double kZoomStepLevels = 1;

} // namespace

MapPalette::MapPalette(AppModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
{
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, kVerticalPaddingPoints, 0, kVerticalPaddingPoints);
    stack->setSpacing(0);
    stack->setSizeConstraint(QLayout::SetFixedSize);

    photoPins_ = addButton("photoPins", [this] { model_.togglePhotoPins(); });
    ign_ = addButton("ign", [this] { model_.setAppleMap(false); });
    ign_->setLabelText(QStringLiteral("IGN"), ControlLook::textFont(kIgnTextPixelSize, QFont::ExtraBold));
    ign_->setAccessibleName(QStringLiteral("Cartes IGN"));
    apple_ = addButton("apple", [this] { model_.setAppleMap(true); });
    apple_->setSymbol("globe.europe.africa");
    apple_->setAccessibleName(QStringLiteral("Cartes du monde"));
    aerial_ = addButton("aerial", [this] { model_.toggleAerial(); });
    aerial_->setAccessibleName(QStringLiteral("Vue satellite"));
    trees_ = addButton("trees", [this] { model_.toggleTrees(); });
    toponyms_ = addButton("toponyms", [this] { model_.toggleToponyms(); });
    auto* saveView = addButton("saveView", [this] { model_.saveCurrentView(); });
    saveView->setSymbol("camera");
    saveView->setAccessibleName(QStringLiteral("Enregistrer la vue"));
    addDivider();
    for (double step : { kZoomStepLevels, -kZoomStepLevels }) {
        auto* zoom = addButton(step > 0 ? "zoomIn" : "zoomOut", [this, step] {
            if (auto canvas = model_.canvas())
                canvas->adjustFlyoverDistance(step);
        });
        zoom->setSymbol(step > 0 ? "plus" : "minus");
        zoom->setAccessibleName(step > 0 ? QStringLiteral("Zoomer") : QStringLiteral("Dézoomer"));
    }
    addDivider();
    flyover_ = addButton("flyover", [this] { model_.toggleFlyover(); });

    ControlLook::applyShadow(*this, ControlLook::kPanelShadow);
    connect(&model_, &AppModel::changed, this, &MapPalette::refresh);
    refresh();
}

SymbolButton* MapPalette::addButton(const char* name, std::function<void()> operation)
{
    auto* button = new SymbolButton(kButtonFrame, kSymbolPixelSize, this);
    button->setObjectName(name);
    button->setControlAction(model_, std::move(operation));
    layout()->addWidget(button);
    layout()->setAlignment(button, Qt::AlignHCenter);
    return button;
}

void MapPalette::addDivider()
{
    auto* divider = ControlLook::makeDivider(QSize(kDividerWidthPoints, 1), this);
    layout()->addWidget(divider);
    layout()->setAlignment(divider, Qt::AlignHCenter);
}

void MapPalette::refresh()
{
    const Basemap basemap = model_.basemap();
    const bool pins = model_.showsPhotoPins();
    photoPins_->setSymbol(pins ? "photo.on.rectangle.angled.fill" : "photo.on.rectangle.angled");
    photoPins_->setOn(pins);
    photoPins_->setAccessibleName(pins ? QStringLiteral("Masquer les photos") : QStringLiteral("Afficher les photos"));

    ign_->setOn(!basemap.isApple());
    apple_->setOn(basemap.isApple());

    // A satellite, not a second globe beside the world maps' own.
    aerial_->setSymbol("satellite");
    aerial_->setOn(basemap.isPhoto());

    const bool trees = model_.showsTrees();
    trees_->setSymbol(trees ? "tree.fill" : "tree");
    trees_->setOn(trees);
    trees_->setAccessibleName(trees ? QStringLiteral("Masquer les arbres et bâtiments 3D")
                                    : QStringLiteral("Afficher les arbres et bâtiments 3D"));

    const bool toponyms = model_.showsToponyms();
    toponyms_->setSymbol(toponyms ? "tag.fill" : "tag");
    toponyms_->setOn(toponyms);
    toponyms_->setAccessibleName(toponyms ? QStringLiteral("Masquer les noms des sommets et cols")
                                          : QStringLiteral("Afficher les noms des sommets et cols"));

    // A press starts what the label says: the track's flyover with two points or more on
    // the map, else the tour.
    const bool flying = model_.isFlyingOver() || model_.flight();
    flyover_->setSymbol(flying ? "stop.fill" : "play.fill");
    flyover_->setOn(flying);
    const auto& track = model_.tracks().trackOnMap();
    if (flying)
        flyover_->setAccessibleName(QStringLiteral("Arrêter"));
    else if (track && track->points.size() >= 2)
        flyover_->setAccessibleName(QStringLiteral("Survol 3D du trajet"));
    else
        flyover_->setAccessibleName(QStringLiteral("Tourner autour du point visé"));
}

void MapPalette::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    ControlLook::paintBackground(painter, rect(), ControlLook::kPanelCornerRadius);
}

} // namespace velorin
