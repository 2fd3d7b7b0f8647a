#include "app/ui/MapScreen.h"

#include "account/ui/AccountView.h"
#include "account/ui/DiagnosticsView.h"
#include "account/ui/SettingsView.h"
#include "app/AppModel.h"
#include "app/ui/AltitudeCapsule.h"
#include "app/ui/AttributionColumn.h"
#include "app/ui/CameraInfoPanel.h"
#include "app/ui/CaptureNotice.h"
#include "app/ui/CompassPad.h"
#include "app/ui/FlightBanner.h"
#include "app/ui/FlightWave.h"
#include "app/ui/FlyoverControlBar.h"
#include "app/ui/FlyoverSlider.h"
#include "app/ui/MapContainer.h"
#include "app/ui/MapPalette.h"
#include "app/ui/MapToolbar.h"
#include "app/ui/OverlayLayer.h"
#include "app/ui/OverlayTransition.h"
#include "app/ui/PlaceSearchField.h"
#include "app/ui/StatusIndicator.h"
#include "app/ui/DownloadBanner.h"
#include "canvas/qt/CanvasOverlayHost.h"
#include "canvas/qt/MapCanvasWidget.h"
#include "features/ui/ToponymHoverView.h"
#include "platform/MapView.h"
#include "library/FlyoverPhotoThumbnail.h"
#include "library/PhotoViewer.h"
#include "library/RecordingPanel.h"
#include "library/TracksView.h"
#include "map-data/ui/OfflineView.h"
#include "map-data/ui/SearchView.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDialog>
#include <QLayout>
#include <QMouseEvent>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

