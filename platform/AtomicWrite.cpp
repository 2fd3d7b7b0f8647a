#include "platform/AtomicWrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

namespace platform {

namespace {

[[noreturn]] void fail(const char* what, const std::filesystem::path& path, int error)
{
    throw std::filesystem::filesystem_error(what, path, std::error_code(error, std::generic_category()));
}

} // namespace

// A folder's entries reach the disk only when the folder itself is flushed. File
// systems that cannot flush a folder say EINVAL; their renames are as safe as they get.
void flushFolderOf(const std::filesystem::path& path)
{
    std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        fail("cannot open folder", path, errno);
    int result = ::fsync(fd);
    int error = errno;
    ::close(fd);
    if (result != 0 && error != EINVAL)
        fail("cannot flush folder", path, error);
}

void flushFile(const std::filesystem::path& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        fail("cannot open", path, errno);
    int result = ::fsync(fd);
    int error = errno;
    ::close(fd);
    if (result != 0)
        fail("cannot flush", path, error);
}

void atomicWrite(const std::filesystem::path& path, std::span<const std::byte> bytes, std::filesystem::perms permissions)
{
    std::error_code ignored;
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path(), ignored);

    std::string temporary = path.string() + ".XXXXXX";
    int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        fail("cannot create temporary file", path, errno);

    auto abandon = [&](const char* what) {
        int error = errno;
        ::close(fd);
        ::unlink(temporary.c_str());
        fail(what, path, error);
    };

    const std::byte* cursor = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t written = ::write(fd, cursor, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            abandon("cannot write");
        }
        cursor += written;
        left -= static_cast<std::size_t>(written);
    }
    // mkstemp makes 0600 files; the caller says who may read this one.
    if (::fchmod(fd, static_cast<mode_t>(permissions & std::filesystem::perms::mask)) != 0 || ::fsync(fd) != 0)
        abandon("cannot flush");
    if (::close(fd) != 0) {
        int error = errno;
        ::unlink(temporary.c_str());
        fail("cannot close", path, error);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        int error = errno;
        ::unlink(temporary.c_str());
        fail("cannot rename", path, error);
    }
    flushFolderOf(path);
}

void atomicWrite(const std::filesystem::path& path, std::string_view text, std::filesystem::perms permissions)
{
    atomicWrite(path, std::as_bytes(std::span(text.data(), text.size())), permissions);
}

} // namespace platform
