#pragma once

// The one QApplication of a widget test binary, made on first use on Qt's offscreen
// platform. Header-only: only tests that link Qt Widgets include it.

#include <QApplication>

namespace testing_support {

inline QApplication& application()
{
    static int argc = 1;
    static char name[] = "velorin-tests";
    static char* argv[] = { name, nullptr };
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: Qt's own clean-up at exit must not run after its statics are gone.
    static auto* app = new QApplication(argc, argv);
    return *app;
}

} // namespace testing_support