namespace velorin {

MapScreen::MapScreen(AppModel& model, MapCanvasView::Environment environment, QWidget* parent)
    : QWidget(parent)
    , model_(model)
    , diagnosticsAtLaunch_(std::find(environment.arguments.begin(), environment.arguments.end(), "-showDiagnostics")
          != environment.arguments.end())
    , accountAtLaunch_(std::find(environment.arguments.begin(), environment.arguments.end(), "-showAccount")
          != environment.arguments.end())
    , libraryAtLaunch_(std::find(environment.arguments.begin(), environment.arguments.end(), "-showTracks")
          != environment.arguments.end())
    , lastTrackAtLaunch_(std::find(environment.arguments.begin(), environment.arguments.end(), "-showLastTrack")
          != environment.arguments.end())
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
    , cameraInfo_(new CameraInfoPanel(model, topLeading_))
    , statusIndicator_(new StatusIndicator(model, topLeading_))
    , attribution_(new AttributionColumn(model, bottom_))
    , toolbar_(new MapToolbar(model, bottom_))
    , palette_(new MapPalette(model, topTrailing_))
    , altitude_(new AltitudeCapsule(model, banners_))
    , flyoverSlider_(new FlyoverSlider(model, bottom_))
    , flyoverBar_(new FlyoverControlBar(model, bottom_))
    , flightWave_(new FlightWave(model, banners_))
    , flightBanner_(new FlightBanner(model, banners_))
    , recordingPanel_(new RecordingPanel(model.tracks(), bottom_))
    , paletteTransition_(new OverlayTransition(*palette_, Qt::RightEdge, kControlsTransitionSeconds))
    , toolbarTransition_(new OverlayTransition(*toolbar_, Qt::BottomEdge, kControlsTransitionSeconds))
    , photoDecodes_("com.vask.velorin.photos", 1)
{
    flyoverPhoto_ = new FlyoverPhotoThumbnail(
        {}, [this] { model_.openFlyoverPhoto(); }, model_.photoLibrary().pictures(), photoDecodes_, *model_.mainQueue(),
        bottom_);
    flyoverPhoto_->hide();
    // The flyover capsules and the flight banner start away, and come in with a flyover or
    // a flight.
    flyoverSlider_->hide();
    flyoverBar_->hide();
    flightBanner_->hide();
    recordingPanel_->hide();
    flyoverSliderTransition_ = new OverlayTransition(*flyoverSlider_, Qt::BottomEdge, kControlsTransitionSeconds);
    flyoverBarTransition_ = new OverlayTransition(*flyoverBar_, Qt::BottomEdge, kControlsTransitionSeconds);
    flightBannerTransition_ = new OverlayTransition(*flightBanner_, Qt::TopEdge, kBannerTransitionSeconds);
    recordingPanelTransition_ = new OverlayTransition(*recordingPanel_, Qt::BottomEdge, kControlsTransitionSeconds);
    setFocusProxy(container_);
    topLeading_->add(placeSearch_, Qt::AlignLeft, kEdgePaddingPoints);
    topLeading_->add(compassPad_, Qt::AlignLeft, kEdgePaddingPoints);
    topLeading_->add(cameraInfo_, Qt::AlignLeft, kEdgePaddingPoints);
    topLeading_->add(statusIndicator_, Qt::AlignLeft);

    bottom_->add(flyoverPhoto_, Qt::AlignLeft);
    bottom_->add(flyoverSlider_, Qt::AlignHCenter);
    bottom_->add(flyoverBar_, Qt::AlignHCenter);
    bottom_->add(recordingPanel_, Qt::AlignHCenter);
    bottom_->add(attribution_, Qt::AlignLeft);
    bottom_->add(toolbar_, Qt::AlignHCenter);

    topTrailing_->add(palette_, Qt::AlignRight);

    banners_->column().addSpacing(kAltitudeTopPaddingPoints);
    banners_->add(altitude_, Qt::AlignHCenter);
    banners_->add(flightWave_, Qt::AlignHCenter);
    if (model_.downloader())
        banners_->add(new DownloadBanner(model_.downloader(), banners_), Qt::AlignHCenter);
    banners_->add(flightBanner_, Qt::AlignHCenter);
    banners_->add(new CaptureNotice(model_, banners_), Qt::AlignHCenter);

    connect(placeSearch_, &PlaceSearchField::focusReleased, this, [this] { setFocus(); });
    connect(toolbar_, &MapToolbar::settingsRequested, this, [this] { openSettings(); });
    connect(statusIndicator_, &StatusIndicator::diagnosticsRequested, this, [this] { openDiagnostics(); });
    if (diagnosticsAtLaunch_)
        QMetaObject::invokeMethod(this, [this] { openDiagnostics(); }, Qt::QueuedConnection);
    connect(toolbar_, &MapToolbar::accountRequested, this, [this] { openAccount(); });
    if (accountAtLaunch_)
        QMetaObject::invokeMethod(this, [this] { openAccount(); }, Qt::QueuedConnection);
    connect(toolbar_, &MapToolbar::tracksRequested, this, [this] { openLibrary(); });
    if (libraryAtLaunch_ || lastTrackAtLaunch_)
        QMetaObject::invokeMethod(this, [this] { openLibrary(); }, Qt::QueuedConnection);
    connect(&model_, &AppModel::changed, this, [this] { refresh(); });
    refresh();
}

void MapScreen::resizeEvent(QResizeEvent*)
{
    for (QWidget* layer : {static_cast<QWidget*>(container_), static_cast<QWidget*>(topLeading_),
             static_cast<QWidget*>(bottom_), static_cast<QWidget*>(topTrailing_), static_cast<QWidget*>(banners_)})
        layer->setGeometry(rect());
    if (photoViewer_)
        photoViewer_->setGeometry(rect());
}

void MapScreen::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The window sees every move of the pointer, over the map and over the controls alike.
    QWindow* shownIn = window()->windowHandle();
    if (!shownIn || shownIn == watchedWindow_)
        return;
    if (watchedWindow_)
        watchedWindow_->removeEventFilter(this);
    shownIn->installEventFilter(this);
    watchedWindow_ = shownIn;
}

bool MapScreen::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != watchedWindow_)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseMove:
        // A name's card stays clear: the controls coming back could cover its buttons.
        if (!container_->canvasWidget().overlayHost().hoverCard().isVisible())
            model_.revealControls();
        break;
    case QEvent::MouseButtonPress: {
        const auto* press = static_cast<QMouseEvent*>(event);
        if (press->button() == Qt::LeftButton && pressControlOnItsWay(press->globalPosition())) {
            swallowsRelease_ = true;
            return true;
        }
        break;
    }
    case QEvent::MouseButtonRelease:
        if (std::exchange(swallowsRelease_, false))
            return true;
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

