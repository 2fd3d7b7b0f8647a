#pragma once

#include "platform/Log.h"

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

// Captures the log while it lives. Warnings and errors that the test did not announce
// with `expect` fail the test when the capture ends: silent failures are how tile
// engines rot. Thread-safe.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();

    // Allows warnings and errors of `category` whose message contains `fragment`.
    void expect(std::string_view category, std::string_view fragment);

    std::vector<platform::LogEntry> entries() const;
    bool contains(platform::LogLevel level, std::string_view category, std::string_view fragment) const;

private:
    mutable std::mutex mutex_;
    std::vector<platform::LogEntry> entries_;
    std::vector<std::pair<std::string, std::string>> expected_;
    platform::Log::SinkRegistration registration_;
};

} // namespace testing_support
