#include "recordings/TrackPhoto.h"

#include "platform/Image.h"
#include "testing/ExifPhotoFile.h"
#include "testing/LocalTimeZone.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <span>

using namespace velorin;
using testing_support::TemporaryFolder;

namespace {

using Tags = testing_support::ExifPhotoFile;

void writePhoto(const std::filesystem::path& file, const Tags& tags)
{
    tags.write(file);
}

platform::SystemTime utc(int hour, int minute, int second = 0)
{
    // 2024-05-01 00:00:00 UTC.
    return platform::SystemTime(std::chrono::seconds(1714521600 + hour * 3600 + minute * 60 + second));
}

std::string exifTime(int hour, int minute, int second = 0)
{
    return testing_support::exifTimeOnFirstOfMay2024(hour, minute, second);
}

TrackPoint point(double latitude, double longitude, platform::SystemTime time)
{
    TrackPoint p;
    p.latitude = latitude;
    p.longitude = longitude;
    p.timestamp = time;
    return p;
}

Track track(std::vector<TrackPoint> points)
{
    Track t;
    t.points = std::move(points);
    return t;
}

} // namespace

TEST(TrackPhoto, APhotoTakenDuringTheTrackSitsAtItsTagsOrOnThePointNearestInTime)
{
    TemporaryFolder folder;
    const auto pictures = folder / "Pictures";
    const Track walk = track({ point(45.0, 6.0, utc(10, 0)), point(45.1, 6.1, utc(10, 10)), point(45.2, 6.2, utc(10, 20)) });
    writePhoto(pictures / "2024/first.jpg", { .date = exifTime(10, 0), .latitude = "45/1 30/1 0/1", .longitude = "6/1 15/1 0/1" });
    writePhoto(pictures / "2024/last.JPG", { .date = exifTime(10, 20) });
    // Equally near the first two points: the earlier wins.
    writePhoto(pictures / "2024/between.jpg", { .date = exifTime(10, 5) });
    writePhoto(pictures / "2024/blurred.jpg",
        { .date = exifTime(10, 12), .latitude = "44/1 0/1 0/1", .longitude = "5/1 0/1 0/1", .accuracy = "-5/1" });
    // Only the digitised time: it counts, at its own offset (none: local time, UTC here).
    writePhoto(pictures / "scans/digitized.jpg", { .offset = "", .digitized = exifTime(10, 15) });
    writePhoto(pictures / "2024/before.jpg", { .date = exifTime(9, 59, 59) });
    writePhoto(pictures / "2024/after.jpg", { .date = exifTime(10, 20, 1) });
    writePhoto(pictures / "Screenshots/map.png.jpg", { .date = exifTime(10, 6) });
    writePhoto(pictures / "2024/Capture d’écran du 2024-05-01.jpg", { .date = exifTime(10, 7) });
    writePhoto(pictures / ".thumbnails/hidden.jpg", { .date = exifTime(10, 8) });
    writePhoto(pictures / "2024/undated.jpg", {});
    std::filesystem::create_symlink(pictures / "2024/first.jpg", pictures / "link.jpg");
    testing_support::LocalTimeZone zone("UTC0");

    const PhotoLibrary library(pictures);
    const auto photos = TrackPhoto::fetch(walk, library);
    const std::vector<TrackPhoto> expected {
        { "2024/first.jpg", utc(10, 0), WorldPoint::fromLatitudeLongitude(45.5, 6.25) },
        { "2024/between.jpg", utc(10, 5), WorldPoint::fromLatitudeLongitude(45.0, 6.0) },
        { "2024/blurred.jpg", utc(10, 12), WorldPoint::fromLatitudeLongitude(45.1, 6.1) },
        { "scans/digitized.jpg", utc(10, 15), WorldPoint::fromLatitudeLongitude(45.1, 6.1) },
        { "2024/last.JPG", utc(10, 20), WorldPoint::fromLatitudeLongitude(45.2, 6.2) },
    };
    EXPECT_EQ(photos, expected);
    EXPECT_EQ(TrackPhoto::file(pictures, photos.front().id), pictures / "2024/first.jpg");

    // A walk of one point keeps the photos of that very second, all on it.
    const auto single = TrackPhoto::fetch(track({ point(46, 7, utc(10, 5)) }), library);
    ASSERT_EQ(single.size(), 1u);
    EXPECT_EQ(single[0].world, WorldPoint::fromLatitudeLongitude(46, 7));
    EXPECT_TRUE(TrackPhoto::fetch(track({}), library).empty());
}

