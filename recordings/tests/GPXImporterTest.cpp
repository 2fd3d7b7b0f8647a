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

GPXImporter::Result parse(std::string_view text)
{
    return GPXImporter::parse(bytes(text), kBase);
}

GPXImporter::Result parseFixture(const char* name)
{
    auto file = platform::MappedFile::open(fs::path(VELORIN_FIXTURES) / name);
    EXPECT_TRUE(file) << name;
    return file ? GPXImporter::parse(file->bytes(), kBase) : GPXImporter::Result{};
}

// The points of a document of one track, checked to be one.
std::vector<TrackPoint> onlyTrack(const GPXImporter::Result& result)
{
    EXPECT_EQ(result.tracks.size(), 1u);
    return result.tracks.empty() ? std::vector<TrackPoint>{} : result.tracks.front().points;
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

std::vector<std::pair<double, double>> positions(const std::vector<TrackPoint>& points)
{
    std::vector<std::pair<double, double>> out;
    for (const auto& point : points)
        out.emplace_back(point.latitude, point.longitude);
    return out;
}

double secondsAfter(platform::SystemTime time, platform::SystemTime start)
{
    return std::chrono::duration<double>(time - start).count();
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

    EXPECT_EQ(positions(onlyTrack(parse(gpx(waypoint + route + trackPart)))),
        (std::vector<std::pair<double, double>>{{4, 4}}));
    const auto routeOnly = parse(gpx(waypoint + route));
    EXPECT_EQ(positions(onlyTrack(routeOnly)), (std::vector<std::pair<double, double>>{{2, 2}, {3, 3}}));
    EXPECT_EQ(routeOnly.name, std::nullopt) << "a waypoint's name is never the document's";
    EXPECT_EQ(routeOnly.tracks[0].name, std::nullopt);

    const auto waypoints = parse(gpx(waypoint + R"(<wpt lat="2" lon="2"/><wpt lat="91" lon="2"/>)"));
    EXPECT_TRUE(waypoints.tracks.empty());
    EXPECT_EQ(waypoints.waypoints, 2u) << "only those on the globe";
    for (const char* nothing : {"", "not xml at all", "<gpx></gpx>"}) {
        const auto read = parse(nothing);
        EXPECT_TRUE(read.tracks.empty()) << nothing;
        EXPECT_EQ(read.waypoints, 0u) << nothing;
    }
}

TEST(GPXImporter, KeepsPointsOnTheGlobeWithTheirOwnElevationAndTime)
{
    const auto read = parse(gpx("<trk><trkseg>"
        + trkpt("90", "-180", "<ele> 12.5 </ele><time>2024-05-01T10:00:00Z</time>")
        + trkpt("90.0001", "6", "<ele>999</ele><time>2000-01-01T00:00:00Z</time>")
        + trkpt("45", "6", "<ele>not a number</ele>")
        + trkpt("-45.25", "180", "<time>2024-05-01T10:00:05.250Z</time>")
        + trkpt("45", "6", "<time>2024-05-01T10:00:06</time>") + trkpt("45", "6", "<time>noon</time>")
        + "</trkseg></trk>"));
    const auto points = onlyTrack(read);
    ASSERT_EQ(points.size(), 5u) << "90.0001 is dropped with its elevation and time";
    EXPECT_EQ(points[0], (TrackPoint{90, -180, 12.5, utc(2024, 5, 1, 10, 0, 0), 5.0, std::nullopt}));
    EXPECT_EQ(points[1].altitude, std::nullopt);
    EXPECT_EQ(points[2].timestamp, utc(2024, 5, 1, 10, 0, 5) + 250ms) << "a fraction of a second parses";
    EXPECT_EQ(points[3].timestamp, utc(2024, 5, 1, 10, 0, 6)) << "a time without a zone is in UTC";
    EXPECT_EQ(points[4].timestamp, points[3].timestamp) << "an unreadable time is no time";
    EXPECT_FALSE(read.tracks[0].timesUnknown);
    for (const auto& point : points) {
        EXPECT_EQ(point.horizontalAccuracy, 5.0);
        EXPECT_EQ(point.mode, std::nullopt);
    }
}

TEST(GPXImporter, APointWithoutATimeTakesOneFromItsTimedNeighboursByTheDistanceWalked)
{
    // Along one meridian, so that distances go as the latitudes.
    struct Case {
        const char* what;
        std::vector<std::pair<const char*, const char*>> points; // latitude, time ("" for none)
        std::vector<double> seconds;                             // after 10:00:00; empty: times unknown
    };
    for (const Case& c : {
             Case{"between two timed points, by distance",
                 {{"45.000", "10:00:00"}, {"45.001", ""}, {"45.003", ""}, {"45.004", "10:00:40"}}, {0, 10, 30, 40}},
             Case{"before the first and after the last, their times",
                 {{"45.000", ""}, {"45.001", "10:00:00"}, {"45.002", ""}, {"45.004", "10:01:00"}, {"45.005", ""}},
                 {0, 0, 20, 60, 60}},
             Case{"standing still, by rank", {{"45.000", "10:00:00"}, {"45.000", ""}, {"45.000", ""}, {"45.000", "10:00:30"}},
                 {0, 10, 20, 30}},
             Case{"no time at all", {{"45.000", ""}, {"45.001", ""}}, {}},
         }) {
        std::string body = "<trk><trkseg>";
        for (const auto& [latitude, time] : c.points)
            body += trkpt(latitude, "6", *time ? "<time>2024-05-01T" + std::string(time) + "Z</time>" : "");
        const auto read = parse(gpx(body + "</trkseg></trk>"));
        const auto points = onlyTrack(read);
        ASSERT_EQ(points.size(), c.points.size()) << c.what;
        EXPECT_EQ(read.tracks[0].timesUnknown, c.seconds.empty()) << c.what;
        for (std::size_t i = 0; i < points.size(); ++i) {
            if (c.seconds.empty())
                EXPECT_EQ(points[i].timestamp, kBase) << c.what << ": the import's date, for every point";
            else
                EXPECT_NEAR(secondsAfter(points[i].timestamp, utc(2024, 5, 1, 10, 0, 0)), c.seconds[i], 1e-3)
                    << c.what << ", point " << i;
        }
    }
}

TEST(GPXImporter, EachTrackAndEachRouteIsATrackOfItsOwn)
{
    const auto tracks = parse(gpx("<metadata><name>Vacances</name></metadata>"
                                  "<trk><name>Jour 1</name><trkseg>" + trkpt("45", "6", "<time>2024-05-01T08:00:00Z</time>")
        + "</trkseg><trkseg>" + trkpt("45.01", "6", "<time>2024-05-01T09:00:00Z</time>") + "</trkseg></trk>"
        + "<trk><trkseg>" + trkpt("46", "7") + "</trkseg></trk><trk><name>Vide</name></trk>"
        + "<trk><name>Jour 3</name><trkseg>" + trkpt("47", "8", "<time>2024-05-03T08:00:00Z</time>") + "</trkseg></trk>"));
    EXPECT_EQ(tracks.name, "Vacances");
    ASSERT_EQ(tracks.tracks.size(), 3u) << "a track without a point is none";
    EXPECT_EQ(tracks.tracks[0].name, "Jour 1");
    EXPECT_EQ(positions(tracks.tracks[0].points), (std::vector<std::pair<double, double>>{{45, 6}, {45.01, 6}}))
        << "the segments of one track are one track";
    EXPECT_EQ(tracks.tracks[1].name, std::nullopt);
    EXPECT_TRUE(tracks.tracks[1].timesUnknown) << "times are a track's own: none come from another";
    EXPECT_EQ(tracks.tracks[2].name, "Jour 3");
    EXPECT_EQ(tracks.tracks[2].points[0].timestamp, utc(2024, 5, 3, 8, 0, 0));

    const auto routes = parse(gpx(R"(<rte><name>Aller</name><rtept lat="1" lon="1"/><rtept lat="2" lon="2"/></rte>)"
                                  R"(<rte><name>Retour</name><rtept lat="2" lon="2"/><rtept lat="1" lon="1"/></rte>)"));
    ASSERT_EQ(routes.tracks.size(), 2u);
    EXPECT_EQ(routes.tracks[0].name, "Aller");
    EXPECT_EQ(routes.tracks[1].name, "Retour");
    EXPECT_EQ(positions(routes.tracks[1].points), (std::vector<std::pair<double, double>>{{2, 2}, {1, 1}}));
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
    const auto points = onlyTrack(read);
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0].altitude, std::nullopt);
}

