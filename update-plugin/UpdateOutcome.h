#pragma once

#include "update-plugin/UpdateFeed.h"

#include <optional>
#include <string>

namespace korrelvane {

// How an update check ended, and the sentence that tells the user. Any thread.
struct UpdateOutcome {
    enum class Kind {
        // `item` is newer than the running version.
        available,
        upToDate,
        // The feed could not be reached.
        unreachable,
        // The feed answered something else than a feed: a status other than 200, bad JSON,
        // an oversized body.
        unexpected,
        // This computer has no update feed.
        notConfigured,
        // `item`'s file is in `file`, its signature checked.
        downloaded,
        // The downloaded file was not what the maker signed, and is gone.
        tampered,
        // The signed file could not be kept in the downloads folder.
        notSaved,
    };

    Kind kind = Kind::unexpected;
    // The running version.
    std::string currentVersion;
    std::optional<UpdateItem> item;
    // `item` has a signed download that this plug-in can check.
    bool downloadable = false;
    // The kept file, or the folder that could not take it.
    std::string file;

    std::string message() const;

    bool operator==(const UpdateOutcome&) const = default;
};

} // namespace korrelvane
