#include "library/FlyoverPhotoThumbnail.h"
#include "library/PhotoPage.h"
#include "library/PhotoViewer.h"

#include "platform/OperationQueue.h"
#include "platform/qt/QtMainQueue.h"
#include "recordings/PhotoLibrary.h"
#include "testing/ExifPhotoFile.h"
#include "testing/LocalTimeZone.h"
#include "testing/TemporaryFolder.h"
#include "testing/TestApplication.h"
#include "widgets/ActivitySpinner.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWheelEvent>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <memory>

using velorin::FlyoverPhotoThumbnail;
using velorin::PhotoPage;
using velorin::PhotoViewer;
using velorin::TrackPhoto;
namespace fs = std::filesystem;

namespace {

// Holds what is posted until the test runs it, in the order it chooses.
struct HeldTasks : platform::Executor {
    std::vector<Task> tasks;
    void post(Task task) override { tasks.push_back(std::move(task)); }
};

bool isRed(const QImage& image, double x, double y)
{
    const QColor pixel = image.pixelColor(int(x * (image.width() - 1)), int(y * (image.height() - 1)));
    return pixel.red() > 180 && pixel.green() < 90;
}

class PhotoViewerTest : public testing::Test {
protected:
    void SetUp() override
    {
        testing_support::application();
        main = std::make_unique<platform::QtMainQueue>();
    }

    // Three photos of a walk, each stored 40 × 30 with its top-left quarter red: the first
    // as taken, the second turned on its side by the camera, the third upside down.
    std::vector<TrackPhoto> writeWalk()
    {
        using Photo = testing_support::ExifPhotoFile;
        Photo { .date = "2024:05:01 10:05:00", .offset = "+02:00", .width = 40, .height = 30 }.write(pictures / "a-lac.jpg");
        Photo { .date = "2024:07:14 18:30:00", .offset = "+02:00", .orientation = 6, .width = 40, .height = 30 }
            .write(pictures / "b-col.jpg");
        Photo { .date = "2024:12:24 08:00:00", .offset = "+01:00", .orientation = 3, .width = 40, .height = 30 }
            .write(pictures / "c-refuge.jpg");
        std::vector<TrackPhoto> photos;
        for (const auto& asset : velorin::PhotoLibrary(pictures).assets())
            photos.push_back({ asset.id, asset.date, {} });
        return photos;
    }

    void finishDecodes()
    {
        decodes.waitUntilAllFinished();
        QCoreApplication::sendPostedEvents();
    }

