#pragma once

#include "renderer/ForestService.h"

#include <unordered_set>
#include <vector>

namespace testing_support {

// A forest source whose tables the test fills, noting what the renderer asks of it.
class FakeForestService final : public velorin::ForestService {
public:
    Table<std::vector<Tree>> trees;
    Table<Canopy> grids;
    std::unordered_set<Key, KeyHash> failed;
    std::unordered_set<Key, KeyHash> treesFailedFor;
    std::vector<velorin::WorldRect> requests;
    std::vector<velorin::WorldRect> canopyRequests;

    const Table<std::vector<Tree>>& tiles() const override { return trees; }
    const Table<Canopy>& canopies() const override { return grids; }
    bool treesFailed(const Key& key) const override { return treesFailedFor.contains(key); }
    bool canopyFailed(const Key& key) const override { return failed.contains(key); }
    void request(const velorin::WorldRect& rect) override { requests.push_back(rect); }
    void requestCanopy(const velorin::WorldRect& rect) override { canopyRequests.push_back(rect); }
    velorin::FileBatchDownload::Item download(const Key&) const override { return {}; }
};

} // namespace testing_support
