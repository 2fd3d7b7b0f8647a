#pragma once

#include <fmt/format.h>

#include <functional>
#include <string>
#include <string_view>

namespace platform {

enum class LogLevel { debug, info, warning, error };

struct LogEntry {
    LogLevel level;
    std::string category;
    std::string message;

    bool operator==(const LogEntry&) const = default;
};

// The unified log under the subsystem "com.vask.velorin": French messages by category.
// Lines go to standard error unless sinks are installed (a test captures them).
// Thread-safe.
class Log {
public:
    static constexpr std::string_view kSubsystem = "com.vask.velorin";

    using Sink = std::function<void(const LogEntry&)>;

    // Keeps a sink installed while it lives.
    class SinkRegistration {
    public:
        explicit SinkRegistration(int id)
            : id_(id)
        {
        }
        ~SinkRegistration();
        SinkRegistration(const SinkRegistration&) = delete;
        SinkRegistration& operator=(const SinkRegistration&) = delete;

    private:
        int id_;
    };

    [[nodiscard]] static SinkRegistration addSink(Sink sink);

    static void write(LogLevel level, std::string_view category, std::string message);

    template <typename... Args>
    static void debug(std::string_view category, fmt::format_string<Args...> format, Args&&... args)
    {
        write(LogLevel::debug, category, fmt::format(format, std::forward<Args>(args)...));
    }
    template <typename... Args>
    static void info(std::string_view category, fmt::format_string<Args...> format, Args&&... args)
    {
        write(LogLevel::info, category, fmt::format(format, std::forward<Args>(args)...));
    }
    template <typename... Args>
    static void warning(std::string_view category, fmt::format_string<Args...> format, Args&&... args)
    {
        write(LogLevel::warning, category, fmt::format(format, std::forward<Args>(args)...));
    }
    template <typename... Args>
    static void error(std::string_view category, fmt::format_string<Args...> format, Args&&... args)
    {
        write(LogLevel::error, category, fmt::format(format, std::forward<Args>(args)...));
    }
};

// The log categories.
namespace logcat {
inline constexpr std::string_view diskStore = "DiskStore";
inline constexpr std::string_view location = "Location";
inline constexpr std::string_view places = "Places";
inline constexpr std::string_view offline = "Offline";
inline constexpr std::string_view tileLoader = "TileLoader";
inline constexpr std::string_view toponyms = "Toponyms";
inline constexpr std::string_view tracks = "Tracks";
inline constexpr std::string_view defaults = "Defaults";
inline constexpr std::string_view canvas = "Canvas";
} // namespace logcat

} // namespace platform