bool MapScreen::pressControlOnItsWay(QPointF global)
{
    const QPoint point = global.toPoint();
    if (photoViewer_ || !rect().contains(mapFromGlobal(point)))
        return false;
    QWidget* under = childAt(mapFromGlobal(point));
    for (OverlayTransition* transition : {toolbarTransition_, paletteTransition_}) {
        QWidget& control = transition->control();
        if (transition->isShown() && transition->progress() >= 1)
            continue;
        // Only the bare map gives way: what stands there now, a marker, a name's card or
        // another control, takes its own press.
        QWidget* map = &container_->canvasWidget();
        const bool overMap = !under || under == container_ || under == map
            || (dynamic_cast<platform::MapView*>(under) && map->isAncestorOf(under));
        const bool overControl = under == &control || control.isAncestorOf(under);
        if (!(overMap || overControl) || !control.parentWidget())
            continue;
        const QPoint inPlace = control.parentWidget()->mapFromGlobal(point) - transition->place().topLeft();
        for (auto* button : control.findChildren<QAbstractButton*>()) {
            const QRect frame(button->mapTo(&control, QPoint()), button->size());
            if (button->isHidden() || !button->isEnabled() || !frame.contains(inPlace))
                continue;
            button->click();
            return true;
        }
    }
    return false;
}

QSize MapScreen::minimumSizeHint() const
{
    const int edge = kEdgePaddingPoints;
    const int top = kEdgePaddingPoints + kTopSafeAreaPaddingPoints;
    const QSize pad = compassPad_->sizeHint();
    const QSize status = statusIndicator_->largestSize();
    const QSize palette = palette_->sizeHint();
    const QSize toolbar = toolbar_->sizeHint();
    const QSize attribution = attribution_->sizeHint();
    const QSize banners = banners_->layout()->sizeHint();
    // The side columns: the compass pad and the status at the leading edge, the palette
    // at the trailing one.
    const int leadingWidth = edge + std::max(pad.width(), status.width());
    const int trailingWidth = palette.width() + edge;
    const int side = std::max(leadingWidth, trailingWidth);
    // The centred toolbar and banners pass between the columns, the credit line beside the
    // palette.
    const int width = std::max({ toolbar.width() + 2 * (side + kTopLeadingSpacingPoints),
        banners.width() + 2 * (side + kTopLeadingSpacingPoints), edge + attribution.width() + kBottomSpacingPoints + trailingWidth,
        leadingWidth + kTopLeadingSpacingPoints + trailingWidth });
    // The leading column stands above the credit line and the toolbar; the palette reaches
    // down beside them.
    const int bottom = attribution.height() + kBottomSpacingPoints + toolbar.height() + edge;
    const int height = std::max(top + pad.height() + kTopLeadingSpacingPoints + status.height() + kBottomSpacingPoints + bottom,
        top + palette.height() + edge);
    return { width, height };
}

void MapScreen::refresh()
{
    cameraInfo_->setVisible(model_.showsCameraInfo());
    const bool controls = model_.areControlsVisible();
    const bool flyingOver = model_.isFlyingOver();
    toolbarTransition_->setShown(controls);
    paletteTransition_->setShown(controls);
    flyoverSliderTransition_->setShown(flyingOver && controls && model_.flyoverPosition().total > 0);
    flyoverBarTransition_->setShown(flyingOver && controls);
    // The search, the compass and the status make way for the flyover.
    topLeading_->setVisible(!flyingOver);
    flightWave_->setVisible(model_.flyoverProgress() || (model_.showsActivity() && !flyingOver));
    flightBannerTransition_->setShown(model_.flight().has_value());
    const AltitudeState& altitude = model_.altitudeState();
    std::optional<QString> altitudeText;
    if (altitude.kind == AltitudeState::Kind::value && std::isfinite(altitude.meters))
        altitudeText = AltitudeCapsule::text(altitude.meters);
    recordingPanel_->refresh(altitudeText, model_.motion().mode());
    recordingPanelTransition_->setShown(model_.tracks().isRecording());
    const auto flyoverPhoto = model_.flyoverPhotoIndex();
    const auto& trackPhotos = model_.trackPhotos();
    const bool showsFlyoverPhoto = flyoverPhoto && *flyoverPhoto >= 0 && std::size_t(*flyoverPhoto) < trackPhotos.size();
    if (showsFlyoverPhoto)
        flyoverPhoto_->setPhoto(trackPhotos[std::size_t(*flyoverPhoto)]);
    flyoverPhoto_->setVisible(showsFlyoverPhoto);
    presentPhotoViewer();
}

