#pragma once

#include <filesystem>
#include <optional>

namespace platform {

// The installed "share/velorin" beside the program's "bin" folder, when there is one: nothing
// in a build tree. Any thread.
std::optional<std::filesystem::path> installedDataFolder();

// The folder of the program's run-time files (the France outline, the logo): "resources" of
// the installed data folder, else the repository's "resources" (build tree and tests).
std::filesystem::path resourcesFolder();

} // namespace platform
