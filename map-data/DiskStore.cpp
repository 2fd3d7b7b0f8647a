#include "map-data/DiskStore.h"

#include "platform/AtomicWrite.h"
#include "platform/Folders.h"
#include "platform/Log.h"

#include <sys/stat.h>

#include <system_error>
#include <utility>

namespace velorin {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kQueueName = "com.vask.velorin.diskstore";
// st_blocks counts 512-byte units whatever the file system's block size.
constexpr std::uintmax_t kStatBlockBytes = 512;
constexpr std::string_view kRejectedKey = "clé refusée";

fs::path defaultCacheRoot() { return platform::Folders::fromEnvironment().tiles(); }
fs::path defaultOfflineRoot() { return platform::Folders::fromEnvironment().offline(); }

} // namespace

DiskStore::DiskStore(std::optional<fs::path> cacheRoot, std::optional<fs::path> offlineRoot)
    : cacheRoot_(cacheRoot ? std::move(*cacheRoot) : defaultCacheRoot())
    , offlineRoot_(offlineRoot ? std::move(*offlineRoot) : defaultOfflineRoot())
    , ioQueue_(std::string(kQueueName))
{
    try {
        createRoots();
    } catch (const fs::filesystem_error&) {
        // A store whose roots cannot be made reads nothing; each write says why it failed.
    }
}

DiskStore::~DiskStore() = default;

bool DiskStore::isValidKey(std::string_view key)
{
    if (key.empty() || key.find('\0') != std::string_view::npos)
        return false;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = key.find('/', start);
        std::string_view component = key.substr(start, end == std::string_view::npos ? end : end - start);
        if (component.empty() || component == "." || component == "..")
            return false;
        if (end == std::string_view::npos)
            return true;
        start = end + 1;
    }
}

std::optional<platform::MappedFile> DiskStore::read(std::string_view key) const
{
    if (!isValidKey(key))
        return std::nullopt;
    if (auto file = platform::MappedFile::open(offlineRoot_ / key))
        return file;
    return platform::MappedFile::open(cacheRoot_ / key);
}

void DiskStore::write(std::vector<std::byte> data, std::string key, bool offline)
{
    if (!isValidKey(key)) {
        platform::Log::error(platform::logcat::diskStore, "écriture {} : {}", key, kRejectedKey);
        return;
    }
    // The block holds copies of what it needs, never the store: it may run while the
    // store is being destroyed.
    ioQueue_.async([root = offline ? offlineRoot_ : cacheRoot_, data = std::move(data), key = std::move(key)] {
        try {
            platform::atomicWrite(root / key, data);
        } catch (const fs::filesystem_error& error) {
            platform::Log::error(platform::logcat::diskStore, "écriture {} : {}", key, error.code().message());
        }
    });
}

void DiskStore::writeNow(std::span<const std::byte> data, std::string_view key, bool offline)
{
    if (!isValidKey(key))
        throw fs::filesystem_error(std::string(kRejectedKey), fs::path(std::string(key)),
            std::make_error_code(std::errc::invalid_argument));
    platform::atomicWrite((offline ? offlineRoot_ : cacheRoot_) / key, data);
}

void DiskStore::removeCached(std::string key)
{
    if (!isValidKey(key)) {
        platform::Log::error(platform::logcat::diskStore, "suppression {} : {}", key, kRejectedKey);
        return;
    }
    ioQueue_.async([root = cacheRoot_, key = std::move(key)] {
        std::error_code error;
        fs::remove(root / key, error);
        if (error)
            platform::Log::error(platform::logcat::diskStore, "suppression {} : {}", key, error.message());
    });
}

bool DiskStore::exists(std::string_view key) const
{
    if (!isValidKey(key))
        return false;
    std::error_code error;
    return fs::is_regular_file(offlineRoot_ / key, error) || fs::is_regular_file(cacheRoot_ / key, error);
}

bool DiskStore::directoryExists(std::string_view key) const
{
    if (!isValidKey(key))
        return false;
    std::error_code error;
    return fs::is_directory(offlineRoot_ / key, error) || fs::is_directory(cacheRoot_ / key, error);
}

void DiskStore::clearCache()
{
    // On the store's queue, so that a write asked for before the clearing cannot bring a
    // file back afterwards.
    ioQueue_.sync([this] {
        fs::remove_all(cacheRoot_);
        createRoots();
    });
}

void DiskStore::createRoots() const
{
    fs::create_directories(cacheRoot_);
    fs::create_directories(offlineRoot_);
}

std::uintmax_t DiskStore::allocatedSize(const fs::path& folder)
{
    std::uintmax_t total = 0;
    std::error_code error;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        struct stat info {};
        if (::lstat(it->path().c_str(), &info) == 0 && S_ISREG(info.st_mode))
            total += std::uintmax_t(info.st_blocks) * kStatBlockBytes;
    }
    return total;
}

} // namespace velorin