TEST(TrackPhoto, TheLibraryListsItsLocatedPhotosNewestFirstAndSeesChangedFiles)
{
    TemporaryFolder folder;
    const auto pictures = folder / "Pictures";
    const std::string latitude = "45/1 0/1 0/1", longitude = "6/1 0/1 0/1";
    writePhoto(pictures / "a.jpg", { .date = exifTime(8, 0), .latitude = latitude, .longitude = longitude, .accuracy = "12/1" });
    writePhoto(pictures / "b.jpg", { .date = exifTime(9, 0), .latitude = latitude, .longitude = longitude, .latitudeRef = "S", .longitudeRef = "W" });
    writePhoto(pictures / "unlocated.jpg", { .date = exifTime(10, 0) });
    writePhoto(pictures / "blurred.jpg", { .date = exifTime(10, 0), .latitude = latitude, .longitude = longitude, .accuracy = "-1/1" });
    writePhoto(pictures / "zero.jpg", { .date = exifTime(10, 0), .latitude = "45/0 0/1 0/1", .longitude = longitude });
    writePhoto(pictures / "nofix.jpg", { .date = exifTime(10, 0), .latitude = latitude, .longitude = longitude, .status = "V" });
    writePhoto(pictures / "pole.jpg", { .date = exifTime(10, 0), .latitude = "95/1 0/1 0/1", .longitude = longitude });
    writePhoto(pictures / "badref.jpg", { .date = exifTime(10, 0), .latitude = latitude, .longitude = longitude, .latitudeRef = "X" });
    writePhoto(pictures / "Captures d'écran/c.jpg", { .date = exifTime(11, 0), .latitude = latitude, .longitude = longitude });
    std::ofstream(pictures / "broken.jpg") << "not a photo";

    const PhotoLibrary library(pictures);
    auto ids = [&] {
        std::vector<std::string> found;
        for (const auto& photo : TrackPhoto::libraryPhotos(false, library))
            found.push_back(photo.id);
        return found;
    };
    EXPECT_EQ(ids(), (std::vector<std::string> { "b.jpg", "a.jpg" }));
    EXPECT_EQ(TrackPhoto::libraryPhotos(false, library)[0].world, WorldPoint::fromLatitudeLongitude(-45, -6));

    // A photo edited since the last scan is read again.
    std::filesystem::remove(pictures / "a.jpg");
    writePhoto(pictures / "a.jpg", { .date = exifTime(12, 0), .latitude = latitude, .longitude = longitude });
    EXPECT_EQ(ids(), (std::vector<std::string> { "a.jpg", "b.jpg" }));

    // A cancelled scan ends at once.
    std::atomic<bool> cancelled = true;
    EXPECT_TRUE(TrackPhoto::libraryPhotos(false, library, &cancelled).empty());
}

TEST(TrackPhoto, AFolderThatCannotBeReadGivesNoPhotos)
{
    TemporaryFolder folder;
    const PhotoLibrary library(folder / "Missing");
    EXPECT_FALSE(TrackPhoto::requestAccess(library));
    EXPECT_TRUE(TrackPhoto::libraryPhotos(true, library).empty());
    EXPECT_TRUE(TrackPhoto::fetch(track({ point(45, 6, utc(10, 0)) }), library).empty());
}

TEST(TrackPhoto, ExifTimesTakeTheirOffsetElseTheLocalZone)
{
    testing_support::LocalTimeZone zone(testing_support::LocalTimeZone::kFrance);
    struct Case { std::string text, offset; std::optional<platform::SystemTime> date; };
    for (const auto& c : {
             Case { "2024:05:01 12:05:00", "", utc(10, 5) },
             Case { "2024:05:01 12:05:00", "+00:00", utc(12, 5) },
             Case { "2024:05:01 12:05:00", "-03:30", utc(15, 35) },
             Case { "2024:01:15 12:05:00", "", platform::SystemTime(std::chrono::seconds(1705316700)) },
             Case { "0000:00:00 00:00:00", "", std::nullopt },
             Case { "2024:13:01 12:05:00", "", std::nullopt },
             Case { "2024-05-01", "", std::nullopt },
         }) {
        SCOPED_TRACE(c.text + " " + c.offset);
        EXPECT_EQ(PhotoExif::parseDate(c.text, c.offset), c.date);
    }

    // Read from a file the same way.
    TemporaryFolder folder;
    writePhoto(folder / "p.jpg", { .date = "2024:05:01 12:05:00", .offset = "" });
    ASSERT_TRUE(PhotoExif::read(folder / "p.jpg"));
    EXPECT_EQ(PhotoExif::read(folder / "p.jpg")->date, utc(10, 5));
}

TEST(TrackPhoto, PhotoIdsNeverLeaveThePicturesFolder)
{
    struct Case { std::string id; bool kept; };
    for (const auto& c : { Case { "2024/a.jpg", true }, Case { "/etc/passwd", false }, Case { "../a.jpg", false },
             Case { "2024/../../a.jpg", false }, Case { "", false } }) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(TrackPhoto::file("/home/walker/Images", c.id).has_value(), c.kept);
    }
}

TEST(PhotoExif, OrientationIsTheStoredTagOrUprightWhenItCannotBeTrusted)
{
    TemporaryFolder folder;
    auto orientationOf = [&](int stored) {
        writePhoto(folder / "p.jpg", { .date = exifTime(10, 0), .orientation = stored });
        std::ifstream in(folder / "p.jpg", std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        return PhotoExif::orientation(std::as_bytes(std::span(bytes.data(), bytes.size())));
    };
    struct Case { int stored; int read; };
    for (const Case& c : { Case { 0, 1 }, Case { 1, 1 }, Case { 3, 3 }, Case { 6, 6 }, Case { 8, 8 }, Case { 9, 1 } }) {
        SCOPED_TRACE(c.stored);
        EXPECT_EQ(orientationOf(c.stored), c.read);
    }
    const std::string garbage = "not an image at all";
    EXPECT_EQ(PhotoExif::orientation(std::as_bytes(std::span(garbage.data(), garbage.size()))), 1);
    EXPECT_EQ(PhotoExif::orientation({}), 1);
}
