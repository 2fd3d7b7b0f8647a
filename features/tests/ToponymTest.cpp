#include "features/Toponym.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

using velorin::Toponym;
using Kind = Toponym::Kind;

namespace {

Toponym place(Kind kind, std::optional<double> altitude, std::string name = "Aiguille Verte")
{
    return {"BDTOPO.1", std::move(name), kind, 45.934, 6.970, 2, altitude};
}

} // namespace

TEST(Toponym, EncodesItsKeysInOrderLeavesOutAnUnknownAltitudeAndReadsBackEqual)
{
    const Toponym withAltitude = place(Kind::summit, 4122.3);
    EXPECT_EQ(nlohmann::ordered_json(withAltitude).dump(),
        R"({"id":"BDTOPO.1","name":"Aiguille Verte","kind":"summit","latitude":45.934,"longitude":6.97,)"
        R"("importance":2,"altitude":4122.3})");
    const Toponym without = place(Kind::refuge, std::nullopt);
    const nlohmann::ordered_json json = without;
    EXPECT_FALSE(json.contains("altitude"));
    EXPECT_EQ(nlohmann::json::parse(json.dump()).get<Toponym>(), without);
    EXPECT_EQ(nlohmann::json::parse(nlohmann::ordered_json(withAltitude).dump()).get<Toponym>(), withAltitude);
    EXPECT_EQ(nlohmann::json::parse(R"({"id":"a","name":"b","kind":"col","latitude":1,"longitude":2,"importance":3,)"
                                    R"("altitude":null})")
                  .get<Toponym>()
                  .altitude,
        std::nullopt)
        << "a null altitude is an unknown one";
}

TEST(Toponym, ARecordWithAnUnknownKindAMissingKeyOrAWrongTypeFailsAndFailsItsWholeList)
{
    const std::string good = R"({"id":"a","name":"b","kind":"col","latitude":1,"longitude":2,"importance":3})";
    for (const std::string bad : {
             R"({"id":"a","name":"b","kind":"pass","latitude":1,"longitude":2,"importance":3})",
             R"({"id":"a","name":"b","kind":"col","latitude":1,"importance":3})",
             R"({"id":"a","name":"b","kind":"col","latitude":"1","longitude":2,"importance":3})",
             R"({"id":"a","name":"b","kind":"col","latitude":true,"longitude":2,"importance":3})",
             R"({"id":"a","name":"b","kind":"col","latitude":1,"longitude":2,"importance":3.5})",
             R"({"id":7,"name":"b","kind":"col","latitude":1,"longitude":2,"importance":3})",
             R"({"id":"a","name":"b","kind":"col","latitude":1,"longitude":2,"importance":3,"altitude":"high"})",
         }) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(nlohmann::json::parse(bad).get<Toponym>(), nlohmann::json::exception);
        EXPECT_THROW((nlohmann::json::parse("[" + good + "," + bad + "]").get<std::vector<Toponym>>()),
            nlohmann::json::exception);
    }
    EXPECT_EQ((nlohmann::json::parse("[" + good + "]").get<std::vector<Toponym>>().size()), 1u);
}

TEST(Toponym, TheLabelCarriesTheRoundedAltitudeOfSummitsColsAndRefugesOnly)
{
    struct Case {
        Kind kind;
        std::optional<double> altitude;
        std::string label;
    };
    for (const Case& c : {
             Case{Kind::col, 1999.5, "Aiguille Verte 2000 m"},
             Case{Kind::col, 1999.49, "Aiguille Verte 1999 m"},
             Case{Kind::summit, 2545.6, "Aiguille Verte 2546 m"},
             Case{Kind::refuge, 2204, "Aiguille Verte 2204 m"},
             Case{Kind::summit, std::nullopt, "Aiguille Verte"},
             Case{Kind::ridge, 3100, "Aiguille Verte"},
             Case{Kind::viewpoint, 1200, "Aiguille Verte"},
             Case{Kind::place, 800, "Aiguille Verte"},
         }) {
        SCOPED_TRACE(Toponym::rawValue(c.kind));
        EXPECT_EQ(place(c.kind, c.altitude).labelText(), c.label);
    }
    EXPECT_EQ(place(Kind::summit, 12345).labelText(), "Aiguille Verte 12345 m") << "no digit grouping";
}

TEST(Toponym, NaturesMapToKindsByCanonicalEquivalenceWithCaseAndBlanksCounting)
{
    struct Case {
        std::string nature;
        std::optional<Kind> kind;
    };
    for (const Case& c : {
             Case{"Sommet", Kind::summit},
             Case{"Pic", Kind::summit},
             Case{"Montagne", Kind::place},
             Case{"Col", Kind::col},
             Case{"Cr\u00eate", Kind::ridge},
             Case{"Cre\u0302te", Kind::ridge},
             Case{"Rochers", Kind::ridge},
             Case{"Abri de montagne", Kind::refuge},
             Case{"Point de vue", Kind::viewpoint},
             Case{"Lieu-dit non habite\u0301", Kind::place},
             Case{"Lieu-dit habit\u00e9", Kind::place},
             Case{"sommet", std::nullopt},
             Case{" Sommet", std::nullopt},
             Case{"Sommet ", std::nullopt},
             Case{"Crete", std::nullopt},
             Case{"Cr\xc3", std::nullopt},
             Case{"", std::nullopt},
         }) {
        SCOPED_TRACE(c.nature);
        EXPECT_EQ(Toponym::kindFromNature(c.nature), c.kind);
    }
}
