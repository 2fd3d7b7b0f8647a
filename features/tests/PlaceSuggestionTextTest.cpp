#include "features/PlaceSuggestionText.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using velorin::Place;
using velorin::PlaceSuggestionText;
using Kind = velorin::Toponym::Kind;

TEST(PlaceSuggestionText, TitlesLoseTheirParenthesesAndLongNamesAreCut)
{
    struct Case {
        const char* name;
        const char* title;
    };
    for (auto c : {
             Case{"Aiguille Verte (Chamonix)", "Aiguille Verte"},
             Case{"Pic (nord)  du   Midi (versant sud)", "Pic  du   Midi"},
             Case{"  Mont (est) Blanc  ", "Mont Blanc"},
             Case{"Col (sans fin", "Col (sans fin"},
             Case{"Dent (a(b)c)", "Dentc)"},
             Case{"Aiguilles Rouges", "Aiguilles Rouge…"},
             Case{"Aiguille du Plan     x", "Aiguille du Pla…"},
             Case{"Grand Combin de V", "Grand Combin de…"},
             Case{"Écrins, Pelvoux é", "Écrins, Pelvoux…"},
             Case{"Barre des Écrins", "Barre des Écrin…"},
             Case{"Grande Casse", "Grande Casse"},
             Case{"(Ancien nom)", ""},
         }) {
        EXPECT_EQ(PlaceSuggestionText::stripParentheses(c.name), c.title) << c.name;
    }
    EXPECT_EQ(PlaceSuggestionText::stripParentheses("Pointe Percée x", 7), "Pointe…") << "spaces before the cut go";
    // Decomposed accents are one character each.
    EXPECT_EQ(PlaceSuggestionText::stripParentheses("E\u0301E\u0301E\u0301", 2), "E\u0301E\u0301…");
}

TEST(PlaceSuggestionText, TheDetailLineGivesKindAltitudeAndCountry)
{
    struct Case {
        Kind kind;
        int64_t importance;
        std::optional<double> altitude;
        const char* country;
        const char* detail;
    };
    for (auto c : {
             Case{Kind::summit, 2, 2545.6, "fr", "Sommet · 2546 m · France"},
             Case{Kind::col, 3, 1999.5, "ch", "Col · 2000 m · Suisse"},
             Case{Kind::refuge, 4, 2399.49, "at", "Refuge · 2399 m · Autriche"},
             Case{Kind::summit, 1, std::nullopt, "es", "Sommet · Espagne"},
             Case{Kind::ridge, 3, 3200, "fr", "Crête · France"},
             Case{Kind::viewpoint, 3, 1500, "fr", "Point de vue · France"},
             Case{Kind::place, 4, 1040, "ch", "Localité · Suisse"},
             Case{Kind::place, 5, std::nullopt, "ch", "Lieu-dit · Suisse"},
             Case{Kind::summit, 3, 4808.7, "it", "Sommet · 4809 m · it"},
             Case{Kind::col, 3, -0.4, "fr", "Col · 0 m · France"},
         }) {
        Place place;
        place.kind = c.kind;
        place.importance = c.importance;
        place.altitude = c.altitude;
        place.country = c.country;
        EXPECT_EQ(PlaceSuggestionText::detail(place), c.detail);
    }
}

TEST(PlaceSuggestionText, ThePanelOpensUnlessTheTextIsTheLastChoiceAndSaysWhyItIsEmpty)
{
    EXPECT_TRUE(PlaceSuggestionText::opensFor(std::nullopt, "Mont Blanc"));
    EXPECT_FALSE(PlaceSuggestionText::opensFor("Mont Blanc", "Mont Blanc"));
    EXPECT_TRUE(PlaceSuggestionText::opensFor("Mont Blanc", "Mont Blan"));
    EXPECT_TRUE(PlaceSuggestionText::opensFor("Mont Blanc", "mont blanc"));

    const std::string noDatabase = "Aucune base de lieux installée. Velorin les cherche dans le dossier "
                                   "/home/marie/.local/share/Velorin/Places\u00a0:\nplaces-fr.sqlite\nplaces-ch.sqlite\n"
                                   "places-at.sqlite\nplaces-es.sqlite";
    EXPECT_EQ(PlaceSuggestionText::noDatabase("/home/marie/.local/share/Velorin/Places"), noDatabase);
    struct Case {
        const char* query;
        bool withoutDatabases;
        std::string message;
    };
    for (const auto& c : {
             Case{"a", false, std::string(PlaceSuggestionText::kTooShort)},
             Case{" ", false, std::string(PlaceSuggestionText::kTooShort)},
             Case{"e\u0301", true, std::string(PlaceSuggestionText::kTooShort)},
             Case{"  ", false, std::string(PlaceSuggestionText::kNothingFound)},
             Case{"zz", false, std::string(PlaceSuggestionText::kNothingFound)},
             Case{"zz", true, noDatabase},
         }) {
        const auto folder = c.withoutDatabases ? std::optional<std::filesystem::path>("/home/marie/.local/share/Velorin/Places")
                                               : std::nullopt;
        EXPECT_EQ(PlaceSuggestionText::emptyMessage(c.query, folder), c.message) << c.query;
    }
}
