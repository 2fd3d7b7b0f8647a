#pragma once

#include "canvas/MapCanvasView.h"
#include "map-data/Sheet.h"
#include "platform/OperationQueue.h"
#include "recordings/Track.h"

#include <QPointer>
#include <QWidget>

#include <optional>
#include <string>
#include <vector>

namespace velorin {

class AppModel;
class AltitudeCapsule;
class AttributionColumn;
class CameraInfoPanel;
class CompassPad;
class FlightBanner;
class FlightWave;
class FlyoverControlBar;
class FlyoverPhotoThumbnail;
class FlyoverSlider;
class MapContainer;
class MapPalette;
class MapToolbar;
class OverlayLayer;
class OverlayTransition;
class PhotoViewer;
class PlaceSearchField;
class RecordingPanel;
class StatusIndicator;
class TracksView;

// The main screen: the map filling the window and four overlay layers over it, the
// top-leading controls, the bottom captions and toolbar, the palette at the top-trailing
// corner and the banners at the top centre. It chooses what to show from the model's
// state, and presents the sheet search, the offline maps and the photo viewer. GUI thread
// only; the model outlives it.
class MapScreen : public QWidget {
public:
    static constexpr int kEdgePaddingPoints = 8;
    // The room a window leaves at its top before the first controls.
    static constexpr int kTopSafeAreaPaddingPoints = 16;
    static constexpr int kTopLeadingSpacingPoints = 8;
    static constexpr int kBottomSpacingPoints = 10;
    static constexpr int kBannerSpacingPoints = 6;
    static constexpr int kAltitudeTopPaddingPoints = 2;
    // The palette and the toolbar come and go with the controls over this time.
    static constexpr double kControlsTransitionSeconds = 0.25;
    // The flight banner comes down from the top, and goes back, over this time.
    static constexpr double kBannerTransitionSeconds = 0.3;

    MapScreen(AppModel& model, MapCanvasView::Environment environment, QWidget* parent = nullptr);

    MapContainer& container() const { return *container_; }
    OverlayLayer& topLeadingLayer() const { return *topLeading_; }
    OverlayLayer& bottomLayer() const { return *bottom_; }
    OverlayLayer& topTrailingLayer() const { return *topTrailing_; }
    OverlayLayer& bannerLayer() const { return *banners_; }
    PlaceSearchField& placeSearch() const { return *placeSearch_; }
    CompassPad& compassPad() const { return *compassPad_; }
    // Under the compass pad while "Velorin.cameraInfo" is on.
    CameraInfoPanel& cameraInfoPanel() const { return *cameraInfo_; }
    StatusIndicator& statusIndicator() const { return *statusIndicator_; }
    AltitudeCapsule& altitudeCapsule() const { return *altitude_; }
    AttributionColumn& attributionColumn() const { return *attribution_; }
    MapToolbar& toolbar() const { return *toolbar_; }
    MapPalette& mapPalette() const { return *palette_; }
    OverlayTransition& paletteTransition() const { return *paletteTransition_; }
    OverlayTransition& toolbarTransition() const { return *toolbarTransition_; }
    // During a flyover, with the controls: the slider (once the path has a length) and the
    // control bar, above the captions; the top-leading controls make way.
    FlyoverSlider& flyoverSlider() const { return *flyoverSlider_; }
    FlyoverControlBar& flyoverControlBar() const { return *flyoverBar_; }
    OverlayTransition& flyoverSliderTransition() const { return *flyoverSliderTransition_; }
    OverlayTransition& flyoverControlBarTransition() const { return *flyoverBarTransition_; }
    // Under the altitude: the wave of a flight's progress (or of loading, outside a
    // flyover), and the banner of a camera flight.
    FlightWave& flightWave() const { return *flightWave_; }
    FlightBanner& flightBanner() const { return *flightBanner_; }
    OverlayTransition& flightBannerTransition() const { return *flightBannerTransition_; }
    // Above the credit line while a track is recorded: its live figures.
    RecordingPanel& recordingPanel() const { return *recordingPanel_; }
    OverlayTransition& recordingPanelTransition() const { return *recordingPanelTransition_; }
    // At the leading side above the flyover's controls while the flyover passes a photo of
    // the track; a click opens it in the viewer.
    FlyoverPhotoThumbnail& flyoverPhoto() const { return *flyoverPhoto_; }
    // Over the whole screen while the model has a viewed photo; closing it clears that.
    PhotoViewer* photoViewer() const;

