#pragma once

namespace velorin {

// What a recording asks of the device position: the settings of a walk being recorded
// (fixes 10 m apart) or of an idle map (5 m), and that location updates run. Implemented
// by the application's location service. Main thread only.
class RecordingLocation {
public:
    virtual ~RecordingLocation() = default;

    virtual void applyRecordingSettings(bool recording) = 0;
    virtual void startLocating() = 0;
};

} // namespace velorin
