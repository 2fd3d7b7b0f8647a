#include "canvas/MapCanvasView.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>

namespace velorin {

void MapCanvasView::keysPressed(std::string_view characters, const std::vector<std::string>& names)
{
    if (film_)
        return;
    writeJournal(fmt::format("touche {} {} {}", characters, fmt::join(names, " "), modifierSymbols(heldModifiers_)));
    // A repeated press of keys already held (auto-repeat) neither restarts nor interrupts.
    bool anyNew = false;
    for (const std::string& name : names) {
        if (std::find(heldKeys_.begin(), heldKeys_.end(), name) == heldKeys_.end()) {
            heldKeys_.push_back(name);
            anyNew = true;
        }
    }
    if (!anyNew)
        return;
    if (onTouch)
        onTouch();
    endFlight();
    stopAnimations();
    if (onUserInteraction)
        onUserInteraction();
    awaitingInitialLocation_ = false;
    animation_.reset();
    gaze_.reset();
    inertia_ = {};
    const bool turns = std::any_of(names.begin(), names.end(), [](const std::string& name) { return name == "q" || name == "d"; });
    // The application is told on every turning key, since it may keep following the
    // heading where the canvas does not.
    if (turns) {
        isCompassFollowing_ = false;
        if (onCompassFollowingInterrupted)
            onCompassFollowingInterrupted();
    }
    startDisplayLink();
}

void MapCanvasView::keysReleased(const std::vector<std::string>& names, bool cancelled)
{
    if (film_)
        return;
    if (names.empty() || heldKeys_.empty())
        return;
    for (const std::string& name : names)
        std::erase(heldKeys_, name);
    if (heldKeys_.empty() && !cancelled && onCameraChanged)
        onCameraChanged(renderer_->camera);
}

void MapCanvasView::focusLost()
{
    heldKeys_.clear();
    forgetModifiers();
}

} // namespace velorin