    // The sheet search (the window menu, Control-F); a chosen sheet closes it, ends following
    // and is framed.
    void openSearch();
    // The search open now, if any.
    QWidget* search() const { return search_; }
    void chooseSheet(const Sheet& sheet);
    // The offline maps (the window menu, Control-O), for the sheets in view; empty before the
    // model has a downloader.
    void openOffline();
    // The settings sheet (the toolbar's settings button) and the loading diagnostics (the
    // status indicator's problem pill, or "-showDiagnostics" at launch); one of each at a time.
    void openSettings();
    void openDiagnostics();
    QWidget* settings() const { return settings_; }
    QWidget* diagnostics() const { return diagnostics_; }
    // The account sheet (the toolbar's account button, or "-showAccount" at launch); one at a time.
    void openAccount();
    QWidget* account() const { return account_; }
    // The library sheet (the toolbar's tracks button, or "-showTracks" at launch); one at a time.
    // With "-showLastTrack" it opens at launch too, and each showing starts on the newest
    // track's detail.
    void openLibrary();
    TracksView* library() const;
    // The catalogue's sheets overlapping the map's visible area; none without a map.
    std::vector<Sheet> visibleSheets() const;
    // A saved track chosen in the library: shown and framed on the map.
    void openTrack(const Track& track);
    // The launch arguments a later start handed over: the sheets they name open as at
    // launch, "-startAt" moves the map to its view and "-filmTrack" flies its track.
    void actOn(const std::vector<std::string>& arguments);

    // The smallest screen on which no overlay control covers another or leaves the map,
    // the status indicator's largest pill counted in.
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // The pointer moving anywhere over the window counts as touching it: the controls come
    // back before a click would have to bring them, but for while a place name's card is open,
    // which they could cover. A click where a toolbar or palette
    // button stands once in, while that control is away or on its way, brings the controls
    // back and presses that button.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();
    // Presses the toolbar or palette button that stands, or will stand, under `global` while
    // its control is not fully in; false when the press is left to the widget under it.
    bool pressControlOnItsWay(QPointF global);
    // Opens the viewer on the model's viewed photos, or closes it once they are cleared.
    void presentPhotoViewer();

    AppModel& model_;
    // "-showDiagnostics": the diagnostics open as the screen first shows.
    const bool diagnosticsAtLaunch_;
    // "-showAccount": the account sheet opens as the screen first shows.
    const bool accountAtLaunch_;
    // "-showTracks": the library opens as the screen first shows.
    const bool libraryAtLaunch_;
    // "-showLastTrack": the library opens on the newest track's detail.
    const bool lastTrackAtLaunch_;
    MapContainer* container_;
    OverlayLayer* topLeading_;
    OverlayLayer* bottom_;
    OverlayLayer* topTrailing_;
    OverlayLayer* banners_;
    PlaceSearchField* placeSearch_;
    CompassPad* compassPad_;
    CameraInfoPanel* cameraInfo_;
    StatusIndicator* statusIndicator_;
    AttributionColumn* attribution_;
    MapToolbar* toolbar_;
    MapPalette* palette_;
    AltitudeCapsule* altitude_;
    FlyoverSlider* flyoverSlider_;
    FlyoverControlBar* flyoverBar_;
    FlightWave* flightWave_;
    FlightBanner* flightBanner_;
    RecordingPanel* recordingPanel_;
    OverlayTransition* paletteTransition_;
    OverlayTransition* toolbarTransition_;
    OverlayTransition* flyoverSliderTransition_;
    OverlayTransition* flyoverBarTransition_;
    OverlayTransition* flightBannerTransition_;
    OverlayTransition* recordingPanelTransition_;
    // The viewer's pages and the flyover thumbnail are read here, one picture at a time.
    platform::OperationQueue photoDecodes_;
    FlyoverPhotoThumbnail* flyoverPhoto_;
    QPointer<QWidget> photoViewer_;
    std::optional<int> presentedPhotoIndex_;
    // Cleared by Qt when the sheet closes, or when the screen destroys it with itself.
    QPointer<QWidget> search_;
    QPointer<QWidget> settings_;
    QPointer<QWidget> diagnostics_;
    QPointer<QWidget> account_;
    QPointer<QWidget> library_;
    // The window whose pointer moves reveal the controls.
    QPointer<QObject> watchedWindow_;
    // The release that ends a press taken by `pressControlOnItsWay` is no one else's.
    bool swallowsRelease_ = false;
};

} // namespace velorin
