// The film automation: recordings and computed travels filmed to "-filmTo" with their
// progress on standard output, and stills of the moving view for "-dumpFrames".

#include "canvas/FilmArguments.h"
#include "canvas/FilmTravel.h"
#include "canvas/MapCanvasView.h"
#include "map-data/TerrainService.h"
#include "platform/AtomicWrite.h"
#include "platform/LaunchArguments.h"
#include "platform/Uuid.h"
#include "platform/gpu/Context.h"
#include "platform/gpu/RenderTarget.h"
#include "renderer/PixelScale.h"
#include "renderer/TextureImage.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>

namespace velorin {

namespace {

constexpr double kFilmFrameRate = 30;
constexpr double kDumpIntervalSeconds = 0.25;
constexpr double kDumpJpegQuality = 0.85;
constexpr double kTravelDelaySeconds = 30;
constexpr int kTravelPrefetchEvery = 15;
constexpr double kTravelPrefetchMeters = 1500;
// The ground under the eye is averaged over this many points on each side.
constexpr int kTravelGroundWindow = 30;
constexpr int kTravelGroundZoom = 16;
constexpr double kMinTravelSightMeters = 0.5;
constexpr double kSin75 = 0.9659258262890683;
constexpr double kRadians75 = 1.3089969389957472;
constexpr double kMaxTravelPitch = 2.0943951023931953;
constexpr int kTravelPitchIterations = 8;

void printLine(const std::string& line)
{
    fmt::print("{}\n", line);
    std::fflush(stdout);
}

} // namespace

void MapCanvasView::filmRecording(const std::string& name, Basemap basemap, const std::vector<CameraPose>& poses)
{
    const FilmArguments arguments = FilmArguments::parse(environment_.arguments);
    if (!arguments.filmTo)
        return;
    auto exitProgram = programExit();
    const SavedVideo video {platform::makeUuid(), std::chrono::system_clock::now(), name,
        std::string(basemap.rawValue()), kFilmFrameRate, poses};
    printLine(fmt::format("film : {} images", poses.size()));
    auto progress = [lastStep = 0](double fraction) mutable {
        const int step = int(fraction * 20);
        if (step > lastStep) {
            lastStep = step;
            printLine(fmt::format("film : {} %", 5 * step));
        }
    };
    const bool started = exportVideo(video, basemap, arguments.height, *arguments.filmTo, arguments.names,
        std::move(progress), [exitProgram](bool finished) {
            printLine(finished ? "film : fini" : "film : échec");
            exitProgram(finished ? EXIT_SUCCESS : EXIT_FAILURE);
        });
    if (!started) {
        printLine("film : échec");
        exitProgram(EXIT_FAILURE);
    }
}

void MapCanvasView::startFilmTravel()
{
    const FilmArguments arguments = FilmArguments::parse(environment_.arguments);
    auto travel = FilmTravel::plan(arguments);
    if (!travel)
        return;
    if (renderer_->terrain) {
        for (std::size_t i = 0; i < travel->eyes.size(); i += kTravelPrefetchEvery)
            prefetchAround(travel->eyes[i], kTravelPrefetchMeters);
        for (const WorldPoint& waypoint : travel->waypoints)
            prefetchAround(waypoint, kTravelPrefetchMeters);
    }
    std::weak_ptr<MapCanvasView> weak = weak_from_this();
    std::weak_ptr<platform::MainQueue> queue = environment_.mainQueue;
    auto exitProgram = programExit();
    environment_.clock->after(kTravelDelaySeconds, [weak, queue, exitProgram, travel = std::move(*travel)] {
        if (auto mainQueue = queue.lock()) {
            mainQueue->post([weak, exitProgram, travel] {
                if (auto self = weak.lock())
                    self->filmTravel(travel.height, travel.eyes, travel.targets);
                else
                    exitProgram(EXIT_FAILURE);
            });
        }
    });
}

void MapCanvasView::filmTravel(double height, const std::vector<WorldPoint>& eyePath, const std::vector<WorldPoint>& targets)
{
    if (!renderer_->terrain) {
        fmt::print(stderr, "film : pas de relief pour le survol\n");
        programExit()(EXIT_FAILURE);
        return;
    }
    filmRecording("Survol", renderer_->basemap, travelPoses(height, eyePath, targets));
}

std::vector<CameraPose> MapCanvasView::travelPoses(
    double height, const std::vector<WorldPoint>& eyePath, const std::vector<WorldPoint>& targets) const
{
    std::vector<CameraPose> poses;
    if (!renderer_->terrain)
        return poses;
    const std::size_t n = std::min(eyePath.size(), targets.size());
    std::vector<double> ground(n);
    renderer_->terrain->elevations(std::span(eyePath.data(), n), kTravelGroundZoom, ground);

    const Camera& current = renderer_->camera;
    const bool relief = renderer_->frame.frameHeightScale != 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t from = i >= std::size_t(kTravelGroundWindow) ? i - kTravelGroundWindow : 0;
        const std::size_t to = std::min(n - 1, i + kTravelGroundWindow);
        double sum = 0;
        for (std::size_t j = from; j <= to; ++j)
            sum += ground[j];
        const double smoothedGround = std::max(sum / double(to - from + 1), ground[i]);

        const double altitude = smoothedGround + height;
        const WorldPoint target = targets[i];
        const double dx = target.x - eyePath[i].x;
        const double dy = target.y - eyePath[i].y;
        const double metersPerUnit = target.metersPerWorldUnit();
        const double horizontal = std::hypot(dx, dy) * metersPerUnit;
        if (horizontal <= kMinTravelSightMeters)
            continue;
        const double dz = altitude - groundHeight(target);
        const auto stretch = [relief](double pitch) { return relief && pitch < kRadians75 ? std::sin(pitch) / kSin75 : 1.0; };
        double pitch = std::atan2(horizontal, dz);
        for (int k = 0; k < kTravelPitchIterations; ++k)
            pitch = std::atan2(horizontal, stretch(pitch) * dz);
        if (pitch > kMaxTravelPitch)
            continue;
        double bearing = std::fmod(std::atan2(dx, -dy), 2 * std::numbers::pi);
        if (bearing > std::numbers::pi)
            bearing -= 2 * std::numbers::pi;
        else if (bearing <= -std::numbers::pi)
            bearing += 2 * std::numbers::pi;
        const double sight = std::hypot(horizontal, stretch(pitch) * dz);
        const double perPixel = sight / (current.viewSize.height * current.focalLength);
        const double zoom = perPixel > 0 ? std::log2(metersPerUnit / perPixel / 256) : 0;
        poses.push_back({target.x, target.y, zoom, bearing, pitch, current.focalLength, current.viewSize.width,
            current.viewSize.height});
    }
    return poses;
}

