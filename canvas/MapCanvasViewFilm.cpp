// The film writer: a video's poses rendered offscreen one by one, waiting for what each
// shows, and encoded on the film's own queue.

#include "canvas/FilmRun.h"
#include "canvas/MapCanvasView.h"
#include "platform/Log.h"
#include "platform/gpu/Context.h"
#include "platform/gpu/RenderTarget.h"
#include "renderer/TextureImage.h"

#include <fmt/format.h>

#include <cstdio>

namespace velorin {

namespace {

// A frame whose data are missing asks again this often.
constexpr double kFilmRetrySeconds = 0.04;

} // namespace

bool MapCanvasView::exportVideo(const SavedVideo& video, Basemap basemap, int height,
    const std::filesystem::path& path, bool overlays, std::function<void(double)> progress,
    std::function<void(bool)> completion)
{
    if (video.poses.empty() || film_ || !platform::VideoWriter::isUsableFrameRate(video.frameRate))
        return false;
    endFlight();
    auto film = std::make_unique<FilmRun>();
    film->id = ++lastFilmId_;
    film->poses = video.poses;
    const CameraPose& first = video.poses.front();
    film->size = FilmSize::of(height, first.width, first.height);
    film->overlays = overlays;
    film->progress = std::move(progress);
    film->completion = std::move(completion);
    film->savedCamera = renderer_->camera;
    film->savedBasemap = renderer_->basemap;
    film->savedDetailBias = renderer_->detailBias;
    film->encoder = std::make_unique<FilmEncoder>(
        path, film->size.width, film->size.height, video.frameRate, environment_.mainQueue);
    film_ = std::move(film);
    stopDisplayLink();

    const bool platformMap = basemap == Basemap::applePlan || basemap == Basemap::appleSatellite;
    renderer_->basemap = platformMap ? Basemap(Basemap::orthophoto) : basemap;
    renderer_->reveals.clear();
    renderer_->detailBias = 0;
    postFilmStep();
    return true;
}

void MapCanvasView::postFilmStep()
{
    if (!film_ || film_->stepPosted)
        return;
    film_->stepPosted = true;
    std::weak_ptr<MapCanvasView> weak = weak_from_this();
    environment_.mainQueue->post([weak, id = film_->id] {
        if (auto self = weak.lock())
            self->filmStep(id);
    });
}

Camera MapCanvasView::filmCamera(const CameraPose& pose) const
{
    Camera camera = renderer_->camera;
    camera.center = {pose.x, pose.y};
    camera.zoom = pose.zoom;
    // The pose keeps the size of the view it was taken in; only the texture has the film's.
    camera.viewSize = {pose.width, pose.height};
    camera.bearing = pose.bearing;
    camera.pitch = pose.pitch;
    camera.focalLength = pose.focal;
    return camera;
}

void MapCanvasView::clearHeldFlightFrame()
{
    renderer_->heldFlightScene.reset();
    renderer_->preparedFlightCamera.reset();
    renderer_->preparedFlightOrder.reset();
    renderer_->preparedFlightSky.reset();
    renderer_->flightAheadKeys.clear();
}

void MapCanvasView::filmStep(std::uint64_t id)
{
    if (!film_ || film_->id != id)
        return;
    FilmRun& film = *film_;
    film.stepPosted = false;
    if (film.next == film.poses.size()) {
        if (film.finishing || film.encoder->queued() > 0)
            return;
        film.finishing = true;
        std::weak_ptr<MapCanvasView> weak = weak_from_this();
        film.encoder->finish([weak, id](bool finished) {
            auto self = weak.lock();
            if (self && self->film_ && self->film_->id == id)
                self->endFilm(finished);
        });
        return;
    }
    // A full queue: the next answer steps again.
    if (!film.encoder->canTake() || film.retryPending)
        return;

    const Camera camera = filmCamera(film.poses[film.next]);
    if (!film.waitingSince)
        film.waitingSince = now();
    auto scene = renderer_->flightScene(camera);
    if (scene) {
        scene->restore(*renderer_);
    } else if (film.resourceWait.givesUp(*film.waitingSince, now())) {
        // Drawn with what has come.
        clearHeldFlightFrame();
        renderer_->camera = camera;
        renderer_->updateFrame(now());
    } else {
        film.retryPending = true;
        std::weak_ptr<MapCanvasView> weak = weak_from_this();
        std::weak_ptr<platform::MainQueue> queue = environment_.mainQueue;
        environment_.clock->after(kFilmRetrySeconds, [weak, queue, id] {
            if (auto mainQueue = queue.lock()) {
                mainQueue->post([weak, id] {
                    auto self = weak.lock();
                    if (!self || !self->film_ || self->film_->id != id)
                        return;
                    self->film_->retryPending = false;
                    self->filmStep(id);
                });
            }
        });
        return;
    }

    context_.makeCurrent();
    const auto target = renderer_->renderOffscreen(film.size.width, film.size.height);
    if (!target) {
        fmt::print("film : rendu impossible\n");
        std::fflush(stdout);
        endFilm(false);
        return;
    }
    platform::Image image = textureImage(*target);
    const Camera::Size bounds = window_.boundsInPoints();
    if (film.overlays && bounds.height > 0 && camera.viewSize.height > 0) {
        // The labels where this frame shows their places, in the pose's own view points.
        renderer_->camera = camera;
        applyToponymPlacements(layoutToponyms());
        window_.drawOverlays(image, film.size.height * window_.screenScale() / camera.viewSize.height);
    }
    film.waitingSince.reset();
    const std::size_t index = film.next++;
    std::weak_ptr<MapCanvasView> weak = weak_from_this();
    film.encoder->append(std::move(image), [weak, id, index](const FilmEncoder::FrameResult& result) {
        if (auto self = weak.lock())
            self->filmFrameEncoded(id, index, result);
    });
    postFilmStep();
}

void MapCanvasView::filmFrameEncoded(std::uint64_t id, std::size_t index, const FilmEncoder::FrameResult& result)
{
    if (!film_ || film_->id != id)
        return;
    using Failure = FilmEncoder::FrameResult::Failure;
    if (result.failure != Failure::none) {
        if (result.failure == Failure::cannotEncode) {
            fmt::print("film : pas de tampon {}\n", result.text);
            std::fflush(stdout);
        } else {
            platform::Log::error(platform::logcat::canvas, "film : {}", result.text);
        }
        endFilm(false);
        return;
    }
    if (film_->progress)
        film_->progress(double(index + 1) / double(film_->poses.size()));
    if (film_ && film_->id == id)
        postFilmStep();
}

void MapCanvasView::endFilm(bool finished)
{
    std::unique_ptr<FilmRun> film = std::move(film_);
    // Stops the encoding first: an unfinished film's file goes with it.
    film->encoder.reset();
    clearHeldFlightFrame();
    renderer_->camera = film->savedCamera;
    renderer_->basemap = film->savedBasemap;
    renderer_->detailBias = film->savedDetailBias;
    renderer_->reveals.clear();
    relayoutToponyms();
    ensureDisplayLink();
    if (film->completion)
        film->completion(finished);
}

} // namespace velorin
