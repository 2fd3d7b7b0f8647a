#include "library/CaptureTexts.h"

#include "library/ValueFormatters.h"
#include "platform/FrenchDate.h"
#include "recordings/CaptureStore.h"

#include <cmath>

namespace velorin {

namespace {

std::string dateText(platform::SystemTime date)
{
    return platform::frenchDate(date, { .year = true, .time = true });
}

} // namespace

std::string CaptureTexts::viewSubtitle(const SavedView& view)
{
    return dateText(view.date);
}

std::string CaptureTexts::videoSubtitle(const SavedVideo& video)
{
    const bool timed = std::isfinite(video.frameRate) && video.frameRate > 0;
    return dateText(video.date) + " · "
        + (timed ? formatDuration(double(video.poses.size()) / video.frameRate) : std::string("—"));
}

std::string CaptureTexts::filmNotice(bool hd)
{
    return std::string("Le film se calcule à la première demande, image par image (") + (hd ? "1080" : "720")
        + " lignes, réglable dans les réglages). La carte reste figée pendant ce temps. Les "
        + std::to_string(CaptureStore::kMaxVideos) + " dernières animations sont gardées.";
}

} // namespace velorin
