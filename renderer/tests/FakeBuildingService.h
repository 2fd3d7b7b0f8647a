#pragma once

#include "renderer/BuildingService.h"

#include <vector>

namespace testing_support {

// A building source whose table the test fills, noting the areas the renderer asks for.
class FakeBuildingService final : public velorin::BuildingService {
public:
    velorin::ForestService::Table<std::vector<Vertex>> meshes;
    std::vector<velorin::WorldRect> requests;

    const velorin::ForestService::Table<std::vector<Vertex>>& tiles() const override { return meshes; }
    void request(const velorin::WorldRect& rect) override { requests.push_back(rect); }
    velorin::FileBatchDownload::Item download(const velorin::ForestService::Key&) const override { return {}; }
};

} // namespace testing_support
