#include "app/AppModel.h"

namespace velorin {

namespace {

bool isBusy(const TileLoader::Status& status)
{
    return status.pending > 0 || status.loadingSheet || status.queuedSheets > 0;
}

// Failures in a row say the server is out of reach only while something is still wanted
// from it, in flight or waiting to be asked again: once every wanted tile is in they are
// history.
bool serverUnreachable(const TileLoader::Status& status)
{
    return status.transportFailures > AppModel::kUnreachableAfterTransportFailures
        && (isBusy(status) || status.retrying > 0);
}

} // namespace

void AppModel::tileStatusDidChange(const TileLoader::Status& status)
{
    const bool progressed = status.delivered != lastDelivered_ || status.sheetProgress != lastSheetProgress_;
    lastDelivered_ = status.delivered;
    lastSheetProgress_ = status.sheetProgress;
    publish(tileStatus_, status);

    const bool busy = isBusy(status);
    updateStallWatchdog(busy, progressed);
    if (busy)
        startStatusPoll();

    // A sheet being prepared shows the indicator at once; tiles only once they take a while.
    if (status.loadingSheet) {
        activityDelay_.cancel();
        publish(showsActivity_, true);
    } else if (status.pending > 0 || status.queuedSheets > 0) {
        if (!activityDelay_.isPending() && !showsActivity_)
            activityDelay_.start(kActivityDelaySeconds, [this] {
                if (isBusy(tileStatus_))
                    publish(showsActivity_, true);
            });
    } else {
        activityDelay_.cancel();
        publish(showsActivity_, false);
    }
}

void AppModel::updateStallWatchdog(bool busy, bool progressed)
{
    if (!busy) {
        stallWatchdog_.cancel();
        publish(isStalled_, false);
        return;
    }
    if (progressed) {
        publish(isStalled_, false);
        stallWatchdog_.cancel();
    }
    // A busy status without progress leaves a running watchdog alone, so that its time
    // counts from the last progress.
    if (!stallWatchdog_.isPending() && !isStalled_)
        stallWatchdog_.start(kStallTimeoutSeconds, [this] { stallWatchdogFired(); });
}

void AppModel::stallWatchdogFired()
{
    if (!isBusy(tileStatus_))
        return;
    // A walker who keeps moving the map keeps asking for new tiles: no stall until the
    // camera has been still for the whole time-out.
    if (clock_->now() - lastCameraChange_ >= kStallTimeoutSeconds)
        publish(isStalled_, true);
    else
        updateStallWatchdog(true, false);
}

void AppModel::startStatusPoll()
{
    if (!statusPoll_.isPending())
        statusPoll_.start(kStatusPollIntervalSeconds, [this] { pollStatus(); });
}

void AppModel::pollStatus()
{
    if (!loader_)
        return;
    // Armed again first, so that the status handed on below starts no second poll.
    statusPoll_.start(kStatusPollIntervalSeconds, [this] { pollStatus(); });
    tileStatusDidChange(loader_->status());
    if (!isBusy(tileStatus_))
        statusPoll_.cancel();
}

void AppModel::retryLoading()
{
    if (loader_)
        loader_->retryNow();
    publish(isStalled_, false);
    // An idle map asks for its tiles only when it draws.
    if (auto canvas = canvas_.lock())
        canvas->ensureDisplayLink();
    startStatusPoll();
}

bool AppModel::hasLoadingProblem() const
{
    if (!network_->isReachable() || serverUnreachable(tileStatus_))
        return true;
    return isStalled_;
}

std::string AppModel::loadingProblemMessage() const
{
    if (!network_->isReachable())
        return "Hors réseau";
    if (serverUnreachable(tileStatus_))
        return "Serveur injoignable";
    return "Chargement bloqué";
}

std::optional<TextureCache::Usage> AppModel::textureCacheUsage() const
{
    if (!loader_)
        return std::nullopt;
    return cache_->usage();
}

} // namespace velorin
