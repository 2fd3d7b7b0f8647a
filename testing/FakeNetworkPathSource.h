#pragma once

#include "platform/NetworkPathSource.h"

#include <memory>
#include <mutex>
#include <thread>

namespace testing_support {

// A network path source that reports what the test tells it, from a thread of its own as
// the system's monitor would. The test keeps a `Control` to report after handing the
// source to its owner. Thread-safe.
class FakeNetworkPathSource final : public platform::NetworkPathSource {
public:
    class Control {
    public:
        // Reports the path on a new thread and waits until the handler has returned.
        // Does nothing once the source is gone or before it was started.
        void report(platform::NetworkPath path)
        {
            std::thread([this, path] {
                std::lock_guard lock(mutex_);
                if (handler_)
                    handler_(path);
            }).join();
        }
        bool isStarted() const
        {
            std::lock_guard lock(mutex_);
            return bool(handler_);
        }

    private:
        friend class FakeNetworkPathSource;
        mutable std::mutex mutex_;
        Handler handler_;
    };

    FakeNetworkPathSource()
        : control_(std::make_shared<Control>())
    {
    }
    ~FakeNetworkPathSource() override
    {
        std::lock_guard lock(control_->mutex_);
        control_->handler_ = nullptr;
    }

    void start(Handler handler) override
    {
        std::lock_guard lock(control_->mutex_);
        control_->handler_ = std::move(handler);
    }

    const std::shared_ptr<Control>& control() const { return control_; }

private:
    std::shared_ptr<Control> control_;
};

} // namespace testing_support
