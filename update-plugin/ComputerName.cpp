#include "update-plugin/ComputerName.h"

#include <unistd.h>

#include <climits>
#include <fstream>
#include <optional>
#include <string_view>

namespace korrelvane {

namespace {

constexpr std::string_view kPrettyName = "PRETTY_HOSTNAME=";

// A shell word: "double quotes" with backslash escapes, 'single quotes' literal, bare text
// with backslash escapes. Nothing when a quote is left open.
std::optional<std::string> unquote(std::string_view text)
{
    std::string value;
    char quote = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote == '\'') {
            if (c == '\'')
                quote = 0;
            else
                value += c;
        } else if (c == '\\' && i + 1 < text.size()) {
            value += text[++i];
        } else if (quote == '"' && c == '"') {
            quote = 0;
        } else if (!quote && (c == '"' || c == '\'')) {
            quote = c;
        } else {
            value += c;
        }
    }
    if (quote)
        return std::nullopt;
    return value;
}

std::optional<std::string> prettyName(const std::filesystem::path& machineInfo)
{
    std::ifstream file(machineInfo);
    std::string line;
    std::optional<std::string> found;
    while (std::getline(file, line)) {
        if (line.starts_with(kPrettyName))
            found = unquote(std::string_view(line).substr(kPrettyName.size()));
    }
    if (found && found->empty())
        return std::nullopt;
    return found;
}

} // namespace

std::string computerName(const std::filesystem::path& machineInfo)
{
    if (auto pretty = prettyName(machineInfo))
        return *pretty;
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name) != 0)
        return {};
    name[HOST_NAME_MAX] = '\0';
    return name;
}

} // namespace korrelvane
