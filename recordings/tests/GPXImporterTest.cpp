#include "GpxTools.h"
#include "TrackFixtures.h"
#include "platform/MappedFile.h"
#include "recordings/GPXImporter.h"
#include "recordings/GPXImporterReader.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <sys/mman.h>

using namespace velorin;
using namespace track_fixtures;
using testing_support::TemporaryFolder;
namespace fs = std::filesystem;

namespace {

const platform::SystemTime kBase = sys_days(2025y / January / 2) + 8h;

std::span<const std::byte> bytes(std::string_view text)
{
    return std::as_bytes(std::span(text.data(), text.size()));
}

std::optional<GPXImporter::Result> parse(std::string_view text)
{
    return GPXImporter::parse(bytes(text), kBase);
}

std::optional<GPXImporter::Result> parseFixture(const char* name)
{
    auto file = platform::MappedFile::open(fs::path(VELORIN_FIXTURES) / name);
    EXPECT_TRUE(file) << name;
    return file ? GPXImporter::parse(file->bytes(), kBase) : std::nullopt;
}

std::string gpx(std::string_view body)
{
    return std::string(R"(<?xml version="1.0" encoding="UTF-8"?>)"
                       R"(<gpx version="1.1" creator="t" xmlns="http://www.topografix.com/GPX/1/1">)")
        + std::string(body) + "</gpx>";
}

std::string trkpt(std::string_view lat, std::string_view lon, std::string_view children = "")
{
    return "<trkpt lat=\"" + std::string(lat) + "\" lon=\"" + std::string(lon) + "\">" + std::string(children) + "</trkpt>";
}

std::vector<std::pair<double, double>> positions(const GPXImporter::Result& result)
{
    std::vector<std::pair<double, double>> out;
    for (const auto& point : result.points)
        out.emplace_back(point.latitude, point.longitude);
    return out;
}

platform::SystemTime utc(int year, unsigned month, unsigned day, int hour, int minute, int second)
{
    return sys_days(std::chrono::year(year) / month / day) + hours(hour) + minutes(minute) + seconds(second);
}

} // namespace

TEST(GPXImporter, TakesTrackPointsElseRoutePointsButNeverWaypoints)
{
    const std::string waypoint = R"(<wpt lat="1" lon="1"><name>Refuge</name></wpt>)";
    const std::string route = R"(<rte><rtept lat="2" lon="2"/><rtept lat="3" lon="3"/></rte>)";
    const std::string trackPart = "<trk><trkseg>" + trkpt("4", "4") + "</trkseg></trk>";

    const auto both = parse(gpx(waypoint + route + trackPart));
    ASSERT_TRUE(both);
    EXPECT_EQ(positions(*both), (std::vector<std::pair<double, double>>{{4, 4}}));
    const auto routeOnly = parse(gpx(waypoint + route));
    ASSERT_TRUE(routeOnly);
    EXPECT_EQ(positions(*routeOnly), (std::vector<std::pair<double, double>>{{2, 2}, {3, 3}}));
    EXPECT_EQ(routeOnly->name, std::nullopt) << "a waypoint's name is never the document's";
    EXPECT_FALSE(parse(gpx(waypoint)));
    EXPECT_FALSE(parse(gpx("")));
    EXPECT_FALSE(parse(""));
    EXPECT_FALSE(parse("not xml at all"));
}

TEST(GPXImporter, KeepsPointsOnTheGlobeWithTheirOwnElevationAndTime)
{
    const auto read = parse(gpx("<trk><trkseg>"
        + trkpt("90", "-180", "<ele> 12.5 </ele><time>2024-05-01T10:00:00Z</time>")
        + trkpt("90.0001", "6", "<ele>999</ele><time>2000-01-01T00:00:00Z</time>")
        + trkpt("45", "6", "<ele>not a number</ele>")
        + trkpt("-45.25", "180", "<time>2024-05-01T10:00:05.250Z</time>")
        + trkpt("45", "6", "<time>2024-05-01T10:00:06</time>") + "</trkseg></trk>"));
    ASSERT_TRUE(read);
    ASSERT_EQ(read->points.size(), 4u) << "90.0001 is dropped with its elevation and time";
    EXPECT_EQ(read->points[0], (TrackPoint{90, -180, 12.5, utc(2024, 5, 1, 10, 0, 0), 5.0, std::nullopt}));
    EXPECT_EQ(read->points[1].altitude, std::nullopt);
    EXPECT_EQ(read->points[1].timestamp, kBase + 1s) << "the base date plus the point's index";
    EXPECT_EQ(read->points[2].timestamp, utc(2024, 5, 1, 10, 0, 5) + 250ms) << "a fraction of a second parses";
    EXPECT_EQ(read->points[3].timestamp, kBase + 3s) << "a time without a zone does not parse";
    for (const auto& point : read->points) {
        EXPECT_EQ(point.horizontalAccuracy, 5.0);
        EXPECT_EQ(point.mode, std::nullopt);
    }

    const auto third = parse(gpx("<trk><trkseg>" + trkpt("1", "1", "<time>2024-05-01T10:00:00Z</time>")
        + trkpt("2", "2", "<time>2024-05-01T10:00:01Z</time>") + trkpt("3", "3")
        + trkpt("4", "4", "<time>2024-05-01T10:00:03Z</time>") + "</trkseg></trk>"));
    ASSERT_TRUE(third);
    EXPECT_EQ(third->points[2].timestamp, kBase + 2s);
}

TEST(GPXImporter, ReadsNumbersStrictly)
{
    struct Case {
        const char* text;
        std::optional<double> value;
    };
    for (auto c : {Case{"45.5", 45.5}, Case{" \t+45.5\n", 45.5}, Case{"-0.25", -0.25}, Case{"1e2", 100},
             Case{"", std::nullopt}, Case{"+-1", std::nullopt}, Case{"45,5", std::nullopt},
             Case{"0x1p4", std::nullopt}, Case{"nan", std::nullopt}, Case{"inf", std::nullopt},
             Case{"-infinity", std::nullopt}, Case{"1e999", std::nullopt}, Case{"12 m", std::nullopt}}) {
        EXPECT_EQ(GPXImporter::parseNumber(c.text), c.value) << c.text;
    }
    const auto read = parse(gpx("<trk><trkseg>" + trkpt("nan", "6") + trkpt("45", "inf") + trkpt("1e999", "6")
        + trkpt("45", "6", "<ele>1e999</ele>") + "<trkpt lon=\"6\"/></trkseg></trk>"));
    ASSERT_TRUE(read);
    ASSERT_EQ(read->points.size(), 1u);
    EXPECT_EQ(read->points[0].altitude, std::nullopt);
}

TEST(GPXImporter, TakesTheFirstNameOfTheDocumentItsTrackOrItsRoute)
{
    struct Case {
        std::string body;
        std::optional<std::string> name;
    };
    const std::string points = "<trkseg>" + trkpt("1", "1") + "</trkseg>";
    for (const auto& c : {
             Case{"<metadata><name> </name></metadata><trk><name>\n Col du Galibier </name>" + points + "</trk>",
                 "Col du Galibier"},
             Case{"<wpt lat=\"1\" lon=\"1\"><name>Source</name></wpt><trk><name>Trace</name>" + points + "</trk>", "Trace"},
             Case{"<metadata><author><name>Jeanne</name></author></metadata><trk>" + points + "</trk>", std::nullopt},
             Case{"<metadata><name>Doc</name></metadata><trk><name>Trace</name>" + points + "</trk>", "Doc"},
             Case{"<trk><trkseg>" + trkpt("1", "1", "<name>Point</name>") + "</trkseg></trk>", std::nullopt},
             Case{"<trk><extensions><x:name xmlns:x=\"urn:x\">Vendor</x:name></extensions>" + points + "</trk>",
                 std::nullopt},
             Case{"<trk><name>A &amp; B</name>" + points + "</trk>", "A & B"},
         }) {
        const auto read = parse(gpx(c.body));
        ASSERT_TRUE(read) << c.body;
        EXPECT_EQ(read->name, c.name) << c.body;
    }
}

TEST(GPXImporter, KeepsWhatCameBeforeTheDamage)
{
    std::string body = "<trk><name>Coupée</name><trkseg>";
    for (int i = 0; i < 9; ++i)
        body += trkpt(std::to_string(45 + i * 0.001), "6", "<ele>100</ele>");
    const std::string document = gpx(body + trkpt("46", "6", "<ele>100</ele>"));
    const auto cut = parse(std::string_view(document).substr(0, document.rfind("<ele>") + 3));
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->points.size(), 9u);
    EXPECT_EQ(cut->name, "Coupée");

