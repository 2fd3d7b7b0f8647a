#include "GpxTools.h"
#include "TrackFixtures.h"
#include "platform/MappedFile.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <clocale>
#include <fstream>

using namespace velorin;
using namespace track_fixtures;
using testing_support::TemporaryFolder;
namespace fs = std::filesystem;

namespace {

Track named(std::string name, std::vector<TrackPoint> points = {})
{
    Track made = track(std::move(points));
    made.metadata.name = std::move(name);
    return made;
}

TrackPoint at(double latitude, double longitude, std::optional<double> altitude, double seconds)
{
    return {latitude, longitude, altitude, track_fixtures::at(seconds), 5, TravelMode::walking};
}

std::string readText(const fs::path& path)
{
    auto file = platform::MappedFile::open(path);
    return file ? std::string(reinterpret_cast<const char*>(file->bytes().data()), file->size()) : std::string();
}

// Runs a test body under a French process locale, whose decimal comma must not leak in.
class FrenchLocale {
public:
    FrenchLocale() { french_ = std::setlocale(LC_ALL, "fr_FR.UTF-8") != nullptr; }
    ~FrenchLocale() { std::setlocale(LC_ALL, "C"); }
    bool active() const { return french_; }

private:
    bool french_ = false;
};

mode_t permissionBits(const fs::path& path)
{
    struct stat status {};
    ::stat(path.c_str(), &status);
    return status.st_mode & 0777;
}

} // namespace

TEST(GPXWriter, WritesTheDocumentByteForByteWhateverTheLocale)
{
    FrenchLocale locale;
    ASSERT_TRUE(locale.active()) << "fr_FR.UTF-8 is installed by scripts/install-deps";
    const Track walk = named("Col & Pic <2>", {at(45.5, -0.25, 1234.56, 0.75), at(45.5001, -0.2499, std::nullopt, 60)});
    EXPECT_EQ(GPXWriter::document(walk), readText(fs::path(VELORIN_FIXTURES) / "col-et-pic.gpx"));
    const auto bytes = GPXWriter::data(walk);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()), GPXWriter::document(walk));

    const std::string empty = GPXWriter::document(named("x"));
    EXPECT_NE(empty.find("    <trkseg>\n    </trkseg>\n"), std::string::npos) << empty;
}

TEST(GPXWriter, WritesOnlyWhatXmlAndTheSchemaAccept)
{
    const Track odd = named("Pic\x01\x1F\tdu\nMidi\xFF\xEF\xBF\xBE\"'",
        {at(10, 180, std::nullopt, 0), at(-10, 179.99999999, -12.34, 1), at(0, -180, std::nullopt, 2)});
    const std::string gpx = GPXWriter::document(odd);
    EXPECT_NE(gpx.find("<name>Pic\tdu\nMidi\uFFFD&quot;'</name>"), std::string::npos) << gpx;
    EXPECT_NE(gpx.find(R"(<trkpt lat="10.0000000" lon="-180.0000000">)"), std::string::npos)
        << "+180° is written as the same meridian at −180°";
    EXPECT_NE(gpx.find(R"(<trkpt lat="-10.0000000" lon="-180.0000000">)"), std::string::npos);
    EXPECT_NE(gpx.find("<ele>-12.3</ele>"), std::string::npos);

    Track broken = named("x", {at(45, 6, NAN, 0), at(NAN, 6, 1, 1), at(45, INFINITY, 1, 2)});
    const std::string kept = GPXWriter::document(broken);
    EXPECT_EQ(std::count(kept.begin(), kept.end(), '\n'), 15) << "one point, no elevation: " << kept;
}

TEST(GPXWriter, ATrackWhoseTimesAreUnknownIsWrittenWithoutAnyTime)
{
    TemporaryFolder folder;
    Track route = named("Boucle", {at(45.5, 6.5, 500, 0), at(45.51, 6.5, std::nullopt, 0)});
    route.metadata.timesUnknown = true;
    const auto file = exportGPXFile(route, platform::Folders::under(folder.path()));
    ASSERT_TRUE(file);
    const std::string gpx = readText(*file);
    EXPECT_EQ(gpx.find("<time>"), std::string::npos) << gpx;
    EXPECT_NE(gpx.find("<ele>500.0</ele>"), std::string::npos);
    gpx_tools::expectValidGpx11(*file);
}

