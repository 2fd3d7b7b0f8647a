#pragma once

#include "app/AppModel.h"
#include "app/HeadlessRun.h"
#include "app/LaunchMode.h"
#include "app/SingleInstance.h"
#include "app/ui/RootView.h"
#include "canvas/MapCanvasView.h"

#include <QApplication>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velorin {

// The program: the Qt application in the dark appearance, the one `AppModel` of the
// process, built over the user's folders and preferences, the service hosts, the steady
// clock, Qt's event loop and network information, and the real GPU probe, and the window
// that shows it. One runs per user: a later start hands its arguments to the first and
// ends, before it reads any track or video; only a scripted run ("-snapshotTo",
// "-filmTo") runs beside the first, and leaves the tracks and videos as it found them.
// Main thread.
class VelorinApp {
public:
    static constexpr int kWindowWidthPoints = 1280;
    static constexpr int kWindowHeightPoints = 800;

    VelorinApp(int& argc, char** argv);
    ~VelorinApp();

    VelorinApp(const VelorinApp&) = delete;
    VelorinApp& operator=(const VelorinApp&) = delete;

    // Starts the model from the event loop and runs the loop; returns the exit status. A
    // start that handed its arguments to the first ends at once with 0, or with 1 when the
    // first did not answer.
    // With a display it opens the map window, whose view a "-startAt … -snapshotTo" run
    // writes and whose flights a "-filmTo" run films. Without one, asked for a snapshot or a
    // film, it renders the map off screen and ends once the file is written (a film once
    // its writer has closed), or at once saying why start-up failed.
    int exec();

    // Whether the process may open windows: an X11 or Wayland display is named.
    static bool hasDisplay();

private:
    void startRun();
    void openWindow();
    // The first window comes to the front and acts on a later start's arguments.
    void handOver(const std::vector<std::string>& arguments);

    QApplication application_;
    LaunchMode mode_ = LaunchMode::refused;
    // Set when this start ends before running: it handed over, or could not.
    std::optional<int> exitStatus_;
    // Held for the life of a window, so that later starts find it.
    std::unique_ptr<SingleInstance> instance_;
    // What the canvas needs of the model's environment, kept before the model takes it.
    MapCanvasView::Environment canvasEnvironment_;
    std::unique_ptr<AppModel> model_;
    // Declared after the model: the canvas borrows its services.
    std::unique_ptr<HeadlessRun> run_;
    // Declared after the model, which it shows.
    std::unique_ptr<RootView> window_;
};

} // namespace velorin
