#include "update-plugin/SignedFile.h"

#include "platform/Base64.h"
#include "platform/Crypto.h"
#include "platform/MappedFile.h"

#include <fmt/format.h>

#include <unistd.h>

#include <cerrno>

namespace korrelvane {

namespace {

constexpr int kMaxNameAttempts = 100;

bool isSigned(const std::filesystem::path& file, std::span<const std::byte> publicKey, std::string_view signature)
{
    const auto bytes = platform::base64Decode(signature);
    const auto mapped = platform::MappedFile::open(file);
    return bytes && mapped && platform::verifyEd25519(publicKey, mapped->bytes(), *bytes);
}

// "velorin-0.2.tar.gz" → "velorin-0.2 (2).tar.gz"
std::string numbered(std::string_view name, int number)
{
    auto dot = name.rfind('.');
    if (dot != std::string_view::npos && dot >= 4 && name.substr(dot - 4, 4) == ".tar")
        dot -= 4;
    const auto stem = name.substr(0, dot);
    const auto extension = dot == std::string_view::npos ? std::string_view() : name.substr(dot);
    return fmt::format("{} ({}){}", stem, number, extension);
}

} // namespace

SignedFile SignedFile::keepIfSigned(const std::filesystem::path& part, const std::filesystem::path& folder,
    std::string_view name, std::span<const std::byte> publicKey, std::string_view signature)
{
    std::error_code error;
    if (!isSigned(part, publicKey, signature)) {
        std::filesystem::remove(part, error);
        return { Fate::tampered, {} };
    }
    {
        // A hard link fails rather than replace a file of that name, which a rename would do.
        for (int attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
            const auto target = folder / (attempt == 1 ? std::string(name) : numbered(name, attempt));
            if (::link(part.c_str(), target.c_str()) == 0) {
                std::filesystem::remove(part, error);
                return { Fate::kept, target };
            }
            if (errno != EEXIST)
                break;
        }
    }
    std::filesystem::remove(part, error);
    return { Fate::notSaved, {} };
}

std::string SignedFile::nameFromUrl(std::string_view url, std::string_view fallback)
{
    url = url.substr(0, url.find_first_of("?#"));
    const auto slash = url.rfind('/');
    std::string name(slash == std::string_view::npos ? url : url.substr(slash + 1));
    for (char& c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.'
            || c == '-' || c == '_';
        if (!plain)
            c = '_';
    }
    if (name.empty() || name.front() == '.')
        return std::string(fallback);
    return name;
}

} // namespace korrelvane
