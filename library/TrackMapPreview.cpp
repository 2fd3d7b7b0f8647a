#include "library/TrackMapPreview.h"

#include "app/AppModel.h"
#include "map-data/TileRelay.h"
#include "map-data/TileSources.h"
#include "widgets/ActivitySpinner.h"
#include "widgets/ControlLook.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

#include <cmath>
#include <span>

namespace velorin {

namespace {

constexpr QSize kPreferredSize { TrackPreviewFrame::kPictureWidth / 2, TrackPreviewFrame::kPictureHeight / 2 };
constexpr int kSpinnerPoints = 24;

// The line as segments in picture pixels, between points each at least
// `kMergeDistancePixels` from the one kept before it; the last point always ends the line,
// so it meets the end dot. Separate segments with round caps draw like one polyline with
// round joins, many times faster for a long track.
std::vector<QLineF> lineSegments(const TrackPreviewFrame& frame)
{
    std::vector<QLineF> segments;
    const double mergeSquared = TrackMapPreview::kMergeDistancePixels * TrackMapPreview::kMergeDistancePixels;
    const auto place = [&](const WorldPoint& world) { return QPointF(frame.pictureX(world.x), frame.pictureY(world.y)); };
    QPointF kept = place(frame.points.front());
    for (std::size_t i = 1; i < frame.points.size(); ++i) {
        const QPointF point = place(frame.points[i]);
        const QPointF step = point - kept;
        if (QPointF::dotProduct(step, step) < mergeSquared && i + 1 < frame.points.size())
            continue;
        if (point != kept)
            segments.emplace_back(kept, point);
        kept = point;
    }
    return segments;
}

void drawDot(QPainter& painter, const TrackPreviewFrame& frame, const WorldPoint& world, const QColor& fill)
{
    const double r = TrackMapPreview::kDotRadiusPixels;
    painter.setPen(QPen(Qt::white, TrackMapPreview::kDotOutlineWidthPixels));
    painter.setBrush(fill);
    painter.drawEllipse(QRectF(frame.pictureX(world.x) - r, frame.pictureY(world.y) - r, 2 * r, 2 * r));
}

} // namespace

QColor TrackMapPreview::backgroundColor()
{
    return QColor(242, 242, 247);
}

TrackMapPreview::TrackMapPreview(Track track, AppModel& model, QWidget* parent)
    : QWidget(parent)
    , track_(std::make_shared<const Track>(std::move(track)))
    , model_(model)
    , sources_ { model.hosts(), model.relay(), model.session() }
    , spinner_(new ActivitySpinner(this, palette().color(QPalette::Mid), kSpinnerPoints))
{
    setAccessibleName(QString::fromUtf8(kAccessibleName.data(), qsizetype(kAccessibleName.size())));
    setCursor(Qt::PointingHandCursor);
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    start();
}

TrackMapPreview::~TrackMapPreview() = default;

void TrackMapPreview::setTrack(Track track)
{
    const bool redraw = track.points.size() != track_->points.size();
    track_ = std::make_shared<const Track>(std::move(track));
    if (redraw)
        start();
}

Basemap TrackMapPreview::previewBasemap(const Track& track, const platform::UserDefaults& defaults)
{
    const auto raw = defaults.string(AppModel::kBasemapKey);
    const std::optional<Basemap> stored = raw ? Basemap::fromRawValue(*raw) : std::nullopt;

    double latitude = 0;
    double longitude = 0;
    if (!track.points.empty()) {
        for (const TrackPoint& point : track.points) {
            latitude += point.latitude;
            longitude += point.longitude;
        }
        latitude /= double(track.points.size());
        longitude /= double(track.points.size());
    }
    const bool inFrance = latitude >= kFranceMinLatitude && latitude <= kFranceMaxLatitude
        && longitude >= kFranceMinLongitude && longitude <= kFranceMaxLongitude;

    const Basemap plan = inFrance ? Basemap::planIGN : Basemap::openTopo;
    if (!stored)
        return plan;
    switch (*stored) {
    case Basemap::openTopo:
    case Basemap::swissImage:
    case Basemap::spainImage:
    case Basemap::austriaImage:
        return *stored;
    case Basemap::orthophoto:
        return inFrance ? Basemap::orthophoto : Basemap::openTopo;
    case Basemap::top25:
    case Basemap::planIGN:
    case Basemap::slopes:
    case Basemap::applePlan:
    case Basemap::appleSatellite:
        break;
    }
    return plan;
}

platform::HttpTask TrackMapPreview::fetchTile(const TileSources& sources, Basemap basemap, int z,
    TrackPreviewFrame::Tile tile, platform::Executor& deliverOn, std::function<void(TileResult)> done)
{
    auto url = basemapTileURL(sources.hosts, basemap, z, tile.x, tile.y);
    if (!url) {
        deliverOn.post([tile, done = std::move(done)] { done({ tile, std::nullopt }); });
        return {};
    }
    auto request = platform::HttpRequest::get(sources.relay ? sources.relay->relayedURL(std::move(*url)) : std::move(*url));
    request.overallTimeoutSeconds = kTileTimeoutSeconds;
    request.maxBodyBytes = kMaxTileBytes;
    return sources.session->start(std::move(request), deliverOn,
        [tile, done = std::move(done)](platform::HttpResult result) {
            std::optional<platform::Image> image;
            if (result.response) {
                const auto bytes = std::as_bytes(std::span(result.response->body));
                image = platform::decodeImage(bytes, { .maxPixels = kMaxTilePixels });
            }
            done({ tile, std::move(image) });
        });
}

QImage TrackMapPreview::render(const TrackPreviewFrame& frame, const std::vector<TileResult>& tiles)
{
    QImage picture(TrackPreviewFrame::kPictureWidth, TrackPreviewFrame::kPictureHeight, QImage::Format_ARGB32_Premultiplied);
    picture.fill(backgroundColor());
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);