    testing_support::LocalTimeZone france { testing_support::LocalTimeZone::kFrance };
    testing_support::TemporaryFolder folder;
    fs::path pictures = folder / "Images";
    // Before the decodes, so that no read still running hands its picture to a queue gone.
    std::unique_ptr<platform::QtMainQueue> main;
    platform::OperationQueue decodes { "photo-test", 1 };
};

TEST_F(PhotoViewerTest, TheKeysPageThroughThePhotosTitledByTheirDatesAndEscapeOrFermerDismiss)
{
    const auto photos = writeWalk();
    ASSERT_EQ(photos.size(), 3u);
    int dismissals = 0;
    PhotoViewer viewer(photos, 0, pictures, decodes, *main, [&] { ++dismissals; });
    viewer.resize(480, 360);
    viewer.show();
    EXPECT_TRUE(viewer.showsPageDots());

    struct Step {
        Qt::Key key;
        int index;
        const char* title;
    };
    EXPECT_EQ(viewer.title().toStdString(), "1 mai 2024 à 10:05");
    for (const Step& step : {
             Step { Qt::Key_Right, 1, "14 juil. 2024 à 18:30" },
             Step { Qt::Key_Right, 2, "24 déc. 2024 à 08:00" },
             Step { Qt::Key_Right, 2, "24 déc. 2024 à 08:00" },
             Step { Qt::Key_Left, 1, "14 juil. 2024 à 18:30" },
             Step { Qt::Key_Left, 0, "1 mai 2024 à 10:05" },
             Step { Qt::Key_Left, 0, "1 mai 2024 à 10:05" },
         }) {
        QTest::keyClick(&viewer, step.key);
        EXPECT_EQ(viewer.index(), step.index);
        EXPECT_EQ(viewer.title().toStdString(), step.title);
        EXPECT_EQ(viewer.page().id(), photos[std::size_t(step.index)].id);
    }
    EXPECT_EQ(dismissals, 0);
    QTest::keyClick(&viewer, Qt::Key_Escape);
    EXPECT_EQ(dismissals, 1);
    viewer.closeButton().click();
    EXPECT_EQ(dismissals, 2);
    EXPECT_EQ(viewer.closeButton().text(), QStringLiteral("Fermer"));
}

TEST_F(PhotoViewerTest, AClickOnEitherHalfTheWheelAndThePageDotsPageThroughThePhotos)
{
    const auto photos = writeWalk();
    PhotoViewer viewer(photos, 0, pictures, decodes, *main, [] {});
    viewer.resize(480, 360);
    viewer.show();
    const QPoint right(360, 180), left(120, 180);
    const auto wheel = [&](QPoint angle) {
        QWheelEvent event(QPointF(240, 180), viewer.mapToGlobal(QPointF(240, 180)), {}, angle, Qt::NoButton,
            Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&viewer, &event);
    };
    struct Step {
        const char* name;
        std::function<void()> act;
        int index;
    };
    const Step steps[] = {
        {"a click on the right half pages on", [&] { QTest::mouseClick(&viewer, Qt::LeftButton, {}, right); }, 1},
        {"a click on the left half pages back", [&] { QTest::mouseClick(&viewer, Qt::LeftButton, {}, left); }, 0},
        {"before the first page there is none", [&] { QTest::mouseClick(&viewer, Qt::LeftButton, {}, left); }, 0},
        {"a right click does nothing", [&] { QTest::mouseClick(&viewer, Qt::RightButton, {}, right); }, 0},
        {"a press dragged across the middle is no click",
            [&] {
                QTest::mousePress(&viewer, Qt::LeftButton, {}, left);
                QTest::mouseRelease(&viewer, Qt::LeftButton, {}, right);
            },
            0},
        {"a wheel notch down pages on", [&] { wheel({0, -120}); }, 1},
        {"half a notch waits for the other half", [&] { wheel({0, -60}); }, 1},
        {"which turns the page", [&] { wheel({0, -60}); }, 2},
        {"a notch up pages back", [&] { wheel({0, 120}); }, 1},
        {"a click on the first dot goes there",
            [&] { QTest::mouseClick(&viewer, Qt::LeftButton, {}, viewer.dotRect(0).center().toPoint()); }, 0},
        {"and on the last one there",
            [&] { QTest::mouseClick(&viewer, Qt::LeftButton, {}, viewer.dotRect(2).center().toPoint() + QPoint(4, 0)); }, 2},
    };
    for (const Step& step : steps) {
        step.act();
        EXPECT_EQ(viewer.index(), step.index) << step.name;
    }
    EXPECT_EQ(viewer.page().id(), photos[2].id);
}

TEST_F(PhotoViewerTest, DotsNeedTwoPhotosAndAnIndexOutsideTheListHasNoTitle)
{
    const auto photos = writeWalk();
    struct Case {
        std::size_t count;
        int index;
        bool dots;
        bool titled;
    };
    for (const Case& c : { Case { 0, 0, false, false }, Case { 1, 0, false, true }, Case { 2, 1, true, true },
             Case { 3, 3, true, false }, Case { 3, -1, true, false } }) {
        SCOPED_TRACE(testing::Message() << c.count << " photos at " << c.index);
        PhotoViewer viewer({ photos.begin(), photos.begin() + long(c.count) }, c.index, pictures, decodes, *main, [] {});
        EXPECT_EQ(viewer.showsPageDots(), c.dots);
        EXPECT_EQ(!viewer.title().isEmpty(), c.titled);
        EXPECT_EQ(viewer.page().id().empty(), !c.titled);
    }
    // The keys bring an index from outside back into the list.
    PhotoViewer viewer(photos, 7, pictures, decodes, *main, [] {});
    QTest::keyClick(&viewer, Qt::Key_Left);
    EXPECT_EQ(viewer.index(), 2);
}

TEST_F(PhotoViewerTest, APageShowsItsPhotoUprightAtItsPixelSizeAndAMissingOneKeepsTheSpinner)
{
    const auto photos = writeWalk();
    PhotoPage page(photos[1].id, pictures, decodes, *main);
    page.resize(12, 100);
    page.show();
    EXPECT_TRUE(page.image().isNull());
    EXPECT_TRUE(page.spinner().isVisible());
    finishDecodes();
    // Stored 40 × 30 on its side: upright 30 × 40, fitted in 12 points wide.
    ASSERT_FALSE(page.image().isNull());
    EXPECT_EQ(page.image().size(), QSize(12, 16) * page.devicePixelRatioF());
    EXPECT_TRUE(isRed(page.image(), 0.8, 0.2)) << "the red quarter turns to the top right";
    EXPECT_FALSE(isRed(page.image(), 0.2, 0.2));
    EXPECT_FALSE(page.spinner().isVisible());
    EXPECT_EQ(page.imageRect(), QRectF(0, 42, 12, 16)) << "whole and centred";

    // Shown again after its file was damaged: the page keeps what it shows.
    page.hide();
    std::ofstream(pictures / photos[1].id, std::ios::trunc) << "\xFF\xD8\xFF broken";
    page.show();
    finishDecodes();
    EXPECT_FALSE(page.image().isNull());

    for (const std::string& id : std::initializer_list<std::string> { "absent.jpg", photos[1].id, "../outside.jpg" }) {
        SCOPED_TRACE(id);
        PhotoPage empty(id, pictures, decodes, *main);
        empty.resize(100, 100);
        empty.show();
        finishDecodes();
        EXPECT_TRUE(empty.image().isNull());
        EXPECT_TRUE(empty.spinner().isVisible());
    }
}

TEST_F(PhotoViewerTest, APictureReadForAnotherPhotoOrForAGonePageIsDropped)
{
    const auto photos = writeWalk();
    HeldTasks held;
    auto page = std::make_unique<PhotoPage>(photos[0].id, pictures, held, *main);
    page->resize(40, 40);
    page->load(page->size());
    page->setId(photos[1].id);
    page->load(page->size());
    ASSERT_EQ(held.tasks.size(), 2u);
    // The second photo's picture comes first, the first one's late.
    held.tasks[1]();
    held.tasks[0]();
    QCoreApplication::sendPostedEvents();
    ASSERT_FALSE(page->image().isNull());
    EXPECT_EQ(page->image().size(), QSize(30, 40)) << "the photo on its side, not the first one";

    page->load(page->size());
    page.reset();
    held.tasks[2]();
    QCoreApplication::sendPostedEvents();

    // The thumbnail the same way.
    auto thumbnail = std::make_unique<FlyoverPhotoThumbnail>(photos[0], [] {}, pictures, held, *main);
    thumbnail->load();
    thumbnail->setPhoto(photos[1]);
    thumbnail->load();
    held.tasks[4]();
    held.tasks[3]();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(thumbnail->frameSize(), QSizeF(127.5, 170));
    thumbnail->load();
    thumbnail.reset();
    held.tasks[5]();
    QCoreApplication::sendPostedEvents();
}

TEST_F(PhotoViewerTest, AThumbnailsLongerSideIs170PointsInThePhotosProportions)
{
    struct Case {
        std::optional<QSizeF> image;
        QSizeF frame;
    };
    for (const Case& c : {
             Case { QSizeF(3000, 4000), QSizeF(127.5, 170) },
             Case { QSizeF(4000, 3000), QSizeF(170, 127.5) },
             Case { std::nullopt, QSizeF(170, 170) },
             Case { QSizeF(200, 200), QSizeF(170, 170) },
             // Less than a point high counts as one point: r is the width.
             Case { QSizeF(170, 0.5), QSizeF(170, 1) },
         }) {
        SCOPED_TRACE(testing::Message() << (c.image ? c.image->width() : -1));
        EXPECT_EQ(FlyoverPhotoThumbnail::frameSize(c.image), c.frame);
    }

    // Read from the folder: portrait, landscape, and a photo gone from it.
    testing_support::ExifPhotoFile { .date = "2024:05:01 10:05:00", .width = 300, .height = 400 }.write(pictures / "haut.jpg");
    testing_support::ExifPhotoFile { .date = "2024:05:01 10:06:00", .width = 400, .height = 300 }.write(pictures / "large.jpg");
    struct Read {
        std::string id;
        QSizeF frame;
        QSize widget;
    };
    for (const Read& r : { Read { "haut.jpg", QSizeF(127.5, 170), QSize(128, 170) },
             Read { "large.jpg", QSizeF(170, 127.5), QSize(170, 128) },
             Read { "disparue.jpg", QSizeF(170, 170), QSize(170, 170) } }) {
        SCOPED_TRACE(r.id);
        int taps = 0;
        FlyoverPhotoThumbnail thumbnail({ r.id, {}, {} }, [&] { ++taps; }, pictures, decodes, *main);
        thumbnail.show();
        finishDecodes();
        EXPECT_EQ(thumbnail.frameSize(), r.frame);
        EXPECT_EQ(thumbnail.size(), r.widget);
        EXPECT_EQ(thumbnail.image().isNull(), r.id == "disparue.jpg");
        EXPECT_EQ(thumbnail.accessibleName(), QStringLiteral("Photo du trajet, toucher pour l'ouvrir"));
        thumbnail.click();
        EXPECT_EQ(taps, 1);
    }
}

TEST_F(PhotoViewerTest, TheViewerAsDrawn)
{
    testing_support::ExifPhotoFile { .date = "2024:05:01 10:05:00", .offset = "+02:00", .orientation = 6, .width = 640, .height = 480 }
        .write(pictures / "col.jpg");
    testing_support::ExifPhotoFile { .date = "2024:05:01 11:40:00", .offset = "+02:00" }.write(pictures / "lac.jpg");
    const std::vector<TrackPhoto> photos { { "col.jpg", *platform::parseIso8601("2024-05-01T08:05:00Z"), {} },
        { "lac.jpg", *platform::parseIso8601("2024-05-01T09:40:00Z"), {} } };
    PhotoViewer viewer(photos, 0, pictures, decodes, *main, [] {});
    viewer.resize(640, 480);
    viewer.show();
    finishDecodes();
    const QImage image = viewer.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const auto path = fs::read_symlink("/proc/self/exe").parent_path() / "photo-viewer.png";
    ASSERT_TRUE(image.save(QString::fromStdString(path.string()), "PNG"));

    // The portrait photo stands in the middle on black, read at the size it is shown, its red
    // quarter at the top right.
    EXPECT_EQ(viewer.page().image().size(), QSize(306, 408) * viewer.devicePixelRatioF());
    const QRectF shown = viewer.page().imageRect().translated(viewer.page().pos());
    EXPECT_NEAR(shown.center().x(), 320, 1) << path;
    EXPECT_LT(shown.width(), shown.height()) << path;
    EXPECT_EQ(image.pixelColor(20, viewer.page().y() + 100), QColor(Qt::black)) << path;
    const QColor topRight = image.pixelColor(int(shown.left() + shown.width() * 0.75), int(shown.top() + shown.height() * 0.25));
    EXPECT_GT(topRight.red(), 180) << path;
    EXPECT_LT(topRight.green(), 90) << path;
}

} // namespace