PhotoViewer* MapScreen::photoViewer() const
{
    return static_cast<PhotoViewer*>(photoViewer_.data());
}

void MapScreen::presentPhotoViewer()
{
    const auto index = model_.viewedPhotoIndex();
    if (photoViewer_ && index == presentedPhotoIndex_ && photoViewer()->photos() == model_.viewedPhotos())
        return;
    if (photoViewer_) {
        // Closed from its own key or button: it goes once that event is over.
        photoViewer_->hide();
        photoViewer_->deleteLater();
        photoViewer_ = nullptr;
        setFocus();
    }
    presentedPhotoIndex_ = index;
    if (!index)
        return;
    auto* viewer = new PhotoViewer(model_.viewedPhotos(), *index, model_.photoLibrary().pictures(), photoDecodes_,
        *model_.mainQueue(), [model = QPointer<AppModel>(&model_)] {
            if (model)
                model->setViewedPhotoIndex(std::nullopt);
        },
        this);
    viewer->setGeometry(rect());
    photoViewer_ = viewer;
    viewer->show();
    viewer->raise();
    viewer->setFocus();
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

void MapScreen::openSettings()
{
    if (settings_)
        return;
    auto* sheet = new SettingsView(
        model_, [model = QPointer<AppModel>(&model_)](bool requestAccess) {
            if (model)
                model->reloadLibraryPhotos(requestAccess);
        },
        this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    // The readout's switch shows or hides the panel at once.
    connect(&sheet->cameraInfo(), &QCheckBox::toggled, this, [this](bool on) { model_.setShowsCameraInfo(on); });
    settings_ = sheet;
    sheet->open();
}

void MapScreen::openDiagnostics()
{
    if (diagnostics_)
        return;
    auto* sheet = new DiagnosticsView(model_, this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    diagnostics_ = sheet;
    sheet->open();
}

void MapScreen::openAccount()
{
    if (account_)
        return;
    auto* sheet = new AccountView(model_, {}, this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    account_ = sheet;
    sheet->open();
}

TracksView* MapScreen::library() const
{
    return static_cast<TracksView*>(library_.data());
}

void MapScreen::actOn(const std::vector<std::string>& arguments)
{
    const auto has = [&](const char* name) { return std::find(arguments.begin(), arguments.end(), name) != arguments.end(); };
    if (has("-showDiagnostics"))
        openDiagnostics();
    if (has("-showAccount"))
        openAccount();
    if (has("-showTracks") || has("-showLastTrack")) {
        openLibrary();
        if (has("-showLastTrack") && library())
            library()->openNewestTrack();
    }
    if (const auto view = StartView::parse(arguments))
        model_.showStartView(*view);
    model_.startFilmTrack(arguments);
}

void MapScreen::openLibrary()
{
    if (library_)
        return;
    auto* sheet = new TracksView(
        model_, [this](const Track& track) { openTrack(track); },
        [this](const Track& track) { model_.startFlyover(track); }, this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    library_ = sheet;
    if (lastTrackAtLaunch_)
        sheet->openNewestTrack();
    sheet->open();
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

void MapScreen::openTrack(const Track& track)
{
    model_.openTrack(track);
}

std::vector<Sheet> MapScreen::visibleSheets() const
{
    auto canvas = container_->canvas();
    if (!canvas || !model_.catalog())
        return {};
    return model_.catalog()->sheets(canvas->camera().visibleRect());
}

} // namespace velorin
