#pragma once

#include <cstddef>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace korrelvane {

// What became of a downloaded file once checked against the maker's Ed25519 key: kept under
// a free name of its folder (nothing already there is replaced), or deleted. Any thread;
// the disk work belongs off the GUI thread.
struct SignedFile {
    enum class Fate {
        kept,
        // The signature does not cover these bytes: deleted.
        tampered,
        // Signed, but no name could be taken in the folder: deleted.
        notSaved,
    };

    Fate fate = Fate::notSaved;
    // Where it was kept.
    std::filesystem::path file;

    // Checks `part` against `signature` (Base64) and either renames it to `name` in `folder`
    // ("name (2)" and so on when taken) or deletes it.
    static SignedFile keepIfSigned(const std::filesystem::path& part, const std::filesystem::path& folder,
        std::string_view name, std::span<const std::byte> publicKey, std::string_view signature);

    // The file name that a download's address ends with, made safe; `fallback` when it has none.
    static std::string nameFromUrl(std::string_view url, std::string_view fallback);
};

} // namespace korrelvane
