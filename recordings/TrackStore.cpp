#include "recordings/TrackStore.h"

#include "platform/AtomicWrite.h"
#include "platform/Log.h"
#include "platform/MappedFile.h"
#include "platform/Uuid.h"
#include "recordings/JsonRecord.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

namespace velorin {

namespace fs = std::filesystem;

namespace {

std::string_view text(const platform::MappedFile& file)
{
    return {reinterpret_cast<const char*>(file.bytes().data()), file.size()};
}

bool isUpperCaseUuid(const std::string& name)
{
    return platform::isUuid(name) && std::none_of(name.begin(), name.end(), [](unsigned char c) { return std::islower(c); });
}

// Writes all of `bytes`, going on after interruptions and short writes.
bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// A system error as the walker reads it.
std::string reasonFor(int code)
{
    switch (code) {
    case ENOSPC:
    case EDQUOT:
        return "le disque est plein";
    case EFBIG:
        return "le fichier dépasse la taille permise";
    case EROFS:
        return "le disque est en lecture seule";
    case EACCES:
    case EPERM:
        return "accès refusé au dossier des trajets";
    case ENOENT:
        return "le dossier du trajet n'existe plus";
    case ENOTDIR:
    case EEXIST:
        return "un fichier occupe la place du dossier du trajet";
    case EIO:
        return "erreur du disque";
    default:
        return std::strerror(code);
    }
}

TrackStore::WriteFailure failureFor(int code)
{
    return {reasonFor(code), false};
}

} // namespace

TrackStore::TrackStore(fs::path root, Sync sync)
    : root_(std::move(root))
    , sync_(sync ? std::move(sync) : Sync([](int fd) { ::fdatasync(fd); }))
{
    std::error_code ignored;
    fs::create_directories(root_, ignored);
}

TrackStore::~TrackStore()
{
    for (const auto& [id, fd] : handles_)
        ::close(fd);
}

std::optional<fs::path> TrackStore::folder(const std::string& id) const
{
    if (!platform::isUuid(id))
        return std::nullopt;
    std::string name = id;
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return root_ / name;
}

std::optional<TrackMetadata> TrackStore::readMetadataIn(const fs::path& folder) const
{
    auto file = platform::MappedFile::open(folder / kMetadataFile);
    if (!file)
        return std::nullopt;
    return json_record::decode<TrackMetadata>(text(*file));
}

TrackMetadata TrackStore::create(const std::string& name, platform::SystemTime startedAt)
{
    TrackMetadata metadata{platform::makeUuid(), name, startedAt, std::nullopt};
    const fs::path folder = root_ / metadata.id;
    std::error_code ignored;
    fs::create_directories(folder, ignored);
    int fd = ::open((folder / kPointsFile).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0)
        ::close(fd);
    writeMetadata(metadata);
    return metadata;
}

std::optional<int> TrackStore::openForAppend(const fs::path& file)
{
    int fd = ::open(file.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    // A line torn by a crash or a full disk must not swallow the next point: it is ended
    // here, and the reader skips it alone.
    struct stat status {};
    char last = '\n';
    if (::fstat(fd, &status) != 0
        || (status.st_size > 0 && ::pread(fd, &last, 1, status.st_size - 1) != 1)
        || (last != '\n' && !writeAll(fd, "\n"))) {
        ::close(fd);
        return std::nullopt;
    }
    return fd;
}

std::optional<TrackStore::WriteFailure> TrackStore::append(const TrackPoint& point, const std::string& id)
{
    std::string line;
    try {
        line = json_record::encode(point) + '\n';
    } catch (const std::exception&) {
        return std::nullopt;
    }
    const auto trackFolder = folder(id);
    if (!trackFolder) {
        platform::Log::error(platform::logcat::tracks, "ouverture du fichier de points impossible");
        return failureFor(EINVAL);
    }
    const std::string key = trackFolder->filename().string();
    auto handle = handles_.find(key);
    if (handle != handles_.end()) {
        struct stat status {};
        if (::fstat(handle->second, &status) == 0 && status.st_nlink == 0) {
            close(key, false);
            return WriteFailure{reasonFor(ENOENT), true};
        }
    } else {
        auto fd = openForAppend(*trackFolder / kPointsFile);
        if (!fd) {
            const int code = errno;
            platform::Log::error(platform::logcat::tracks, "ouverture du fichier de points impossible");
            // A folder that is not there any more is made again with the whole track.
            return WriteFailure{reasonFor(code), code == ENOENT};
        }
        handle = handles_.emplace(key, *fd).first;
    }
    const int fd = handle->second;

    struct stat before {};
    const bool sized = ::fstat(fd, &before) == 0;
    if (!writeAll(fd, line)) {
        const int code = errno;
        platform::Log::error(platform::logcat::tracks, "écriture d'un point : {}", std::strerror(code));
        // Take back the part of the line that made it, so the next point starts a line of
        // its own; reopening checks the end again should this fail.
        if (sized) {
            [[maybe_unused]] const int truncated = ::ftruncate(fd, before.st_size);
        }
        close(key, false);
        return failureFor(code);
    }

    int& appends = appendsSinceSync_[key];
    if (++appends >= kSynchronizeEvery) {
        appends = 0;
        sync_(fd);
    }
    return std::nullopt;
}

std::optional<TrackStore::WriteFailure> TrackStore::writeTrack(const Track& track)
{
    const auto trackFolder = folder(track.metadata.id);
    if (!trackFolder)
        return failureFor(EINVAL);
    close(trackFolder->filename().string(), true);
    std::string lines;
    for (const TrackPoint& point : track.points) {
        try {
            lines += json_record::encode(point);
            lines += '\n';
        } catch (const std::exception&) {
        }
    }
    try {
        std::filesystem::create_directories(*trackFolder);
        platform::atomicWrite(*trackFolder / kPointsFile, lines);
        platform::atomicWrite(*trackFolder / kMetadataFile, json_record::encode(track.metadata));
    } catch (const fs::filesystem_error& error) {
        return failureFor(error.code().value());
    } catch (const std::exception&) {
        return failureFor(EIO);
    }
    return std::nullopt;
}

void TrackStore::close(const std::string& id, bool synchronize)
{
    if (auto handle = handles_.find(id); handle != handles_.end()) {
        if (synchronize)
            sync_(handle->second);
        ::close(handle->second);
        handles_.erase(handle);
    }
    appendsSinceSync_.erase(id);
}

std::optional<TrackStore::WriteFailure> TrackStore::finish(const std::string& id, platform::SystemTime endedAt)
{
    const auto trackFolder = folder(id);
    if (!trackFolder)
        return failureFor(EINVAL);
    close(trackFolder->filename().string(), true);
    auto metadata = readMetadataIn(*trackFolder);
    if (!metadata)
        return WriteFailure{reasonFor(ENOENT), true};
    metadata->endedAt = endedAt;
    try {
        platform::atomicWrite(*trackFolder / kMetadataFile, json_record::encode(*metadata));
    } catch (const fs::filesystem_error& error) {
        return failureFor(error.code().value());
    } catch (const std::exception&) {
        return failureFor(EIO);
    }
    return std::nullopt;
}

void TrackStore::writeMetadata(const TrackMetadata& metadata)
{
    const auto trackFolder = folder(metadata.id);
    // A track deleted meanwhile stays deleted: no folder is made again for it.
    std::error_code ignored;
    if (!trackFolder || !fs::is_directory(*trackFolder, ignored))
        return;
    try {
        platform::atomicWrite(*trackFolder / kMetadataFile, json_record::encode(metadata));
    } catch (const std::exception&) {
    }
}

bool TrackStore::writePoints(const std::vector<TrackPoint>& points, const std::string& id)
{
    const auto trackFolder = folder(id);
    std::error_code ignored;
    if (!trackFolder || !fs::is_directory(*trackFolder, ignored))
        return false;
    close(trackFolder->filename().string(), true);
    std::string lines;
    for (const TrackPoint& point : points) {
        try {
            lines += json_record::encode(point);
            lines += '\n';
        } catch (const std::exception&) {
        }
    }
    try {
        platform::atomicWrite(*trackFolder / kPointsFile, lines);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

std::vector<TrackPoint> TrackStore::readPoints(const std::string& id) const
{
    std::vector<TrackPoint> points;
    const auto trackFolder = folder(id);
    if (!trackFolder)
        return points;
    auto file = platform::MappedFile::open(*trackFolder / kPointsFile);
    if (!file)
        return points;
    std::string_view rest = text(*file);
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (line.empty())
            continue;
        if (auto point = decodeTrackPointLine(line))
            points.push_back(*point);
    }
    return points;
}

std::optional<TrackMetadata> TrackStore::readMetadata(const std::string& id) const
{
    const auto trackFolder = folder(id);
    if (!trackFolder)
        return std::nullopt;
    auto metadata = readMetadataIn(*trackFolder);
    if (!metadata || metadata->id != trackFolder->filename().string())
        return std::nullopt;
    return metadata;
}

std::optional<Track> TrackStore::readTrack(const std::string& id) const
{
    auto metadata = readMetadata(id);
    if (!metadata)
        return std::nullopt;
    return Track{*metadata, readPoints(id)};
}

std::vector<TrackMetadata> TrackStore::listMetadata() const
{
    std::vector<TrackMetadata> list;
    std::error_code error;
    for (fs::directory_iterator entry(root_, error), end; !error && entry != end; entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        // Only a folder whose name is its track's own id is a track: any other could be
        // listed and then missed by every operation on it.
        if (!isUpperCaseUuid(name))
            continue;
        if (auto metadata = readMetadataIn(entry->path()); metadata && metadata->id == name)
            list.push_back(std::move(*metadata));
    }
    std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.startedAt > b.startedAt; });
    return list;
}

void TrackStore::deleteTrack(const std::string& id)
{
    const auto trackFolder = folder(id);
    if (!trackFolder)
        return;
    close(trackFolder->filename().string(), false);
    std::error_code ignored;
    fs::remove_all(*trackFolder, ignored);
}

std::vector<std::string> TrackStore::repairUnfinished()
{
    std::vector<std::string> repaired;
    for (const TrackMetadata& metadata : listMetadata()) {
        if (metadata.endedAt)
            continue;
        const auto points = readPoints(metadata.id);
        finish(metadata.id, points.empty() ? metadata.startedAt : points.back().timestamp);
        repaired.push_back(metadata.id);
    }
    return repaired;
}

std::uint64_t TrackStore::diskSize() const
{
    std::uint64_t bytes = 0;
    std::error_code error;
    for (fs::recursive_directory_iterator entry(root_, fs::directory_options::skip_permission_denied, error), end;
         !error && entry != end; entry.increment(error)) {
        struct stat status {};
        if (::lstat(entry->path().c_str(), &status) == 0)
            bytes += static_cast<std::uint64_t>(status.st_blocks) * 512;
    }
    return bytes;
}

} // namespace velorin
