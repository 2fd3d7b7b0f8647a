#pragma once

// The screens run in a Qt application on the X display that scripts/test provides
// (Xvfb), where the map's OpenGL widget can make its context; without a display they run
// on Qt's offscreen platform and the tests that need the map skip.

#include "platform/DrainableMainQueue.h"

#include <QApplication>

#include <chrono>
#include <cstdlib>
#include <functional>

namespace testing_support {

inline bool hasDisplay()
{
    return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
}

inline QApplication& screenApplication()
{
    static int argc = 1;
    static char name[] = "velorin-tests";
    static char* argv[] = {name, nullptr};
    if (!hasDisplay())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: Qt's own clean-up at exit must not run after its statics are gone.
    static auto* app = new QApplication(argc, argv);
    return *app;
}

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