    const double side = frame.scale / double(frame.n);
    for (const TileResult& result : tiles) {
        if (!result.image)
            continue;
        const platform::Image& image = *result.image;
        const QImage tile(reinterpret_cast<const uchar*>(image.pixels.data()), image.width, image.height,
            image.width * 4, QImage::Format_RGBA8888);
        const QRectF place(frame.pictureX(double(result.tile.column) / double(frame.n)),
            frame.pictureY(double(result.tile.y) / double(frame.n)), side, side);
        painter.drawImage(place.adjusted(-kTileOverlapPixels, -kTileOverlapPixels, kTileOverlapPixels, kTileOverlapPixels), tile);
    }

    painter.setRenderHint(QPainter::Antialiasing);
    const std::vector<QLineF> line = lineSegments(frame);
    if (!line.empty()) {
        // The halo is drawn opaque on a layer of its own, then laid down translucent in one
        // go, so that where segments overlap it is no whiter than elsewhere.
        QImage halo(picture.size(), QImage::Format_ARGB32_Premultiplied);
        halo.fill(Qt::transparent);
        {
            QPainter haloPainter(&halo);
            haloPainter.setRenderHint(QPainter::Antialiasing);
            haloPainter.setPen(QPen(Qt::white, kHaloWidthPixels, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            haloPainter.drawLines(line.data(), int(line.size()));
        }
        painter.setOpacity(kHaloOpacity);
        painter.drawImage(0, 0, halo);
        painter.setOpacity(1);
        painter.setPen(QPen(ControlLook::orangeColor(), kLineWidthPixels, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawLines(line.data(), int(line.size()));
    }
    drawDot(painter, frame, frame.points.front(), ControlLook::greenColor());
    drawDot(painter, frame, frame.points.back(), ControlLook::redColor());
    return picture;
}

void TrackMapPreview::start()
{
    ++generation_;
    // Dropping the handles cancels the downloads of a previous picture.
    transfers_.clear();
    // A long track takes a while to project: the worker frames it, then the tiles it
    // needs are asked for from here.
    worker_.async([track = track_, queue = model_.mainQueue(), preview = QPointer<TrackMapPreview>(this), generation = generation_] {
        auto frame = TrackPreviewFrame::make(track->points);
        if (!frame)
            return;
        auto framed = std::make_shared<TrackPreviewFrame>(std::move(*frame));
        queue->post([preview, generation, framed = std::move(framed)]() mutable {
            if (preview && preview->generation_ == generation)
                preview->fetchTiles(std::move(framed));
        });
    });
}

void TrackMapPreview::fetchTiles(std::shared_ptr<const TrackPreviewFrame> frame)
{
    // Touched only on the worker, where every tile lands.
    struct Run {
        std::vector<TileResult> tiles;
        std::size_t remaining = 0;
    };
    const auto tiles = frame->tiles();
    auto run = std::make_shared<Run>();
    run->remaining = tiles.size();

    auto finish = [frame, run, queue = model_.mainQueue(), preview = QPointer<TrackMapPreview>(this), generation = generation_] {
        QImage picture = render(*frame, run->tiles);
        queue->post([preview, generation, picture = std::move(picture)]() mutable {
            if (preview && preview->generation_ == generation)
                preview->present(std::move(picture));
        });
    };
    if (tiles.empty()) {
        worker_.async(std::move(finish));
        return;
    }
    const Basemap basemap = previewBasemap(*track_, *model_.defaults());
    for (const TrackPreviewFrame::Tile& tile : tiles) {
        transfers_.push_back(fetchTile(sources_, basemap, frame->zoom, tile, worker_, [run, finish](TileResult result) {
            if (result.image)
                run->tiles.push_back(std::move(result));
            if (--run->remaining == 0)
                finish();
        }));
    }
}

void TrackMapPreview::present(QImage picture)
{
    image_ = std::move(picture);
    spinner_->hide();
    update();
}

int TrackMapPreview::heightForWidth(int width) const
{
    return int(std::lround(width / TrackPreviewFrame::kAspect));
}

QSize TrackMapPreview::sizeHint() const
{
    return kPreferredSize;
}

void TrackMapPreview::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), backgroundColor());
    if (image_) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(rect(), *image_);
    }
}

void TrackMapPreview::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit tapped();
}

void TrackMapPreview::resizeEvent(QResizeEvent*)
{
    spinner_->move((width() - spinner_->width()) / 2, (height() - spinner_->height()) / 2);
}

} // namespace velorin
