#include "platform/gpu/ShaderLibrary.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <system_error>

namespace gpu {

namespace {

bool isFunctionName(std::string_view name)
{
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    });
}

} // namespace

ShaderLibrary::ShaderLibrary(std::filesystem::path folder)
    : folder_(std::move(folder))
{
}

std::filesystem::path ShaderLibrary::defaultFolder()
{
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        const auto installed = program.parent_path().parent_path() / "share" / "velorin" / "shaders";
        if (std::filesystem::is_directory(installed, error))
            return installed;
    }
    return VELORIN_SOURCE_SHADERS;
}

std::optional<std::string> ShaderLibrary::source(std::string_view name) const
{
    if (!isFunctionName(name))
        return std::nullopt;
    std::ifstream file(folder_ / (std::string(name) + ".glsl"), std::ios::binary);
    if (!file)
        return std::nullopt;
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad())
        return std::nullopt;
    return text;
}

} // namespace gpu
