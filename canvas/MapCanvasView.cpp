#include "canvas/MapCanvasView.h"

#include "canvas/FilmRun.h"

#include "canvas/LastCamera.h"
#include "canvas/StartView.h"
#include "map-data/FileBatchDownload.h"
#include "map-data/TerrainService.h"
#include "map-data/TextureCache.h"
#include "map-data/TileLoader.h"
#include "features/ToponymService.h"
#include "platform/LaunchArguments.h"
#include "platform/gpu/Context.h"
#include "platform/gpu/GpuError.h"
#include "platform/gpu/RenderTarget.h"
#include "renderer/BuildingService.h"
#include "renderer/ForestService.h"
#include "renderer/PixelScale.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace velorin {

namespace {

constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;

Camera initialCamera(const SheetCatalog& catalog)
{
    const WorldRect& rect = catalog.worldRect();
    Camera camera;
    camera.center = {(rect.minX + rect.maxX) / 2, (rect.minY + rect.maxY) / 2};
    camera.zoom = MapCanvasView::kInitialZoom;
    camera.viewSize = MapCanvasView::kInitialViewSize;
    camera.focalLength = MapCanvasView::kDefaultFocalLength;
    return camera;
}

} // namespace

std::shared_ptr<MapCanvasView> MapCanvasView::make(CanvasWindow& window, gpu::Context& context,
    const gpu::ShaderLibrary& shaders, Services services, Environment environment)
{
    auto renderer = MapRenderer::make(context, shaders, services.catalog, services.loader,
        initialCamera(services.catalog), services.terrain, services.forest, services.buildings);
    if (!renderer)
        return nullptr;
    std::shared_ptr<MapCanvasView> canvas(new MapCanvasView(window, context, std::move(services), std::move(environment)));
    canvas->renderer_ = std::move(renderer);
    canvas->installCallbacks();
    return canvas;
}

MapCanvasView::MapCanvasView(
    CanvasWindow& window, gpu::Context& context, Services services, Environment environment)
    : window_(window)
    , context_(context)
    , services_(std::move(services))
    , environment_(std::move(environment))
    , journal_(environment_.journalFile, environment_.defaults)
    , flightOptions_(FlightOptions::parse(environment_.arguments))
{
}

MapCanvasView::~MapCanvasView()
{
    if (displayLinkRunning_)
        window_.stopDisplayLink();
    if (film_) {
        // The film stops with the canvas: its unfinished file goes, and its caller hears so.
        auto completion = std::move(film_->completion);
        film_.reset();
        if (completion)
            environment_.mainQueue->post([completion = std::move(completion)] { completion(false); });
    }
}

void MapCanvasView::installCallbacks()
{
    std::weak_ptr<MapCanvasView> weak = weak_from_this();
    // Whatever arrives may be what a flight's next frame waits for.
    auto redraw = [weak] {
        if (auto self = weak.lock()) {
            self->flightResourceArrived();
            self->ensureDisplayLink();
        }
    };
    if (services_.loader)
        services_.loader->setOnTileReady(redraw);
    if (services_.forest)
        services_.forest->onChange = redraw;
    if (services_.buildings)
        services_.buildings->onChange = redraw;
    if (services_.terrain) {
        services_.terrain->onChange = [weak] {
            if (auto self = weak.lock())
                self->terrainDidChange();
        };
    }
    if (CanvasOverlays* host = overlays()) {
        // The hover card's buttons: straight to the place, or a flight there.
        const auto onHovered = [weak](void (*act)(MapCanvasView&, const Toponym&)) {
            return [weak, act] {
                auto self = weak.lock();
                if (!self || !self->hoveredToponym_)
                    return;
                const Toponym place = *self->hoveredToponym_;
                act(*self, place);
            };
        };
        host->setHoverActions(onHovered([](MapCanvasView& canvas, const Toponym& place) { canvas.goDirectly(place); }),
            onHovered([](MapCanvasView& canvas, const Toponym& place) { canvas.startFlight(place, false); }));
    }
    if (services_.toponyms) {
        services_.toponyms->setOnChange([weak] {
            if (auto self = weak.lock())
                self->toponymsDidChange();
        });
    }
}

void MapCanvasView::terrainDidChange()
{
    renderer_->terrainGeneration += 1;
    // The markers stand on the new relief.
    if (!isFlying())
        layoutMarkers();
    relayoutToponyms();
    flightResourceArrived();
    ensureDisplayLink();
}

void MapCanvasView::layout()
{
    const Camera::Size pixels = pixelScale(window_.boundsInPoints(), window_.screenScale());
    // A flight's frames are prepared for the size they were made at.
    const std::optional<Camera::Size> flown = flight_ ? std::optional(flight_->initialCamera.viewSize)
        : arrivalFrame_                            ? std::optional(arrivalFrame_->scene.camera.viewSize)
                                                   : std::nullopt;
    if (flown && (flown->width != pixels.width || flown->height != pixels.height))
        endFlight();
    renderer_->contentScale = window_.screenScale();
    Camera& camera = renderer_->camera;
    camera.viewSize = pixels;
    if (pixels.width > 1)
        minZoom_ = camera.fitZoom(services_.catalog.worldRect(), 0) - kMinZoomBelowFit;
    const bool fits = !hasPerformedInitialFit_ && pixels.width > 1 && pixels.height > 1;
    if (fits)
        initialFit();
    if (!isFlying())
        clampCamera();
    // The application hears of the view the fit left within the limits, not of the one
    // it asked for.
    if (fits && onCameraChanged)
        onCameraChanged(camera);
    // The world map takes the new size at once: its scale follows the canvas's, not the
    // other way round at the next gesture.
    if (hasPerformedInitialFit_)
        pushCameraToApple();
    if (!isFlying())
        layoutMarkers();
    relayoutToponyms();
    ensureDisplayLink();
}

