#include "canvas/qt/PhotoThumbnail.h"

#include "testing/ExifPhotoFile.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace velorin {
namespace {

bool isRed(const platform::Image& image, int x, int y)
{
    const std::byte* pixel = image.pixels.data() + (std::size_t(y) * std::size_t(image.width) + std::size_t(x)) * 4;
    return int(pixel[0]) > 180 && int(pixel[1]) < 90;
}

// The fixtures are stored 40 × 30 with their top-left quarter red.
TEST(PhotoThumbnail, PicturesStandUprightByTheirOrientationAndFitWithoutGrowing)
{
    testing_support::TemporaryFolder folder;
    struct Case {
        int orientation;
        int boxWidth, boxHeight;
        int width, height;
        double exactWidth, exactHeight;
        // Where the red quarter ends up, as a point well inside it.
        double redX, redY;
    };
    for (const Case& c : {
             Case { 0, 400, 400, 40, 30, 40, 30, 0.2, 0.2 },
             Case { 1, 20, 20, 20, 15, 20, 15, 0.2, 0.2 },
             Case { 3, 400, 400, 40, 30, 40, 30, 0.8, 0.8 },
             Case { 6, 15, 400, 15, 20, 15, 20, 0.8, 0.2 },
             Case { 8, 400, 12, 9, 12, 9, 12, 0.2, 0.8 },
             // A 30 × 40 picture in 17 × 17 is 12.75 wide, drawn as 13 whole pixels.
             Case { 6, 17, 17, 13, 17, 12.75, 17, 0.8, 0.2 },
         }) {
        SCOPED_TRACE(testing::Message() << c.orientation << " in " << c.boxWidth << "x" << c.boxHeight);
        testing_support::ExifPhotoFile { .date = "2024:05:01 10:00:00", .orientation = c.orientation, .width = 40, .height = 30 }
            .write(folder / "p.jpg");
        const auto photo = photoFitting(folder.path(), "p.jpg", c.boxWidth, c.boxHeight);
        ASSERT_TRUE(photo);
        EXPECT_EQ(photo->image.width, c.width);
        EXPECT_EQ(photo->image.height, c.height);
        EXPECT_DOUBLE_EQ(photo->width, c.exactWidth);
        EXPECT_DOUBLE_EQ(photo->height, c.exactHeight);
        EXPECT_TRUE(isRed(photo->image, int(c.redX * c.width), int(c.redY * c.height)));
        EXPECT_FALSE(isRed(photo->image, int((1 - c.redX) * c.width), int((1 - c.redY) * c.height)));
    }

    // The pins' square thumbnail turns the same way.
    testing_support::ExifPhotoFile { .date = "2024:05:01 10:00:00", .orientation = 6, .width = 40, .height = 30 }
        .write(folder / "p.jpg");
    const auto square = photoThumbnail(folder.path(), "p.jpg", 30);
    ASSERT_TRUE(square);
    EXPECT_EQ(square->width, 30);
    EXPECT_TRUE(isRed(*square, 25, 3));
    EXPECT_FALSE(isRed(*square, 5, 3));
}

TEST(PhotoThumbnail, NothingIsReadOutsideTheFolderFromBrokenFilesOrForAnEmptyBox)
{
    testing_support::TemporaryFolder folder;
    testing_support::ExifPhotoFile { .date = "2024:05:01 10:00:00" }.write(folder / "Images" / "p.jpg");
    testing_support::ExifPhotoFile { .date = "2024:05:01 10:00:00" }.write(folder / "outside.jpg");
    std::ofstream(folder / "Images" / "broken.jpg") << "\xFF\xD8\xFF garbage";
    const auto pictures = folder / "Images";
    EXPECT_TRUE(photoFitting(pictures, "p.jpg", 10, 10));
    for (const std::string& id : std::initializer_list<std::string> { "absent.jpg", "broken.jpg", "../outside.jpg", (folder / "outside.jpg").string(), std::string() }) {
        SCOPED_TRACE(id);
        EXPECT_FALSE(photoFitting(pictures, id, 10, 10));
    }
    EXPECT_FALSE(photoFitting(pictures, "p.jpg", 0, 10));
}

} // namespace
} // namespace velorin
