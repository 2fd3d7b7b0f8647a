#pragma once

#include "app/MapCanvasPort.h"

#include <memory>

namespace velorin {

class MapCanvasView;

// The live map canvas seen as the model's `MapCanvasPort`. The map view host owns both the
// canvas and this adapter and hands the adapter, weakly, to the model; the adapter holds the
// canvas weakly too, so every call is skipped (and a query answers false) once the canvas
// is gone. Main thread only.
class CanvasPortAdapter final : public MapCanvasPort {
public:
    explicit CanvasPortAdapter(std::weak_ptr<MapCanvasView> canvas);

    void setUserLocation(const platform::LocationFix& fix) override;
    bool handleInitialLocation(const platform::LocationFix& fix) override;
    void animateCamera(const WorldPoint& center, std::optional<double> zoom, bool animated) override;

    void setLatestHeading(double radians) override;
    bool isCompassFollowing() const override;
    void clearCompassFollowing() override;
    void setCompassFollowing(bool on) override;
    void setTargetBearing(double radians) override;

    bool isFlying() const override;
    void endFlight() override;
    void startDisplayLink() override;
    void ensureDisplayLink() override;

    void rotate(double radians) override;
    void turnInPlace(double radians) override;
    void turnInPlaceNow(double radians) override;
    void adjustFlyoverDistance(double levels) override;
    void fit(const WorldRect& rect, bool animated) override;
    void fit(const std::vector<WorldPoint>& points) override;
    void setTrack(const std::vector<TrackDisplayPoint>& points, const std::vector<TrackPause>& pauses) override;

    void show(const Toponym& place, bool animated) override;
    void goDirectly(const Toponym& place) override;
    bool canStartFlight() const override;
    void startFlight(const Toponym& place, bool orbit) override;
    std::optional<WorldPoint> cameraCenter() const override;
    std::optional<CameraInfo> cameraInfo() const override;

    void set3D(bool on) override;
    void setBasemap(Basemap basemap) override;
    void setShowsToponyms(bool on) override;
    void setShowsSlopes(bool on) override;
    void setShowsTrees(bool on) override;
    void setShowsAppleCommerce(bool on) override;

    std::optional<platform::Image> snapshot() override;
    std::optional<CameraPose> camera() const override;
    void apply(const CameraPose& pose) override;
    void play(const SavedVideo& video) override;
    void setPhotos(const std::vector<TrackPhoto>& photos) override;
    void setLibraryPhotos(const std::vector<TrackPhoto>& photos) override;
    bool startFlyover(const std::vector<WorldPoint>& points) override;
    void stopAnimations() override;
    void setFlyoverMode(FlyoverMode mode) override;
    void applyFlyoverMode() override;
    void seekFlyover(double fraction) override;
    void setFlyoverPaused(bool paused) override;
    void setAnimationName(const std::string& name) override;
    void startAimedPointTour() override;
    std::optional<double> runningFlightDuration() const override;
    std::optional<Camera> applyFlightFrame(double seconds) override;
    void applyCamera(const Camera& camera, bool keepBaseElevation) override;
    void writeJournal(std::string_view text) override;
    bool exportVideo(const SavedVideo& video, Basemap basemap, int height, const std::filesystem::path& path,
        bool overlays, std::function<void(double)> progress, std::function<void(bool)> completion) override;

private:
    std::weak_ptr<MapCanvasView> canvas_;
};

} // namespace velorin
