#pragma once

#include "app/MapCanvasPort.h"

#include <optional>
#include <vector>

namespace testing_support {

// A map canvas that records what the model asks of it. Main thread only.
class FakeMapCanvas final : public velorin::MapCanvasPort {
public:
    struct CameraMove {
        velorin::WorldPoint center;
        std::optional<double> zoom;
        bool animated;
    };

    std::vector<platform::LocationFix> userLocations;
    // What `handleInitialLocation` answers: true while the canvas waits for a first fix.
    bool waitsForFirstFix = false;
    int initialLocationCalls = 0;
    std::vector<CameraMove> cameraMoves;
    std::optional<double> latestHeading;
    bool compassFollowing = false;
    std::vector<bool> compassFollowingCalls;
    std::optional<double> targetBearing;
    bool flying = false;
    int flightEnds = 0;
    int displayLinkStarts = 0;

    void setUserLocation(const platform::LocationFix& fix) override { userLocations.push_back(fix); }
    bool handleInitialLocation(const platform::LocationFix&) override
    {
        ++initialLocationCalls;
        return waitsForFirstFix;
    }
    void animateCamera(const velorin::WorldPoint& center, std::optional<double> zoom, bool animated) override
    {
        cameraMoves.push_back({ center, zoom, animated });
    }
    void setLatestHeading(double radians) override { latestHeading = radians; }
    bool isCompassFollowing() const override { return compassFollowing; }
    void clearCompassFollowing() override { compassFollowing = false; }
    void setCompassFollowing(bool on) override
    {
        compassFollowingCalls.push_back(on);
        compassFollowing = on;
        if (on && latestHeading)
            targetBearing = latestHeading;
    }
    void setTargetBearing(double radians) override { targetBearing = radians; }
    bool isFlying() const override { return flying; }
    void endFlight() override
    {
        ++flightEnds;
        flying = false;
    }
    void startDisplayLink() override { ++displayLinkStarts; }
};

} // namespace testing_support
