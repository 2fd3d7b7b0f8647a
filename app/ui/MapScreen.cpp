#include "app/ui/MapScreen.h"

#include "app/AppModel.h"
#include "app/ui/AltitudeCapsule.h"
#include "app/ui/AttributionColumn.h"
#include "app/ui/CompassPad.h"
#include "app/ui/MapContainer.h"
#include "app/ui/MapPalette.h"
#include "app/ui/MapToolbar.h"
#include "app/ui/OverlayLayer.h"
#include "app/ui/OverlayTransition.h"
#include "app/ui/PlaceSearchField.h"
#include "app/ui/StatusIndicator.h"
#include "map-data/ui/DownloadBanner.h"
#include "map-data/ui/OfflineView.h"
#include "map-data/ui/SearchView.h"

#include <QDialog>
#include <QKeySequence>
#include <QShortcut>

namespace velorin {

MapScreen::MapScreen(AppModel& model, MapCanvasView::Environment environment, QWidget* parent)
    : QWidget(parent)
    , model_(model)
    , container_(new MapContainer(model, std::move(environment), this))
    , topLeading_(new OverlayLayer(Qt::AlignTop | Qt::AlignLeft,
          QMargins(0, kEdgePaddingPoints + kTopSafeAreaPaddingPoints, 0, 0),
          kTopLeadingSpacingPoints, this))
    , bottom_(new OverlayLayer(Qt::AlignBottom,
          QMargins(kEdgePaddingPoints, 0, kEdgePaddingPoints, kEdgePaddingPoints), kBottomSpacingPoints, this))
    , topTrailing_(new OverlayLayer(Qt::AlignTop | Qt::AlignRight,
          QMargins(0, kEdgePaddingPoints + kTopSafeAreaPaddingPoints, kEdgePaddingPoints, 0), 0, this))
    , banners_(new OverlayLayer(Qt::AlignTop, QMargins(0, kTopSafeAreaPaddingPoints, 0, 0),
          kBannerSpacingPoints, this))
    , placeSearch_(new PlaceSearchField(model, model.catalog() ? *model.catalog() : SheetCatalog(), topLeading_))
    , compassPad_(new CompassPad(model, topLeading_))
    , statusIndicator_(new StatusIndicator(model, topLeading_))
    , attribution_(new AttributionColumn(model, bottom_))
    , toolbar_(new MapToolbar(model, bottom_))
    , palette_(new MapPalette(model, topTrailing_))
    , altitude_(new AltitudeCapsule(model, banners_))
    , paletteTransition_(new OverlayTransition(*palette_, Qt::RightEdge, kControlsTransitionSeconds))
    , toolbarTransition_(new OverlayTransition(*toolbar_, Qt::BottomEdge, kControlsTransitionSeconds))
{
    setFocusProxy(container_);
    topLeading_->add(placeSearch_, Qt::AlignLeft, kEdgePaddingPoints);
    topLeading_->add(compassPad_, Qt::AlignLeft, kEdgePaddingPoints);
    topLeading_->add(statusIndicator_, Qt::AlignLeft);

    bottom_->add(attribution_, Qt::AlignLeft);
    bottom_->add(toolbar_, Qt::AlignHCenter);

    topTrailing_->add(palette_, Qt::AlignRight);

    banners_->column().addSpacing(kAltitudeTopPaddingPoints);
    banners_->add(altitude_, Qt::AlignHCenter);
    if (model_.downloader())
        banners_->add(new DownloadBanner(model_.downloader(), banners_), Qt::AlignHCenter);

    // The toolbar offers no way to the sheet search and the offline maps: keys do.
    connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, this, [this] { openSearch(); });
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), this), &QShortcut::activated, this,
        [this] { openOffline(); });

    connect(placeSearch_, &PlaceSearchField::focusReleased, this, [this] { setFocus(); });
    connect(&model_, &AppModel::changed, this, [this] { refresh(); });
    refresh();
}

void MapScreen::resizeEvent(QResizeEvent*)
{
    for (QWidget* layer : {static_cast<QWidget*>(container_), static_cast<QWidget*>(topLeading_),
             static_cast<QWidget*>(bottom_), static_cast<QWidget*>(topTrailing_), static_cast<QWidget*>(banners_)})
        layer->setGeometry(rect());
}

void MapScreen::refresh()
{
    toolbarTransition_->setShown(model_.areControlsVisible());
    paletteTransition_->setShown(model_.areControlsVisible());
}

void MapScreen::openSearch()
{
    if (search_ || !model_.catalog())
        return;
    auto* search = new SearchView(*model_.catalog(), [this](const Sheet& sheet) { chooseSheet(sheet); }, this);
    search->setAttribute(Qt::WA_DeleteOnClose);
    search_ = search;
    search->open();
}

void MapScreen::chooseSheet(const Sheet& sheet)
{
    if (search_)
        search_->close();
    model_.setIsFollowingUser(false);
    if (auto canvas = container_->canvas())
        canvas->fit(sheet.worldRect, true);
}

void MapScreen::openOffline()
{
    QDialog* sheet = nullptr;
    if (model_.downloader())
        sheet = new OfflineView(model_.downloader(), [this] { return visibleSheets(); }, this);
    else
        sheet = new QDialog(this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->open();
}

std::vector<Sheet> MapScreen::visibleSheets() const
{
    auto canvas = container_->canvas();
    if (!canvas || !model_.catalog())
        return {};
    return model_.catalog()->sheetsIn(canvas->camera().visibleRect());
}

} // namespace velorin
