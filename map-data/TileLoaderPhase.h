#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velorin {

// The stage of the TOP25 sheet preparation that the loader reports: downloading the
// sheet image with its byte counts, idle, or preparing before any byte count is known.
// A plain value; any thread.
struct TileLoaderPhase {
    enum class Kind { downloading, idle, preparing };

    Kind kind = Kind::idle;
    // Meaningful only while downloading; `expected` is below 1 when the server gave no size.
    std::int64_t received = 0;
    std::int64_t expected = 0;

    static TileLoaderPhase downloading(std::int64_t received, std::int64_t expected)
    {
        return { Kind::downloading, received, expected };
    }
    static TileLoaderPhase idle() { return {}; }
    static TileLoaderPhase preparing() { return { Kind::preparing, 0, 0 }; }

    // The French text shown for the phase: none while idle, "Préparation…",
    // "Téléchargement…" without a size, else "Téléchargement 1,5 / 10,0 Mo".
    std::optional<std::string> label() const;

    bool operator==(const TileLoaderPhase&) const = default;
};

} // namespace velorin