TEST(GPXImporter, TakesTheNamesOfTheDocumentAndOfEachTrackApart)
{
    struct Case {
        std::string body;
        std::optional<std::string> document;
        std::optional<std::string> track;
    };
    const std::string points = "<trkseg>" + trkpt("1", "1") + "</trkseg>";
    for (const auto& c : {
             Case{"<metadata><name> </name></metadata><trk><name>\n Col du Galibier </name>" + points + "</trk>",
                 std::nullopt, "Col du Galibier"},
             Case{"<wpt lat=\"1\" lon=\"1\"><name>Source</name></wpt><trk><name>Trace</name>" + points + "</trk>",
                 std::nullopt, "Trace"},
             Case{"<metadata><author><name>Jeanne</name></author></metadata><trk>" + points + "</trk>", std::nullopt,
                 std::nullopt},
             Case{"<metadata><name>Doc</name></metadata><trk><name>Trace</name>" + points + "</trk>", "Doc", "Trace"},
             Case{"<name>Racine</name><trk>" + points + "</trk>", "Racine", std::nullopt},
             Case{"<trk><trkseg>" + trkpt("1", "1", "<name>Point</name>") + "</trkseg></trk>", std::nullopt, std::nullopt},
             Case{"<trk><extensions><x:name xmlns:x=\"urn:x\">Vendor</x:name></extensions>" + points + "</trk>",
                 std::nullopt, std::nullopt},
             Case{"<trk><name>A &amp; B</name>" + points + "</trk>", std::nullopt, "A & B"},
         }) {
        const auto read = parse(gpx(c.body));
        ASSERT_EQ(read.tracks.size(), 1u) << c.body;
        EXPECT_EQ(read.name, c.document) << c.body;
        EXPECT_EQ(read.tracks[0].name, c.track) << c.body;
    }
}

