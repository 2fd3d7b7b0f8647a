#include "recordings/CaptureStore.h"

#include "platform/Image.h"
#include "recordings/CaptureMetadata.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cmath>
#include <fstream>
#include <limits>

using namespace velorin;
using testing_support::TemporaryFolder;

namespace {

platform::Image solidImage(int width, int height)
{
    platform::Image image { width, height, std::vector<std::byte>(std::size_t(width) * height * 4, std::byte { 0x80 }) };
    return image;
}

CameraPose pose(double x)
{
    return CameraPose { x, 0.3, 14, 0.5, 1.1, 1.2, 1280, 800 };
}

std::vector<std::string> entries(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    if (std::filesystem::exists(folder)) {
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream stream(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>() };
}

void writeFile(const std::filesystem::path& path, const std::string& text)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// A clock that moves one second at each reading, so that every capture is newer.
struct SteppingClock {
    platform::SystemTime next = platform::SystemTime(std::chrono::seconds(1714557900));
    CaptureStore::Now now()
    {
        return [this] { return next += std::chrono::seconds(1); };
    }
};

} // namespace

TEST(CaptureStore, ThumbnailsFitTheLongerSideAndNeverGrow)
{
    struct Case { int width, height, thumbWidth, thumbHeight; };
    for (auto c : { Case { 4800, 2400, 240, 120 }, Case { 300, 600, 120, 240 }, Case { 1000, 1000, 240, 240 },
             Case { 200, 100, 200, 100 }, Case { 2400, 1, 240, 1 } }) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        const auto jpeg = CaptureStore::thumbnail(solidImage(c.width, c.height));
        ASSERT_TRUE(jpeg);
        const auto decoded = platform::decodeImage(*jpeg);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->width, c.thumbWidth);
        EXPECT_EQ(decoded->height, c.thumbHeight);
    }
    EXPECT_FALSE(CaptureStore::thumbnail(platform::Image {}));
}

TEST(CaptureStore, AViewIsSavedIntoItsOwnFolderAndAFreshStoreListsItAgain)
{
    TemporaryFolder folder;
    SteppingClock clock;
    const auto root = folder / "VelorinCaptures";
    CaptureStore store(root, clock.now());
    EXPECT_TRUE(store.views().empty());
    EXPECT_TRUE(store.videos().empty());
    EXPECT_FALSE(std::filesystem::exists(root));
    int changes = 0;
    store.onChange = [&] { ++changes; };

    const auto first = store.saveView("Col du Galibier", Basemap::planIGN, pose(0.51), solidImage(800, 400));
    const auto second = store.saveView("Vue du 1 mai 2024 à 10:05", Basemap::orthophoto, pose(0.52), solidImage(100, 50));
    ASSERT_TRUE(first && second);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(entries(root / "views" / first->id), (std::vector<std::string> { "meta.json", "photo.jpg", "thumb.jpg" }));
    EXPECT_EQ(first->basemap, "planIGN");
    const std::string jpeg = readFile(store.photoFile(*first));
    const auto photo = platform::decodeImage(std::as_bytes(std::span(jpeg.data(), jpeg.size())));
    ASSERT_TRUE(photo);
    EXPECT_EQ(photo->width, 800);
    EXPECT_EQ(store.views(), (std::vector<SavedView> { *second, *first }));

    // The date is stored as seconds since 2001 and comes back to the second.
    const auto meta = nlohmann::json::parse(readFile(root / "views" / first->id / "meta.json"));
    EXPECT_DOUBLE_EQ(meta["date"].get<double>(), 1714557901.0 - 978307200.0);
    EXPECT_EQ(meta["pose"]["focal"].get<double>(), 1.2);

    CaptureStore reopened(root);
    EXPECT_EQ(reopened.views(), store.views());
}

TEST(CaptureStore, ANameThatIsNotUtf8IsSavedWithItsBadBytesReplaced)
{
    // A place name from a database in Latin-1, and a sequence cut short at the end.
    TemporaryFolder folder;
    const auto root = folder / "VelorinCaptures";
    CaptureStore store(root);
    const auto view = store.saveView("Saint-\xE9tienne", Basemap::planIGN, pose(0.5), solidImage(64, 32));
    store.saveVideo("Survol de B\xC3", Basemap::orthophoto, { pose(0.5) }, 30, std::nullopt);
    ASSERT_TRUE(view);
    ASSERT_EQ(store.videos().size(), 1u);

    CaptureStore reopened(root);
    ASSERT_EQ(reopened.views().size(), 1u);
    ASSERT_EQ(reopened.videos().size(), 1u);
    EXPECT_EQ(reopened.views()[0].id, view->id);
    EXPECT_EQ(reopened.views()[0].name, "Saint-\uFFFDtienne");
    EXPECT_EQ(reopened.videos()[0].name, "Survol de B\uFFFD");
}

