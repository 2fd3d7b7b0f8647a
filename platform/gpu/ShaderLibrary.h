#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace gpu {

// The GPU functions of the map by name. A function is the GLSL source of one stage, from
// its own `#version` line on, in "<folder>/<name>.glsl"; names are lower-case letters,
// digits and underscores ("textured_vertex"). A line `#include "<name>.glsl"` takes in a
// shared file of the same folder (one level). Immutable; any thread (it reads files).
class ShaderLibrary {
public:
    explicit ShaderLibrary(std::filesystem::path folder);

    // The installed "share/velorin/shaders" beside the program's "bin" folder when there
    // is one, else the repository's "shaders" folder (build tree and tests).
    static std::filesystem::path defaultFolder();

    // The function's source with its includes expanded, or nothing when the name is not a
    // function name, or its file or an included one is missing, unreadable or nests.
    std::optional<std::string> source(std::string_view name) const;

    const std::filesystem::path& folder() const { return folder_; }

private:
    std::optional<std::string> read(std::string_view name) const;

    std::filesystem::path folder_;
};

} // namespace gpu
