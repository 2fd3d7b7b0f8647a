#pragma once

namespace velorin {

// Decides which of the reports that follow a camera change are due: the journal's motion
// line (at most every 0.25 s, and only while no named gesture is under way), the
// application's camera report (every 0.1 s) and the stored last view (every 1 s). Each
// interval runs from the last report of its kind and must be exceeded, not only reached;
// a change inside a window is dropped, the next one outside it carries the newer camera.
// A plain value; the canvas keeps one on the GUI thread.
class CameraReportThrottle {
public:
    static constexpr double kJournalMotionIntervalSeconds = 0.25;
    static constexpr double kNotificationIntervalSeconds = 0.1;
    static constexpr double kSaveIntervalSeconds = 1.0;

    struct Due {
        bool journalMotion = false;
        bool notification = false;
        bool save = false;
    };

    // The reports due at `now` (media time), each marked as made.
    Due due(double now, bool gestureUnderway);

private:
    // Zero, so that the first change after start reports everything at once.
    double lastJournalMotion_ = 0;
    double lastCameraNotification_ = 0;
    double lastCameraSave_ = 0;
};

} // namespace velorin
