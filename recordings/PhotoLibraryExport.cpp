#include "recordings/PhotoLibraryExport.h"

#include "platform/AtomicWrite.h"
#include "platform/Uuid.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>

namespace velorin {

namespace {

// Writes the whole source into a new hidden file of `folder`; its path, or nothing.
std::optional<std::filesystem::path> writeTemporary(const std::filesystem::path& file, const std::filesystem::path& folder)
{
    std::ifstream source(file, std::ios::binary);
    if (!source || std::filesystem::is_directory(file))
        return std::nullopt;
    // Made as any new file of the user's is (0666 less the umask, or the folder's default
    // ACL), since the copy is theirs to share; the unique name stands in for mkstemp's.
    const std::string pattern = (folder / (".velorin-export-" + platform::makeUuid())).string();
    const int descriptor = ::open(pattern.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor < 0)
        return std::nullopt;
    bool written = true;
    char buffer[1 << 16];
    while (written && source) {
        source.read(buffer, sizeof buffer);
        std::streamsize left = source.gcount();
        const char* from = buffer;
        while (written && left > 0) {
            const ssize_t done = ::write(descriptor, from, std::size_t(left));
            if (done < 0 && errno == EINTR)
                continue;
            if (done <= 0) {
                written = false;
                break;
            }
            from += done;
            left -= done;
        }
    }
    written = written && !source.bad() && ::fsync(descriptor) == 0;
    written = ::close(descriptor) == 0 && written;
    if (!written) {
        ::unlink(pattern.c_str());
        return std::nullopt;
    }
    return std::filesystem::path(pattern);
}

// Moves `from` to `to` unless `to` exists; errno tells why it did not.
bool moveWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the flag: a hard link refuses a taken name just the same.
    if (::link(from.c_str(), to.c_str()) != 0)
        return false;
    ::unlink(from.c_str());
    return true;
}

// `file` once its name survives a power cut; nothing, and the file gone, when its folder
// cannot be flushed.
std::optional<std::filesystem::path> flushedInPlace(const std::filesystem::path& file)
{
    try {
        platform::flushFolderOf(file);
    } catch (const std::filesystem::filesystem_error&) {
        ::unlink(file.c_str());
        return std::nullopt;
    }
    return file;
}

} // namespace

std::string PhotoLibraryExport::fileName(const std::string& name)
{
    std::string cleaned;
    for (unsigned char c : name)
        cleaned.push_back(c == '/' || c < 0x20 || c == 0x7f ? '-' : char(c));
    if (cleaned.size() > kMaxNameBytes) {
        std::size_t end = kMaxNameBytes;
        // Never cut inside a character.
        while (end > 0 && (static_cast<unsigned char>(cleaned[end]) & 0xC0) == 0x80)
            --end;
        cleaned.resize(end);
    }
    if (cleaned.empty() || cleaned == "." || cleaned == "..")
        cleaned = "Velorin";
    return cleaned;
}

std::optional<std::filesystem::path> PhotoLibraryExport::copy(const std::filesystem::path& file,
    const std::filesystem::path& folder, const std::string& name)
{
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error)
        return std::nullopt;
    const auto temporary = writeTemporary(file, folder);
    if (!temporary)
        return std::nullopt;
    const std::string base = fileName(name);
    const std::string extension = file.extension().string();
    for (int attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
        const std::string suffix = attempt == 1 ? std::string() : " (" + std::to_string(attempt) + ")";
        const auto target = folder / (base + suffix + extension);
        if (moveWithoutReplacing(*temporary, target))
            return flushedInPlace(target);
        if (errno != EEXIST)
            break;
    }
    ::unlink(temporary->c_str());
    return std::nullopt;
}

void saveToPhotos(const std::filesystem::path& file, bool isVideo, const std::string& name,
    const platform::Folders& folders, platform::Executor& worker, std::shared_ptr<platform::MainQueue> mainQueue,
    std::function<void(bool)> done)
{
    worker.post([file, folder = isVideo ? folders.videos : folders.pictures, name, mainQueue = std::move(mainQueue),
                    done = std::move(done)]() mutable {
        bool added = false;
        try {
            added = PhotoLibraryExport::copy(file, folder, name).has_value();
        } catch (const std::exception&) {
        }
        mainQueue->post([done = std::move(done), added] {
            if (done)
                done(added);
        });
    });
}

} // namespace velorin
