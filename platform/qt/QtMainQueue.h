#pragma once

#include "platform/MainQueue.h"

#include <QObject>

#include <memory>

namespace platform {

// The main queue of the application: blocks posted from any thread run one at a time,
// in order, on the thread of Qt's event loop. Make it on the GUI thread once the Qt
// application exists, and keep it as long as anyone may post; blocks still queued when
// it goes are dropped.
class QtMainQueue final : public MainQueue {
public:
    QtMainQueue();
    ~QtMainQueue() override;

    void post(Task task) override;
    bool isMainThread() const override;

private:
    // Receives the queued calls on the GUI thread.
    std::unique_ptr<QObject> receiver_;
};

} // namespace platform
