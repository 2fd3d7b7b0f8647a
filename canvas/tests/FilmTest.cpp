#include "CanvasTestSupport.h"

#include "canvas/FilmSize.h"
#include "canvas/ResourceWait.h"
#include "map-data/TextureCache.h"
#include "testing/FilmProbe.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <numbers>
#include <sstream>

namespace velorin {
namespace {

std::string contents(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(FilmSize, KeepsTheFirstPoseProportionsAtAnEvenHeight)
{
    struct Case {
        int height;
        double poseWidth, poseHeight;
        FilmSize expected;
    };
    for (const Case c : {Case {720, 1000, 750, {960, 720}}, Case {1081, 1001, 1000, {1084, 1082}},
             Case {1080, 1920, 1080, {1920, 1080}}, Case {241, 1280, 800, {388, 242}}, Case {1, 100, 100, {2, 2}}}) {
        EXPECT_EQ(FilmSize::of(c.height, c.poseWidth, c.poseHeight), c.expected)
            << c.height << " for " << c.poseWidth << "×" << c.poseHeight;
    }
}

class FilmTest : public testing_support::CanvasTest {
protected:
    static constexpr double kDegree = std::numbers::pi / 180;

    std::shared_ptr<MapCanvasView> canvas;
    std::vector<double> progress;
    std::vector<bool> completions;

    void SetUp() override
    {
        canvas = makeCanvas();
        canvas->layout();
        Camera camera = canvas->camera();
        camera.center = WorldPoint::fromLatitudeLongitude(45.92, 6.87);
        camera.zoom = 13;
        camera.pitch = 50 * kDegree;
        canvas->applyCamera(camera, true);
        runFrames(*canvas);
    }

    // `count` poses of a 1000 × 750 view moving east from the camera's place.
    SavedVideo video(int count, double rate = 30) const
    {
        SavedVideo saved {"ID", {}, "Vol", "top25", rate, {}};
        const Camera& camera = canvas->camera();
        for (int i = 0; i < count; ++i) {
            saved.poses.push_back({camera.center.x + i * 1e-6, camera.center.y, camera.zoom, camera.bearing,
                camera.pitch, camera.focalLength, 1000, 750});
        }
        return saved;
    }

    bool film(const SavedVideo& saved, int height, const std::filesystem::path& path, Basemap basemap = Basemap::top25,
        bool overlays = false)
    {
        return canvas->exportVideo(saved, basemap, height, path, overlays,
            [this](double fraction) { progress.push_back(fraction); },
            [this](bool finished) { completions.push_back(finished); });
    }

    // Runs the main queue, and the clock while a frame waits, until the film has ended.
    void runFilm()
    {
        for (int guard = 0; guard < 100000 && completions.empty(); ++guard) {
            if (mainQueue->drain() > 0)
                continue;
            if (!completions.empty())
                break;
            if (clock->pendingTimers() > 0)
                clock->advance(0.04);
            else
                mainQueue->runOneWaiting(10);
        }
    }
};

TEST_F(FilmTest, WritesEveryPoseAtTheFilmSizeAndReportsItsProgress)
{
    const auto path = folder / "film.mp4";
    ASSERT_TRUE(film(video(3), 720, path));
    EXPECT_TRUE(canvas->isExporting());
    runFilm();

    EXPECT_EQ(completions, std::vector<bool> {true});
    EXPECT_EQ(progress, (std::vector<double> {1.0 / 3, 2.0 / 3, 1.0}));
    const auto fields = film_probe::probe(path);
    EXPECT_EQ(film_probe::first(fields, "codec_name"), "h264");
    EXPECT_EQ(film_probe::first(fields, "nb_read_frames"), "3");
    EXPECT_EQ(film_probe::first(fields, "width"), "960");
    EXPECT_EQ(film_probe::first(fields, "height"), "720");
    EXPECT_FALSE(canvas->isExporting());
    EXPECT_TRUE(window.linkRunning);
    mainQueue->drain();
    EXPECT_EQ(completions.size(), 1u) << "the completion runs once";
}

TEST_F(FilmTest, APlatformBasemapIsFilmedOnTheOrthophotoAndEverythingComesBack)
{
    canvas->setBasemap(Basemap::applePlan);
    canvas->renderer().detailBias = 2;
    const Camera before = canvas->camera();
    std::vector<Basemap> filmedOn;
    std::vector<int> filmedBias;
    ASSERT_TRUE(canvas->exportVideo(video(2), Basemap::appleSatellite, 64, folder / "film.mp4", false,
        [&](double) {
            filmedOn.push_back(canvas->renderer().basemap);
            filmedBias.push_back(canvas->renderer().detailBias);
        },
        [this](bool finished) { completions.push_back(finished); }));
    runFilm();

    EXPECT_EQ(completions, std::vector<bool> {true});
    EXPECT_EQ(filmedOn, (std::vector<Basemap> {Basemap::orthophoto, Basemap::orthophoto}));
    EXPECT_EQ(filmedBias, (std::vector<int> {0, 0}));
    EXPECT_EQ(canvas->renderer().basemap, Basemap::applePlan);
    EXPECT_EQ(canvas->renderer().detailBias, 2);
    EXPECT_EQ(canvas->camera().center, before.center);
    EXPECT_EQ(canvas->camera().zoom, before.zoom);
    EXPECT_EQ(canvas->camera().pitch, before.pitch);
}

TEST_F(FilmTest, RefusesAFilmWithoutPosesAtAnUnusableRateOrWhileAnotherRuns)
{
    const auto path = folder / "film.mp4";
    std::ofstream(path) << "earlier film";
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const SavedVideo& refused : {video(0), video(3, 0), video(3, nan), video(3, 0.5),
             video(3, std::numeric_limits<double>::infinity())}) {
        EXPECT_FALSE(film(refused, 64, path)) << refused.poses.size() << " poses at " << refused.frameRate;
        EXPECT_FALSE(canvas->isExporting());
    }
    mainQueue->drain();
    EXPECT_TRUE(completions.empty());
    EXPECT_EQ(contents(path), "earlier film");

    const auto running = folder / "running.mp4";
    ASSERT_TRUE(film(video(2), 64, running));
    EXPECT_FALSE(film(video(2), 64, path)) << "a second film";
    runFilm();
    EXPECT_EQ(completions, std::vector<bool> {true}) << "the first film is not disturbed";
    EXPECT_EQ(film_probe::first(film_probe::probe(running), "nb_read_frames"), "2");
    EXPECT_EQ(contents(path), "earlier film");
}

TEST_F(FilmTest, IgnoresInputWhileFilmingAndGivesItBackAfterAFailedRender)
{
    int touches = 0;
    canvas->onTouch = [&] { ++touches; };
    canvas->renderer().detailBias = 1;
    const Camera before = canvas->camera();
    const auto path = folder / "film.mp4";
    std::ofstream(path) << "earlier film";

    testing::internal::CaptureStdout();
    // Wider than any texture the GPU makes.
    ASSERT_TRUE(film(video(3), 17000, path));
    canvas->touchBegan();
    canvas->wheelNotches(3, {10, 10});
    canvas->ensureDisplayLink();
    EXPECT_EQ(touches, 0);
    EXPECT_FALSE(window.linkRunning) << "no display-link frames while filming";
    runFilm();
    const std::string output = testing::internal::GetCapturedStdout();

    EXPECT_EQ(completions, std::vector<bool> {false});
    EXPECT_NE(output.find("film : rendu impossible\n"), std::string::npos) << output;
    EXPECT_EQ(contents(path), "earlier film");
    EXPECT_FALSE(std::filesystem::exists(folder / ".film.mp4.part"));
    EXPECT_EQ(canvas->camera().center, before.center);
    EXPECT_EQ(canvas->camera().zoom, before.zoom);
    EXPECT_EQ(canvas->renderer().basemap, Basemap::top25);
    EXPECT_EQ(canvas->renderer().detailBias, 1);
    EXPECT_FALSE(canvas->isExporting());
    EXPECT_TRUE(window.linkRunning);
    canvas->touchBegan();
    EXPECT_EQ(touches, 1);
}

TEST_F(FilmTest, AFrameWhoseDataNeverComeWaitsSixSecondsOnceAndTheNextOnesNotAtAll)
{
    // A cache that never receives a tile.
    canvas->renderer().textures = std::make_shared<TextureCache>(clock);
    const double start = clock->now();
    ASSERT_TRUE(film(video(4), 64, folder / "film.mp4"));
    runFilm();
    EXPECT_EQ(completions, std::vector<bool> {true});
    EXPECT_EQ(progress.size(), 4u);
    EXPECT_GE(clock->now() - start, ResourceWait::kPatienceSeconds);
    EXPECT_LT(clock->now() - start, ResourceWait::kPatienceSeconds + 0.5);
}

TEST_F(FilmTest, OverlaysAreScaledFromThePoseViewNotTheWindowAndSnapshotsHaveThemToo)
{
    // Poses of 1000 × 750 pixels at 2 pixels a point are 375 points high; at 300 pixels high
    // a point is 0.8 film pixels, whatever the window's size now.
    window.bounds = {640, 200};
    canvas->layout();
    ASSERT_TRUE(film(video(2), 300, folder / "film.mp4", Basemap::top25, true));
    runFilm();
    EXPECT_EQ(completions, std::vector<bool> {true});
    ASSERT_EQ(window.overlayScales.size(), 2u);
    EXPECT_DOUBLE_EQ(window.overlayScales[0], 0.8);

    window.overlayScales.clear();
    completions.clear();
    ASSERT_TRUE(film(video(2), 300, folder / "plain.mp4"));
    runFilm();
    EXPECT_TRUE(window.overlayScales.empty()) << "overlays only when asked for";

    // A snapshot has them too: 640 × 200 points at 2 pixels a point, at most 480 pixels wide.
    ASSERT_TRUE(canvas->snapshot(480));
    ASSERT_EQ(window.overlayScales.size(), 1u);
    EXPECT_DOUBLE_EQ(window.overlayScales[0], 150.0 / 200);
}

TEST_F(FilmTest, DestroyingTheCanvasMidFilmCancelsItAndSaysSo)
{
    const auto path = folder / "film.mp4";
    ASSERT_TRUE(film(video(40), 64, path));
    mainQueue->runOne();
    canvas.reset();
    for (int i = 0; i < 10 && completions.empty(); ++i)
        mainQueue->drain();
    EXPECT_EQ(completions, std::vector<bool> {false});
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(std::filesystem::exists(folder / ".film.mp4.part"));
}

} // namespace
} // namespace velorin