void MapCanvasView::drawFrame(unsigned framebuffer)
{
    const Camera::Size pixels = pixelScale(window_.boundsInPoints(), window_.screenScale());
    if (pixels.width >= 1 && pixels.height >= 1) {
        // The scene is prepared for the size it is drawn at, even when a resize has not
        // been laid out yet.
        renderer_->camera.viewSize = pixels;
        renderer_->updateFrame(now());
        // Once a frame, over this frame's relief, so that the names never lag the map.
        relayoutToponyms();
        if (flightRasterScale_ < 1) {
            // A prepared flight plays at a share of the view's pixels, stretched over it.
            const int width = std::max(1, int(std::lround(pixels.width * flightRasterScale_)));
            const int height = std::max(1, int(std::lround(pixels.height * flightRasterScale_)));
            try {
                if (!flightRaster_ || flightRaster_->width() != width || flightRaster_->height() != height)
                    flightRaster_ = std::make_unique<gpu::RenderTarget>(context_, width, height);
                renderer_->drawInto(flightRaster_->framebuffer(), width, height);
                flightRaster_->blitTo(framebuffer, int(pixels.width), int(pixels.height));
            } catch (const gpu::GpuError&) {
                flightRaster_.reset();
                renderer_->draw(pixels, framebuffer);
            }
        } else {
            renderer_->draw(pixels, framebuffer);
        }
    }
    context_.drainDeletions();
}

void MapCanvasView::initialFit()
{
    hasPerformedInitialFit_ = true;
    Camera& camera = renderer_->camera;
    if (auto start = StartView::parse(environment_.arguments)) {
        applyStartView(*start);
    } else {
        if (auto value = platform::launchArgumentValue("-startAt", environment_.arguments))
            fmt::print(stderr, "Argument -startAt ignoré : « {} »\n", *value);
        const auto stored = environment_.defaults ? LastCamera::restore(*environment_.defaults) : std::nullopt;
        if (stored) {
            camera.center = WorldPoint::fromLatitudeLongitude(stored->latitude, stored->longitude);
            camera.zoom = stored->zoom;
        } else {
            // Without sheets the catalogue spans the whole world: a walker's first view is
            // metropolitan France.
            const std::array corners {
                WorldPoint::fromLatitudeLongitude(kFranceNorthDegrees, kFranceWestDegrees),
                WorldPoint::fromLatitudeLongitude(kFranceSouthDegrees, kFranceEastDegrees)};
            const WorldRect first = services_.catalog.sheets().empty() ? WorldRect::boundingRect(corners)
                                                                       : services_.catalog.worldRect();
            camera.fit(first, 0, std::numeric_limits<double>::infinity());
        }
        initialLocateDeadline_ = now() + kInitialLocateSeconds;
    }
}

void MapCanvasView::applyStartView(const StartView& start)
{
    Camera& camera = renderer_->camera;
    camera.center = WorldPoint::fromLatitudeLongitude(start.latitude, start.longitude);
    camera.zoom = start.zoom;
    camera.bearing = start.bearingDegrees * kRadiansPerDegree;
    targetBearing_ = camera.bearing;
    // A negative pitch would look up from under the ground.
    camera.pitch = std::clamp(start.pitchDegrees * kRadiansPerDegree, 0.0, kMaxStartPitchRadians);
    targetPitch_ = camera.pitch;
    // The relief control shows the tilt the view opens with.
    if (camera.pitch > 0 && onPitchChanged)
        onPitchChanged(true);
    if (start.focalLength && *start.focalLength > 0) {
        camera.focalLength = *start.focalLength;
        userFocalLength_ = *start.focalLength;
    }
    if (std::find(environment_.arguments.begin(), environment_.arguments.end(), "-demoOrbit")
        != environment_.arguments.end()) {
        std::weak_ptr<MapCanvasView> weak = weak_from_this();
        std::weak_ptr<platform::MainQueue> queue = environment_.mainQueue;
        environment_.clock->after(kDemoOrbitDelaySeconds, [weak, queue] {
            if (auto mainQueue = queue.lock()) {
                mainQueue->post([weak] {
                    if (auto self = weak.lock())
                        self->startAimedPointTour();
                });
            }
        });
    }
    startFilmTravel();
    scheduleSnapshot();
    awaitingInitialLocation_ = false;
}

void MapCanvasView::ensureDisplayLink()
{
    needsRedraw_ = true;
    startDisplayLink();
}

void MapCanvasView::startDisplayLink()
{
    // A film draws its own frames.
    if (displayLinkRunning_ || isBackgrounded_ || film_)
        return;
    displayLinkRunning_ = true;
    window_.startDisplayLink();
}

void MapCanvasView::stopDisplayLink()
{
    if (!displayLinkRunning_)
        return;
    displayLinkRunning_ = false;
    window_.stopDisplayLink();
}

void MapCanvasView::handleMemoryWarning()
{
    if (isFlying())
        endFlight();
    if (services_.textureCache)
        services_.textureCache->purge(kMemoryWarningPurgeFraction);
    ensureDisplayLink();
}

void MapCanvasView::handleBackground()
{
    if (isFlying())
        endFlight();
    isBackgrounded_ = true;
    stopDisplayLink();
    saveLastCamera();
}

void MapCanvasView::handleForeground()
{
    isBackgrounded_ = false;
    needsRedraw_ = true;
    startDisplayLink();
}

void MapCanvasView::forgetModifiers()
{
    heldModifiers_ = {};
}

} // namespace velorin
