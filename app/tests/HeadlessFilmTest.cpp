#include "app/tests/LoopbackMaps.h"
#include "testing/FilmProbe.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The real program filming a travel without a display, against loopback map servers: it
// waits the travel's 30 s, films, and ends once the file is closed.
TEST(HeadlessFilm, TheProgramFilmsATravelWithoutADisplayAndExitsWithZero)
{
    testing_support::TemporaryFolder folder;
    testing_support::LoopbackServer server;
    testing_support::serveMaps(server, folder / "hosts.json");
    const auto film = folder / "out.mp4";
    const std::string command = fmt::format(
        "env -u DISPLAY -u WAYLAND_DISPLAY VELORIN_HOSTS='{0}/hosts.json' XDG_DATA_HOME='{0}/data' "
        "XDG_CACHE_HOME='{0}/cache' XDG_CONFIG_HOME='{0}/config' '{1}' -startAt 45.83,6.86,13,0,60 "
        "-filmTravel '45.83,6.86;45.84,6.88' -filmTravelSeconds 2 -filmHeight 240 -filmTo '{2}' 2>&1",
        folder.path().string(), VELORIN_BINARY, film.string());
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_TRUE(pipe);
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, got);
    const int status = ::pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status)) << output;
    EXPECT_EQ(WEXITSTATUS(status), 0) << output;
    // 61 eye points over 2 s; the last stands on the point it looks at and has no pose.
    EXPECT_NE(output.find("film : 60 images"), std::string::npos) << output;
    EXPECT_NE(output.find("film : fini"), std::string::npos) << output;

    const auto fields = film_probe::probe(film);
    EXPECT_NE(film_probe::first(fields, "format_name").find("mp4"), std::string::npos);
    EXPECT_EQ(film_probe::first(fields, "codec_name"), "h264");
    EXPECT_EQ(film_probe::first(fields, "nb_read_frames"), "60") << output;
    EXPECT_EQ(film_probe::first(fields, "height"), "240");
    const std::string width = film_probe::first(fields, "width");
    ASSERT_FALSE(width.empty());
    EXPECT_EQ(std::stoi(width) % 2, 0);
    EXPECT_NEAR(std::stod(film_probe::first(fields, "duration")), 60.0 / 30, 1e-3);

    // The middle frame, to look at.
    const auto picture = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "film-check.png";
    film_probe::commandOutput(fmt::format(
        "ffmpeg -v error -y -i '{}' -vf 'select=eq(n\\,30)' -frames:v 1 '{}'", film.string(), picture.string()));
    EXPECT_TRUE(std::filesystem::exists(picture));
}

} // namespace
