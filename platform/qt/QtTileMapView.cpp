#include "platform/qt/QtTileMapView.h"

#include "platform/SteadyClock.h"
#include "platform/qt/QtMainQueue.h"

#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

constexpr int kAnimationFrameMilliseconds = 16;
constexpr double kWheelNotchAngle = 120;
const QColor kBackground {232, 228, 220};
const QColor kDotColour {0, 122, 255};

std::string tileKey(const std::string& source, int z, int64_t x, int64_t y)
{
    return source + "/" + std::to_string(z) + "/" + std::to_string(x) + "/" + std::to_string(y);
}

QColor qColour(const MapColor& colour)
{
    return QColor::fromRgbF(float(colour.red), float(colour.green), float(colour.blue), float(colour.alpha));
}

double wrappedDegrees(double degrees)
{
    double r = std::fmod(degrees, 360.0);
    if (r > 180)
        r -= 360;
    if (r <= -180)
        r += 360;
    return r;
}

} // namespace

QtTileMapView::QtTileMapView(const MapViewSetup& setup, QWidget* parent)
    : QWidget(parent)
    , mainQueue_(std::make_shared<QtMainQueue>())
    , clock_(setup.clock ? setup.clock : std::make_shared<SteadyClock>())
    , fetcher_(MapTileFetcher::make(setup.cacheFolder, clock_, mainQueue_))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Keys stay with the map's host.
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(false);
    fetcher_->onTile = [this](const std::string& key, Image image) { tileArrived(key, std::move(image)); };
    fetcher_->onRetryDue = [this] { update(); };
    restTimer_.setSingleShot(true);
    restTimer_.setInterval(kRestMilliseconds);
    connect(&restTimer_, &QTimer::timeout, this, [this] { rest(); });
    animationTimer_.setInterval(kAnimationFrameMilliseconds);
    connect(&animationTimer_, &QTimer::timeout, this, [this] { stepAnimation(); });
}

QtTileMapView::~QtTileMapView()
{
    fetcher_->onTile = nullptr;
    fetcher_->onRetryDue = nullptr;
}

MapViewProjection QtTileMapView::projection() const
{
    return MapViewProjection(camera_, width(), height(), devicePixelRatioF());
}

MapCamera QtTileMapView::bounded(MapCamera camera)
{
    camera.latitude = std::clamp(camera.latitude, -85.05112878, 85.05112878);
    camera.longitude = std::clamp(camera.longitude, -180.0, 180.0);
    camera.distance = std::clamp(camera.distance, kMinDistanceMetres, kMaxDistanceMetres);
    camera.pitch = std::clamp(camera.pitch, 0.0, MapViewProjection::kMaxPitchDegrees);
    camera.heading = wrappedDegrees(camera.heading);
    return camera;
}

void QtTileMapView::setCamera(const MapCamera& camera, bool animated)
{
    if (!camera.isFinite())
        return;
    const MapCamera target = bounded(camera);
    if (animated) {
        animation_ = Animation {camera_, target, clock_->now()};
        animationTimer_.start();
        return;
    }
    animation_.reset();
    animationTimer_.stop();
    showCamera(target, userMoving_);
}

void QtTileMapView::stepAnimation()
{
    if (!animation_) {
        animationTimer_.stop();
        return;
    }
    const double t = std::clamp((clock_->now() - animation_->start) / kAnimationSeconds, 0.0, 1.0);
    const double eased = t * t * (3 - 2 * t);
    const MapCamera& a = animation_->from;
    const MapCamera& b = animation_->to;
    const auto mix = [eased](double from, double to) { return from + (to - from) * eased; };
    MapCamera step {mix(a.latitude, b.latitude), mix(a.longitude, b.longitude),
        std::exp(mix(std::log(a.distance), std::log(b.distance))), mix(a.pitch, b.pitch),
        a.heading + wrappedDegrees(b.heading - a.heading) * eased};
    showCamera(bounded(step), false);
    if (t >= 1) {
        animation_.reset();
        animationTimer_.stop();
        if (onRegionChanged)
            onRegionChanged(camera_);
    }
}

