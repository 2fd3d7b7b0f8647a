#include "canvas/CameraReportThrottle.h"
#include "canvas/GestureJournal.h"
#include "canvas/KeyModifiers.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <clocale>
#include <iterator>
#include <regex>
#include <string>

namespace velorin {
namespace {

std::string contents(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

Camera viewOfTheAiguilleDuMidi()
{
    Camera camera;
    camera.center = WorldPoint::fromLatitudeLongitude(45.878611, 6.887222);
    camera.zoom = 14.25;
    camera.viewSize = {1000, 800};
    camera.bearing = 3.5;
    camera.pitch = 1.0;
    camera.focalLength = 1.5;
    return camera;
}

TEST(GestureJournal, ALineEndsWithTheViewAsStartAtNumbersAndTheEyeAltitude)
{
    // Numbers keep their decimal point whatever the user's locale (a comma one, where
    // the machine has it).
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "fr_FR.UTF-8");
    const std::string line
        = GestureJournal::line("2026-12-09 23:04:05.006", "début glisser ⇧", viewOfTheAiguilleDuMidi(), 3842.4);
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(line,
        "2026-12-09 23:04:05.006 début glisser ⇧ -startAt 45.878611,6.887222,14.2500,-159.46,57.30,1.5000"
        " | œil 3842 m\n");
}

TEST(GestureJournal, TimesAreLocalWithMilliseconds)
{
    EXPECT_TRUE(std::regex_match(GestureJournal::localTimeNow(),
        std::regex(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3})")));
}

class GestureJournalFile : public ::testing::Test {
protected:
    testing_support::TemporaryFolder folder;
    std::filesystem::path path = folder / "cache" / "VelorinGestes.log";
    std::shared_ptr<platform::UserDefaults> defaults
        = std::make_shared<platform::UserDefaults>(folder / "defaults.json");
    Camera camera = viewOfTheAiguilleDuMidi();

    void enable() { defaults->setBoolean(GestureJournal::kEnabledKey, true); }
};

TEST_F(GestureJournalFile, NothingIsWrittenNorCreatedWhileTheSettingIsOff)
{
    GestureJournal journal(path, defaults);
    journal.write("clic ", camera, 100);
    EXPECT_FALSE(std::filesystem::exists(path));

    enable();
    journal.write("clic ", camera, 100);
    EXPECT_NE(contents(path).find(" clic  -startAt "), std::string::npos);
}

TEST_F(GestureJournalFile, AJournalPastFiveMillionBytesIsEmptiedWhenOpened)
{
    enable();
    struct Case {
        std::uintmax_t size;
        bool kept;
    };
    for (auto c : {Case{5'000'000, true}, Case{5'000'001, false}}) {
        SCOPED_TRACE(c.size);
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << std::string(c.size, 'x');
        GestureJournal journal(path, defaults);
        journal.write("double clic", camera, 100);
        const auto size = std::filesystem::file_size(path);
        EXPECT_EQ(size > c.size, c.kept);
        EXPECT_EQ(contents(path).find("x") == std::string::npos, !c.kept);
    }
}

TEST_F(GestureJournalFile, AnUnwritableJournalDropsLinesQuietly)
{
    enable();
    std::filesystem::create_directories(path); // a folder where the file should be
    GestureJournal journal(path, defaults);
    journal.write("double clic", camera, 100);
    journal.write("double clic", camera, 100);
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

TEST_F(GestureJournalFile, AGestureWritesItsStartAndItsEndWithTheDetailAndNamesItInBetween)
{
    enable();
    GestureJournal journal(path, defaults);
    journal.noteGesture("pincer", GestureJournal::GesturePhase::began, {.shift = true}, "", camera, 100);
    journal.noteGesture("pincer", GestureJournal::GesturePhase::changed, {.shift = true},
        GestureJournal::pinchDetail(1.23456), camera, 100);
    EXPECT_EQ(journal.gesture(), "pincer ⇧ ×1.235");
    journal.noteGesture("pincer", GestureJournal::GesturePhase::ended, {.shift = true},
        GestureJournal::pinchDetail(1.5), camera, 100);
    EXPECT_EQ(journal.gesture(), std::nullopt);

    const std::string lines = contents(path);
    EXPECT_NE(lines.find(" début pincer ⇧ -startAt "), std::string::npos);
    EXPECT_NE(lines.find(" fin pincer ⇧ ×1.500 -startAt "), std::string::npos);
    EXPECT_EQ(GestureJournal::panDetail(12.4, -3.6), "(12, -4)");
    EXPECT_EQ(GestureJournal::rotationDetail(-0.5), "-0.500 rad");
}

TEST(KeyModifiers, SymbolsComeInControlOptionShiftCommandOrder)
{
    EXPECT_EQ(modifierSymbols({}), "");
    EXPECT_EQ(modifierSymbols({.shift = true, .command = true}), "⇧⌘");
    EXPECT_EQ(modifierSymbols({true, true, true, true}), "⌃⌥⇧⌘");
}

TEST(CameraReportThrottle, EachReportWaitsUntilItsIntervalIsExceeded)
{
    const double t = 10.0;
    CameraReportThrottle throttle;
    const auto first = throttle.due(t, false);
    EXPECT_TRUE(first.journalMotion && first.notification && first.save);

    struct Case {
        double at;
        bool journalMotion, notification, save;
    };
    for (auto c : {Case{t + 0.05, false, false, false}, Case{t + 0.1, false, false, false},
             Case{t + 0.11, false, true, false}, Case{t + 0.26, true, true, false},
             Case{t + 1.0, true, true, false}, Case{t + 1.01, false, false, true}}) {
        SCOPED_TRACE(c.at);
        const auto due = throttle.due(c.at, false);
        EXPECT_EQ(due.journalMotion, c.journalMotion);
        EXPECT_EQ(due.notification, c.notification);
        EXPECT_EQ(due.save, c.save);
    }
}

TEST(CameraReportThrottle, NoMotionLineWhileAGestureIsUnderWay)
{
    CameraReportThrottle throttle;
    EXPECT_FALSE(throttle.due(10, true).journalMotion);
    EXPECT_TRUE(throttle.due(10.01, false).journalMotion);
}

} // namespace
} // namespace velorin
