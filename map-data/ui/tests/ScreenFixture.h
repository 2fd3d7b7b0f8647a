#pragma once

// Screens run on Qt's offscreen platform over a region downloader whose loader and
// queues the test runs by hand: a job that is started stays in flight until the test
// runs the queues.

#include "map-data/RegionDownloader.h"
#include "map-data/tests/ManualExecutor.h"
#include "platform/DrainableMainQueue.h"
#include "platform/ManualClock.h"
#include "testing/LogCapture.h"
#include "testing/TemporaryFolder.h"
#include "testing/TestApplication.h"

#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include <fmt/format.h>

namespace testing_support {

class ScreenFixture : public ::testing::Test {
protected:
    void SetUp() override { application(); }

    void TearDown() override
    {
        downloader.reset();
        loader.reset();
    }

    // Sheets named as given, each 0.2° by 0.3° from 45° N, 6° E.
    void addSheets(std::initializer_list<const char*> names)
    {
        for (auto name : names) {
            Sheet sheet;
            sheet.id = std::int64_t(sheets.size());
            sheet.name = name;
            sheet.south = 45.0;
            sheet.north = 45.2;
            sheet.west = 6.0;
            sheet.east = 6.3;
            sheet.columns = 1;
            sheet.rows = 1;
            sheets.push_back(sheet);
        }
    }

    void makeDownloader()
    {
        velorin::TileLoader::Dependencies dependencies;
        dependencies.catalog = velorin::SheetCatalog(sheets);
        dependencies.store = store;
        dependencies.hosts = hosts;
        dependencies.cache = std::make_shared<velorin::TextureCache>(clock, std::int64_t(64) << 20);
        dependencies.session = std::make_shared<platform::HttpSession>();
        dependencies.clock = clock;
        dependencies.mainQueue = mainQueue;
        dependencies.queue = dependencies.decodeQueue = dependencies.mosaicQueue = dependencies.sliceQueue = queue;
        loader = std::make_unique<velorin::TileLoader>(std::move(dependencies));
        downloader = velorin::RegionDownloader::make({ store, loader.get(), mainQueue, utilityQueue, {} });
        runQueues();
    }

    void runQueues()
    {
        while (queue->runAll() + utilityQueue->runAll() + mainQueue->drain() > 0) {
        }
    }

    template <typename Widget>
    static Widget* child(QObject& parent, const char* name)
    {
        auto found = parent.findChild<Widget*>(name);
        EXPECT_TRUE(found) << name;
        return found;
    }
    static QString labelText(QObject& parent, const char* name) { return child<QLabel>(parent, name)->text(); }

    using Sheet = velorin::Sheet;

    LogCapture log;
    TemporaryFolder folder;
    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>();
    std::shared_ptr<platform::DrainableMainQueue> mainQueue = std::make_shared<platform::DrainableMainQueue>();
    std::shared_ptr<velorin::DiskStore> store
        = std::make_shared<velorin::DiskStore>(folder / "cache", folder / "offline");
    std::shared_ptr<ManualExecutor> queue = std::make_shared<ManualExecutor>();
    std::shared_ptr<ManualExecutor> utilityQueue = std::make_shared<ManualExecutor>();
    std::vector<Sheet> sheets;
    // No media host unless a test names one: downloads then end at once, incomplete.
    velorin::ServiceHosts hosts;
    std::unique_ptr<velorin::TileLoader> loader;
    std::shared_ptr<velorin::RegionDownloader> downloader;
};

} // namespace testing_support
