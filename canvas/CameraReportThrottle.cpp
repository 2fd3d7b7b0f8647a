#include "canvas/CameraReportThrottle.h"

namespace velorin {

namespace {

bool passed(double& last, double now, double interval)
{
    if (!(now - last > interval))
        return false;
    last = now;
    return true;
}

} // namespace

CameraReportThrottle::Due CameraReportThrottle::due(double now, bool gestureUnderway)
{
    Due due;
    due.journalMotion = !gestureUnderway && passed(lastJournalMotion_, now, kJournalMotionIntervalSeconds);
    due.notification = passed(lastCameraNotification_, now, kNotificationIntervalSeconds);
    due.save = passed(lastCameraSave_, now, kSaveIntervalSeconds);
    return due;
}

} // namespace velorin
