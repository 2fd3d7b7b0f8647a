#include "library/GPXImport.h"

#include "recordings/TrackStore.h"
#include "testing/FileSizeLimit.h"
#include "testing/LogCapture.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A track of `count` points a minute apart, climbing north.
std::string trackOf(const std::string& name, int count)
{
    std::string points;
    for (int i = 0; i < count; ++i)
        points += fmt::format(R"(<trkpt lat="{:.4f}" lon="6.9000"><ele>{}</ele><time>2026-05-01T08:{:02}:00Z</time></trkpt>)",
            45.9 + 0.0005 * i, 1200 + i, i);
    return "<trk><name>" + name + "</name><trkseg>" + points + "</trkseg></trk>";
}

fs::path writeGpx(const fs::path& file, const std::string& tracks)
{
    std::ofstream(file) << R"(<?xml version="1.0"?><gpx version="1.1" creator="test" xmlns="http://www.topografix.com/GPX/1/1">)"
                        << tracks << "</gpx>";
    return file;
}

} // namespace

TEST(GPXImport, AFileWhosePointsCannotBeWrittenFailsWholeAndLeavesNoTrackWhileTheNextIsStored)
{
    testing_support::LogCapture log;
    testing_support::TemporaryFolder folder;
    const fs::path root = folder / "tracks";
    // The first track of the file fits on the disk, its second does not.
    const fs::path full = writeGpx(folder / "Tour du Mont Blanc.gpx", trackOf("Jour 1", 2) + trackOf("Jour 2", 60));
    const fs::path small = writeGpx(folder / "Lac Blanc.gpx", trackOf("Lac Blanc", 2));
    constexpr rlim_t kDiskRoomBytes = 2048;

    velorin::GPXImportResult result;
    {
        const testing_support::FileSizeLimit disk(kDiskRoomBytes);
        result = velorin::importGPXFiles(root, { full, small }, std::chrono::system_clock::now());
    }
    EXPECT_EQ(result.imported, 1);
    EXPECT_EQ(result.failed, std::vector<std::string> { "Tour du Mont Blanc.gpx" });
    EXPECT_TRUE(result.withoutTracks.empty());

    velorin::TrackStore store(root);
    const auto stored = store.listMetadata();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored.front().name, "Lac Blanc");
    EXPECT_EQ(store.readPoints(stored.front().id).size(), 2u);
    EXPECT_EQ(std::distance(fs::directory_iterator(root), {}), 1) << "no folder of the failed file's tracks is left";
}
