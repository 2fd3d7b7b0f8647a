#include "platform/Folders.h"

#include <cstdlib>

namespace platform {

namespace {

// The XDG rule: an unset, empty or relative variable is ignored.
std::filesystem::path xdgBase(const char* variable, const char* fallbackUnderHome)
{
    if (const char* value = std::getenv(variable); value && *value) {
        std::filesystem::path path(value);
        if (path.is_absolute())
            return path;
    }
    const char* home = std::getenv("HOME");
    std::filesystem::path base = home && *home ? std::filesystem::path(home) : std::filesystem::temp_directory_path();
    return base / fallbackUnderHome;
}

} // namespace

Folders Folders::fromEnvironment()
{
    return {
        xdgBase("XDG_DATA_HOME", ".local/share") / "Velorin",
        xdgBase("XDG_CACHE_HOME", ".cache") / "Velorin",
        xdgBase("XDG_CONFIG_HOME", ".config") / "Velorin",
    };
}

Folders Folders::under(const std::filesystem::path& root)
{
    return {root / "data" / "Velorin", root / "cache" / "Velorin", root / "config" / "Velorin"};
}

} // namespace platform
