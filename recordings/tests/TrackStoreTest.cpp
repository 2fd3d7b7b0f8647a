#include "TrackFixtures.h"
#include "platform/Uuid.h"
#include "recordings/TrackStore.h"
#include "testing/LogCapture.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

using namespace velorin;
using namespace track_fixtures;
using testing_support::LogCapture;
using testing_support::TemporaryFolder;
namespace fs = std::filesystem;

namespace {

constexpr const char* kOpenFailure = "ouverture du fichier de points impossible";
constexpr const char* kWriteFailure = "écriture d'un point";

std::string contents(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

void put(const fs::path& path, std::string_view text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string line(const TrackPoint& point)
{
    nlohmann::ordered_json json = point;
    return json.dump() + "\n";
}

struct Store {
    TemporaryFolder folder;
    int syncs = 0;
    TrackStore store{folder / "VelorinTracks", [this](int) { ++syncs; }};

    fs::path points(const std::string& id) const { return store.root() / id / "points.jsonl"; }
    fs::path meta(const std::string& id) const { return store.root() / id / "meta.json"; }
};

} // namespace

TEST(TrackStore, CreatesAnOpenTrackWhosePointsReadBackInOrder)
{
    Store s;
    const TrackMetadata created = s.store.create("Lac Blanc", at(0));
    EXPECT_TRUE(platform::isUuid(created.id));
    EXPECT_EQ(created.endedAt, std::nullopt);
    EXPECT_EQ(contents(s.points(created.id)), "") << "the points file exists from the start";
    EXPECT_EQ(contents(s.meta(created.id)),
        R"({"id":")" + created.id + R"(","name":"Lac Blanc","startedAt":"2024-05-01T10:00:00Z"})");

    const std::vector<TrackPoint> walk{point(0, 0, 0, 2000, TravelMode::walking), point(50, 0, 60), point(100, 0, 120, 2030)};
    for (const auto& p : walk)
        s.store.append(p, created.id);
    EXPECT_EQ(contents(s.points(created.id)), line(walk[0]) + line(walk[1]) + line(walk[2]));
    EXPECT_EQ(s.store.readPoints(created.id), walk);

    std::string lower = created.id;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    const auto read = s.store.readTrack(lower);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->metadata, created);
    EXPECT_EQ(read->points, walk);
}

TEST(TrackStore, FlushesEveryTenthAppendAndOnFinish)
{
    Store s;
    const auto id = s.store.create("x", at(0)).id;
    for (int i = 1; i <= 20; ++i) {
        s.store.append(point(i, 0, i), id);
        if (i == 9) {
            EXPECT_EQ(s.syncs, 0);
        }
        if (i == 10 || i == 19) {
            EXPECT_EQ(s.syncs, 1) << i;
        }
    }
    EXPECT_EQ(s.syncs, 2);
    s.store.finish(id, at(60));
    EXPECT_EQ(s.syncs, 3);
    EXPECT_EQ(s.store.readTrack(id)->metadata.endedAt, at(60));
}

TEST(TrackStore, ABadLineLosesOnlyItself)
{
    Store s;
    const auto id = s.store.create("x", at(0)).id;
    const TrackPoint first = point(0, 0, 0), second = point(10, 0, 10), third = point(20, 0, 20);
    const std::string full = line(third);
    put(s.points(id),
        line(first) + "{\"latitude\":45,\"longitude\":6,\"timestamp\":\"2024-05-01T10:00:00Z\"}\n" // no accuracy
            + "{\"latitude\":1e400,\"longitude\":6,\"timestamp\":\"2024-05-01T10:00:00Z\",\"horizontalAccuracy\":5}\n"
            + "{\"latitude\":45,\"longitude\":6,\"timestamp\":\"\xFF\",\"horizontalAccuracy\":5}\n" + "garbage\n\n"
            + line(second) + full.substr(0, full.size() / 2));
    EXPECT_EQ(s.store.readPoints(id), (std::vector<TrackPoint>{first, second}));

    // A recording that goes on after the crash starts a line of its own.
    TrackStore reopened(s.store.root());
    reopened.append(third, id);
    EXPECT_EQ(s.store.readPoints(id), (std::vector<TrackPoint>{first, second, third}));
}

TEST(TrackStore, AShortWriteIsTakenBackSoTheNextPointStartsItsOwnLine)
{
    LogCapture log;
    log.expect(platform::logcat::tracks, kWriteFailure);
    Store s;
    const auto id = s.store.create("x", at(0)).id;
    const TrackPoint first = point(0, 0, 0), second = point(10, 0, 10);
    s.store.append(first, id);
    const auto size = fs::file_size(s.points(id));

    // The file may grow by only part of a line: the write stops short, then fails.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previous {};
    ::sigaction(SIGXFSZ, &ignore, &previous);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = size + 20;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    s.store.append(second, id);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_TRUE(log.contains(platform::LogLevel::error, platform::logcat::tracks, kWriteFailure));
    EXPECT_EQ(fs::file_size(s.points(id)), size) << "the torn part is gone";
    s.store.append(second, id);
    EXPECT_EQ(s.store.readPoints(id), (std::vector<TrackPoint>{first, second}));
}

TEST(TrackStore, NumbersJsonCannotHoldAreNeitherAppendedNorWritten)
{
    Store s;
    const auto id = s.store.create("x", at(0)).id;
    TrackPoint broken = point(0, 0, 0);
    broken.altitude = NAN;
    s.store.append(broken, id);
    EXPECT_EQ(contents(s.points(id)), "");
    const TrackPoint good = point(5, 0, 5);
    s.store.writePoints({broken, good}, id);
    EXPECT_EQ(contents(s.points(id)), line(good));
}

TEST(TrackStore, WritePointsReplacesTheFileAndAppendsGoOnAfterIt)
{
    Store s;
    const auto id = s.store.create("x", at(0)).id;
    for (int i = 0; i < 5; ++i)
        s.store.append(point(i, 0, i), id);
    const std::vector<TrackPoint> kept{point(1, 0, 1), point(2, 0, 2)};
    s.store.writePoints(kept, id);
    EXPECT_EQ(s.store.readPoints(id), kept);
    s.store.append(point(3, 0, 3), id);
    EXPECT_EQ(s.store.readPoints(id).size(), 3u) << "the old handle pointed at the replaced file";
    s.store.writePoints({}, id);
    EXPECT_EQ(contents(s.points(id)), "");
}

TEST(TrackStore, ListsOnlyTracksWhoseFolderIsTheirOwnIdLatestFirst)
{
    Store s;
    const auto ten = s.store.create("10 h", at(0));
    const auto twelve = s.store.create("12 h", at(7200));
    const auto eleven = s.store.create("11 h", at(3600));

    const fs::path& root = s.store.root();
    put(root / "notes/meta.json", contents(s.meta(ten.id)));
    std::string lower = ten.id;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    fs::copy(root / ten.id, root / lower, fs::copy_options::recursive);
    const std::string other = "0F2C4A1E-7B1D-4C9A-9C3E-5A7F0D2B6E11";
    fs::copy(root / eleven.id, root / other, fs::copy_options::recursive); // names another track
    put(root / "8D4F9C2A-1111-4222-8333-944455556666/meta.json", "{\"id\":");
    fs::create_directories(root / "6B1E2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D");

    std::vector<std::string> names;
    for (const auto& metadata : s.store.listMetadata())
        names.push_back(metadata.name);
    EXPECT_EQ(names, (std::vector<std::string>{"12 h", "11 h", "10 h"}));
    EXPECT_EQ(s.store.repairUnfinished(), (std::vector<std::string>{twelve.id, eleven.id, ten.id}));
    EXPECT_EQ(nlohmann::json::parse(contents(root / other / "meta.json")).count("endedAt"), 0u) << "not repaired";
}

TEST(TrackStore, RepairEndsUnfinishedTracksAtTheirLastPointOrTheirStart)
{
    Store s;
    const auto empty = s.store.create("vide", at(0));
    const auto walked = s.store.create("marche", at(100));
    s.store.append(point(0, 0, 150), walked.id);
    s.store.append(point(10, 0, 400.5), walked.id);
    const auto finished = s.store.create("fini", at(200));
    s.store.finish(finished.id, at(900));

    TrackStore afterCrash(s.store.root());
    EXPECT_EQ(afterCrash.repairUnfinished(), (std::vector<std::string>{walked.id, empty.id}));
    EXPECT_EQ(afterCrash.readTrack(empty.id)->metadata.endedAt, at(0));
    EXPECT_EQ(afterCrash.readTrack(walked.id)->metadata.endedAt, at(400));
    EXPECT_EQ(afterCrash.readTrack(finished.id)->metadata.endedAt, at(900));
    EXPECT_TRUE(afterCrash.repairUnfinished().empty());
}

TEST(TrackStore, WritesNothingForTracksThatAreGone)
{
    LogCapture log;
    log.expect(platform::logcat::tracks, kOpenFailure);
    Store s;
    const auto lost = s.store.create("x", at(0));
    fs::remove(s.meta(lost.id));
    s.store.finish(lost.id, at(60));
    EXPECT_FALSE(fs::exists(s.meta(lost.id))) << "finish creates no meta.json";

    const auto recording = s.store.create("y", at(0));
    s.store.append(point(0, 0, 0), recording.id);
    s.store.deleteTrack(recording.id);
    EXPECT_FALSE(fs::exists(s.store.root() / recording.id));
    s.store.append(point(1, 0, 1), recording.id);
    EXPECT_TRUE(log.contains(platform::LogLevel::error, platform::logcat::tracks, kOpenFailure));
    TrackMetadata renamed = recording;
    renamed.name = "z";
    s.store.writeMetadata(renamed);
    s.store.writePoints({point(2, 0, 2)}, recording.id);
    EXPECT_FALSE(fs::exists(s.store.root() / recording.id)) << "a deleted track stays deleted";

    for (const char* bad : {"../escape", "", "E621E1F8-C36C-495A-93FC-0C247A3E6E5F/../x"}) {
        s.store.writeMetadata({bad, "x", at(0), std::nullopt});
        s.store.deleteTrack(bad);
        EXPECT_TRUE(s.store.readPoints(bad).empty());
    }
    EXPECT_TRUE(fs::exists(s.store.root())) << "no id reaches outside its own folder";
}

TEST(TrackStore, KeepsANameWithABadByteReadable)
{
    Store s;
    auto metadata = s.store.create("Pic\xFF", at(0));
    EXPECT_EQ(s.store.readTrack(metadata.id)->metadata.name, "Pic\uFFFD");
}

TEST(TrackStore, DiskSizeCountsAllocatedBlocksWithoutFollowingLinks)
{
    Store s;
    const auto id = s.store.create("x", at(0)).id;
    const auto before = s.store.diskSize();
    EXPECT_GT(before, 0u);
    put(s.store.root() / id / "extra", std::string(100'000, 'x'));
    const auto after = s.store.diskSize();
    EXPECT_GE(after - before, 100'000u);
    put(s.folder / "elsewhere", std::string(1'000'000, 'y'));
    fs::create_symlink(s.folder / "elsewhere", s.store.root() / id / "link");
    EXPECT_LT(s.store.diskSize() - after, 100'000u);
}

TEST(TrackStore, AKilledRecordingLosesAtMostThePointBeingWritten)
{
    Store s;
    const auto id = s.store.create("coupé", at(0)).id;
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    const std::string root = s.store.root().string();
    const std::string start = std::to_string(std::chrono::duration_cast<std::chrono::seconds>(at(0).time_since_epoch()).count());
    std::vector<char*> argv{const_cast<char*>(VELORIN_TRACK_APPENDER), const_cast<char*>(root.c_str()),
        const_cast<char*>(id.c_str()), const_cast<char*>(start.c_str()), nullptr};
    pid_t child = 0;
    ASSERT_EQ(::posix_spawn(&child, VELORIN_TRACK_APPENDER, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);

    // Read acknowledgements until a few hundred points are in, then kill mid-stream.
    long acknowledged = -1;
    std::string pending;
    char buffer[4096];
    while (acknowledged < 300) {
        const ssize_t got = ::read(pipeEnds[0], buffer, sizeof buffer);
        ASSERT_GT(got, 0) << "the appender stopped on its own";
        pending.append(buffer, static_cast<std::size_t>(got));
        for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
            acknowledged = std::stol(pending.substr(0, end));
            pending.erase(0, end + 1);
        }
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(pipeEnds[0]);
    ASSERT_TRUE(WIFSIGNALED(status));

    const auto points = s.store.readPoints(id);
    ASSERT_GE(static_cast<long>(points.size()), acknowledged) << "every acknowledged point but at most one is there";
    for (std::size_t i = 0; i < points.size(); ++i)
        ASSERT_EQ(points[i].timestamp, at(static_cast<double>(i))) << "in order, none torn into another";

    TrackStore afterCrash(s.store.root());
    EXPECT_EQ(afterCrash.repairUnfinished(), std::vector<std::string>{id});
    EXPECT_EQ(afterCrash.readTrack(id)->metadata.endedAt, points.back().timestamp);
}