    const auto broken = parse(gpx("<trk><trkseg>" + trkpt("1", "1") + "<trkpt lat=\"2\" lon=\"2\"></wrong>"));
    ASSERT_TRUE(broken);
    EXPECT_EQ(broken->points.size(), 1u);
}

TEST(GPXImporter, ReadsFilesAsOtherProgramsWriteThem)
{
    const auto gpx10 = parseFixture("gpx10-receiver.gpx");
    ASSERT_TRUE(gpx10);
    EXPECT_EQ(gpx10->name, "Tour du Mont Aiguille") << "GPX 1.0 names the document at its root";
    ASSERT_EQ(gpx10->points.size(), 3u) << "every segment, no waypoint";
    EXPECT_EQ(gpx10->points[1], (TrackPoint{44.84179, 5.55365, 1131.9, utc(2023, 8, 12, 7, 0, 42), 5.0, std::nullopt}));

    const auto route = parseFixture("route-and-waypoints.gpx");
    ASSERT_TRUE(route);
    EXPECT_EQ(route->name, "Boucle du lac") << "neither the author's name nor a point's";
    ASSERT_EQ(route->points.size(), 3u);
    EXPECT_EQ(route->points[0].altitude, 448);
    EXPECT_EQ(route->points[1].altitude, std::nullopt);
    EXPECT_EQ(route->points[2].timestamp, kBase + 2s);

    const auto watch = parseFixture("extensions.gpx");
    ASSERT_TRUE(watch);
    EXPECT_EQ(watch->name, "Sortie à Chamrousse");
    ASSERT_EQ(watch->points.size(), 2u);
    EXPECT_EQ(watch->points[0].altitude, 1650.2) << "a vendor's elevation inside extensions is not the point's";
    EXPECT_EQ(watch->points[0].timestamp, utc(2024, 3, 9, 13, 2, 44));

    const auto prefixed = parseFixture("prefixed.gpx");
    ASSERT_TRUE(prefixed);
    EXPECT_EQ(prefixed->name, "Gorges du Verdon");
    ASSERT_EQ(prefixed->points.size(), 2u);
    EXPECT_EQ(prefixed->points[1], (TrackPoint{43.7502, 6.3301, 655.5, utc(2021, 9, 18, 7, 4, 30), 5.0, std::nullopt}));

    const auto legacy = parseFixture("windows-1252.gpx");
    ASSERT_TRUE(legacy);
    EXPECT_EQ(legacy->name, "Crête du Géant \u2013 4 \u20AC \u2018aller\u2019");
    EXPECT_EQ(legacy->points.size(), 2u);
}

