#include "recordings/TrackPhoto.h"

#include <chrono>
#include <cmath>

namespace velorin {

namespace {

bool usable(const std::optional<PhotoExif::Location>& location)
{
    return location && std::isfinite(location->accuracy) && location->accuracy >= 0;
}

} // namespace

bool TrackPhoto::requestAccess(const PhotoLibrary& library)
{
    return library.isReadable();
}

std::vector<TrackPhoto> TrackPhoto::fetch(const Track& track, const PhotoLibrary& library, const std::atomic<bool>* cancelled)
{
    std::vector<TrackPhoto> photos;
    // Without times, no photo can be placed along the track.
    if (track.points.empty() || track.metadata.timesUnknown || !requestAccess(library))
        return photos;
    const auto start = track.points.front().timestamp;
    const auto end = track.points.back().timestamp;
    for (const auto& asset : library.assets(cancelled)) {
        if (asset.screenshot || asset.date < start || asset.date > end)
            continue;
        if (auto world = position(asset.location, asset.date, track.points))
            photos.push_back({ asset.id, asset.date, *world });
    }
    return photos;
}

std::vector<TrackPhoto> TrackPhoto::libraryPhotos(bool, const PhotoLibrary& library, const std::atomic<bool>* cancelled)
{
    std::vector<TrackPhoto> photos;
    if (!requestAccess(library))
        return photos;
    const auto assets = library.assets(cancelled);
    for (auto asset = assets.rbegin(); asset != assets.rend(); ++asset) {
        if (!asset->screenshot && usable(asset->location))
            photos.push_back({ asset->id, asset->date,
                WorldPoint::fromLatitudeLongitude(asset->location->latitude, asset->location->longitude) });
    }
    return photos;
}

std::optional<WorldPoint> TrackPhoto::position(const std::optional<PhotoExif::Location>& location,
    platform::SystemTime date, const std::vector<TrackPoint>& points)
{
    if (usable(location))
        return WorldPoint::fromLatitudeLongitude(location->latitude, location->longitude);
    const TrackPoint* nearest = nullptr;
    auto nearestGap = platform::SystemTime::duration::max();
    for (const auto& point : points) {
        const auto gap = point.timestamp > date ? point.timestamp - date : date - point.timestamp;
        if (gap < nearestGap) {
            nearest = &point;
            nearestGap = gap;
        }
    }
    if (!nearest)
        return std::nullopt;
    return WorldPoint::fromLatitudeLongitude(nearest->latitude, nearest->longitude);
}

std::optional<std::filesystem::path> TrackPhoto::file(const std::filesystem::path& pictures, const std::string& id)
{
    const std::filesystem::path relative(id);
    if (id.empty() || relative.is_absolute())
        return std::nullopt;
    for (const auto& part : relative) {
        if (part == "..")
            return std::nullopt;
    }
    return pictures / relative;
}

} // namespace velorin
