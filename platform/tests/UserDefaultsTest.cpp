#include "platform/UserDefaults.h"
#include "testing/LogCapture.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace platform;
using testing_support::LogCapture;
using testing_support::TemporaryFolder;

namespace {

std::string readAll(const std::filesystem::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

TEST(UserDefaults, ValuesSurviveAReloadWithTheirTypes)
{
    TemporaryFolder folder;
    auto file = folder / "config/defaults.json";
    std::vector<std::byte> camera{std::byte{0}, std::byte{0xFF}, std::byte{'{'}};
    {
        UserDefaults defaults(file);
        defaults.setBoolean("Velorin.trees", true);
        defaults.setInteger("Velorin.flyoverMode", 2);
        defaults.setNumber("Velorin.zoom", 13.25);
        defaults.setString("Velorin.basemap", "planIGN");
        defaults.setData("Velorin.lastCamera", camera);
        defaults.setDictionary("Velorin.account", {{"email", "a@b.fr"}});
        defaults.setArray("Velorin.view", nlohmann::json::array({45.9, 6.87, 13.5}));
    }
    UserDefaults defaults(file);
    EXPECT_EQ(defaults.boolean("Velorin.trees"), true);
    EXPECT_EQ(defaults.integer("Velorin.flyoverMode"), 2);
    EXPECT_EQ(defaults.number("Velorin.flyoverMode"), 2.0);
    EXPECT_EQ(defaults.number("Velorin.zoom"), 13.25);
    EXPECT_EQ(defaults.string("Velorin.basemap"), "planIGN");
    EXPECT_EQ(defaults.data("Velorin.lastCamera"), camera);
    EXPECT_EQ(defaults.dictionary("Velorin.account"), (nlohmann::json{{"email", "a@b.fr"}}));
    EXPECT_EQ(defaults.array("Velorin.view"), nlohmann::json::array({45.9, 6.87, 13.5}));
    defaults.remove("Velorin.trees");
    EXPECT_FALSE(UserDefaults(file).contains("Velorin.trees"));
}

TEST(UserDefaults, AValueOfAnotherTypeReadsAsAbsent)
{
    TemporaryFolder folder;
    std::ofstream(folder / "defaults.json")
        << R"({"Velorin.slopes": "true", "Velorin.trees": 1, "Velorin.zoom": "13", "Velorin.basemap": 3,
              "Velorin.lastCamera": "AAEC", "Velorin.account": [1, 2], "Velorin.aerial": {"$data": "AQ=="}})";
    UserDefaults defaults(folder / "defaults.json");
    EXPECT_EQ(defaults.boolean("Velorin.slopes"), std::nullopt);
    EXPECT_EQ(defaults.boolean("Velorin.trees"), std::nullopt);
    EXPECT_EQ(defaults.number("Velorin.zoom"), std::nullopt);
    EXPECT_EQ(defaults.integer("Velorin.zoom"), std::nullopt);
    EXPECT_EQ(defaults.string("Velorin.basemap"), std::nullopt);
    EXPECT_EQ(defaults.data("Velorin.lastCamera"), std::nullopt);
    EXPECT_EQ(defaults.dictionary("Velorin.account"), std::nullopt);
    EXPECT_EQ(defaults.array("Velorin.zoom"), std::nullopt);
    EXPECT_EQ(defaults.dictionary("Velorin.aerial"), std::nullopt) << "stored data is not a dictionary";
    EXPECT_EQ(defaults.boolean("Velorin.missing"), std::nullopt);
}

TEST(UserDefaults, ATruncatedFileLeavesTheDefaultsAndIsKeptAside)
{
    TemporaryFolder folder;
    auto file = folder / "defaults.json";
    std::string truncated = R"({"Velorin.basemap": "top25", "Velorin.tre)";
    std::ofstream(file) << truncated;

    LogCapture log;
    log.expect("Defaults", "defaults.json.corrupt");
    UserDefaults defaults(file);
    EXPECT_FALSE(defaults.contains("Velorin.basemap"));
    EXPECT_EQ(readAll(folder / "defaults.json.corrupt"), truncated);
    EXPECT_TRUE(log.contains(LogLevel::error, "Defaults", "defaults.json.corrupt"));

    defaults.setBoolean("Velorin.trees", false);
    EXPECT_EQ(UserDefaults(file).boolean("Velorin.trees"), false);
    EXPECT_EQ(readAll(folder / "defaults.json.corrupt"), truncated) << "the bad file is never overwritten";
}

TEST(UserDefaults, ChangesKeptInMemoryReadTheFileAndNeverTouchIt)
{
    TemporaryFolder folder;
    auto file = folder / "defaults.json";
    UserDefaults(file).setString("Velorin.basemap", "top25");
    const std::string saved = readAll(file);

    UserDefaults beside(file, UserDefaults::Changes::keptInMemory);
    EXPECT_EQ(beside.string("Velorin.basemap"), "top25");
    beside.setString("Velorin.basemap", "orthophoto");
    beside.setBoolean("Velorin.trees", false);
    EXPECT_EQ(beside.string("Velorin.basemap"), "orthophoto") << "for this session";
    EXPECT_EQ(readAll(file), saved);

    const std::string truncated = R"({"Velorin.basemap": "top)";
    std::ofstream(file) << truncated;
    UserDefaults unreadable(file, UserDefaults::Changes::keptInMemory);
    EXPECT_FALSE(unreadable.contains("Velorin.basemap"));
    EXPECT_EQ(readAll(file), truncated) << "the owner's file is not set aside";
    EXPECT_FALSE(std::filesystem::exists(folder / "defaults.json.corrupt"));
}

TEST(UserDefaults, ANonFiniteNumberIsNotStored)
{
    TemporaryFolder folder;
    UserDefaults defaults(folder / "defaults.json");
    defaults.setNumber("Velorin.zoom", 12);
    defaults.setNumber("Velorin.zoom", std::numeric_limits<double>::infinity());
    EXPECT_FALSE(UserDefaults(folder / "defaults.json").contains("Velorin.zoom"));
}

TEST(UserDefaults, AnUnwritableFolderKeepsValuesForTheSessionAndLogs)
{
    TemporaryFolder folder;
    std::ofstream(folder / "blocked") << "a file where a folder should be";
    LogCapture log;
    log.expect("Defaults", "écriture");
    UserDefaults defaults(folder / "blocked/defaults.json");
    defaults.setString("Velorin.basemap", "orthophoto");
    EXPECT_EQ(defaults.string("Velorin.basemap"), "orthophoto");
    EXPECT_TRUE(log.contains(LogLevel::error, "Defaults", "écriture"));
}