TEST(GPXImporter, ReadsBackAGpx10ConversionOfAnExport)
{
    TemporaryFolder folder;
    Track walk = track({point(0, 0, 0, 1012.3), point(120, 40, 65), point(250, 90, 130, 1040.8)});
    walk.metadata.name = "Aller-retour";
    const auto exported = exportGPXFile(walk, platform::Folders::under(folder.path()));
    ASSERT_TRUE(exported);
    const fs::path converted = folder / "gpx10.gpx";
    const auto conversion = gpx_tools::run("gpsbabel -i gpx -f " + gpx_tools::quoted(*exported)
        + " -o gpx,gpxver=1.0 -F " + gpx_tools::quoted(converted));
    ASSERT_EQ(conversion.status, 0) << conversion.output;

    auto file = platform::MappedFile::open(converted);
    ASSERT_TRUE(file);
    EXPECT_NE(std::string_view(reinterpret_cast<const char*>(file->bytes().data()), file->size()).find("GPX/1/0"),
        std::string_view::npos);
    const auto read = GPXImporter::parse(file->bytes(), kBase);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->name, "Aller-retour");
    ASSERT_EQ(read->points.size(), walk.points.size());
    for (std::size_t i = 0; i < walk.points.size(); ++i) {
        EXPECT_NEAR(read->points[i].latitude, walk.points[i].latitude, 5e-8);
        EXPECT_NEAR(read->points[i].longitude, walk.points[i].longitude, 5e-8);
        EXPECT_EQ(read->points[i].altitude.has_value(), walk.points[i].altitude.has_value());
        EXPECT_NEAR(read->points[i].altitude.value_or(0), walk.points[i].altitude.value_or(0), 0.05);
        EXPECT_EQ(read->points[i].timestamp, walk.points[i].timestamp);
    }
}

TEST(GPXImporter, HostileDocumentsGiveNothing)
{
    const std::string points = "<trk><trkseg>" + trkpt("1", "1") + "</trkseg></trk>";
    std::string laughs = R"(<?xml version="1.0"?><!DOCTYPE gpx [<!ENTITY lol0 "lol">)";
    for (int i = 1; i < 10; ++i) {
        laughs += "<!ENTITY lol" + std::to_string(i) + " \"";
        for (int j = 0; j < 10; ++j)
            laughs += "&lol" + std::to_string(i - 1) + ";";
        laughs += "\">";
    }
    laughs += R"(]><gpx version="1.1" creator="t"><trk><name>&lol9;</name><trkseg>)" + trkpt("1", "1") + "</trkseg></trk></gpx>";
    EXPECT_FALSE(parse(laughs));

    const std::string external = R"(<?xml version="1.0"?><!DOCTYPE gpx [<!ENTITY secret SYSTEM "file:///etc/passwd">]>)"
                                 R"(<gpx version="1.1" creator="t"><trk><name>&secret;</name><trkseg>)"
        + trkpt("1", "1") + "</trkseg></trk></gpx>";
    EXPECT_FALSE(parse(external));
    const std::string parameter = R"(<?xml version="1.0"?><!DOCTYPE gpx [<!ENTITY % remote SYSTEM "http://127.0.0.1:9/x.dtd">%remote;]>)"
                                  R"(<gpx version="1.1" creator="t">)"
        + points + "</gpx>";
    EXPECT_FALSE(parse(parameter));

    const std::string outsideDtd = R"(<?xml version="1.0"?><!DOCTYPE gpx SYSTEM "file:///etc/passwd">)"
                                   R"(<gpx version="1.1" creator="t">)"
        + points + "</gpx>";
    const auto read = parse(outsideDtd);
    ASSERT_TRUE(read) << "an external DTD is never read, and needs no reading";
    EXPECT_EQ(read->points.size(), 1u);

    // Past the size limit nothing is read at all; the pages are never touched.
    const std::size_t size = GPXImporter::kMaximumFileBytes + 1;
    void* huge = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(huge, MAP_FAILED);
    EXPECT_FALSE(GPXImporter::parse({static_cast<const std::byte*>(huge), size}, kBase));
    ::munmap(huge, size);
}