void QtTileMapView::showCamera(const MapCamera& camera, bool userMoving)
{
    camera_ = camera;
    update();
    if (onCameraChanged)
        onCameraChanged(camera_, userMoving);
}

void QtTileMapView::rest()
{
    if (!userMoving_)
        return;
    userMoving_ = false;
    if (onRegionChanged)
        onRegionChanged(camera_);
}

std::optional<MapCoordinate> QtTileMapView::coordinate(MapViewPoint at) const
{
    return projection().coordinate(at);
}

std::optional<MapViewPoint> QtTileMapView::point(MapCoordinate coordinate) const
{
    return projection().point(coordinate);
}

void QtTileMapView::setTileSource(MapTileSource source)
{
    source_ = std::move(source);
    update();
}

void QtTileMapView::setTileOverlay(std::optional<MapTileSource> overlay)
{
    overlay_ = std::move(overlay);
    update();
}

void QtTileMapView::setPolylines(std::vector<MapPolyline> lines)
{
    lines_ = std::move(lines);
    update();
}

void QtTileMapView::setPositionDot(std::optional<MapCoordinate> position)
{
    dot_ = position;
    update();
}

const QImage* QtTileMapView::loaded(const std::string& key)
{
    const auto found = memory_.find(key);
    if (found == memory_.end())
        return nullptr;
    found->second.used = ++useCounter_;
    return &found->second.image;
}

void QtTileMapView::tileArrived(const std::string& key, Image image)
{
    QImage picture(reinterpret_cast<const uchar*>(image.pixels.data()), image.width, image.height,
        image.width * 4, QImage::Format_RGBA8888);
    memory_[key] = Loaded {picture.convertToFormat(QImage::Format_ARGB32_Premultiplied), ++useCounter_};
    if (memory_.size() > kMemoryTiles) {
        const auto oldest = std::min_element(memory_.begin(), memory_.end(),
            [](const auto& a, const auto& b) { return a.second.used < b.second.used; });
        memory_.erase(oldest);
    }
    update();
}

void QtTileMapView::drawTile(QPainter& painter, const MapViewProjection& projection, const QImage& image,
    QRectF sourceRect, double x0, double y0, double x1, double y1, int depth) const
{
    const auto a = projection.worldPoint(x0, y0), b = projection.worldPoint(x1, y0);
    const auto c = projection.worldPoint(x1, y1), d = projection.worldPoint(x0, y1);
    if (!a || !b || !c || !d) {
        // A tile reaching behind the eye: its quarters in front of it are drawn.
        if (depth >= 3)
            return;
        const double mx = (x0 + x1) / 2, my = (y0 + y1) / 2;
        const double w = sourceRect.width() / 2, h = sourceRect.height() / 2;
        const QPointF o = sourceRect.topLeft();
        drawTile(painter, projection, image, {o.x(), o.y(), w, h}, x0, y0, mx, my, depth + 1);
        drawTile(painter, projection, image, {o.x() + w, o.y(), w, h}, mx, y0, x1, my, depth + 1);
        drawTile(painter, projection, image, {o.x(), o.y() + h, w, h}, x0, my, mx, y1, depth + 1);
        drawTile(painter, projection, image, {o.x() + w, o.y() + h, w, h}, mx, my, x1, y1, depth + 1);
        return;
    }
    QTransform transform;
    QPolygonF to;
    to << QPointF(a->x, a->y) << QPointF(b->x, b->y) << QPointF(c->x, c->y) << QPointF(d->x, d->y);
    QPolygonF corners;
    corners << sourceRect.topLeft() << sourceRect.topRight() << sourceRect.bottomRight() << sourceRect.bottomLeft();
    if (!QTransform::quadToQuad(corners, to, transform))
        return;
    painter.setTransform(transform);
    painter.drawImage(sourceRect, image, sourceRect);
}

