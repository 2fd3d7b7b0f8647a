#pragma once

#include "app/MapCanvasPort.h"

#include <optional>
#include <sstream>
#include <string>
#include <utility>
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
    // Redraws asked for whether or not anything moves.
    int redraws = 0;
    // Every turn asked, in radians, by kind: "rotate", "turnInPlace", "turnInPlaceNow".
    std::vector<std::pair<std::string, double>> turns;
    std::vector<velorin::WorldRect> fits;
    // The point lists framed, in order.
    std::vector<std::vector<velorin::WorldPoint>> pointFits;
    struct Track {
        std::vector<velorin::TrackDisplayPoint> points;
        std::vector<velorin::TrackPause> pauses;
    };
    // Every track handed over, in order.
    std::vector<Track> tracks;
    std::vector<double> zoomSteps;
    std::optional<bool> relief;
    std::optional<velorin::Basemap> basemap;
    std::optional<bool> toponyms;
    std::optional<bool> slopes;
    std::optional<bool> trees;
    std::optional<bool> appleCommerce;
    // Every place handed over, by operation: "show" (animated or not), "goDirectly",
    // "flight", "tour".
    std::vector<std::pair<std::string, velorin::Toponym>> places;
    bool flies = true;
    std::optional<velorin::WorldPoint> center;
    // The flyover, flight and journal operations in order, each with its argument:
    // "startFlyover 3", "stopAnimations", "setFlyoverMode drone", "applyFlyoverMode",
    // "seekFlyover 0.5", "setFlyoverPaused 1", "setAnimationName Survol · …",
    // "startAimedPointTour", "applyFlightFrame 12", "endFlight", "applyCamera 0",
    // "writeJournal vol sauté".
    std::vector<std::string> calls;
    // Every point list a flyover was asked to fly, in order.
    std::vector<std::vector<velorin::WorldPoint>> flownPaths;
    // What `startFlyover` answers.
    bool flyoverStarts = true;
    // The running flight's arrival time, and the camera its frames give.
    std::optional<double> flightDuration;
    std::optional<velorin::Camera> flightCamera;
    std::vector<velorin::Camera> appliedCameras;
    // What `cameraInfo` answers.
    std::optional<velorin::CameraInfo> info;

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
        flightDuration.reset();
        note("endFlight");
    }
    void startDisplayLink() override { ++displayLinkStarts; }
    void ensureDisplayLink() override { ++redraws; }
    void rotate(double radians) override { turns.emplace_back("rotate", radians); }
    void turnInPlace(double radians) override { turns.emplace_back("turnInPlace", radians); }
    void turnInPlaceNow(double radians) override { turns.emplace_back("turnInPlaceNow", radians); }
    void adjustFlyoverDistance(double levels) override { zoomSteps.push_back(levels); }
    void fit(const velorin::WorldRect& rect, bool) override { fits.push_back(rect); }
    void fit(const std::vector<velorin::WorldPoint>& points) override { pointFits.push_back(points); }
    void setTrack(const std::vector<velorin::TrackDisplayPoint>& points, const std::vector<velorin::TrackPause>& pauses) override
    {
        tracks.push_back({points, pauses});
    }
    void show(const velorin::Toponym& place, bool animated) override
    {
        places.emplace_back(animated ? "show" : "showNow", place);
    }
    void goDirectly(const velorin::Toponym& place) override { places.emplace_back("goDirectly", place); }
    bool canStartFlight() const override { return flies; }
    void startFlight(const velorin::Toponym& place, bool orbit) override
    {
        places.emplace_back(orbit ? "tour" : "flight", place);
    }
    std::optional<velorin::WorldPoint> cameraCenter() const override { return center; }
    std::optional<velorin::CameraInfo> cameraInfo() const override { return info; }
    void set3D(bool on) override { relief = on; }
    void setBasemap(velorin::Basemap value) override
    {
        basemap = value;
        viewCalls.push_back("setBasemap");
    }
    void setShowsToponyms(bool on) override { toponyms = on; }
    void setShowsSlopes(bool on) override { slopes = on; }
    void setShowsTrees(bool on) override { trees = on; }

    // What `snapshot` and `camera` answer.
    std::optional<platform::Image> snapshotImage = platform::Image { 64, 32, std::vector<std::byte>(64 * 32 * 4, std::byte { 0x7f }) };
    std::optional<velorin::CameraPose> pose = velorin::CameraPose { 0.52, 0.36, 13, 0.4, 0.9, 1.5, 1280, 800 };
    int snapshots = 0;
    std::vector<velorin::CameraPose> appliedPoses;
    std::vector<velorin::SavedVideo> playedVideos;
    // The saved views' and videos' calls in order: "apply", "play", "setBasemap".
    std::vector<std::string> viewCalls;
    struct Export {
        velorin::SavedVideo video;
        velorin::Basemap basemap;
        int height;
        std::filesystem::path path;
        bool overlays;
        std::function<void(double)> progress;
        std::function<void(bool)> completion;
    };
    // Films asked for and accepted, their completions still to call.
    std::vector<Export> exports;
    // While false, `exportVideo` refuses, as a canvas already filming does.
    bool acceptsExports = true;
    std::vector<std::vector<velorin::TrackPhoto>> photoLists;
    std::vector<std::vector<velorin::TrackPhoto>> libraryPhotoLists;

    std::optional<platform::Image> snapshot() override
    {
        ++snapshots;
        return snapshotImage;
    }
    std::optional<velorin::CameraPose> camera() const override { return pose; }
    void apply(const velorin::CameraPose& value) override
    {
        appliedPoses.push_back(value);
        viewCalls.push_back("apply");
    }
    void play(const velorin::SavedVideo& video) override
    {
        playedVideos.push_back(video);
        viewCalls.push_back("play");
    }
    bool exportVideo(const velorin::SavedVideo& video, velorin::Basemap basemap, int height,
        const std::filesystem::path& path, bool overlays, std::function<void(double)> progress,
        std::function<void(bool)> completion) override
    {
        if (!acceptsExports)
            return false;
        exports.push_back({ video, basemap, height, path, overlays, std::move(progress), std::move(completion) });
        return true;
    }
    void setPhotos(const std::vector<velorin::TrackPhoto>& photos) override { photoLists.push_back(photos); }
    void setLibraryPhotos(const std::vector<velorin::TrackPhoto>& photos) override { libraryPhotoLists.push_back(photos); }
    void setShowsAppleCommerce(bool on) override { appleCommerce = on; }

    bool startFlyover(const std::vector<velorin::WorldPoint>& points) override
    {
        note("startFlyover", points.size());
        flownPaths.push_back(points);
        return flyoverStarts;
    }
    void stopAnimations() override { note("stopAnimations"); }
    void setFlyoverMode(velorin::FlyoverMode mode) override { note("setFlyoverMode", velorin::rawValue(mode)); }
    void applyFlyoverMode() override { note("applyFlyoverMode"); }
    void seekFlyover(double fraction) override { note("seekFlyover", fraction); }
    void setFlyoverPaused(bool paused) override { note("setFlyoverPaused", paused); }
    void setAnimationName(const std::string& name) override { note("setAnimationName", name); }
    void startAimedPointTour() override { note("startAimedPointTour"); }
    std::optional<double> runningFlightDuration() const override { return flightDuration; }
    std::optional<velorin::Camera> applyFlightFrame(double seconds) override
    {
        note("applyFlightFrame", seconds);
        return flightCamera;
    }
    void applyCamera(const velorin::Camera& camera, bool keepBaseElevation) override
    {
        note("applyCamera", keepBaseElevation);
        appliedCameras.push_back(camera);
    }
    void writeJournal(std::string_view text) override { note("writeJournal", text); }

private:
    void note(const char* operation) { calls.emplace_back(operation); }
    template <typename T>
    void note(const char* operation, const T& argument)
    {
        std::ostringstream line;
        line << operation << ' ' << argument;
        calls.push_back(line.str());
    }
};

} // namespace testing_support