TEST(GPXImporter, KeepsWhatCameBeforeTheDamage)
{
    std::string body = "<trk><name>Coupée</name><trkseg>";
    for (int i = 0; i < 9; ++i)
        body += trkpt(std::to_string(45 + i * 0.001), "6", "<ele>100</ele>");
    const std::string document = gpx(body + trkpt("46", "6", "<ele>100</ele>"));
    const auto cut = parse(std::string_view(document).substr(0, document.rfind("<ele>") + 3));
    EXPECT_EQ(onlyTrack(cut).size(), 9u);
    EXPECT_EQ(cut.tracks[0].name, "Coupée");

    const auto broken = parse(gpx("<trk><trkseg>" + trkpt("1", "1") + "<trkpt lat=\"2\" lon=\"2\"></wrong>"));
    EXPECT_EQ(onlyTrack(broken).size(), 1u);
}

TEST(GPXImporter, ReadsFilesAsOtherProgramsWriteThem)
{
    // The name a document gives its track, wherever it puts it.
    const auto named = [](const GPXImporter::Result& read) {
        return read.name ? read.name : read.tracks.empty() ? std::nullopt : read.tracks[0].name;
    };
    const auto gpx10 = parseFixture("gpx10-receiver.gpx");
    EXPECT_EQ(gpx10.name, "Tour du Mont Aiguille") << "GPX 1.0 names the document at its root";
    const auto logged = onlyTrack(gpx10);
    ASSERT_EQ(logged.size(), 3u) << "every segment, no waypoint";
    EXPECT_EQ(logged[1], (TrackPoint{44.84179, 5.55365, 1131.9, utc(2023, 8, 12, 7, 0, 42), 5.0, std::nullopt}));

    const auto route = parseFixture("route-and-waypoints.gpx");
    EXPECT_EQ(named(route), "Boucle du lac") << "neither the author's name nor a point's";
    const auto planned = onlyTrack(route);
    ASSERT_EQ(planned.size(), 3u);
    EXPECT_EQ(planned[0].altitude, 448);
    EXPECT_EQ(planned[1].altitude, std::nullopt);
    EXPECT_TRUE(route.tracks[0].timesUnknown) << "a planned route has no times, whatever its waypoints have";

    const auto watch = parseFixture("extensions.gpx");
    EXPECT_EQ(named(watch), "Sortie à Chamrousse");
    const auto walked = onlyTrack(watch);
    ASSERT_EQ(walked.size(), 2u);
    EXPECT_EQ(walked[0].altitude, 1650.2) << "a vendor's elevation inside extensions is not the point's";
    EXPECT_EQ(walked[0].timestamp, utc(2024, 3, 9, 13, 2, 44));

    const auto prefixed = parseFixture("prefixed.gpx");
    EXPECT_EQ(named(prefixed), "Gorges du Verdon");
    const auto gorges = onlyTrack(prefixed);
    ASSERT_EQ(gorges.size(), 2u);
    EXPECT_EQ(gorges[1], (TrackPoint{43.7502, 6.3301, 655.5, utc(2021, 9, 18, 7, 4, 30), 5.0, std::nullopt}));

    const auto legacy = parseFixture("windows-1252.gpx");
    EXPECT_EQ(named(legacy), "Crête du Géant \u2013 4 \u20AC \u2018aller\u2019");
    EXPECT_EQ(onlyTrack(legacy).size(), 2u);
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
    const auto points = onlyTrack(read);
    EXPECT_EQ(read.name.value_or(read.tracks.at(0).name.value_or("")), "Aller-retour");
    ASSERT_EQ(points.size(), walk.points.size());
    for (std::size_t i = 0; i < walk.points.size(); ++i) {
        EXPECT_NEAR(points[i].latitude, walk.points[i].latitude, 5e-8);
        EXPECT_NEAR(points[i].longitude, walk.points[i].longitude, 5e-8);
        EXPECT_EQ(points[i].altitude.has_value(), walk.points[i].altitude.has_value());
        EXPECT_NEAR(points[i].altitude.value_or(0), walk.points[i].altitude.value_or(0), 0.05);
        EXPECT_EQ(points[i].timestamp, walk.points[i].timestamp);
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
    EXPECT_TRUE(parse(laughs).tracks.empty());

    const std::string external = R"(<?xml version="1.0"?><!DOCTYPE gpx [<!ENTITY secret SYSTEM "file:///etc/passwd">]>)"
                                 R"(<gpx version="1.1" creator="t"><trk><name>&secret;</name><trkseg>)"
        + trkpt("1", "1") + "</trkseg></trk></gpx>";
    EXPECT_TRUE(parse(external).tracks.empty());
    const std::string parameter = R"(<?xml version="1.0"?><!DOCTYPE gpx [<!ENTITY % remote SYSTEM "http://127.0.0.1:9/x.dtd">%remote;]>)"
                                  R"(<gpx version="1.1" creator="t">)"
        + points + "</gpx>";
    EXPECT_TRUE(parse(parameter).tracks.empty());

    const std::string outsideDtd = R"(<?xml version="1.0"?><!DOCTYPE gpx SYSTEM "file:///etc/passwd">)"
                                   R"(<gpx version="1.1" creator="t">)"
        + points + "</gpx>";
    EXPECT_EQ(onlyTrack(parse(outsideDtd)).size(), 1u) << "an external DTD is never read, and needs no reading";

    // Past the size limit nothing is read at all; the pages are never touched.
    const std::size_t size = GPXImporter::kMaximumFileBytes + 1;
    void* huge = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(huge, MAP_FAILED);
    EXPECT_TRUE(GPXImporter::parse({static_cast<const std::byte*>(huge), size}, kBase).tracks.empty());
    ::munmap(huge, size);
}
