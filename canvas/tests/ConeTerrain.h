#pragma once

#include "map-data/DiskStore.h"
#include "map-data/ElevationGrid.h"
#include "map-data/ServiceHosts.h"
#include "map-data/TerrainService.h"
#include "platform/Clock.h"
#include "platform/HttpSession.h"
#include "platform/MainQueue.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

namespace testing_support {

// A cone of relief, 2500 m high over a 1000 m plain, 3 km across, in one elevation grid
// loaded into a terrain service that never reaches the network.
struct ConeTerrain {
    static constexpr int kGridZoom = 12;
    static constexpr double kPlainMeters = 1000;
    static constexpr double kHeightMeters = 2500;
    static constexpr double kRadiusMeters = 1500;

    velorin::DiskStore store;
    platform::HttpSession session;
    velorin::WorldPoint summit = velorin::WorldPoint::fromLatitudeLongitude(47.05, 12.7);
    velorin::TerrainKey key {kGridZoom, int(summit.x * 4096), int(summit.y * 4096)};
    std::shared_ptr<velorin::TerrainService> terrain;

    ConeTerrain(const std::filesystem::path& folder, platform::MainQueue& mainQueue, platform::Clock& clock)
        : store(folder / "tiles", folder / "offline")
    {
        using velorin::kElevationGridSide;
        velorin::ElevationGrid grid(velorin::kElevationGridCells);
        for (int row = 0; row < kElevationGridSide; ++row) {
            for (int column = 0; column < kElevationGridSide; ++column) {
                const velorin::WorldPoint at {(key.x + (column + 0.5) / kElevationGridSide) / 4096,
                    (key.y + (row + 0.5) / kElevationGridSide) / 4096};
                const double distance = std::hypot(at.x - summit.x, at.y - summit.y) * summit.metersPerWorldUnit();
                grid[std::size_t(row * kElevationGridSide + column)]
                    = float(kPlainMeters + std::max(0.0, kHeightMeters * (1 - distance / kRadiusMeters)));
            }
        }
        std::vector<std::byte> bytes(grid.size() * sizeof(float));
        std::memcpy(bytes.data(), grid.data(), bytes.size());
        store.writeNow(bytes, velorin::TerrainService::diskKey(key.z, key.x, key.y));
        velorin::ServiceHosts hosts;
        hosts.scheme = "http";
        hosts.ignHost = hosts.terrariumHost = "127.0.0.1:9";
        terrain = std::make_shared<velorin::TerrainService>(store, session, hosts, mainQueue, clock);
        terrain->load(key);
    }

    // A point `meters` east of the summit.
    velorin::WorldPoint east(double meters) const { return {summit.x + meters / summit.metersPerWorldUnit(), summit.y}; }
};

} // namespace testing_support
