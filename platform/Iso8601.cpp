#include "platform/Iso8601.h"

#include <fmt/format.h>

#include <charconv>

namespace platform {

namespace {

using namespace std::chrono;

// Reads exactly `count` digits at `pos`.
std::optional<int> digits(std::string_view text, std::size_t& pos, int count)
{
    if (pos + static_cast<std::size_t>(count) > text.size())
        return std::nullopt;
    int value = 0;
    for (int i = 0; i < count; ++i) {
        char c = text[pos + static_cast<std::size_t>(i)];
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    pos += static_cast<std::size_t>(count);
    return value;
}

bool expect(std::string_view text, std::size_t& pos, char c)
{
    if (pos >= text.size() || text[pos] != c)
        return false;
    ++pos;
    return true;
}

} // namespace

std::string formatIso8601(SystemTime time, bool fractionalSeconds)
{
    auto millis = floor<milliseconds>(time);
    auto day = floor<days>(millis);
    year_month_day date(day);
    hh_mm_ss clock(millis - day);
    std::string text = fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}", int(date.year()), unsigned(date.month()),
        unsigned(date.day()), clock.hours().count(), clock.minutes().count(), clock.seconds().count());
    if (fractionalSeconds)
        text += fmt::format(".{:03}", clock.subseconds().count());
    return text + "Z";
}

std::optional<SystemTime> parseIso8601(std::string_view text)
{
    std::size_t pos = 0;
    auto y = digits(text, pos, 4);
    if (!y || !expect(text, pos, '-'))
        return std::nullopt;
    auto mo = digits(text, pos, 2);
    if (!mo || !expect(text, pos, '-'))
        return std::nullopt;
    auto d = digits(text, pos, 2);
    if (!d || !expect(text, pos, 'T'))
        return std::nullopt;
    auto h = digits(text, pos, 2);
    if (!h || !expect(text, pos, ':'))
        return std::nullopt;
    auto mi = digits(text, pos, 2);
    if (!mi || !expect(text, pos, ':'))
        return std::nullopt;
    auto s = digits(text, pos, 2);
    if (!s)
        return std::nullopt;

    nanoseconds fraction{0};
    if (pos < text.size() && (text[pos] == '.' || text[pos] == ',')) {
        ++pos;
        std::size_t start = pos;
        long long scale = 1'000'000'000;
        long long value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            if (scale > 1) {
                scale /= 10;
                value += (text[pos] - '0') * scale;
            }
            ++pos;
        }
        if (pos == start)
            return std::nullopt;
        fraction = nanoseconds(value);
    }

    minutes offset{0};
    if (expect(text, pos, 'Z')) {
    } else if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        int sign = text[pos] == '-' ? -1 : 1;
        ++pos;
        auto oh = digits(text, pos, 2);
        if (!oh)
            return std::nullopt;
        expect(text, pos, ':');
        auto om = digits(text, pos, 2);
        if (!om || *oh > 23 || *om > 59)
            return std::nullopt;
        offset = minutes(sign * (*oh * 60 + *om));
    } else {
        return std::nullopt;
    }
    if (pos != text.size())
        return std::nullopt;

    year_month_day date{year(*y), month(unsigned(*mo)), day(unsigned(*d))};
    // A leap second (":60") is read as the last second of the minute.
    if (!date.ok() || *h > 23 || *mi > 59 || *s > 60)
        return std::nullopt;
    const sys_seconds whole = sys_days(date) + hours(*h) + minutes(*mi) + seconds(std::min(*s, 59)) - offset;
    // The clock counts nanoseconds in 64 bits, from 1677 to 2262: a date beyond would wrap.
    if (whole < ceil<seconds>(SystemTime::min()) || whole >= floor<seconds>(SystemTime::max()))
        return std::nullopt;
    return time_point_cast<SystemTime::duration>(whole) + fraction;
}

} // namespace platform
