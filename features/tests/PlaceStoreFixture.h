#pragma once

// A place store over a temporary folder, a media host on a loopback server, a manual clock
// for its hold-offs and a drainable main queue for its announcements.

#include "features/PlaceStore.h"
#include "platform/DrainableMainQueue.h"
#include "platform/HttpSession.h"
#include "platform/ManualClock.h"
#include "testing/LogCapture.h"
#include "testing/LoopbackServer.h"
#include "testing/PlaceDatabaseFile.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace testing_support {

class PlaceStoreTest : public ::testing::Test {
protected:
    LogCapture log;
    TemporaryFolder folder;
    LoopbackServer server;
    platform::DrainableMainQueue mainQueue;
    platform::ManualClock clock;
    platform::HttpSession session;
    velorin::ServiceHosts hosts = loopbackHosts();
    std::unique_ptr<velorin::PlaceStore> store;
    int changes = 0;

    velorin::ServiceHosts loopbackHosts() const
    {
        velorin::ServiceHosts loopback;
        loopback.scheme = "http";
        loopback.mediaHost = "127.0.0.1:" + std::to_string(server.port());
        return loopback;
    }

    std::filesystem::path places() const { return folder / "Places"; }

    velorin::PlaceStore& makeStore()
    {
        store.reset();
        changes = 0;
        store = std::make_unique<velorin::PlaceStore>(session, hosts, places(), clock, mainQueue);
        store->onChange = [this] {
            EXPECT_TRUE(mainQueue.isMainThread());
            ++changes;
        };
        return *store;
    }

    static std::string read(const std::filesystem::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    static void write(const std::filesystem::path& file, const std::string& bytes)
    {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << bytes;
    }

    // The bytes of a database holding `rows`.
    std::string databaseBytes(const std::vector<PlaceRow>& rows, int version = 2) const
    {
        const auto file = folder / "built.sqlite";
        writePlaceDatabase(file, rows, version);
        std::string bytes = read(file);
        std::filesystem::remove(file);
        return bytes;
    }

    // The media host serves the country's database.
    void serve(const std::string& code, const std::string& bytes)
    {
        server.route("/places/places-" + code + ".bin", LoopbackServer::reply(200, bytes));
    }

    static std::string path(const std::string& code) { return "/places/places-" + code + ".bin"; }

    // How many of the country's downloads have ended, by their log lines.
    std::size_t downloadsEnded(const std::string& code) const
    {
        std::size_t ended = 0;
        for (const auto& entry : log.entries())
            if (entry.level == platform::LogLevel::info && entry.category == "Places"
                && (entry.message == "base " + code + " : prête" || entry.message == "base " + code + " : échec"))
                ++ended;
        return ended;
    }

    // Waits until `count` of the country's downloads have ended, then runs what they
    // posted to the main queue.
    bool waitForDownload(const std::string& code, std::size_t count = 1)
    {
        const bool ended = LoopbackServer::waitUntil([&] { return downloadsEnded(code) >= count; });
        mainQueue.drain();
        return ended && !store->isDownloading(code);
    }

    static PlaceRow row(int64_t id, std::string name, double latitude, double longitude, int64_t importance = 3,
        std::string kind = "summit")
    {
        PlaceRow place;
        place.id = id;
        place.name = std::move(name);
        place.kind = std::move(kind);
        place.latitude = latitude;
        place.longitude = longitude;
        place.importance = importance;
        return place;
    }
};

} // namespace testing_support
