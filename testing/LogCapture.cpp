#include "testing/LogCapture.h"

#include <gtest/gtest.h>

namespace testing_support {

LogCapture::LogCapture()
    : registration_(platform::Log::addSink([this](const platform::LogEntry& entry) {
        std::lock_guard lock(mutex_);
        entries_.push_back(entry);
    }))
{
}

LogCapture::~LogCapture()
{
    std::lock_guard lock(mutex_);
    for (const auto& entry : entries_) {
        if (entry.level < platform::LogLevel::warning)
            continue;
        bool announced = false;
        for (const auto& [category, fragment] : expected_)
            announced = announced || (entry.category == category && entry.message.find(fragment) != std::string::npos);
        if (!announced)
            ADD_FAILURE() << "unexpected log line [" << entry.category << "] " << entry.message;
    }
}

void LogCapture::expect(std::string_view category, std::string_view fragment)
{
    std::lock_guard lock(mutex_);
    expected_.emplace_back(category, fragment);
}

std::vector<platform::LogEntry> LogCapture::entries() const
{
    std::lock_guard lock(mutex_);
    return entries_;
}

bool LogCapture::contains(platform::LogLevel level, std::string_view category, std::string_view fragment) const
{
    std::lock_guard lock(mutex_);
    for (const auto& entry : entries_)
        if (entry.level == level && entry.category == category && entry.message.find(fragment) != std::string::npos)
            return true;
    return false;
}

} // namespace testing_support
