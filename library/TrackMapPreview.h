#pragma once

#include "library/TrackPreviewFrame.h"
#include "map-data/Basemap.h"
#include "map-data/ServiceHosts.h"
#include "platform/DispatchQueue.h"
#include "platform/HttpSession.h"
#include "platform/Image.h"
#include "platform/UserDefaults.h"
#include "recordings/Track.h"

#include <QColor>
#include <QImage>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace velorin {

class ActivitySpinner;
class AppModel;
class TileRelay;

// The still map of one track on its detail screen: a few web tiles of a basemap suited to
// where the track lies, the track line in orange and its green start and red end dots, in
// one 640 × 400 picture. Until the picture is ready a spinner turns on a plain background.
// Tiles come straight from their servers through the model's session, never through the
// map's loader or caches; decoding and drawing run on the preview's own worker.
// GUI thread only; the model outlives it. A picture finished after the widget is gone is
// dropped.
class TrackMapPreview : public QWidget {
    Q_OBJECT

public:
    static constexpr std::string_view kAccessibleName = "Aperçu du trajet sur la carte, toucher pour l'ouvrir";
    // A tile that takes longer is left out of the picture.
    static constexpr double kTileTimeoutSeconds = 30;
    static constexpr int64_t kMaxTileBytes = 4 << 20;
    static constexpr int64_t kMaxTilePixels = 1024 * 1024;
    // A tile is drawn this much larger on every side, so that neighbours overlap and no
    // seam shows.
    static constexpr double kTileOverlapPixels = 0.5;
    // Points of the line closer than this to the last one kept are merged.
    static constexpr double kMergeDistancePixels = 0.5;
    static constexpr double kHaloWidthPixels = 7;
    static constexpr double kHaloOpacity = 0.85;
    static constexpr double kLineWidthPixels = 4;
    static constexpr double kDotRadiusPixels = 7;
    static constexpr double kDotOutlineWidthPixels = 2.5;
    // The France box: a mean position inside it, bounds included, gets the IGN map.
    static constexpr double kFranceMinLatitude = 41.0;
    static constexpr double kFranceMaxLatitude = 51.5;
    static constexpr double kFranceMinLongitude = -5.5;
    static constexpr double kFranceMaxLongitude = 10.0;

    // The plain background, where no tile is drawn.
    static QColor backgroundColor();

    // Where the tiles come from: the service hosts, the relay that may rewrite their URLs
    // (none: upstream) and the session that fetches them.
    struct TileSources {
        ServiceHosts hosts;
        std::shared_ptr<TileRelay> relay;
        std::shared_ptr<platform::HttpSession> session;
    };

    // One tile as it came back: its place in the frame and its picture, if it had one.
    struct TileResult {
        TrackPreviewFrame::Tile tile;
        std::optional<platform::Image> image;
    };

    TrackMapPreview(Track track, AppModel& model, QWidget* parent = nullptr);
    ~TrackMapPreview() override;

    // The track after a change: drawn again when its number of points changed (an edit),
    // not for a rename. The previous picture stays until the new one is ready.
    void setTrack(Track track);
    // The finished picture; nothing while it is being made, and for a track that has none.
    const std::optional<QImage>& image() const { return image_; }

    // The basemap of the picture: the stored "Velorin.basemap" where it has web tiles for
    // the track's region, else the IGN map for a track whose mean position lies in France
    // (the aerial photo stays aerial) and OpenTopoMap elsewhere.
    static Basemap previewBasemap(const Track& track, const platform::UserDefaults& defaults);
    // Fetches one tile of `basemap` at level `z` through the relay and decodes it. `done`
    // runs once on `deliverOn` (serial, outliving the handle), with no picture when the
    // basemap has no URL, the transfer failed or the body is not an image; the HTTP status
    // is not looked at. Dropping the handle cancels the transfer and its `done`.
    static platform::HttpTask fetchTile(const TileSources& sources, Basemap basemap, int z,
        TrackPreviewFrame::Tile tile, platform::Executor& deliverOn, std::function<void(TileResult)> done);
    // The picture: the tiles in the given order over the background, then the line and
    // the two dots. Any thread.
    static QImage render(const TrackPreviewFrame& frame, const std::vector<TileResult>& tiles);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

signals:
    // The preview was clicked.
    void tapped();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Has the track framed on the worker, then `fetchTiles`.
    void start();
    // Asks for the frame's tiles; the last one to land has the picture drawn.
    void fetchTiles(std::shared_ptr<const TrackPreviewFrame> frame);
    void present(QImage picture);

    // Shared with the worker that frames it.
    std::shared_ptr<const Track> track_;
    AppModel& model_;
    const TileSources sources_;
    std::optional<QImage> image_;
    ActivitySpinner* spinner_;
    // Raised by each start: a picture of an earlier one is not shown.
    uint64_t generation_ = 0;
    // Tile decoding and drawing; outlives the transfers that deliver to it.
    platform::DispatchQueue worker_ { "track-preview" };
    std::vector<platform::HttpTask> transfers_;
};

} // namespace velorin
