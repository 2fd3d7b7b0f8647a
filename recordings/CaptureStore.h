#pragma once

#include "map-data/Basemap.h"
#include "platform/Image.h"
#include "recordings/SavedVideo.h"
#include "recordings/SavedView.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velorin {

// Keeps the user's saved views (a picture of the map with the camera that made it) and
// saved videos (a recorded camera flight, later turned into a film), one folder each under
// "views/<UUID>/" and "videos/<UUID>/" with a "meta.json". The lists are read once, when the
// store is made, newest first; afterwards only this store changes them. No operation throws
// or reports: a failed save leaves no folder and changes no list. GUI thread only; the
// listing decodes the folders on a pool of its own, gone before the constructor returns.
class CaptureStore {
public:
    static constexpr const char* kViewsFolder = "views";
    static constexpr const char* kVideosFolder = "videos";
    static constexpr const char* kMetadataFile = "meta.json";
    static constexpr const char* kPhotoFile = "photo.jpg";
    static constexpr const char* kThumbnailFile = "thumb.jpg";
    static constexpr double kPhotoQuality = 0.92;
    static constexpr double kThumbnailQuality = 0.8;
    // The longer side of a thumbnail at most; smaller images keep their size.
    static constexpr int kThumbnailMaxPixels = 240;
    // The oldest videos go beyond this many.
    static constexpr std::size_t kMaxVideos = 50;

    using Now = std::function<platform::SystemTime()>;

    // Lists the captures under `root` (normally Folders::captures()), which it does not
    // create; `now` dates new captures, the system clock when empty. Without `trimsVideos`
    // no saved video is ever deleted for a new one: a run beside the window leaves the
    // window's videos alone.
    explicit CaptureStore(std::filesystem::path root, Now now = {}, bool trimsVideos = true);

    const std::filesystem::path& root() const { return root_; }
    const std::vector<SavedView>& views() const { return views_; }
    const std::vector<SavedVideo>& videos() const { return videos_; }
    // After each change of either list.
    std::function<void()> onChange;

    // Writes "photo.jpg", "thumb.jpg" (when one can be made) and "meta.json" into a new
    // folder; nothing when any of it fails, the pose holding a number that is not finite
    // included.
    std::optional<SavedView> saveView(const std::string& name, Basemap basemap, const CameraPose& pose,
        const platform::Image& image);
    // The same for a recorded flight, its thumbnail made from `image` when given; then,
    // when the store trims, the oldest videos beyond kMaxVideos are deleted, films included.
    void saveVideo(const std::string& name, Basemap basemap, std::vector<CameraPose> poses, double frameRate,
        const std::optional<platform::Image>& image);
    // Where the video's film belongs, 1080 lines high or 720. Creates and checks nothing.
    std::filesystem::path filmURL(const std::string& id, bool hd) const;
    std::filesystem::path photoFile(const SavedView& view) const;
    std::filesystem::path thumbnailFile(const SavedView& view) const;
    std::filesystem::path thumbnailFile(const SavedVideo& video) const;
    // Removes the capture's folder with all it holds (a failure is ignored) and every list
    // entry with its id.
    void deleteView(const SavedView& view);
    void deleteVideo(const SavedVideo& video);

    // A JPEG of the image scaled down to kThumbnailMaxPixels on its longer side; nothing
    // for an empty image or a failed encoding. Any thread.
    static std::optional<std::vector<std::byte>> thumbnail(const platform::Image& image);

private:
    std::filesystem::path folder(const char* kind, const std::string& id) const;
    // Writes the thumbnail when one can be made, then meta.json; on any failure removes the
    // folder and answers false.
    bool writeCapture(const std::filesystem::path& folder, const std::optional<platform::Image>& image,
        const std::string& metadata, const std::optional<std::vector<std::byte>>& photo);
    void changed();

    std::filesystem::path root_;
    Now now_;
    bool trimsVideos_;
    std::vector<SavedView> views_;
    std::vector<SavedVideo> videos_;
};

} // namespace velorin
