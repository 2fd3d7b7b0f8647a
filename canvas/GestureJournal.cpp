#include "canvas/GestureJournal.h"

#include <fmt/format.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <numbers>
#include <system_error>

namespace velorin {

namespace {

constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;

// The journal is kept, not emptied, only when it holds something and is small enough.
bool keepsOldLines(const std::filesystem::path& path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return !error && size > 0 && size <= GestureJournal::kMaxBytesOnOpen;
}

std::string withModifiers(std::string_view word, const KeyModifiers& modifiers)
{
    return fmt::format("{} {}", word, modifierSymbols(modifiers));
}

} // namespace

GestureJournal::GestureJournal(std::filesystem::path file, std::shared_ptr<platform::UserDefaults> defaults)
    : path_(std::move(file))
    , defaults_(std::move(defaults))
{
}

GestureJournal::~GestureJournal()
{
    if (file_)
        std::fclose(file_);
}

bool GestureJournal::isEnabled() const
{
    return defaults_ && defaults_->boolean(kEnabledKey).value_or(false);
}

std::FILE* GestureJournal::open()
{
    if (opened_)
        return file_;
    opened_ = true;
    if (path_.empty())
        return nullptr;
    std::error_code error;
    std::filesystem::create_directories(path_.parent_path(), error);
    file_ = std::fopen(path_.c_str(), keepsOldLines(path_) ? "ab" : "wb");
    fmt::print("Journal des gestes : {}\n", path_.string());
    std::fflush(stdout);
    return file_;
}

void GestureJournal::write(std::string_view text, const Camera& camera, double eyeAltitudeMeters)
{
    if (!isEnabled())
        return;
    std::FILE* file = open();
    if (!file)
        return;
    const std::string entry = line(localTimeNow(), text, camera, eyeAltitudeMeters);
    std::fwrite(entry.data(), 1, entry.size(), file);
    std::fflush(file);
}

void GestureJournal::noteGesture(std::string_view word, GesturePhase phase, const KeyModifiers& modifiers,
    std::string_view detail, const Camera& camera, double eyeAltitudeMeters)
{
    if (!isEnabled())
        return;
    const std::string named = withModifiers(word, modifiers);
    switch (phase) {
    case GesturePhase::began:
        write("début " + named, camera, eyeAltitudeMeters);
        gesture_ = fmt::format("{} {}", named, detail);
        break;
    case GesturePhase::changed:
        gesture_ = fmt::format("{} {}", named, detail);
        break;
    case GesturePhase::ended:
        gesture_.reset();
        write(fmt::format("fin {} {}", named, detail), camera, eyeAltitudeMeters);
        break;
    }
}

std::string GestureJournal::line(std::string_view localTime, std::string_view text, const Camera& camera,
    double eyeAltitudeMeters)
{
    return fmt::format("{} {} -startAt {} | œil {:.0f} m\n", localTime, text, startAtNumbers(camera), eyeAltitudeMeters);
}

std::string GestureJournal::startAtNumbers(const Camera& camera)
{
    // fmt formats floating point independently of the process locale.
    return fmt::format("{:.6f},{:.6f},{:.4f},{:.2f},{:.2f},{:.4f}", camera.center.latitude(), camera.center.longitude(),
        camera.zoom, Camera::wrapAngle(camera.bearing) * kDegreesPerRadian, camera.pitch * kDegreesPerRadian,
        camera.focalLength);
}

std::string GestureJournal::localTimeNow()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis
        = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local {};
    localtime_r(&seconds, &local);
    return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}.{:03}", local.tm_year + 1900, local.tm_mon + 1,
        local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, millis);
}

std::string GestureJournal::panDetail(double x, double y)
{
    return fmt::format("({:.0f}, {:.0f})", x, y);
}

std::string GestureJournal::pinchDetail(double scale)
{
    return fmt::format("×{:.3f}", scale);
}

std::string GestureJournal::rotationDetail(double radians)
{
    return fmt::format("{:.3f} rad", radians);
}

} // namespace velorin
