#include "TrackFixtures.h"
#include "recordings/TrackStatistics.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>

using namespace velorin;
using namespace track_fixtures;

namespace {

std::string encoded(const TrackPoint& point)
{
    nlohmann::ordered_json json = point;
    return json.dump();
}

std::vector<TrackPoint> withAltitudes(std::initializer_list<std::optional<double>> altitudes)
{
    std::vector<TrackPoint> points;
    for (auto altitude : altitudes)
        points.push_back(point(0, 0, static_cast<double>(points.size()), altitude));
    return points;
}

} // namespace

TEST(TrackPoint, MeasuresGroundDistanceOnTheMeanSphere)
{
    TrackPoint a{45, 6, std::nullopt, at(0), 5, std::nullopt};
    TrackPoint b{46, 6, std::nullopt, at(0), 5, std::nullopt};
    EXPECT_NEAR(a.distance(b), 111195.1, 0.05);
    EXPECT_EQ(a.distance(a), 0);
    TrackPoint antipode{-45, -174, std::nullopt, at(0), 5, std::nullopt};
    EXPECT_NEAR(a.distance(antipode), kEarthDiameterMeters * std::numbers::pi / 2, 1e-3)
        << "the clamp keeps rounding at the antipode finite";
}

TEST(TrackPoint, WritesItsFieldsInOrderWithoutAbsentOnesAndWholeSeconds)
{
    TrackPoint full{45.5, -0.25, 1234.5, at(7.75), 4.5, TravelMode::walking};
    EXPECT_EQ(encoded(full), R"({"latitude":45.5,"longitude":-0.25,"altitude":1234.5,)"
                             R"("timestamp":"2024-05-01T10:00:07Z","horizontalAccuracy":4.5,"mode":"walking"})");
    TrackPoint bare{45.5, 6, std::nullopt, at(0), 5, std::nullopt};
    EXPECT_EQ(encoded(bare), R"({"latitude":45.5,"longitude":6.0,"timestamp":"2024-05-01T10:00:00Z","horizontalAccuracy":5.0})");

    const auto decoded = nlohmann::json::parse(encoded(full)).get<TrackPoint>();
    EXPECT_NE(decoded, full) << "the fraction of a second is not stored";
    EXPECT_EQ(decoded.timestamp, at(7));
    full.timestamp = at(7);
    EXPECT_EQ(decoded, full);

    for (double bad : {NAN, INFINITY, -INFINITY}) {
        TrackPoint broken = bare;
        broken.altitude = bad;
        EXPECT_THROW(encoded(broken), std::domain_error) << "JSON would hold null, unreadable later";
    }
}

TEST(TrackPoint, ReadsAnyKeyOrderAndRefusesWhatIsNotAPoint)
{
    const auto point = nlohmann::json::parse(
        R"({"mode":"cycling","horizontalAccuracy":3,"timestamp":"2024-05-01T10:00:00Z","longitude":6,"latitude":45,"extra":[1]})")
                           .get<TrackPoint>();
    EXPECT_EQ(point, (TrackPoint{45, 6, std::nullopt, at(0), 3, TravelMode::cycling}));
    EXPECT_EQ(nlohmann::json::parse(R"({"latitude":45,"longitude":6,"altitude":null,"timestamp":"2024-05-01T10:00:00Z",)"
                                    R"("horizontalAccuracy":5,"mode":null})")
                  .get<TrackPoint>(),
        (TrackPoint{45, 6, std::nullopt, at(0), 5, std::nullopt}))
        << "null reads as absent";

    for (const char* bad : {
             R"({"longitude":6,"timestamp":"2024-05-01T10:00:00Z","horizontalAccuracy":5})",
             R"({"latitude":"45","longitude":6,"timestamp":"2024-05-01T10:00:00Z","horizontalAccuracy":5})",
             R"({"latitude":91,"longitude":6,"timestamp":"2024-05-01T10:00:00Z","horizontalAccuracy":5})",
             R"({"latitude":45,"longitude":-180.5,"timestamp":"2024-05-01T10:00:00Z","horizontalAccuracy":5})",
             R"({"latitude":45,"longitude":6,"timestamp":"1 mai 2024","horizontalAccuracy":5})",
             R"({"latitude":45,"longitude":6,"timestamp":"2024-05-01T10:00:00Z","horizontalAccuracy":5,"mode":"flying"})",
             R"([45,6])",
         }) {
        EXPECT_ANY_THROW(nlohmann::json::parse(bad).get<TrackPoint>()) << bad;
    }
}

