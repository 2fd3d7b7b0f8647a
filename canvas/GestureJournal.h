#pragma once

#include "canvas/KeyModifiers.h"
#include "platform/UserDefaults.h"
#include "renderer/Camera.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace velorin {

// The gesture journal: while the camera information setting is on, every gesture, key,
// click and camera move leaves a line ending with the view as "-startAt" numbers, so that
// any moment of use can be reopened. Failures only drop lines; the map never notices.
// GUI thread only.
class GestureJournal {
public:
    static constexpr std::string_view kEnabledKey = "Velorin.cameraInfo";
    // A journal larger than this when it is opened starts again empty.
    static constexpr std::uintmax_t kMaxBytesOnOpen = 5'000'000;

    enum class GesturePhase { began, changed, ended };

    GestureJournal(std::filesystem::path file, std::shared_ptr<platform::UserDefaults> defaults);
    ~GestureJournal();
    GestureJournal(const GestureJournal&) = delete;
    GestureJournal& operator=(const GestureJournal&) = delete;

    bool isEnabled() const;
    // Appends one line for `text` with the view; opens the file on first use.
    void write(std::string_view text, const Camera& camera, double eyeAltitudeMeters);
    // A continuous gesture's entries: a "début" line when it begins, a "fin" line with
    // its detail when it ends; in between, `gesture()` names it.
    void noteGesture(std::string_view word, GesturePhase phase, const KeyModifiers& modifiers,
        std::string_view detail, const Camera& camera, double eyeAltitudeMeters);
    // The gesture under way (word, modifiers and detail), while there is one.
    const std::optional<std::string>& gesture() const { return gesture_; }

    // One journal line, numbers in the C locale:
    // "<time> <text> -startAt lat,lon,zoom,bearing°,pitch°,focal | œil <altitude> m\n".
    static std::string line(std::string_view localTime, std::string_view text, const Camera& camera,
        double eyeAltitudeMeters);
    // The view as the "-startAt" numbers of a line: "lat,lon,zoom,bearing°,pitch°,focal",
    // the bearing within (-180°, 180°], in the C locale.
    static std::string startAtNumbers(const Camera& camera);
    // The wall clock's local time as "yyyy-MM-dd HH:mm:ss.SSS".
    static std::string localTimeNow();
    // Gesture details: a pan's translation (points), a pinch's scale, a rotation.
    static std::string panDetail(double x, double y);
    static std::string pinchDetail(double scale);
    static std::string rotationDetail(double radians);

private:
    std::FILE* open();

    std::filesystem::path path_;
    std::shared_ptr<platform::UserDefaults> defaults_;
    bool opened_ = false;
    std::FILE* file_ = nullptr;
    std::optional<std::string> gesture_;
};

} // namespace velorin