TEST(GPXWriter, FileNamesKeepLettersAndNumbersOfAnyScript)
{
    struct Case {
        std::string name;
        std::string file;
    };
    const std::string eAcute = "e\u0301";
    for (const auto& c : {
             Case{"Col & Pic <2>", "Col---Pic--2.gpx"},
             Case{"", "trajet.gpx"},
             Case{"\u2014", "trajet.gpx"},
             Case{"  Lac d'Annecy ! ", "Lac-d-Annecy.gpx"},
             Case{"Crête des Écrins", "Crête-des-Écrins.gpx"},
             Case{"Caf" + eAcute + " " + eAcute, "Caf" + eAcute + "-" + eAcute + ".gpx"},
             Case{"富士山 ٣", "富士山-٣.gpx"},
             Case{"\U0001F600 Mont\U0001F1EB\U0001F1F7", "Mont.gpx"},
             Case{"Pic\xFF", "Pic.gpx"},
         }) {
        EXPECT_EQ(GPXWriter::fileName(named(c.name)), c.file) << c.name;
    }

    // Cut at 200 bytes, never inside a character: 1 + 99 × 2 bytes.
    std::string long_ = "a";
    for (int i = 0; i < 150; ++i)
        long_ += "é";
    const std::string cut = GPXWriter::fileName(named(long_));
    EXPECT_EQ(cut.size(), 199u + 4);
    EXPECT_EQ(cut.substr(cut.size() - 6), "é.gpx");
    EXPECT_EQ(GPXWriter::fileName(named(std::string(199, 'a') + " b")), std::string(199, 'a') + ".gpx")
        << "no dash is left at the cut";
}

TEST(GPXWriter, ExportsIntoAFolderOnlyTheUserMayEnter)
{
    TemporaryFolder folder;
    const auto folders = platform::Folders::under(folder.path());
    const Track walk = named("Lac Blanc", {at(45.98, 6.89, 2352, 0)});
    const auto file = exportGPXFile(walk, folders);
    ASSERT_TRUE(file);
    EXPECT_EQ(*file, gpxExportFolder(folders) / "Lac-Blanc.gpx");
    EXPECT_EQ(file->parent_path().parent_path(), folders.cache);
    EXPECT_EQ(permissionBits(file->parent_path()), 0700u);
    EXPECT_EQ(permissionBits(*file), 0600u);

    const Track renamed = named("Lac Blanc", {at(45.98, 6.89, 2352, 0), at(45.99, 6.89, 2360, 60)});
    ASSERT_EQ(exportGPXFile(renamed, folders), file);
    EXPECT_EQ(readText(*file), GPXWriter::document(renamed)) << "an export of the same name replaces the file";

    TemporaryFolder blocked;
    std::ofstream(blocked / "cache") << "a file where the cache folder should be";
    EXPECT_EQ(exportGPXFile(walk, {blocked / "data", blocked / "cache", blocked / "config"}), std::nullopt);
}

TEST(GPXWriter, OtherGpsProgramsAcceptAndReadBackEveryExport)
{
    TemporaryFolder folder;
    const auto folders = platform::Folders::under(folder.path());
    const std::vector<Track> tracks{
        named("Col & Pic <2>", {at(45.5, -0.25, 1234.56, 0), at(45.5001, -0.2499, std::nullopt, 60)}),
        named("vide"),
        named("Pic\x01\xFF \"Midi\"", {at(90, 180, -5, 0), at(-90, -180, 0.04, 1), at(-33.8688197, 151.2092955, 58, 2)}),
    };
    for (const Track& exported : tracks) {
        const auto file = exportGPXFile(exported, folders);
        ASSERT_TRUE(file);
        gpx_tools::expectValidGpx11(*file);
        auto expected = exported.points;
        for (auto& point : expected) {
            if (point.longitude == 180)
                point.longitude = -180;
        }
        gpx_tools::expectReadBackAs(*file, expected);
    }
}