TEST(TrackPoint, ReadsAStoredLineExactlyAsTheGeneralParserDoes)
{
    const std::string time = R"("timestamp":"2024-05-01T10:00:00Z")";
    const std::string rest = "," + time + R"(,"horizontalAccuracy":5})";
    for (const std::string& line : std::vector<std::string>{
             encoded(TrackPoint{45.123456789012, -0.25, 1234.5, at(7), 4.5, TravelMode::walking}),
             encoded(TrackPoint{-90, 180, std::nullopt, at(0), 0, std::nullopt}),
             R"({"latitude":-0.0,"longitude":1E-7)" + rest,
             R"({"latitude":4.5e1,"longitude":6,"altitude":-1.5e+2)" + rest,
             R"({"latitude":01,"longitude":6)" + rest,
             R"({"latitude":-,"longitude":6)" + rest,
             R"({"latitude":45.,"longitude":6)" + rest,
             R"({"latitude":1e400,"longitude":6)" + rest,
             R"({"latitude":91,"longitude":6)" + rest,
             R"({"latitude":45,"longitude":6,"timestamp":"2024-05-01T10:00:00Z","horizontalAccuracy":5})",
             R"({"latitude":45,"longitude":6,"timestamp":"2024-05-01T10:00:00","horizontalAccuracy":5})",
             R"({"latitude":45,"longitude":6)" + rest.substr(0, rest.size() - 1) + R"(,"mode":"flying"})",
             R"({"latitude":45,"longitude":6)" + rest.substr(0, rest.size() - 1) + R"(,"mode":"cycling"})",
             R"({"latitude":45,"longitude":6)" + rest + " ",
             R"({"latitude":45,"longitude":6)" + rest + "}",
             R"({"latitude":45, "longitude":6)" + rest,
             R"({"latitude":45,"longitude":6,"horizontalAccuracy":5})",
         }) {
        std::optional<TrackPoint> general;
        if (auto json = nlohmann::json::parse(line, nullptr, false); !json.is_discarded()) {
            try {
                general = json.get<TrackPoint>();
            } catch (const nlohmann::json::exception&) {
            }
        }
        EXPECT_EQ(decodeTrackPointLine(line), general) << line;
    }
    EXPECT_TRUE(decodeTrackPointLine(encoded(TrackPoint{45, 6, std::nullopt, at(0), 5, std::nullopt})));
}

TEST(TrackMetadata, RoundTripsWithUpperCaseIdsAndNoEndWhileOpen)
{
    TrackMetadata open{"E621E1F8-C36C-495A-93FC-0C247A3E6E5F", "Col & \"Pic\"", at(0), std::nullopt};
    nlohmann::ordered_json json = open;
    EXPECT_EQ(json.dump(), R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","name":"Col & \"Pic\"",)"
                           R"("startedAt":"2024-05-01T10:00:00Z"})");
    const auto lower = nlohmann::json::parse(R"({"endedAt":"2024-05-01T12:00:00+02:00","name":"x",)"
                                             R"("startedAt":"2024-05-01T09:00:00Z","id":"e621e1f8-c36c-495a-93fc-0c247a3e6e5f"})")
                           .get<TrackMetadata>();
    EXPECT_EQ(lower.id, open.id);
    EXPECT_EQ(lower.endedAt, at(0));
    EXPECT_ANY_THROW(nlohmann::json::parse(R"({"id":"../x","name":"x","startedAt":"2024-05-01T09:00:00Z"})").get<TrackMetadata>());
}

