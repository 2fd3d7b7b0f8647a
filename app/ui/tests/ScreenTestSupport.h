#pragma once

// Waiting for the map window: the window runs on the X display that scripts/test provides
// (Xvfb), where the map's OpenGL widget can make its context, while the model's main queue
// is drained by hand.

#include "platform/DrainableMainQueue.h"
#include "testing/TestApplication.h"

#include <QApplication>

#include <chrono>
#include <functional>

namespace testing_support {

// Runs Qt's event loop and the model's main queue until `done` holds or `seconds` pass;
// whether it held.
inline bool runUntil(platform::DrainableMainQueue& mainQueue, const std::function<bool()>& done, double seconds = 30)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        mainQueue.runOneWaiting(0.01);
        mainQueue.drain();
    }
    return true;
}

} // namespace testing_support