TEST(CaptureStore, ASaveThatCannotBeStoredLeavesNoFolderAndNoEntry)
{
    TemporaryFolder folder;
    const auto root = folder / "VelorinCaptures";
    CaptureStore store(root);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    CameraPose broken = pose(0.5);
    broken.pitch = nan;

    EXPECT_FALSE(store.saveView("Vue", Basemap::planIGN, broken, solidImage(64, 32)));
    EXPECT_FALSE(store.saveView("Vue", Basemap::planIGN, pose(0.5), platform::Image {}));
    store.saveVideo("Survol", Basemap::planIGN, { pose(0.5), broken }, 30, std::nullopt);
    for (double rate : { 0.0, -30.0, nan, infinity })
        store.saveVideo("Survol", Basemap::planIGN, { pose(0.5) }, rate, std::nullopt);
    EXPECT_TRUE(store.views().empty());
    EXPECT_TRUE(store.videos().empty());
    EXPECT_EQ(entries(root / "views"), std::vector<std::string> {});
    EXPECT_EQ(entries(root / "videos"), std::vector<std::string> {});

    // A folder that cannot be made: the views path is a file.
    writeFile(root / "views", "");
    EXPECT_FALSE(store.saveView("Vue", Basemap::planIGN, pose(0.5), solidImage(64, 32)));
}

TEST(CaptureStore, FiftyVideosAreKeptAndTheOldestGoesWithItsFilm)
{
    TemporaryFolder folder;
    SteppingClock clock;
    const auto root = folder / "VelorinCaptures";
    CaptureStore store(root, clock.now());
    store.saveVideo("Survol 0", Basemap::planIGN, { pose(0.1), pose(0.2) }, 30, solidImage(480, 270));
    const SavedVideo first = store.videos().front();
    EXPECT_EQ(entries(root / "videos" / first.id), (std::vector<std::string> { "meta.json", "thumb.jpg" }));
    writeFile(store.filmURL(first.id, false), "film");
    for (int i = 1; i <= 50; ++i)
        store.saveVideo("Survol " + std::to_string(i), Basemap::openTopo, { pose(0.1) }, 30, std::nullopt);

    ASSERT_EQ(store.videos().size(), 50u);
    EXPECT_EQ(store.videos().front().name, "Survol 50");
    EXPECT_EQ(store.videos().back().name, "Survol 1");
    EXPECT_FALSE(std::filesystem::exists(root / "videos" / first.id));
    EXPECT_EQ(entries(root / "videos").size(), 50u);
    // Without an image there is no thumbnail.
    EXPECT_EQ(entries(root / "videos" / store.videos().front().id), std::vector<std::string> { "meta.json" });

    CaptureStore reopened(root);
    EXPECT_EQ(reopened.videos(), store.videos());

    // A store that does not trim, as a scripted run beside the window opens it, keeps them all.
    CaptureStore beside(root, clock.now(), false);
    beside.saveVideo("Survol 51", Basemap::openTopo, { pose(0.1) }, 30, std::nullopt);
    EXPECT_EQ(beside.videos().size(), 51u);
    EXPECT_EQ(entries(root / "videos").size(), 51u);
    beside.deleteVideo(beside.videos().front());

    const SavedVideo gone = store.videos()[3];
    store.deleteVideo(gone);
    store.deleteVideo(gone);
    EXPECT_EQ(store.videos().size(), 49u);
    EXPECT_FALSE(std::filesystem::exists(root / "videos" / gone.id));
}

TEST(CaptureStore, FilmsAreNamedByHeightInTheVideosFolderAndNothingIsCreated)
{
    TemporaryFolder folder;
    CaptureStore store(folder / "VelorinCaptures");
    const std::string id = "0F8FAD5B-D9CB-469F-A165-70867728950E";
    EXPECT_EQ(store.filmURL(id, true), folder / "VelorinCaptures/videos" / id / "film-1080.mp4");
    EXPECT_EQ(store.filmURL(id, false), folder / "VelorinCaptures/videos" / id / "film-720.mp4");
    EXPECT_FALSE(std::filesystem::exists(folder / "VelorinCaptures"));
}

