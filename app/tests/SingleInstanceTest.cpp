#include "app/SingleInstance.h"
#include "app/tests/LoopbackMaps.h"
#include "platform/Folders.h"
#include "recordings/RecordingLocation.h"
#include "recordings/TrackRecorder.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLockFile>
#include <QProcess>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

using velorin::SingleInstance;
using velorin::TrackRecorder;
namespace fs = std::filesystem;

namespace {

constexpr int kProgramTimeoutMilliseconds = 90'000;

class StillLocation final : public velorin::RecordingLocation {
public:
    void applyRecordingSettings(bool) override {}
    void startLocating() override {}
};

platform::LocationFix fixAt(double north, double seconds)
{
    platform::LocationFix fix;
    fix.latitude = 45.9 + north / 111'000;
    fix.longitude = 6.87;
    fix.altitude = 1200;
    fix.horizontalAccuracy = 5;
    fix.verticalAccuracy = 5;
    fix.timestamp = 1'714'557'600 + seconds;
    return fix;
}

// The real program over the folders of `root`, as the user would start it a second time;
// the event loop keeps turning meanwhile, so that an instance in this process can answer.
struct ProgramRun {
    int exitCode = -1;
    bool finished = false;
    std::string output;
};

ProgramRun runProgram(const fs::path& root, const QStringList& arguments, bool display = true)
{
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DATA", "CACHE", "CONFIG", "RUNTIME"}) {
        const std::string lower = QString(name).toLower().toStdString();
        environment.insert(QStringLiteral("XDG_%1_%2").arg(name, name == std::string("RUNTIME") ? "DIR" : "HOME"),
            QString::fromStdString((root / lower).string()));
    }
    environment.insert("VELORIN_HOSTS", QString::fromStdString((root / "hosts.json").string()));
    if (!display) {
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
    }
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(VELORIN_BINARY, arguments);
    QElapsedTimer timer;
    timer.start();
    while (program.state() != QProcess::NotRunning && timer.elapsed() < kProgramTimeoutMilliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ProgramRun run;
    run.finished = program.state() == QProcess::NotRunning;
    if (!run.finished) {
        program.kill();
        program.waitForFinished();
    }
    run.exitCode = program.exitCode();
    run.output = program.readAll().toStdString();
    return run;
}

class SingleInstanceTest : public ::testing::Test {
protected:
    int argc = 0;
    QCoreApplication application {argc, nullptr};
    testing_support::TemporaryFolder root;
    fs::path runtime = root / "runtime";
    platform::Folders folders = platform::Folders::under(root.path());
    StillLocation location;
    std::unique_ptr<TrackRecorder> recorder;

    void SetUp() override
    {
        fs::create_directories(runtime);
        fs::permissions(runtime, fs::perms::owner_all);
        std::ofstream(root / "hosts.json") << "{}";
    }

    // The first window's recording, as its model makes it.
    TrackRecorder& startRecording()
    {
        recorder = std::make_unique<TrackRecorder>(std::make_unique<velorin::TrackStore>(folders.tracks()), location,
            [] { return std::chrono::system_clock::now(); });
        recorder->start();
        return *recorder;
    }
};

} // namespace

// The walker records in the first window, then starts Velorin again from the desktop: the
// second start hands over and ends, and the walk goes on being recorded in the first.
TEST_F(SingleInstanceTest, ASecondStartHandsOverAndTheFirstRecordingGoesOnToTheEnd)
{
    SingleInstance first(runtime);
    ASSERT_EQ(first.claim({}), SingleInstance::Claim::first);
    std::vector<std::vector<std::string>> handed;
    QObject::connect(&first, &SingleInstance::argumentsReceived,
        [&](const std::vector<std::string>& arguments) { handed.push_back(arguments); });
    TrackRecorder& tracks = startRecording();
    tracks.record(fixAt(0, 0), std::nullopt);
    tracks.record(fixAt(40, 30), std::nullopt);
    const std::string id = tracks.current()->metadata.id;

    const ProgramRun second = runProgram(root.path(), {"-showTracks", "-startAt", "45.9,6.87,14"});
    ASSERT_TRUE(second.finished) << second.output;
    EXPECT_EQ(second.exitCode, 0) << second.output;
    EXPECT_EQ(handed, (std::vector<std::vector<std::string>> {{"-showTracks", "-startAt", "45.9,6.87,14"}}));
    const auto meanwhile = tracks.store().readTrack(id);
    ASSERT_TRUE(meanwhile);
    EXPECT_EQ(meanwhile->metadata.endedAt, std::nullopt) << "the second start closed the walk being recorded";

    tracks.record(fixAt(80, 60), std::nullopt);
    tracks.record(fixAt(120, 90), std::nullopt);
    const auto recorded = tracks.current()->points;
    tracks.stop();
    const auto saved = velorin::TrackStore(folders.tracks()).readTrack(id);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->points, recorded);
    EXPECT_EQ(saved->points.size(), 4u);
    EXPECT_TRUE(saved->metadata.endedAt);
}

// A script's snapshot runs on its own beside the window, and leaves the walk being
// recorded as it found it.
TEST_F(SingleInstanceTest, AScriptedRunBesideTheWindowRunsOnItsOwnAndRepairsNothing)
{
    testing_support::LoopbackServer server;
    testing_support::serveMaps(server, root / "hosts.json");
    SingleInstance first(runtime);
    ASSERT_EQ(first.claim({}), SingleInstance::Claim::first);
    int handOvers = 0;
    QObject::connect(&first, &SingleInstance::argumentsReceived, [&] { ++handOvers; });
    TrackRecorder& tracks = startRecording();
    tracks.record(fixAt(0, 0), std::nullopt);
    const std::string id = tracks.current()->metadata.id;

    const fs::path picture = root / "snapshot.jpg";
    const ProgramRun script = runProgram(root.path(),
        {"-startAt", fmt::format("{},{},13,0,60", testing_support::kLatitude, testing_support::kLongitude).c_str(),
            "-snapshotTo", QString::fromStdString(picture.string())},
        false);
    ASSERT_TRUE(script.finished) << script.output;
    EXPECT_EQ(script.exitCode, 0) << script.output;
    EXPECT_TRUE(fs::is_regular_file(picture)) << script.output;
    EXPECT_EQ(handOvers, 0);
    const auto meanwhile = tracks.store().readTrack(id);
    ASSERT_TRUE(meanwhile);
    EXPECT_EQ(meanwhile->metadata.endedAt, std::nullopt);
    tracks.record(fixAt(40, 30), std::nullopt);
    EXPECT_EQ(tracks.store().readPoints(id).size(), 2u);
}

// A window that crashed left its lock behind: the process it names is gone, so the next
// start is the first.
TEST_F(SingleInstanceTest, ALockLeftByACrashIsTakenOver)
{
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        QLockFile lock(QString::fromStdString((runtime / SingleInstance::kLockFile).string()));
        ::_exit(lock.tryLock(0) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_TRUE(fs::exists(runtime / SingleInstance::kLockFile));

    SingleInstance next(runtime);
    EXPECT_EQ(next.claim({"-showTracks"}), SingleInstance::Claim::first);
}
