#pragma once

#include <filesystem>

namespace platform {

// Where Velorin keeps its files: user data (tracks, captures, offline maps, place
// databases), caches (tiles, the gesture journal) and configuration. Immutable value.
struct Folders {
    std::filesystem::path data;   // $XDG_DATA_HOME/Velorin
    std::filesystem::path cache;  // $XDG_CACHE_HOME/Velorin
    std::filesystem::path config; // $XDG_CONFIG_HOME/Velorin
    // The user's own folders, where captures are exported: XDG_PICTURES_DIR and
    // XDG_VIDEOS_DIR of user-dirs.dirs, else ~/Pictures and ~/Videos. Not created here.
    std::filesystem::path pictures = {};
    std::filesystem::path videos = {};

    // From the XDG variables, falling back to ~/.local/share, ~/.cache and ~/.config.
    static Folders fromEnvironment();
    // All of them under one folder, for tests.
    static Folders under(const std::filesystem::path& root);

    std::filesystem::path tracks() const { return data / "VelorinTracks"; }
    std::filesystem::path captures() const { return data / "VelorinCaptures"; }
    std::filesystem::path offline() const { return data / "VelorinOffline"; }
    std::filesystem::path places() const { return data / "Places"; }
    std::filesystem::path tiles() const { return cache / "VelorinTiles"; }
    std::filesystem::path gestureJournal() const { return cache / "VelorinGestes.log"; }
    std::filesystem::path defaults() const { return config / "defaults.json"; }

    bool operator==(const Folders&) const = default;
};

} // namespace platform
