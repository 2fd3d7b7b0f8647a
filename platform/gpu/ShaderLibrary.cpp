#include "platform/gpu/ShaderLibrary.h"

#include "platform/Resources.h"

#include <algorithm>
#include <fstream>
#include <iterator>

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
    const auto installed = platform::installedDataFolder();
    return installed ? *installed / "shaders" : std::filesystem::path(VELORIN_SOURCE_SHADERS);
}

std::optional<std::string> ShaderLibrary::read(std::string_view name) const
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

std::optional<std::string> ShaderLibrary::source(std::string_view name) const
{
    auto text = read(name);
    if (!text)
        return std::nullopt;
    // Shared declarations come in through lines `#include "<name>.glsl"`, one level deep.
    constexpr std::string_view kPrefix = "#include \"";
    constexpr std::string_view kSuffix = ".glsl\"";
    std::string expanded;
    std::string_view rest = *text;
    while (!rest.empty()) {
        auto end = rest.find('\n');
        std::string_view line = rest.substr(0, end == std::string_view::npos ? rest.size() : end + 1);
        rest.remove_prefix(line.size());
        std::string_view body = line.substr(0, line.find_last_not_of("\r\n") + 1);
        if (!body.starts_with(kPrefix)) {
            expanded += line;
            continue;
        }
        if (!body.ends_with(kSuffix) || body.size() < kPrefix.size() + kSuffix.size())
            return std::nullopt;
        auto included = read(body.substr(kPrefix.size(), body.size() - kPrefix.size() - kSuffix.size()));
        if (!included || included->find(kPrefix) != std::string::npos)
            return std::nullopt;
        expanded += *included;
        if (!expanded.ends_with('\n'))
            expanded += '\n';
    }
    return expanded;
}

} // namespace gpu
