#pragma once

#include "app/AppModel.h"
#include "app/HeadlessSnapshot.h"
#include "canvas/MapCanvasView.h"

#include <QApplication>

#include <memory>

namespace velorin {

// The program: the Qt application in the dark appearance and the one `AppModel` of the
// process, built over the user's folders and preferences, the service hosts, the steady
// clock, Qt's event loop and network information, and the real GPU probe. Main thread.
class VelorinApp {
public:
    VelorinApp(int& argc, char** argv);
    ~VelorinApp();

    VelorinApp(const VelorinApp&) = delete;
    VelorinApp& operator=(const VelorinApp&) = delete;

    // Starts the model from the event loop and runs the loop; returns the exit status.
    // Until the map window exists the program ends once start-up has settled, saying
    // why when it failed, unless it was asked for a snapshot ("-startAt … -snapshotTo"),
    // which it renders off screen and writes before ending.
    int exec();

private:
    void startSnapshot();

    QApplication application_;
    // What the canvas needs of the model's environment, kept before the model takes it.
    MapCanvasView::Environment canvasEnvironment_;
    std::unique_ptr<AppModel> model_;
    // Declared after the model: the canvas borrows its services.
    std::unique_ptr<HeadlessSnapshot> snapshot_;
};

} // namespace velorin