TEST(TrackMetadata, UnknownTimesAreWrittenOnlyWhenSoAndReadBack)
{
    TrackMetadata route{"E621E1F8-C36C-495A-93FC-0C247A3E6E5F", "Boucle", at(0), at(0)};
    EXPECT_EQ(nlohmann::ordered_json(route).dump().find("timesUnknown"), std::string::npos)
        << "files as they were written before stay the same";
    route.timesUnknown = true;
    nlohmann::ordered_json json = route;
    EXPECT_EQ(json.dump(), R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","name":"Boucle",)"
                           R"("startedAt":"2024-05-01T10:00:00Z","endedAt":"2024-05-01T10:00:00Z","timesUnknown":true})");
    EXPECT_EQ(nlohmann::json::parse(json.dump()).get<TrackMetadata>(), route);
    route.timesUnknown = false;
    EXPECT_EQ(nlohmann::json::parse(R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","name":"Boucle",)"
                                    R"("startedAt":"2024-05-01T10:00:00Z","endedAt":"2024-05-01T10:00:00Z"})")
                  .get<TrackMetadata>(),
        route);
}

TEST(TrackStatistics, CountsClimbsInStepsOfEightMetres)
{
    struct Case {
        std::initializer_list<std::optional<double>> altitudes;
        double ascent, descent;
    };
    for (const auto& c : {
             Case{{100, 104, 107, 109}, 9, 0},
             Case{{100, 92}, 0, 8},
             Case{{100, 107.9}, 0, 0},
             Case{{100, std::nullopt, std::nullopt, 110, std::nullopt, 101}, 10, 9},
             Case{{100}, 0, 0},
             Case{{std::nullopt, std::nullopt}, 0, 0},
         }) {
        const TrackStatistics statistics(track(withAltitudes(c.altitudes)));
        EXPECT_DOUBLE_EQ(statistics.ascent, c.ascent);
        EXPECT_DOUBLE_EQ(statistics.descent, c.descent);
    }
    // Half a metre a point: 8 m counted every 16 points.
    std::vector<TrackPoint> slope;
    for (int i = 0; i <= 32; ++i)
        slope.push_back(point(0, 0, i, 0.5 * i));
    EXPECT_DOUBLE_EQ(TrackStatistics(track(slope)).ascent, 16);
}

TEST(TrackStatistics, MeasuresDistanceAltitudesAndDuration)
{
    const TrackStatistics empty(track({}, 600));
    EXPECT_EQ(empty, TrackStatistics());

    const TrackStatistics one(track({point(0, 0, 30, 812)}));
    EXPECT_EQ(one.distance, 0);
    EXPECT_EQ(one.minimumAltitude, 812);
    EXPECT_EQ(one.maximumAltitude, 812);
    EXPECT_EQ(one.duration, 30) << "to the last point while the track has no end";

    const TrackStatistics walk(track({point(0, 0, 0, 900), point(300, 0, 100), point(300, 400, 200, 850)}, 3600));
    EXPECT_NEAR(walk.distance, 700, 0.05) << "points without altitude count for the distance";
    EXPECT_EQ(walk.minimumAltitude, 850);
    EXPECT_EQ(walk.maximumAltitude, 900);
    EXPECT_EQ(walk.duration, 3600) << "to the end once there is one";

    EXPECT_EQ(TrackStatistics(track({point(0, 0, 10)}, -60)).duration, 0) << "an end before the start";
    EXPECT_EQ(TrackStatistics(track({point(0, 0, 10)})).minimumAltitude, std::nullopt);

    Track untimed = track({point(0, 0, 0, 900), point(300, 0, 0, 950)});
    untimed.metadata.timesUnknown = true;
    const TrackStatistics unknown(untimed);
    EXPECT_NEAR(unknown.distance, 300, 0.05);
    EXPECT_EQ(unknown.maximumAltitude, 950);
    EXPECT_TRUE(std::isnan(unknown.duration)) << "a duration nobody knows is not zero";
    EXPECT_TRUE(std::isnan(untimed.movingDuration()));
}
