#pragma once

#include "update-plugin/UpdateOutcome.h"

#include <cstdint>
#include <functional>

namespace korrelvane {

// What the user sees of update checks: the plug-in's dialogs. GUI thread only.
class UpdatePresenter {
public:
    virtual ~UpdatePresenter() = default;

    // A check starts.
    virtual void showChecking() = 0;
    // The user asks again while a check runs: its dialog comes to the front.
    virtual void raise() = 0;
    virtual void show(const UpdateOutcome& outcome) = 0;
    // The download of a new version goes on; `expected` is -1 while unknown.
    virtual void showDownloading(std::int64_t received, std::int64_t expected) = 0;

    // Set by the plug-in: downloads the item of a `downloadable` outcome.
    std::function<void(const UpdateItem&)> download;
};

} // namespace korrelvane