void MapCanvasView::dumpFrame()
{
    if (!dumpFolder_) {
        const auto value = platform::launchArgumentValue("-dumpFrames", environment_.arguments);
        dumpFolder_ = value ? std::optional<std::filesystem::path>(*value) : std::nullopt;
    }
    if (!*dumpFolder_ || now() - dumpLast_ < kDumpIntervalSeconds)
        return;
    const Camera::Size pixels = pixelScale(window_.boundsInPoints(), window_.screenScale());
    const int width = int(pixels.width / 2);
    const int height = int(pixels.height / 2);
    if (width < 1 || height < 1)
        return;
    // The view as shown, in half the pixels: the camera is left as it is, since the scene's
    // eye, relief and band depths are all measured in its pixels.
    context_.makeCurrent();
    const auto target = renderer_->renderOffscreen(width, height);
    if (!target)
        return;
    const auto jpeg = platform::encodeJpeg(textureImage(*target), kDumpJpegQuality);
    if (!jpeg)
        return;
    ++dumpCount_;
    dumpLast_ = now();
    try {
        platform::atomicWrite(**dumpFolder_ / fmt::format("f{:04d}.jpg", dumpCount_), *jpeg);
    } catch (const std::filesystem::filesystem_error&) {
    }
}

} // namespace velorin
