#include "canvas/MapCanvasView.h"
#include "canvas/SnapshotSize.h"
#include "map-data/TextureCache.h"
#include "platform/AtomicWrite.h"
#include "platform/LaunchArguments.h"
#include "platform/gpu/Context.h"
#include "platform/gpu/RenderTarget.h"
#include "renderer/PixelScale.h"
#include "renderer/TextureImage.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace velorin {

namespace {

constexpr double kSnapshotJpegQuality = 0.9;

} // namespace

std::optional<platform::Image> MapCanvasView::snapshot(std::optional<double> maxDimension)
{
    const Camera::Size bounds = window_.boundsInPoints();
    if (!(bounds.width > 0) || !(bounds.height > 0))
        return std::nullopt;
    const SnapshotSize size = SnapshotSize::of(pixelScale(bounds, window_.screenScale()), maxDimension);
    // The world map is drawn by the window alone: the picture is what it shows.
    if (apple_)
        return window_.grabView(size.scale);
    // The view as shown, in fewer pixels: the camera is left as it is, since the scene's eye,
    // relief and band depths are all measured in its pixels.
    context_.makeCurrent();
    const auto target = renderer_->renderOffscreen(size.width, size.height);
    if (!target)
        return std::nullopt;
    platform::Image image = textureImage(*target);
    window_.drawOverlays(image, double(size.height) / bounds.height);
    return image;
}

int MapCanvasView::writeSnapshot(const std::filesystem::path& path)
{
    const auto image = snapshot(std::nullopt);
    if (!image) {
        fmt::print(stderr, "Instantané impossible : la carte n'a pas pu être rendue.\n");
        return EXIT_FAILURE;
    }
    const auto jpeg = platform::encodeJpeg(*image, kSnapshotJpegQuality);
    if (!jpeg) {
        fmt::print(stderr, "Instantané impossible : l'image n'a pas pu être encodée.\n");
        return EXIT_FAILURE;
    }
    try {
        platform::atomicWrite(path, *jpeg);
    } catch (const std::filesystem::filesystem_error& error) {
        fmt::print(stderr, "Instantané impossible : {} n'a pas pu être écrit ({}).\n", path.string(),
            error.code().message());
        return EXIT_FAILURE;
    }

    // The world map counts its tiles itself; the renderer drew none of them.
    if (apple_)
        return EXIT_SUCCESS;
    // Every draw lays a map tile, its own or an ancestor's, on the ground.
    if (renderer_->draws.empty()) {
        std::string reason = environment_.loadingProblem ? environment_.loadingProblem() : std::string();
        if (reason.empty())
            reason = "aucune réponse des serveurs de cartes";
        fmt::print(stderr, "Instantané sans carte : aucune tuile n'a pu être chargée ({}).\n", reason);
        return kSnapshotWithoutMapStatus;
    }
    const auto& wanted = renderer_->desired;
    const auto loaded = std::count_if(wanted.begin(), wanted.end(),
        [this](const TileKey& key) { return renderer_->textures && renderer_->textures->contains(key); });
    if (std::size_t(loaded) < wanted.size())
        fmt::print(stderr, "Instantané écrit : {} tuiles chargées sur {}.\n", loaded, wanted.size());
    return EXIT_SUCCESS;
}

std::function<void(int)> MapCanvasView::programExit() const
{
    if (environment_.exitProgram)
        return environment_.exitProgram;
    return [](int status) { std::exit(status); };
}

void MapCanvasView::scheduleSnapshot()
{
    const auto path = platform::launchArgumentValue("-snapshotTo", environment_.arguments);
    if (!path)
        return;
    std::weak_ptr<MapCanvasView> weak = weak_from_this();
    auto exitProgram = programExit();
    std::weak_ptr<platform::MainQueue> queue = environment_.mainQueue;
    environment_.clock->after(kSnapshotDelaySeconds, [weak, queue, exitProgram, path = *path] {
        if (auto mainQueue = queue.lock()) {
            mainQueue->post([weak, exitProgram, path] {
                auto self = weak.lock();
                exitProgram(self ? self->writeSnapshot(path) : EXIT_FAILURE);
            });
        }
    });
}

} // namespace velorin
