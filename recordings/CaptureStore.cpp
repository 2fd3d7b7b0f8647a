#include "recordings/CaptureStore.h"

#include "platform/AtomicWrite.h"
#include "platform/ImageResampler.h"
#include "platform/MappedFile.h"
#include "platform/OperationQueue.h"
#include "platform/Uuid.h"
#include "recordings/CaptureMetadata.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

namespace velorin {

namespace {

// Folders are named by the upper-case id; any other name is not a capture of this store,
// and a record whose id differs from its folder could not be deleted.
bool isCaptureFolderName(const std::string& name)
{
    return platform::isUuid(name) && std::none_of(name.begin(), name.end(), [](char c) { return c >= 'a' && c <= 'f'; });
}


// Every capture under `folder`, newest first. A video holds thousands of poses, so the
// folders are decoded side by side on a pool that is gone before this returns.
template <typename Record, typename Decode>
std::vector<Record> list(const std::filesystem::path& folder, Decode decode)
{
    std::vector<std::filesystem::path> candidates;
    std::error_code error;
    for (std::filesystem::directory_iterator entries(folder, error), end; !error && entries != end;
         entries.increment(error)) {
        if (isCaptureFolderName(entries->path().filename().string()))
            candidates.push_back(entries->path());
    }
    std::vector<std::optional<Record>> decoded(candidates.size());
    {
        const auto width = std::clamp<std::size_t>(candidates.size(), 1, std::size_t(platform::OperationQueue::hardwareWidth()));
        platform::OperationQueue pool("Captures", int(width));
        for (std::size_t i = 0; i < candidates.size(); ++i) {
            pool.add([&, i] {
                const auto file = platform::MappedFile::open(candidates[i] / CaptureStore::kMetadataFile);
                if (!file)
                    return;
                const auto bytes = file->bytes();
                auto record = decode(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
                if (record && record->id == candidates[i].filename().string())
                    decoded[i] = std::move(record);
            });
        }
        pool.waitUntilAllFinished();
    }
    std::vector<Record> records;
    for (auto& record : decoded) {
        if (record)
            records.push_back(std::move(*record));
    }
    std::stable_sort(records.begin(), records.end(), [](const Record& a, const Record& b) { return a.date > b.date; });
    return records;
}

} // namespace

CaptureStore::CaptureStore(std::filesystem::path root, Now now, bool trimsVideos)
    : root_(std::move(root))
    , now_(now ? std::move(now) : Now([] { return std::chrono::system_clock::now(); }))
    , trimsVideos_(trimsVideos)
    , views_(list<SavedView>(root_ / kViewsFolder, capture_metadata::decodeView))
    , videos_(list<SavedVideo>(root_ / kVideosFolder, capture_metadata::decodeVideo))
{
}

std::optional<SavedView> CaptureStore::saveView(const std::string& name, Basemap basemap, const CameraPose& pose,
    const platform::Image& image)
{
    SavedView view { platform::makeUuid(), now_(), name, std::string(basemap.rawValue()), pose };
    const auto metadata = capture_metadata::encode(view);
    if (!metadata)
        return std::nullopt;
    const auto photo = platform::encodeJpeg(image, kPhotoQuality);
    if (!photo || !writeCapture(folder(kViewsFolder, view.id), image, *metadata, photo))
        return std::nullopt;
    views_.insert(views_.begin(), view);
    changed();
    return view;
}

void CaptureStore::saveVideo(const std::string& name, Basemap basemap, std::vector<CameraPose> poses, double frameRate,
    const std::optional<platform::Image>& image)
{
    SavedVideo video { platform::makeUuid(), now_(), name, std::string(basemap.rawValue()), frameRate, std::move(poses) };
    const auto metadata = capture_metadata::encode(video);
    if (!metadata || !writeCapture(folder(kVideosFolder, video.id), image, *metadata, std::nullopt))
        return;
    videos_.insert(videos_.begin(), std::move(video));
    while (trimsVideos_ && videos_.size() > kMaxVideos)
        deleteVideo(SavedVideo(videos_.back()));
    changed();
}

bool CaptureStore::writeCapture(const std::filesystem::path& folder, const std::optional<platform::Image>& image,
    const std::string& metadata, const std::optional<std::vector<std::byte>>& photo)
{
    try {
        std::filesystem::create_directories(folder);
        if (photo)
            platform::atomicWrite(folder / kPhotoFile, *photo);
        if (image) {
            if (auto thumb = thumbnail(*image))
                platform::atomicWrite(folder / kThumbnailFile, *thumb);
        }
        platform::atomicWrite(folder / kMetadataFile, metadata);
        return true;
    } catch (const std::exception&) {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
        return false;
    }
}

std::filesystem::path CaptureStore::filmURL(const std::string& id, bool hd) const
{
    return folder(kVideosFolder, id) / (hd ? "film-1080.mp4" : "film-720.mp4");
}

std::filesystem::path CaptureStore::photoFile(const SavedView& view) const
{
    return folder(kViewsFolder, view.id) / kPhotoFile;
}

std::filesystem::path CaptureStore::thumbnailFile(const SavedView& view) const
{
    return folder(kViewsFolder, view.id) / kThumbnailFile;
}

std::filesystem::path CaptureStore::thumbnailFile(const SavedVideo& video) const
{
    return folder(kVideosFolder, video.id) / kThumbnailFile;
}

void CaptureStore::deleteView(const SavedView& view)
{
    if (isCaptureFolderName(view.id)) {
        std::error_code ignored;
        std::filesystem::remove_all(folder(kViewsFolder, view.id), ignored);
    }
    std::erase_if(views_, [&](const SavedView& kept) { return kept.id == view.id; });
    changed();
}

void CaptureStore::deleteVideo(const SavedVideo& video)
{
    if (isCaptureFolderName(video.id)) {
        std::error_code ignored;
        std::filesystem::remove_all(folder(kVideosFolder, video.id), ignored);
    }
    std::erase_if(videos_, [&](const SavedVideo& kept) { return kept.id == video.id; });
    changed();
}

std::optional<std::vector<std::byte>> CaptureStore::thumbnail(const platform::Image& image)
{
    if (image.width <= 0 || image.height <= 0)
        return std::nullopt;
    const int longer = std::max(image.width, image.height);
    if (longer <= kThumbnailMaxPixels)
        return platform::encodeJpeg(image, kThumbnailQuality);
    const double scale = double(kThumbnailMaxPixels) / longer;
    const int width = std::max(1, int(std::lround(image.width * scale)));
    const int height = std::max(1, int(std::lround(image.height * scale)));
    return platform::encodeJpeg(platform::downscale(image, width, height), kThumbnailQuality);
}

std::filesystem::path CaptureStore::folder(const char* kind, const std::string& id) const
{
    return root_ / kind / id;
}

void CaptureStore::changed()
{
    if (onChange)
        onChange();
}

} // namespace velorin
