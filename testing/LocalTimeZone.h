#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace testing_support {

// Sets the process's local time zone (a POSIX "TZ" rule such as "CET-1CEST,M3.5.0,M10.5.0/3")
// for the life of the object and puts the previous one back after. Main thread only; no
// other thread may read local times meanwhile.
class LocalTimeZone {
public:
    explicit LocalTimeZone(const char* rule)
    {
        if (const char* previous = std::getenv("TZ"))
            previous_ = previous;
        ::setenv("TZ", rule, 1);
        ::tzset();
    }
    ~LocalTimeZone()
    {
        if (previous_)
            ::setenv("TZ", previous_->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    LocalTimeZone(const LocalTimeZone&) = delete;
    LocalTimeZone& operator=(const LocalTimeZone&) = delete;

    // Central European time with its summer time, as in France.
    static constexpr const char* kFrance = "CET-1CEST,M3.5.0,M10.5.0/3";

private:
    std::optional<std::string> previous_;
};

} // namespace testing_support
