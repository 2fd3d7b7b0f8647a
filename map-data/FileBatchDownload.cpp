#include "map-data/FileBatchDownload.h"

#include <atomic>
#include <cmath>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>

namespace velorin {

namespace {

constexpr int kStatusOK = 200;
constexpr int kStatusBadRequest = 400;
constexpr int kStatusNotFound = 404;

} // namespace

// Everything below runs on the batch's queue, except `stop` and the guarded posts.
struct FileBatchDownload::Work : std::enable_shared_from_this<FileBatchDownload::Work> {
    Work(std::vector<Item> items, Services services, Progress progress, platform::Executor& queue)
        : items(std::move(items))
        , services(std::move(services))
        , progress(std::move(progress))
        , queue(queue)
        , finished(this->items.size(), false)
    {
    }

    const std::vector<Item> items;
    const Services services;
    const Progress progress;
    platform::Executor& queue;

    // Held while posting to `queue`, so that once `stop` returns nothing new reaches it.
    std::mutex postMutex;
    std::atomic<bool> stopped { false };

    std::vector<bool> finished;
    std::deque<std::size_t> waiting;
    std::map<std::size_t, platform::HttpTask> transfers;
    std::size_t leadingDone = 0;

    void post(std::function<void(Work&)> step)
    {
        std::lock_guard lock(postMutex);
        if (stopped)
            return;
        queue.post([weak = weak_from_this(), step = std::move(step)] {
            if (auto work = weak.lock(); work && !work->stopped)
                step(*work);
        });
    }

    void stop()
    {
        std::lock_guard lock(postMutex);
        stopped = true;
    }

    void begin()
    {
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (services.store->exists(items[i].diskKey))
                finished[i] = true;
            else
                waiting.push_back(i);
        }
        report();
        while (transfers.size() < std::size_t(kMaxConcurrentDownloads) && !waiting.empty()) {
            auto index = waiting.front();
            waiting.pop_front();
            attempt(index, 0);
        }
    }

    void report()
    {
        while (leadingDone < items.size() && finished[leadingDone])
            ++leadingDone;
        services.mainQueue->post([weak = weak_from_this(), done = int64_t(leadingDone), total = int64_t(items.size())] {
            if (auto work = weak.lock(); work && !work->stopped && work->progress)
                work->progress(done, total);
        });
    }

    void attempt(std::size_t index, int number)
    {
        auto request = platform::HttpRequest::get(items[index].url);
        transfers[index] = services.session->start(std::move(request), queue,
            [weak = weak_from_this(), index, number](platform::HttpResult result) {
                if (auto work = weak.lock(); work && !work->stopped)
                    work->ended(index, number, std::move(result));
            });
    }

    void ended(std::size_t index, int number, platform::HttpResult result)
    {
        auto transfer = transfers.extract(index);
        int status = result.response ? result.response->status : 0;
        if (status == kStatusOK) {
            const auto& body = result.response->body;
            try {
                services.store->writeNow(std::as_bytes(std::span(body.data(), body.size())), items[index].diskKey);
            } catch (const std::filesystem::filesystem_error&) {
                // The file is simply not prepared; the flight fetches it when it needs it.
            }
        } else if (status != kStatusBadRequest && status != kStatusNotFound) {
            pauseAfter(index, number);
            return;
        }
        finish(index);
    }

    void finish(std::size_t index)
    {
        finished[index] = true;
        report();
        if (!waiting.empty()) {
            auto next = waiting.front();
            waiting.pop_front();
            attempt(next, 0);
        }
    }

    // Every failed attempt is followed by its pause, the last one too: then the next
    // attempt, or the end of the item.
    void pauseAfter(std::size_t index, int number)
    {
        // Keeps the slot: the item is still one of the twelve in progress.
        double pause = kFirstRetryPauseSeconds * std::ldexp(1.0, number);
        services.clock->after(pause, [weak = weak_from_this(), index, number] {
            if (auto work = weak.lock()) {
                work->post([index, number](Work& self) {
                    if (number + 1 < kMaxAttempts)
                        self.attempt(index, number + 1);
                    else
                        self.finish(index);
                });
            }
        });
    }
};

FileBatchDownload::FileBatchDownload(std::vector<Item> items, Services services, Progress progress)
    : queue_(std::make_unique<platform::DispatchQueue>("com.vask.velorin.preload"))
    , work_(std::make_shared<Work>(std::move(items), std::move(services), std::move(progress), *queue_))
{
    work_->post([](Work& work) { work.begin(); });
}

FileBatchDownload::~FileBatchDownload()
{
    cancel();
    // The transfers deliver to the queue: they go before it does.
    queue_->sync([work = work_] { work->transfers.clear(); });
    work_.reset();
    queue_.reset();
}

void FileBatchDownload::cancel()
{
    work_->stop();
    queue_->async([work = work_] { work->transfers.clear(); });
}

} // namespace velorin