void QtTileMapView::drawTiles(QPainter& painter, const MapTileSource& source, const MapViewProjection& projection,
    std::vector<MapTileFetcher::Request>& wanted)
{
    if (!source.url)
        return;
    const auto tiles = projection.tiles(source.maxLevel);
    if (&source == &source_)
        shownTiles_ = tiles;
    for (const auto& tile : tiles) {
        const double across = std::exp2(tile.z);
        const double x0 = tile.x / across, y0 = tile.y / across;
        const double x1 = (tile.x + 1) / across, y1 = (tile.y + 1) / across;
        const std::string key = tileKey(source.name, tile.z, tile.x, tile.y);
        if (const QImage* image = loaded(key)) {
            drawTile(painter, projection, *image, QRectF(image->rect()), x0, y0, x1, y1, 0);
            continue;
        }
        if (auto url = source.url(tile.z, tile.x, tile.y))
            wanted.push_back({key, std::move(*url)});
        // Meanwhile the part of a coarser tile that covers it.
        for (int up = 1; up <= kFallbackLevels && up <= tile.z; ++up) {
            const QImage* ancestor = loaded(tileKey(source.name, tile.z - up, tile.x >> up, tile.y >> up));
            if (!ancestor)
                continue;
            const double share = 1.0 / double(int64_t(1) << up);
            const double side = ancestor->width() * share;
            const double left = double(tile.x & ((int64_t(1) << up) - 1)) * side;
            const double top = double(tile.y & ((int64_t(1) << up) - 1)) * (ancestor->height() * share);
            drawTile(painter, projection, *ancestor, {left, top, side, ancestor->height() * share}, x0, y0, x1, y1, 0);
            break;
        }
    }
    painter.resetTransform();
}

void QtTileMapView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const MapViewProjection shown = projection();
    std::vector<MapTileFetcher::Request> wanted;
    drawTiles(painter, source_, shown, wanted);
    if (overlay_)
        drawTiles(painter, *overlay_, shown, wanted);
    fetcher_->want(wanted);

    painter.setRenderHint(QPainter::Antialiasing, true);
    for (const MapPolyline& line : lines_) {
        QPainterPath path;
        bool open = false;
        for (const MapCoordinate& coordinate : line.coordinates) {
            const auto at = shown.point(coordinate);
            if (!at) {
                open = false;
                continue;
            }
            if (open)
                path.lineTo(at->x, at->y);
            else
                path.moveTo(at->x, at->y);
            open = true;
        }
        QPen pen(qColour(line.color), line.isCasing ? kCasingWidthPoints : kLineWidthPoints);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.strokePath(path, pen);
    }
    if (dot_) {
        if (const auto at = shown.point(*dot_)) {
            painter.setPen(QPen(Qt::white, 2.5));
            painter.setBrush(kDotColour);
            painter.drawEllipse(QPointF(at->x, at->y), 7, 7);
        }
    }
}

std::optional<MapCamera> QtTileMapView::panned(const MapCamera& camera, QPointF from, QPointF to) const
{
    const MapViewProjection projection(camera, width(), height(), devicePixelRatioF());
    const auto a = projection.coordinate({from.x(), from.y()});
    const auto b = projection.coordinate({to.x(), to.y()});
    if (!a || !b)
        return std::nullopt;
    // In Mercator units, where a move keeps its size across the view.
    const double dx = MapViewProjection::worldX(a->longitude) - MapViewProjection::worldX(b->longitude);
    const double dy = MapViewProjection::worldY(a->latitude) - MapViewProjection::worldY(b->latitude);
    const MapCoordinate centre = MapViewProjection::coordinateOf(
        MapViewProjection::worldX(camera.longitude) + dx, MapViewProjection::worldY(camera.latitude) + dy);
    MapCamera moved = camera;
    moved.latitude = centre.latitude;
    moved.longitude = centre.longitude;
    return bounded(moved);
}

