#include "platform/Folders.h"

#include <cstdlib>
#include <fstream>
#include <string>

namespace platform {

namespace {

std::filesystem::path home()
{
    const char* home = std::getenv("HOME");
    return home && *home ? std::filesystem::path(home) : std::filesystem::temp_directory_path();
}

// The XDG rule: an unset, empty or relative variable is ignored.
std::filesystem::path xdgBase(const char* variable, const char* fallbackUnderHome)
{
    if (const char* value = std::getenv(variable); value && *value) {
        std::filesystem::path path(value);
        if (path.is_absolute())
            return path;
    }
    return home() / fallbackUnderHome;
}

// A user folder as user-dirs.dirs names it: `NAME="$HOME/Folder"` or `NAME="/absolute"`,
// the last line for the name winning; else ~/fallback.
std::filesystem::path userDir(const std::filesystem::path& userDirs, const std::string& name, const char* fallback)
{
    std::filesystem::path found = home() / fallback;
    std::ifstream file(userDirs);
    std::string line;
    const std::string prefix = name + "=\"";
    while (std::getline(file, line)) {
        if (!line.starts_with(prefix) || line.size() < prefix.size() + 1 || line.back() != '"')
            continue;
        std::string value = line.substr(prefix.size(), line.size() - prefix.size() - 1);
        if (value.starts_with("$HOME/"))
            found = home() / value.substr(6);
        else if (value.starts_with('/'))
            found = value;
    }
    return found;
}

} // namespace

Folders Folders::fromEnvironment()
{
    const auto config = xdgBase("XDG_CONFIG_HOME", ".config");
    return {
        xdgBase("XDG_DATA_HOME", ".local/share") / "Velorin",
        xdgBase("XDG_CACHE_HOME", ".cache") / "Velorin",
        config / "Velorin",
        userDir(config / "user-dirs.dirs", "XDG_PICTURES_DIR", "Pictures"),
        userDir(config / "user-dirs.dirs", "XDG_VIDEOS_DIR", "Videos"),
    };
}

Folders Folders::under(const std::filesystem::path& root)
{
    return {root / "data" / "Velorin", root / "cache" / "Velorin", root / "config" / "Velorin", root / "Pictures",
        root / "Videos"};
}

} // namespace platform
