#include "recordings/PhotoLibrary.h"

#include <algorithm>
#include <cctype>
#include <dirent.h>
#include <string_view>

namespace velorin {

namespace {

bool isPhotoExtension(const std::filesystem::path& file)
{
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    for (std::string_view known : { ".jpg", ".jpeg", ".png", ".tif", ".tiff", ".webp" }) {
        if (extension == known)
            return true;
    }
    return false;
}

bool startsWithAny(const std::string& name, std::initializer_list<std::string_view> prefixes)
{
    return std::any_of(prefixes.begin(), prefixes.end(), [&](std::string_view prefix) { return name.starts_with(prefix); });
}

} // namespace

PhotoLibrary::PhotoLibrary(std::filesystem::path pictures)
    : pictures_(std::move(pictures))
{
}

bool PhotoLibrary::isReadable() const
{
    DIR* folder = ::opendir(pictures_.c_str());
    if (!folder)
        return false;
    ::closedir(folder);
    return true;
}

bool PhotoLibrary::isScreenshot(const std::filesystem::path& relative)
{
    // Both apostrophes: desktops write the typographic one.
    for (auto part = relative.begin(); part != relative.end(); ++part) {
        const std::string name = part->string();
        if (std::next(part) == relative.end())
            return startsWithAny(name, { "Screenshot", "Capture d'écran", "Capture d’écran" });
        if (name == "Screenshots" || name == "Captures d'écran" || name == "Captures d’écran")
            return true;
    }
    return false;
}

std::vector<PhotoLibrary::Asset> PhotoLibrary::assets(const std::atomic<bool>* cancelled) const
{
    std::vector<Asset> found;
    std::error_code error;
    std::filesystem::recursive_directory_iterator entries(
        pictures_, std::filesystem::directory_options::skip_permission_denied, error);
    for (const std::filesystem::recursive_directory_iterator end; !error && entries != end; entries.increment(error)) {
        if (cancelled && cancelled->load())
            break;
        const auto& entry = *entries;
        const std::string name = entry.path().filename().string();
        std::error_code status;
        if (name.starts_with('.')) {
            if (entry.is_directory(status))
                entries.disable_recursion_pending();
            continue;
        }
        if (entry.is_symlink(status))
            continue;
        if (entry.is_directory(status)) {
            if (entries.depth() >= kMaxDepth)
                entries.disable_recursion_pending();
            continue;
        }
        if (!entry.is_regular_file(status) || !isPhotoExtension(entry.path()))
            continue;
        const auto size = entry.file_size(status);
        const auto modified = entry.last_write_time(status);
        if (status)
            continue;
        const std::string id = entry.path().lexically_relative(pictures_).string();
        std::optional<PhotoExif> exif;
        bool known = false;
        {
            std::lock_guard lock(mutex_);
            const auto memo = memo_.find(id);
            if (memo != memo_.end() && memo->second.size == size && memo->second.modified == modified) {
                exif = memo->second.exif;
                known = true;
            }
        }
        if (!known) {
            exif = PhotoExif::read(entry.path());
            std::lock_guard lock(mutex_);
            memo_[id] = { size, modified, exif };
        }
        if (exif)
            found.push_back({ id, exif->date, exif->location, isScreenshot(id) });
    }
    std::sort(found.begin(), found.end(), [](const Asset& a, const Asset& b) {
        return a.date != b.date ? a.date < b.date : a.id < b.id;
    });
    return found;
}

} // namespace velorin