TEST(CaptureStore, ListingSkipsWhatIsNotACaptureOfItsFolder)
{
    TemporaryFolder folder;
    const auto root = folder / "VelorinCaptures";
    const auto views = root / "views";
    const SavedView good { "6B29FC40-CA47-4C21-9C52-5C8E7D2D3A10", platform::SystemTime(std::chrono::seconds(1714557900)),
        "Pic", "planIGN", pose(0.5) };
    const std::string text = *capture_metadata::encode(good);
    writeFile(views / good.id / "meta.json", text);
    const auto lower = std::string("6b29fc40-ca47-4c21-9c52-5c8e7d2d3a11");
    auto lowerView = good;
    lowerView.id = lower;
    writeFile(views / lower / "meta.json", *capture_metadata::encode(lowerView));
    // Another folder's record, copied: deleting it would miss its folder.
    writeFile(views / "7B29FC40-CA47-4C21-9C52-5C8E7D2D3A10" / "meta.json", text);
    writeFile(views / "stray.txt", "x");
    std::filesystem::create_directories(views / "A9E1C2B4-1111-4C21-9C52-5C8E7D2D3A10");
    writeFile(views / "B9E1C2B4-1111-4C21-9C52-5C8E7D2D3A10" / "meta.json", "{\"id\":");
    CaptureStore store(root);
    EXPECT_EQ(store.views(), std::vector<SavedView> { good });

    // A record whose id is no folder name of the store removes no folder.
    auto climbing = good;
    climbing.id = "..";
    store.deleteView(climbing);
    EXPECT_TRUE(std::filesystem::exists(views / good.id / "meta.json"));
    EXPECT_EQ(store.views().size(), 1u);
}

TEST(CaptureMetadata, ReadingRefusesMissingKeysWrongTypesAndBadNumbersAndIgnoresUnknownKeys)
{
    const std::string pose8 = R"({"x":0.5,"y":0.3,"zoom":14,"bearing":0,"pitch":0,"focal":1.2,"width":1280,"height":800})";
    const std::string head = R"("id":"6B29FC40-CA47-4C21-9C52-5C8E7D2D3A10","date":737000000.5,"name":"Survol","basemap":"planIGN")";
    struct Case { std::string text; bool view, video; };
    for (const auto& c : {
             Case { "{" + head + R"(,"pose":)" + pose8 + "}", true, false },
             Case { "{" + head + R"(,"extra":{"pose":[1,{"x":"a"}]},"pose":)" + pose8 + "}", true, false },
             Case { "{" + head + R"(,"frameRate":30,"poses":[)" + pose8 + "," + pose8 + "]}", false, true },
             Case { "{" + head + R"(,"frameRate":30,"poses":[]})", false, true },
             Case { "{" + head + R"(,"frameRate":0,"poses":[]})", false, false },
             Case { "{" + head + R"(,"frameRate":null,"poses":[]})", false, false },
             Case { "{" + head + R"(,"frameRate":30,"poses":[1]})", false, false },
             Case { "{" + head + R"(,"frameRate":30,"poses":[{"x":0.5}]})", false, false },
             Case { "{" + head + R"(,"pose":{"x":0.5,"y":0.3,"zoom":14,"bearing":0,"pitch":null,"focal":1,"width":1,"height":1}})", false, false },
             Case { "{" + head + R"(,"pose":{"x":0.5,"y":0.3,"zoom":14,"bearing":0,"pitch":1e999,"focal":1,"width":1,"height":1}})", false, false },
             Case { R"({"id":"6B29FC40-CA47-4C21-9C52-5C8E7D2D3A10","date":"2024","name":"a","basemap":"planIGN","pose":)" + pose8 + "}", false, false },
             Case { R"({"date":1,"name":"a","basemap":"planIGN","pose":)" + pose8 + "}", false, false },
             Case { R"({"id":"6B29FC40-CA47-4C21-9C52-5C8E7D2D3A10","date":76730242005,"name":"a","basemap":"planIGN","pose":)" + pose8 + "}", false, false },
             Case { R"({"id":"6B29FC40-CA47-4C21-9C52-5C8E7D2D3A10","date":8000000000,"name":"a","basemap":"planIGN","pose":)" + pose8 + "}", true, false },
             Case { "[" + pose8 + "]", false, false },
             Case { "", false, false },
         }) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(capture_metadata::decodeView(c.text).has_value(), c.view);
        EXPECT_EQ(capture_metadata::decodeVideo(c.text).has_value(), c.video);
    }
}
