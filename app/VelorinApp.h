#pragma once

#include "app/AppModel.h"

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
    // why when it failed.
    int exec();

private:
    QApplication application_;
    std::unique_ptr<AppModel> model_;
};

} // namespace velorin
