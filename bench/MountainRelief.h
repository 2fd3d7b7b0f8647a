#pragma once

#include "canvas/CanvasOverlays.h"
#include "canvas/CanvasWindow.h"
#include "map-data/ElevationGrid.h"
#include "map-data/TerrainService.h"
#include "platform/DrainableMainQueue.h"
#include "platform/ManualClock.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// What the benchmarks of the labels and markers over a pitched view share: a window that
// draws nothing and keeps no overlay views, and elevation tiles of rolling mountains.
namespace bench_mountains {

// A window of 1280 × 800 points on a screen of scale 2 that draws nothing and whose overlay
// host only hands out marker ids.
class OverlayWindow final : public velorin::CanvasWindow, public velorin::CanvasOverlays {
public:
    velorin::Camera::Size boundsInPoints() const override { return {1280, 800}; }
    double screenScale() const override { return 2; }
    void draw() override { }
    void startDisplayLink() override { }
    void stopDisplayLink() override { }
    void setPreferredFrameRate(std::optional<double>) override { }
    CanvasOverlays* overlays() override { return this; }

    LabelSize measureLabelText(const std::string& text) override { return {6.5 * double(text.size()), 15}; }
    void configureLabel(std::size_t, const velorin::ToponymLabelStyle&) override { }
    void placeLabel(std::size_t, const velorin::ScreenRect&) override { }
    void hideLabels(std::size_t) override { }
    void showHoverCard(const velorin::ScreenRect&) override { }
    void hideHoverCard() override { }
    void setHoverActions(std::function<void()>, std::function<void()>) override { }
    int makePauseChip(const std::string&) override { return ++markers; }
    int makePhotoPin(const std::string&, const std::string&, double, std::function<void()>) override { return ++markers; }
    int makeLibraryPin(const std::string&, const std::string&, std::function<void()>) override { return ++markers; }
    int makeFlyoverDot() override { return ++markers; }
    void setBadge(int, const std::string&, const std::string&) override { }
    void removeMarker(int) override { }
    void applyMarkerPlacements(const std::vector<velorin::MarkerPlacement>& placements) override
    {
        placed += placements.size();
    }

    int markers = 0;
    std::size_t placed = 0;
};

// Rolling mountains: 1000 to 3000 m with ridges a few kilometres apart, as the elevation
// tile (z, x, y) on disk.
inline std::vector<std::byte> grid(int z, int x, int y)
{
    std::vector<float> heights(velorin::kElevationGridCells);
    const double across = std::exp2(z);
    for (int row = 0; row < 256; ++row) {
        for (int column = 0; column < 256; ++column) {
            const double wx = (x + column / 256.0) / across;
            const double wy = (y + row / 256.0) / across;
            heights[std::size_t(row * 256 + column)]
                = float(2000 + 700 * std::sin(wx * 9000) * std::cos(wy * 7000) + 300 * std::sin(wy * 23000));
        }
    }
    std::vector<std::byte> bytes(heights.size() * sizeof(float));
    std::memcpy(bytes.data(), heights.data(), bytes.size());
    return bytes;
}

// Providers that answer nothing: the benchmarks read what is on disk.
inline velorin::ServiceHosts unreachableHosts()
{
    velorin::ServiceHosts hosts;
    hosts.scheme = "http";
    hosts.ignHost = hosts.terrariumHost = "127.0.0.1:9";
    return hosts;
}

// The Écrins seen from above La Bérarde: zoom 14, pitched at 65°, on a 2560 × 1600 view.
inline velorin::Camera pitchedEcrins()
{
    velorin::Camera camera;
    camera.center = velorin::WorldPoint::fromLatitudeLongitude(44.93, 6.29);
    camera.zoom = 14;
    camera.viewSize = {2560, 1600};
    camera.pitch = 1.13;
    camera.bearing = 0.3;
    return camera;
}

// The relief under `seen`: these mountains written to `store` from level 8 to 16 and loaded.
inline std::shared_ptr<velorin::TerrainService> loadedRelief(velorin::DiskStore& store, platform::HttpSession& session,
    platform::DrainableMainQueue& mainQueue, platform::ManualClock& clock, const velorin::WorldRect& seen)
{
    for (int z = 8; z <= 16; ++z) {
        for (const auto& key : velorin::TerrainService::tileKeys(z, seen))
            store.writeNow(grid(key.z, key.x, key.y), velorin::TerrainService::diskKey(key.z, key.x, key.y));
    }
    auto terrain = std::make_shared<velorin::TerrainService>(store, session, unreachableHosts(), mainQueue, clock);
    for (int z = 8; z <= 16; ++z)
        terrain->prefetch(z, seen);
    return terrain;
}

} // namespace bench_mountains
