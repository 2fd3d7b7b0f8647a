#include "canvas/FilmEncoder.h"

namespace velorin {

FilmEncoder::FilmEncoder(std::filesystem::path target, int width, int height, double framesPerSecond,
    std::shared_ptr<platform::MainQueue> mainQueue)
    : shared_(std::make_shared<Shared>())
    , mainQueue_(std::move(mainQueue))
    , queue_(std::make_unique<platform::DispatchQueue>("com.vask.velorin.film"))
{
    shared_->target = std::move(target);
    shared_->width = width;
    shared_->height = height;
    shared_->framesPerSecond = framesPerSecond;
}

FilmEncoder::~FilmEncoder()
{
    shared_->cancelled = true;
    // Runs what is queued (each block sees the cancellation and does nothing), then joins;
    // the unfinished writer then removes its file.
    queue_.reset();
    shared_->writer.reset();
}

void FilmEncoder::append(platform::Image frame, std::function<void(const FrameResult&)> done)
{
    ++shared_->queued;
    std::weak_ptr<platform::MainQueue> mainQueue = mainQueue_;
    queue_->async([shared = shared_, frame = std::move(frame), done = std::move(done), mainQueue]() mutable {
        if (shared->cancelled)
            return;
        if (!shared->failure) {
            if (!shared->writer) {
                try {
                    shared->writer = std::make_unique<platform::VideoWriter>(
                        shared->target, shared->width, shared->height, shared->framesPerSecond);
                } catch (const platform::VideoWriter::Error& error) {
                    shared->failure = FrameResult {FrameResult::Failure::cannotOpen, error.what()};
                }
            }
            if (shared->writer) {
                if (auto error = shared->writer->append(frame))
                    shared->failure = FrameResult {FrameResult::Failure::cannotEncode, *error};
            }
        }
        const FrameResult result = shared->failure.value_or(FrameResult {});
        if (auto main = mainQueue.lock()) {
            // The answer may find the encoder gone; `done` holds its owner weakly.
            main->post([result, done = std::move(done), alive = std::weak_ptr<Shared>(shared)] {
                if (auto state = alive.lock())
                    --state->queued;
                done(result);
            });
        }
    });
}

void FilmEncoder::finish(std::function<void(bool)> done)
{
    std::weak_ptr<platform::MainQueue> mainQueue = mainQueue_;
    queue_->async([shared = shared_, done = std::move(done), mainQueue]() mutable {
        if (shared->cancelled)
            return;
        const bool finished = !shared->failure && shared->writer && shared->writer->finish();
        shared->writer.reset();
        if (auto main = mainQueue.lock())
            main->post([finished, done = std::move(done)] { done(finished); });
    });
}

} // namespace velorin