MapCamera QtTileMapView::zoomed(const MapCamera& camera, double levels, QPointF about) const
{
    MapCamera closer = camera;
    closer.distance = std::clamp(camera.distance / std::exp2(levels), kMinDistanceMetres, kMaxDistanceMetres);
    // The ground that was under the pointer comes back under it.
    const MapViewProjection before(camera, width(), height(), devicePixelRatioF());
    const auto ground = before.coordinate({about.x(), about.y()});
    const MapViewProjection after(closer, width(), height(), devicePixelRatioF());
    const auto now = ground ? after.point(*ground) : std::nullopt;
    if (!now)
        return bounded(closer);
    return panned(closer, QPointF(now->x, now->y), about).value_or(bounded(closer));
}

void QtTileMapView::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    animation_.reset();
    animationTimer_.stop();
    pressAt_ = event->position();
    lastAt_ = event->position();
    pressTime_ = clock_->now();
    dragging_ = false;
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    dragMode_ = modifiers & Qt::AltModifier ? DragMode::turn
        : modifiers & Qt::ShiftModifier     ? DragMode::tilt
                                            : DragMode::pan;
}

void QtTileMapView::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    if (!pressAt_ || !(event->buttons() & Qt::LeftButton))
        return;
    const QPointF at = event->position();
    if (!dragging_) {
        const QPointF moved = at - *pressAt_;
        if (std::hypot(moved.x(), moved.y()) < kDragStartPoints)
            return;
        dragging_ = true;
        userMoving_ = true;
        restTimer_.stop();
    }
    MapCamera next = camera_;
    switch (dragMode_) {
    case DragMode::pan:
        next = panned(camera_, lastAt_, at).value_or(camera_);
        break;
    case DragMode::turn:
        next.heading = wrappedDegrees(camera_.heading - (at.x() - lastAt_.x()) * kTurnDegreesPerPoint);
        break;
    case DragMode::tilt:
        next.pitch = std::clamp(camera_.pitch - (at.y() - lastAt_.y()) * kTiltDegreesPerPoint, 0.0,
            MapViewProjection::kMaxPitchDegrees);
        break;
    }
    lastAt_ = at;
    showCamera(next, true);
}

void QtTileMapView::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton || !pressAt_)
        return;
    const bool wasDrag = dragging_;
    const QPointF at = *pressAt_;
    pressAt_.reset();
    dragging_ = false;
    if (wasDrag) {
        userMoving_ = true;
        rest();
        return;
    }
    // A Super-click centres the map there; a held press is no click.
    if ((event->modifiers() & Qt::MetaModifier) && clock_->now() - pressTime_ < kHoldSeconds) {
        if (const auto ground = coordinate({at.x(), at.y()})) {
            MapCamera centred = camera_;
            centred.latitude = ground->latitude;
            centred.longitude = ground->longitude;
            setCamera(centred, true);
        }
    }
}

void QtTileMapView::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    userMoving_ = true;
    showCamera(zoomed(camera_, 1, event->position()), true);
    rest();
}

void QtTileMapView::wheelEvent(QWheelEvent* event)
{
    event->accept();
    MapCamera next = camera_;
    if (!event->pixelDelta().isNull()) {
        const QPointF at = event->position();
        next = panned(camera_, at, at + QPointF(event->pixelDelta())).value_or(camera_);
    } else {
        const double notches = event->angleDelta().y() / kWheelNotchAngle;
        if (notches == 0)
            return;
        next = zoomed(camera_, notches * kWheelLevelsPerNotch, event->position());
    }
    userMoving_ = true;
    showCamera(next, true);
    restTimer_.start();
}

bool QtTileMapView::event(QEvent* event)
{
    if (event->type() != QEvent::NativeGesture)
        return QWidget::event(event);
    auto* gesture = static_cast<QNativeGestureEvent*>(event);
    MapCamera next = camera_;
    switch (gesture->gestureType()) {
    case Qt::ZoomNativeGesture:
        next = zoomed(camera_, std::log2(1 + gesture->value()), gesture->position());
        break;
    case Qt::RotateNativeGesture:
        next.heading = wrappedDegrees(camera_.heading - gesture->value());
        break;
    default:
        return true;
    }
    userMoving_ = true;
    showCamera(next, true);
    restTimer_.start();
    return true;
}

} // namespace platform
