#include "platform/Log.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace platform {

namespace {

struct Sinks {
    std::mutex mutex;
    std::vector<std::pair<int, Log::Sink>> installed;
    int nextId = 1;
};

Sinks& sinks()
{
    static Sinks instance;
    return instance;
}

std::string_view levelName(LogLevel level)
{
    switch (level) {
    case LogLevel::debug: return "debug";
    case LogLevel::info: return "info";
    case LogLevel::warning: return "warning";
    case LogLevel::error: return "error";
    }
    return "";
}

bool debugWanted()
{
    static const bool wanted = std::getenv("VELORIN_LOG_DEBUG") != nullptr;
    return wanted;
}

} // namespace

Log::SinkRegistration::~SinkRegistration()
{
    auto& all = sinks();
    std::lock_guard lock(all.mutex);
    std::erase_if(all.installed, [this](const auto& entry) { return entry.first == id_; });
}

Log::SinkRegistration Log::addSink(Sink sink)
{
    auto& all = sinks();
    std::lock_guard lock(all.mutex);
    int id = all.nextId++;
    all.installed.emplace_back(id, std::move(sink));
    return SinkRegistration(id);
}

void Log::write(LogLevel level, std::string_view category, std::string message)
{
    LogEntry entry{level, std::string(category), std::move(message)};
    auto& all = sinks();
    // Sinks are called under the lock so that one being removed is never called after.
    std::lock_guard lock(all.mutex);
    if (!all.installed.empty()) {
        for (const auto& [id, sink] : all.installed)
            sink(entry);
        return;
    }
    if (level == LogLevel::debug && !debugWanted())
        return;
    fmt::print(stderr, "{} [{}] {}: {}\n", kSubsystem, entry.category, levelName(level), entry.message);
}

} // namespace platform
