#pragma once

#include "platform/MapTileFetcher.h"
#include "platform/MapView.h"
#include "platform/MapViewProjection.h"

#include <QImage>
#include <QPointF>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace platform {

class QtMainQueue;

// The 2D map drawn from Web-Mercator raster tiles: each tile laid on its projected quad,
// so that the map turns and tilts (up to 60°), with one tile overlay, round-capped lines
// and the position dot; the source's credit is its host's to show. Its own gestures: drag and
// pixel scrolling pan, a wheel notch zooms half a level about the pointer, pinch and turn,
// Alt-drag turns, Shift-drag tilts, a double click zooms in, a Super-click centres there.
// Only the tiles in view are fetched. GUI thread only.
class QtTileMapView final : public QWidget, public MapView {
    Q_OBJECT

public:
    static constexpr double kLineWidthPoints = 4;
    static constexpr double kCasingWidthPoints = 6.5;
    static constexpr double kWheelLevelsPerNotch = 0.5;
    static constexpr double kTurnDegreesPerPoint = 0.3;
    static constexpr double kTiltDegreesPerPoint = 0.25;
    static constexpr double kDragStartPoints = 3;
    // A press held this long is no click.
    static constexpr double kHoldSeconds = 0.5;
    static constexpr double kAnimationSeconds = 0.3;
    // Wheel and pinch moves come to rest once none came for this long.
    static constexpr int kRestMilliseconds = 200;
    // Decoded tiles kept in memory.
    static constexpr std::size_t kMemoryTiles = 600;
    // Missing tiles are drawn from an ancestor at most this many levels up.
    static constexpr int kFallbackLevels = 6;
    static constexpr double kMinDistanceMetres = 50;
    static constexpr double kMaxDistanceMetres = 4e7;

    explicit QtTileMapView(const MapViewSetup& setup, QWidget* parent = nullptr);
    ~QtTileMapView() override;

    MapCamera camera() const override { return camera_; }
    void setCamera(const MapCamera& camera, bool animated) override;
    std::optional<MapCoordinate> coordinate(MapViewPoint point) const override;
    std::optional<MapViewPoint> point(MapCoordinate coordinate) const override;
    void setTileSource(MapTileSource source) override;
    void setTileOverlay(std::optional<MapTileSource> overlay) override;
    void setPolylines(std::vector<MapPolyline> lines) override;
    void setPositionDot(std::optional<MapCoordinate> position) override;
    bool isUserMoving() const override { return userMoving_; }

    // The projection of the view now.
    MapViewProjection projection() const;
    // The tiles of the last picture, coarsest first, and how many of them it had.
    const std::vector<MapViewProjection::Tile>& shownTiles() const { return shownTiles_; }
    std::size_t loadedTileCount() const { return memory_.size(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool event(QEvent* event) override;

private:
    struct Loaded {
        QImage image;
        std::uint64_t used = 0;
    };
    enum class DragMode { pan, turn, tilt };

    static MapCamera bounded(MapCamera camera);
    // Puts the camera in place and reports it.
    void showCamera(const MapCamera& camera, bool userMoving);
    // The user's move has ended: the camera at rest is reported.
    void rest();
    void stepAnimation();
    // The camera moved so that the ground under `from` comes under `to`.
    std::optional<MapCamera> panned(const MapCamera& camera, QPointF from, QPointF to) const;
    // The camera zoomed by `levels` about a view point, the ground under it staying there.
    MapCamera zoomed(const MapCamera& camera, double levels, QPointF about) const;
    // Lays one source's tiles; the keys it wants go to `wanted`.
    void drawTiles(QPainter& painter, const MapTileSource& source, const MapViewProjection& projection,
        std::vector<MapTileFetcher::Request>& wanted);
    void drawTile(QPainter& painter, const MapViewProjection& projection, const QImage& image, QRectF sourceRect,
        double x0, double y0, double x1, double y1, int depth) const;
    const QImage* loaded(const std::string& key);
    void tileArrived(const std::string& key, Image image);

    std::shared_ptr<QtMainQueue> mainQueue_;
    std::shared_ptr<Clock> clock_;
    std::shared_ptr<MapTileFetcher> fetcher_;
    MapCamera camera_ {46, 7, 200000, 0, 0};
    MapTileSource source_;
    std::optional<MapTileSource> overlay_;
    std::vector<MapPolyline> lines_;
    std::optional<MapCoordinate> dot_;
    std::unordered_map<std::string, Loaded> memory_;
    std::uint64_t useCounter_ = 0;
    std::vector<MapViewProjection::Tile> shownTiles_;

    bool userMoving_ = false;
    QTimer restTimer_;
    // The press under way.
    std::optional<QPointF> pressAt_;
    QPointF lastAt_;
    double pressTime_ = 0;
    bool dragging_ = false;
    DragMode dragMode_ = DragMode::pan;
    // The animation of `setCamera(…, true)`.
    struct Animation {
        MapCamera from;
        MapCamera to;
        double start = 0;
    };
    std::optional<Animation> animation_;
    QTimer animationTimer_;
};

} // namespace platform
