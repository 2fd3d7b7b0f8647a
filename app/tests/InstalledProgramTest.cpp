#include "platform/Image.h"
#include "testing/LoopbackServer.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

using testing_support::LoopbackServer;

namespace {

constexpr int kTileSide = 256;

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>() };
}

// A tile of one colour; in Terrarium encoding (128, 0, 0) is sea level.
std::string solidTile(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    platform::Image image { kTileSide, kTileSide, std::vector<std::byte>(std::size_t(kTileSide) * kTileSide * 4) };
    for (std::size_t i = 0; i < image.pixels.size(); i += 4) {
        image.pixels[i] = std::byte(red);
        image.pixels[i + 1] = std::byte(green);
        image.pixels[i + 2] = std::byte(blue);
        image.pixels[i + 3] = std::byte(255);
    }
    const auto png = platform::encodePng(image);
    return png ? std::string(reinterpret_cast<const char*>(png->data()), png->size()) : std::string();
}

int run(const std::string& command)
{
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

// Installed into a prefix of its own, the program finds its shaders, resources and update
// plug-in there with no help from the build tree or the environment.
TEST(InstalledProgram, RunsFromItsPrefixWithItsFilesAndADesktopEntry)
{
    testing_support::TemporaryFolder folder;
    const auto prefix = folder.path() / "prefix";
    ASSERT_EQ(run(fmt::format("'{}' --install '{}' --prefix '{}' > '{}' 2>&1", VELORIN_CMAKE, VELORIN_BUILD_TREE,
                  prefix.string(), (folder.path() / "install.log").string())),
        0)
        << readFile(folder.path() / "install.log");
    for (const char* file : { "bin/velorin", "lib/velorin/plugins/Korrelvane.so", "share/velorin/shaders/frame.glsl",
             "share/velorin/resources/France.outline", "share/velorin/resources/LogoVelorin.png",
             "share/applications/velorin.desktop", "share/icons/hicolor/scalable/apps/velorin.svg",
             "share/icons/hicolor/256x256/apps/velorin.png" })
        EXPECT_TRUE(std::filesystem::is_regular_file(prefix / file)) << file;
    EXPECT_EQ(run(fmt::format("'{}' '{}' > '{}' 2>&1", VELORIN_DESKTOP_FILE_VALIDATE,
                  (prefix / "share/applications/velorin.desktop").string(), (folder.path() / "validate.log").string())),
        0)
        << readFile(folder.path() / "validate.log");

    LoopbackServer server;
    server.route("/*", LoopbackServer::reply(200, solidTile(60, 160, 80), { { "Content-Type", "image/png" } }));
    server.route("/elevation-tiles-prod/terrarium/*",
        LoopbackServer::reply(200, solidTile(128, 0, 0), { { "Content-Type", "image/png" } }));
    const std::string host = fmt::format("127.0.0.1:{}", server.port());
    std::ofstream(folder.path() / "hosts.json") << fmt::format(
        R"({{"scheme": "http", "ignHost": "{0}", "openTopoHost": "{0}", "swisstopoHost": "{0}",
            "spainHost": "{0}", "austriaHost": "{0}", "terrariumHost": "{0}", "updateHost": "{0}"}})",
        host);
    const auto picture = folder.path() / "installed.jpg";
    const auto errors = folder.path() / "velorin.log";
    // From another folder, with no display: the off-screen snapshot.
    const int status = run(fmt::format("cd / && env -u DISPLAY -u WAYLAND_DISPLAY XDG_DATA_HOME='{0}/data' "
                                       "XDG_CACHE_HOME='{0}/cache' XDG_CONFIG_HOME='{0}/config' VELORIN_HOSTS='{0}/hosts.json' "
                                       "'{1}' -startAt 47.07,12.69,13,0,60 -snapshotTo '{2}' 2> '{3}'",
        folder.path().string(), (prefix / "bin/velorin").string(), picture.string(), errors.string()));
    const auto log = readFile(errors);
    EXPECT_EQ(status, 0) << log;
    EXPECT_TRUE(std::filesystem::is_regular_file(picture)) << log;
    EXPECT_NE(log.find("module de mise à jour chargé : " + (prefix / "lib/velorin/plugins/Korrelvane.so").string()),
        std::string::npos)
        << log;
}
