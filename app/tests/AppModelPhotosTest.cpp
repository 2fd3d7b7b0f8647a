#include "app/tests/AppModelFixture.h"
#include "app/tests/FakeMapCanvas.h"
#include "testing/ExifPhotoFile.h"

using testing_support::ExifPhotoFile;
using testing_support::exifTimeOnFirstOfMay2024;
using testing_support::FakeMapCanvas;
using velorin::AppModel;
using velorin::Track;
using velorin::TrackPhoto;

namespace {

class AppModelPhotos : public testing_support::AppModelFixture {
protected:
    std::shared_ptr<FakeMapCanvas> canvas = std::make_shared<FakeMapCanvas>();

    AppModel& makeShownModel()
    {
        auto& shown = makeModel();
        mainQueue->drain();
        shown.setCanvas(canvas);
        return shown;
    }

    // A located photo of the Pictures folder taken at `hour`:00 UTC on 1 May 2024.
    void addPhoto(const std::string& name, int hour)
    {
        ExifPhotoFile { .date = exifTimeOnFirstOfMay2024(hour, 0), .latitude = "45/1 55/1 0/1", .longitude = "6/1 52/1 0/1" }
            .write(folders.pictures / name);
    }

    static std::vector<std::string> ids(const std::vector<TrackPhoto>& photos)
    {
        std::vector<std::string> found;
        for (const auto& photo : photos)
            found.push_back(photo.id);
        return found;
    }

    // A saved walk from 9:00 to 11:00 UTC on 1 May 2024, shown on the map.
    Track showWalk(AppModel& model, const std::string& name)
    {
        auto& store = model.tracks().store();
        const auto start = platform::SystemTime(std::chrono::seconds(1714554000));
        Track track;
        track.metadata = store.create(name, start);
        for (int i = 0; i <= 2; ++i)
            track.points.push_back({ 45.9 + 0.01 * i, 6.87, 2000.0, start + std::chrono::hours(i), 10, {} });
        store.writePoints(track.points, track.metadata.id);
        store.finish(track.metadata.id, start + std::chrono::hours(2));
        model.openTrack(track);
        return track;
    }
};

} // namespace

TEST_F(AppModelPhotos, ThePinSwitchIsStoredShowsTheTrackPhotosAndReadsTheLibraryOnlyWhileOn)
{
    addPhoto("2024/matin.jpg", 8);
    addPhoto("2024/midi.jpg", 12);
    auto& model = makeShownModel();
    showWalk(model, "Lac Blanc");
    addPhoto("2024/pendant.jpg", 10);
    runPhotoLookups();
    EXPECT_EQ(ids(model.trackPhotos()), std::vector<std::string> { "2024/pendant.jpg" });
    // Hidden while the pins are off.
    EXPECT_EQ(canvas->photoLists.back(), std::vector<TrackPhoto> {});

    model.togglePhotoPins();
    EXPECT_TRUE(model.showsPhotoPins());
    EXPECT_EQ(readPreferences()->boolean(AppModel::kPhotoPinsKey), true);
    EXPECT_EQ(canvas->photoLists.back(), model.trackPhotos());
    EXPECT_TRUE(model.libraryPhotos().empty());
    runPhotoLookups();
    const std::vector<std::string> newestFirst { "2024/midi.jpg", "2024/pendant.jpg", "2024/matin.jpg" };
    EXPECT_EQ(ids(model.libraryPhotos()), newestFirst);
    EXPECT_EQ(canvas->libraryPhotoLists.back(), model.libraryPhotos());

    // Off before a reload ends: cleared at once, and the late result is dropped.
    model.reloadLibraryPhotos(true);
    model.togglePhotoPins();
    EXPECT_TRUE(model.libraryPhotos().empty());
    EXPECT_EQ(canvas->photoLists.back(), std::vector<TrackPhoto> {});
    EXPECT_EQ(canvas->libraryPhotoLists.back(), std::vector<TrackPhoto> {});
    runPhotoLookups();
    EXPECT_TRUE(model.libraryPhotos().empty());
    EXPECT_EQ(readPreferences()->boolean(AppModel::kPhotoPinsKey), false);
}

TEST_F(AppModelPhotos, OfTwoQuickLoadsOnlyTheSecondIsPublished)
{
    addPhoto("a.jpg", 8);
    storePreferences(R"({"Velorin.photoPins": true})");
    auto& model = makeShownModel();
    model.reloadLibraryPhotos(true);
    photoWorker->runOne();
    addPhoto("b.jpg", 9);
    model.reloadLibraryPhotos(true);
    const auto before = canvas->libraryPhotoLists.size();
    runPhotoLookups();
    ASSERT_EQ(canvas->libraryPhotoLists.size(), before + 1);
    EXPECT_EQ(ids(model.libraryPhotos()), (std::vector<std::string> { "b.jpg", "a.jpg" }));

    // The shown track changed twice: only the second lookup lands.
    showWalk(model, "Premier");
    addPhoto("c.jpg", 10);
    photoWorker->runOne();
    showWalk(model, "Second");
    runPhotoLookups();
    EXPECT_EQ(ids(model.trackPhotos()), (std::vector<std::string> { "b.jpg", "c.jpg" }));
}

TEST_F(AppModelPhotos, NoLibraryIsReadWhenTheSettingOrThePinsAreOff)
{
    addPhoto("a.jpg", 8);
    storePreferences(R"({"Velorin.libraryPhotos": false})");
    auto& model = makeShownModel();
    model.start();
    EXPECT_EQ(photoWorker->pendingCount(), 0u);
    model.togglePhotoPins();
    EXPECT_EQ(photoWorker->pendingCount(), 0u);
    EXPECT_TRUE(model.libraryPhotos().empty());

    storePreferences(R"({})");
    auto& pinsOff = makeShownModel();
    pinsOff.start();
    EXPECT_EQ(photoWorker->pendingCount(), 0u);
    EXPECT_TRUE(pinsOff.libraryPhotos().empty());
}

TEST_F(AppModelPhotos, TheViewerOpensTheTappedPhotos)
{
    addPhoto("pendant.jpg", 10);
    addPhoto("apres.jpg", 10);
    auto& model = makeShownModel();
    showWalk(model, "Lac Blanc");
    runPhotoLookups();
    ASSERT_EQ(model.trackPhotos().size(), 2u);
    model.photoTapped(1);
    EXPECT_EQ(model.viewedPhotos(), model.trackPhotos());
    EXPECT_EQ(model.viewedPhotoIndex(), 1);
    const std::vector<TrackPhoto> group { model.trackPhotos()[1] };
    model.libraryPhotosTapped(group);
    EXPECT_EQ(model.viewedPhotos(), group);
    EXPECT_EQ(model.viewedPhotoIndex(), 0);
    model.setViewedPhotoIndex(std::nullopt);
    EXPECT_EQ(model.viewedPhotoIndex(), std::nullopt);
}
