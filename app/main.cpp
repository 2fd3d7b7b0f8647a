#include "app/VelorinApp.h"
#include "canvas/qt/MapCanvasWidget.h"
#include "platform/Version.h"

#include <fmt/format.h>

#include <QSurfaceFormat>

#include <cstdlib>
#include <string_view>

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--version") {
            fmt::print("Velorin {}\n", platform::kVersion);
            return 0;
        }
    }
    // Without a display nothing is shown: a snapshot is drawn off screen.
    if (!velorin::VelorinApp::hasDisplay())
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Every context of the window shares the map's format.
    QSurfaceFormat::setDefaultFormat(velorin::MapCanvasWidget::surfaceFormat());
    velorin::VelorinApp app(argc, argv);
    return app.exec();
}
