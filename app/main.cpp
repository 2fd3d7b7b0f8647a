#include "app/VelorinApp.h"
#include "platform/Version.h"

#include <fmt/format.h>

#include <cstdlib>
#include <string_view>

int main(int argc, char** argv)
{
    bool snapshot = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--version") {
            fmt::print("Velorin {}\n", platform::kVersion);
            return 0;
        }
        snapshot = snapshot || std::string_view(argv[i]) == "-snapshotTo";
    }
    // A snapshot is drawn off screen: it needs no display, and runs where there is none.
    if (snapshot && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    velorin::VelorinApp app(argc, argv);
    return app.exec();
}
