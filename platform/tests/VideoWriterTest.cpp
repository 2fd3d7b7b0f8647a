#include "platform/VideoWriter.h"

#include "testing/FileSizeLimit.h"
#include "testing/FilmProbe.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

namespace {

using platform::Image;
using platform::VideoWriter;
using testing_support::FileSizeLimit;

// A frame that changes from one index to the next, so the encoder has something to write.
Image frame(int width, int height, int index)
{
    Image image {width, height, std::vector<std::byte>(std::size_t(width) * height * 4)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::byte* pixel = &image.pixels[(std::size_t(y) * width + x) * 4];
            const unsigned noise = unsigned(x * 7919 + y * 104729 + index * 15485863) * 2654435761u;
            pixel[0] = std::byte((x + index * 3) & 0xff);
            pixel[1] = std::byte((y * 2 + index) & 0xff);
            pixel[2] = std::byte(noise >> 24);
            pixel[3] = std::byte(0xff);
        }
    }
    return image;
}

Image plain(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    Image image {width, height, std::vector<std::byte>(std::size_t(width) * height * 4)};
    for (std::size_t i = 0; i < image.pixels.size(); i += 4) {
        image.pixels[i] = std::byte(r);
        image.pixels[i + 1] = std::byte(g);
        image.pixels[i + 2] = std::byte(b);
        image.pixels[i + 3] = std::byte(0xff);
    }
    return image;
}

std::string contents(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

bool writeFilm(const std::filesystem::path& target, int width, int height, double rate, int frames)
{
    VideoWriter writer(target, width, height, rate);
    for (int i = 0; i < frames; ++i) {
        if (writer.append(frame(width, height, i)))
            return false;
    }
    return writer.finish();
}

TEST(VideoWriterTest, WritesAnH264Mp4WithEveryFrameAtItsRate)
{
    testing_support::TemporaryFolder folder;
    const auto target = folder / "film.mp4";
    ASSERT_TRUE(writeFilm(target, 320, 240, 30, 60));

    const auto fields = film_probe::probe(target);
    EXPECT_NE(film_probe::first(fields, "format_name").find("mov,mp4"), std::string::npos);
    ASSERT_EQ(fields.count("codec_name"), 1u);
    EXPECT_EQ(fields.at("codec_name"), std::vector<std::string> {"h264"});
    EXPECT_EQ(film_probe::first(fields, "nb_read_frames"), "60");
    EXPECT_EQ(film_probe::first(fields, "width"), "320");
    EXPECT_EQ(film_probe::first(fields, "height"), "240");
    EXPECT_EQ(film_probe::first(fields, "pix_fmt"), "yuv420p");
    EXPECT_EQ(film_probe::first(fields, "r_frame_rate"), "30/1");
    EXPECT_NEAR(std::stod(film_probe::first(fields, "duration")), 2.0, 1e-6);
    EXPECT_EQ(film_probe::first(fields, "color_space"), "bt709");
    EXPECT_EQ(film_probe::first(fields, "color_primaries"), "bt709");
    EXPECT_EQ(film_probe::first(fields, "color_transfer"), "bt709");
    EXPECT_EQ(film_probe::first(fields, "color_range"), "tv");
    // Nothing is left beside the film.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

TEST(VideoWriterTest, KeepsFractionalRatesExact)
{
    struct Case {
        double rate;
        const char* expected;
        double seconds; // of 30 frames
    };
    for (const Case c : {Case {29.97, "2997/100", 30 * 100.0 / 2997}, Case {25, "25/1", 1.2},
             Case {23.976, "2997/125", 30 * 125.0 / 2997}}) {
        testing_support::TemporaryFolder folder;
        const auto target = folder / "film.mp4";
        ASSERT_TRUE(writeFilm(target, 64, 48, c.rate, 30)) << c.rate;
        const auto fields = film_probe::probe(target);
        EXPECT_EQ(film_probe::first(fields, "r_frame_rate"), c.expected) << c.rate;
        EXPECT_NEAR(std::stod(film_probe::first(fields, "duration")), c.seconds, 0.001) << c.rate;
    }
}

TEST(VideoWriterTest, RefusesUnusableRatesAndOddSizesWithoutTouchingTheTarget)
{
    struct Case {
        int width, height;
        double rate;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    for (const Case c : {Case {64, 48, 0}, Case {64, 48, nan}, Case {64, 48, infinity}, Case {64, 48, 0.5},
             Case {64, 48, -30}, Case {64, 47, 30}, Case {63, 48, 30}, Case {0, 48, 30}}) {
        testing_support::TemporaryFolder folder;
        const auto target = folder / "film.mp4";
        writeFile(target, "earlier film");
        EXPECT_THROW(VideoWriter(target, c.width, c.height, c.rate), VideoWriter::Error)
            << c.width << "×" << c.height << " at " << c.rate;
        EXPECT_EQ(contents(target), "earlier film");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
    }
}

TEST(VideoWriterTest, AnUnfinishedFilmLeavesNothingAndTheEarlierFileStands)
{
    testing_support::TemporaryFolder folder;
    const auto target = folder / "film.mp4";
    writeFile(target, "earlier film");
    {
        VideoWriter writer(target, 64, 48, 30);
        EXPECT_EQ(writer.partPath(), folder / ".film.mp4.part");
        for (int i = 0; i < 10; ++i)
            ASSERT_FALSE(writer.append(frame(64, 48, i)));
        EXPECT_TRUE(std::filesystem::exists(writer.partPath()));
        EXPECT_TRUE(writer.append(frame(32, 48, 10))) << "a frame of another size is refused";
        EXPECT_FALSE(writer.finish()) << "a film with a refused frame does not finish";
    }
    EXPECT_EQ(contents(target), "earlier film");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

TEST(VideoWriterTest, AWriteFailingMidwayFailsTheFilmAndKeepsTheEarlierFile)
{
    testing_support::TemporaryFolder folder;
    const auto target = folder / "film.mp4";
    writeFile(target, "earlier film");
    bool appended = true;
    bool finished = true;
    {
        const FileSizeLimit limit(64 * 1024);
        VideoWriter writer(target, 320, 240, 30);
        for (int i = 0; i < 90 && appended; ++i)
            appended = !writer.append(frame(320, 240, i));
        finished = writer.finish();
    }
    EXPECT_FALSE(finished);
    EXPECT_EQ(contents(target), "earlier film");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

TEST(VideoWriterTest, ColoursGoThroughTheMatrixTheStreamIsTaggedWith)
{
    // Limited-range luma of each colour under BT.709; BT.601 would give 82, 145 and 41.
    struct Case {
        std::uint8_t r, g, b;
        int luma;
    };
    for (const Case c : {Case {255, 0, 0, 63}, Case {0, 255, 0, 173}, Case {0, 0, 255, 32}, Case {255, 255, 255, 235},
             Case {0, 0, 0, 16}}) {
        testing_support::TemporaryFolder folder;
        const auto target = folder / "film.mp4";
        {
            VideoWriter writer(target, 64, 48, 30);
            for (int i = 0; i < 3; ++i)
                ASSERT_FALSE(writer.append(plain(64, 48, c.r, c.g, c.b)));
            ASSERT_TRUE(writer.finish());
        }
        const std::string yuv = film_probe::firstFrameYuv(target);
        ASSERT_EQ(yuv.size(), 64u * 48 * 3 / 2);
        EXPECT_NEAR(int(std::uint8_t(yuv[64 * 24 + 32])), c.luma, 2) << int(c.r) << "," << int(c.g) << "," << int(c.b);
    }
}

} // namespace
