#pragma once

// The one QApplication of a widget test binary, made on first use. Header-only: only tests
// that link Qt Widgets include it.

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>

#include <cstdlib>
#include <optional>

namespace testing_support {

// Whether an X11 or Wayland display is named, as under scripts/test's Xvfb.
inline bool hasDisplay()
{
    return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
}

// On Qt's offscreen platform, or on the display when `onDisplay` and there is one: the
// map's OpenGL widget needs a display's context, which the offscreen platform cannot make.
inline QApplication& application(bool onDisplay = false)
{
    static int argc = 1;
    static char name[] = "velorin-tests";
    static char* argv[] = { name, nullptr };
    if (!onDisplay || !hasDisplay())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: Qt's own clean-up at exit must not run after its statics are gone.
    static auto* app = new QApplication(argc, argv);
    return *app;
}

// A font of this machine whose digits differ in width, as most desktops' interface fonts
// do (the tests' default font has digits of one width); none when every font has.
inline std::optional<QFont> proportionalDigitsFont()
{
    for (const QString& family : QFontDatabase::families()) {
        QFont font(family);
        font.setPixelSize(14);
        const QFontMetricsF metrics(font);
        if (metrics.horizontalAdvance(QChar('1')) < metrics.horizontalAdvance(QChar('8')) - 0.5)
            return font;
    }
    return std::nullopt;
}

} // namespace testing_support
