#include "platform/Resources.h"

namespace platform {

std::optional<std::filesystem::path> installedDataFolder()
{
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return std::nullopt;
    auto installed = program.parent_path().parent_path() / "share" / "velorin";
    if (!std::filesystem::is_directory(installed, error))
        return std::nullopt;
    return installed;
}

std::filesystem::path resourcesFolder()
{
    const auto installed = installedDataFolder();
    return installed ? *installed / "resources" : std::filesystem::path(VELORIN_RESOURCES_DIR);
}

} // namespace platform
