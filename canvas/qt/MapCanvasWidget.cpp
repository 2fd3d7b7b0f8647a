#include "canvas/qt/MapCanvasWidget.h"

#include "canvas/MapCanvasView.h"
#include "canvas/qt/CanvasInput.h"
#include "canvas/qt/CanvasOverlayHost.h"
#include "platform/Log.h"
#include "platform/gpu/Context.h"
#include "platform/gpu/GpuError.h"
#include "platform/qt/QtTileMapView.h"
#include "renderer/MapRenderer.h"

#include <QImage>
#include <QOpenGLContext>
#include <QPointer>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <cstring>

#include <string_view>

namespace velorin {

namespace {
constexpr std::string_view kLogCategory = "GPU";
constexpr int kDepthBits = 24;
} // namespace

QSurfaceFormat MapCanvasWidget::surfaceFormat()
{
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    format.setDepthBufferSize(kDepthBits);
    return format;
}

MapCanvasWidget::MapCanvasWidget(std::shared_ptr<platform::Clock> clock, CanvasFactory makeCanvas, QWidget* parent)
    : QOpenGLWidget(parent)
    , makeCanvas_(std::move(makeCanvas))
    , displayLink_(std::move(clock))
    , overlays_(std::make_unique<CanvasOverlayHost>(*this))
{
    setFormat(surfaceFormat());
}

MapCanvasWidget::~MapCanvasWidget()
{
    displayLink_.stop();
    if (context())
        disconnect(context(), nullptr, this, nullptr);
    if (context_) {
        makeCurrent();
        releaseContext();
        doneCurrent();
    }
}

Camera::Size MapCanvasWidget::boundsInPoints() const
{
    return {double(width()), double(height())};
}

double MapCanvasWidget::screenScale() const
{
    return devicePixelRatioF();
}

void MapCanvasWidget::draw()
{
    update();
}

double MapCanvasWidget::refreshRate() const
{
    if (preferredFrameRate_)
        return *preferredFrameRate_;
    const QScreen* shown = screen();
    return shown ? shown->refreshRate() : DisplayLink::kDefaultRefreshHertz;
}

void MapCanvasWidget::startDisplayLink()
{
    displayLink_.setRefreshRate(refreshRate());
    displayLink_.start();
}

void MapCanvasWidget::setPreferredFrameRate(std::optional<double> hertz)
{
    preferredFrameRate_ = hertz;
    displayLink_.setRefreshRate(refreshRate());
}

void MapCanvasWidget::stopDisplayLink()
{
    displayLink_.stop();
}

CanvasOverlays* MapCanvasWidget::overlays()
{
    return overlays_.get();
}

std::shared_ptr<platform::MapView> MapCanvasWidget::makeMapView(const platform::MapViewSetup& setup)
{
    auto* map = new platform::QtTileMapView(setup, this);
    map->setGeometry(rect());
    // Under the labels and markers, over the OpenGL picture it replaces.
    map->lower();
    map->show();
    // The widget may go first, taking its children with it.
    return std::shared_ptr<platform::MapView>(map, [guard = QPointer<QWidget>(map)](platform::MapView*) { delete guard.data(); });
}

std::optional<platform::Image> MapCanvasWidget::grabView(double scale)
{
    QImage picture = grab().toImage().convertToFormat(QImage::Format_RGBA8888);
    if (picture.isNull())
        return std::nullopt;
    if (scale < 1)
        picture = picture.scaled(std::max(1, int(std::lround(picture.width() * scale))),
            std::max(1, int(std::lround(picture.height() * scale))), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    platform::Image image {picture.width(), picture.height(), std::vector<std::byte>(std::size_t(picture.width()) * picture.height() * 4)};
    for (int row = 0; row < picture.height(); ++row)
        std::memcpy(image.pixels.data() + std::size_t(row) * picture.width() * 4, picture.constScanLine(row),
            std::size_t(picture.width()) * 4);
    return image;
}

void MapCanvasWidget::drawOverlays(platform::Image& image, double scale)
{
    overlays_->draw(image, scale);
}

void MapCanvasWidget::initializeGL()
{
    // A widget moved to another top-level window gets a new context: the old canvas went
    // with the old one.
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] {
        makeCurrent();
        releaseContext();
        doneCurrent();
    });
    try {
        context_ = gpu::Context::adoptCurrent();
    } catch (const gpu::GpuError& error) {
        platform::Log::error(kLogCategory, "contexte OpenGL de la fenêtre inutilisable : {}", error.what());
        fail(std::string(MapRenderer::kStartFailureMessage));
        return;
    }
    canvas_ = makeCanvas_ ? makeCanvas_(*this, *context_) : nullptr;
    if (!canvas_) {
        context_.reset();
        fail(std::string(MapRenderer::kStartFailureMessage));
        return;
    }
    displayLink_.setCanvas(canvas_);
    input_ = new CanvasInput(canvas_, this);
    canvas_->layout();
}

void MapCanvasWidget::resizeGL(int, int)
{
    for (auto* map : findChildren<platform::QtTileMapView*>(Qt::FindDirectChildrenOnly))
        map->setGeometry(rect());
    if (canvas_)
        canvas_->layout();
}

void MapCanvasWidget::paintGL()
{
    if (canvas_)
        canvas_->drawFrame(defaultFramebufferObject());
}

void MapCanvasWidget::hideEvent(QHideEvent* event)
{
    QOpenGLWidget::hideEvent(event);
    if (canvas_)
        canvas_->handleBackground();
}

void MapCanvasWidget::showEvent(QShowEvent* event)
{
    QOpenGLWidget::showEvent(event);
    if (canvas_)
        canvas_->handleForeground();
}

void MapCanvasWidget::fail(const std::string& message)
{
    if (onFailure)
        onFailure(message);
}

void MapCanvasWidget::releaseContext()
{
    if (canvas_)
        canvas_->handleBackground();
    displayLink_.stop();
    delete input_;
    canvas_.reset();
    context_.reset();
}

} // namespace velorin
