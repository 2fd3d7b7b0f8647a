#include "platform/Base64.h"
#include "platform/Iso8601.h"
#include "platform/NumberFormat.h"
#include "platform/PercentEncoding.h"
#include "platform/TextFolding.h"
#include "platform/Unicode.h"
#include "platform/Uuid.h"

#include <gtest/gtest.h>

#include <clocale>
#include <set>

using namespace platform;
using namespace std::chrono;

TEST(TextFolding, IgnoresCaseAccentsAndWidth)
{
    struct Case {
        const char* text;
        const char* folded;
    };
    for (auto c : {Case{"Écrins", "ecrins"}, Case{"Massif des ÉCRINS", "massif des ecrins"},
             Case{"Le Mont-Dore", "le mont-dore"}, Case{"Œillet", "œillet"}, Case{"ＡＢＣ", "abc"},
             Case{"Straße", "strasse"}, Case{"Col de l’Iseran", "col de l’iseran"}}) {
        EXPECT_EQ(foldForSearch(c.text), c.folded) << c.text;
    }
    EXPECT_EQ(foldForSearch("Pic\xFF\xFE"), "pic") << "invalid UTF-8 keeps its valid start";
    EXPECT_EQ(foldForSearch(""), "");
}

TEST(Unicode, DecodesInvalidBytesAsReplacementCharactersAndEncodesBack)
{
    struct Case {
        std::string_view utf8;
        std::u32string codePoints;
    };
    for (const auto& c : {Case{"Pic é", U"Pic \u00E9"}, Case{"\xC0\x80", U"\uFFFD\uFFFD"},
             Case{"a\xED\xA0\x80", U"a\uFFFD\uFFFD\uFFFD"}, Case{"\xE2\x82", U"\uFFFD\uFFFD"},
             Case{"\xF0\x9F\x98\x80\xFF", U"\U0001F600\uFFFD"}, Case{"", U""}}) {
        EXPECT_EQ(decodeUtf8(c.utf8), c.codePoints) << c.utf8;
    }
    EXPECT_EQ(encodeUtf8(U"Col \u00E9\U0001F600"), "Col é😀");
}

TEST(Unicode, SplitsUserPerceivedCharactersAndClassesThemByTheirFirstCodePoint)
{
    // "e" with a combining acute, a flag of two regional indicators, a family joined by ZWJ.
    const std::string text = "e\u0301-\U0001F1EB\U0001F1F7 \U0001F468\u200D\U0001F469\u4EAC\u0663";
    std::vector<std::pair<std::string, bool>> clusters;
    for (const auto& cluster : textClusters(text))
        clusters.emplace_back(std::string(cluster.text), cluster.isLetterOrNumber);
    const std::vector<std::pair<std::string, bool>> expected{{"e\u0301", true}, {"-", false},
        {"\U0001F1EB\U0001F1F7", false}, {" ", false}, {"\U0001F468\u200D\U0001F469", false}, {"\u4EAC", true},
        {"\u0663", true}};
    EXPECT_EQ(clusters, expected);
    EXPECT_TRUE(textClusters("").empty());
}

TEST(NumberFormat, FrenchTextAndUrlsDisagreeOnlyWhereTheyShould)
{
    // The process locale must not leak into either form.
    const char* french = std::setlocale(LC_ALL, "fr_FR.UTF-8");
    if (!french)
        GTEST_SKIP() << "fr_FR.UTF-8 is not installed";
    EXPECT_EQ(frenchNumber(1.5, 1), "1,5");
    EXPECT_EQ(cNumber(1.5, 1), "1.5");
    EXPECT_EQ(cNumber(2.3456789, 6), "2.345679");
    EXPECT_EQ(cNumber(-0.5, 3), "-0.500");
    EXPECT_EQ(cNumberShortest(0.1), "0.1");
    EXPECT_EQ(frenchNumber(12345.678, 2), "12\u202F345,68");
    EXPECT_EQ(frenchNumber(-1234567, 0), "-1\u202F234\u202F567");
    EXPECT_EQ(frenchNumber(-0.01, 1), "0,0");
    EXPECT_EQ(frenchNumber(10, 1), "10,0");
    std::setlocale(LC_ALL, "C");
}

TEST(PercentEncoding, EncodesReservedBytesAndDecodesStrictly)
{
    EXPECT_EQ(percentEncode("FR TOP25 IGN/3335OT.webp", "/"), "FR%20TOP25%20IGN/3335OT.webp");
    EXPECT_EQ(percentEncode("Poste de Léa"), "Poste%20de%20L%C3%A9a");
    EXPECT_EQ(formEncode("a b&c=d"), "a+b%26c%3Dd");
    EXPECT_EQ(percentDecode("L%C3%A9a%20x"), "Léa x");
    EXPECT_EQ(percentDecode("100%"), std::nullopt);
    EXPECT_EQ(percentDecode("%2"), std::nullopt);
    EXPECT_EQ(percentDecode("%zz"), std::nullopt);
}

TEST(Iso8601, FormatsAndParsesWithAndWithoutFractions)
{
    auto time = sys_days(2024y / May / 1) + 10h + 5min + 7s + 250ms;
    EXPECT_EQ(formatIso8601(time), "2024-05-01T10:05:07Z");
    EXPECT_EQ(formatIso8601(time, true), "2024-05-01T10:05:07.250Z");
    EXPECT_EQ(parseIso8601("2024-05-01T10:05:07.250Z"), time);
    EXPECT_EQ(parseIso8601("2024-05-01T10:05:07Z"), time - 250ms);
    EXPECT_EQ(parseIso8601("2024-05-01T12:05:07.25+02:00"), time);
    EXPECT_EQ(parseIso8601("2024-05-01T09:05:07.25-0100"), time);
    for (const char* bad : {"", "2024-05-01", "2024-13-01T00:00:00Z", "2024-02-30T00:00:00Z",
             "2024-05-01T24:00:00Z", "2024-05-01T10:05:07", "2024-05-01T10:05:07.Z", "2024-05-01T10:05:07Zjunk"})
        EXPECT_EQ(parseIso8601(bad), std::nullopt) << bad;
}

TEST(Iso8601, RefusesDatesTheClockCannotHoldRatherThanWrapping)
{
    for (const char* far : {"1490-05-01T10:05:07Z", "0000-01-01T00:00:00Z", "1677-09-21T00:12:43Z",
             "2262-04-11T23:47:16.9Z", "2262-04-11T22:47:17-01:00", "9999-12-31T23:59:59Z"})
        EXPECT_EQ(parseIso8601(far), std::nullopt) << far;
    for (const char* near : {"1677-09-21T00:12:45Z", "1969-12-31T23:59:59.5Z", "2262-04-11T23:47:15Z"}) {
        const auto time = parseIso8601(near);
        ASSERT_TRUE(time) << near;
        EXPECT_EQ(formatIso8601(*time), std::string(near).substr(0, 19) + "Z");
    }
}

TEST(Uuid, IsVersionFourAndUnique)
{
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        auto uuid = makeUuid();
        EXPECT_TRUE(isUuid(uuid)) << uuid;
        EXPECT_EQ(uuid[14], '4');
        EXPECT_NE(std::string("89AB").find(uuid[19]), std::string::npos);
        seen.insert(uuid);
    }
    EXPECT_EQ(seen.size(), 100u);
    EXPECT_FALSE(isUuid("not-a-uuid"));
}

TEST(Base64, RoundTripsBothAlphabets)
{
    std::string text = "any carnal pleas\xFB\xFF";
    auto bytes = std::as_bytes(std::span(text.data(), text.size()));
    EXPECT_EQ(base64Encode(bytes), "YW55IGNhcm5hbCBwbGVhc/v/");
    EXPECT_EQ(base64UrlEncode(bytes), "YW55IGNhcm5hbCBwbGVhc_v_");
    EXPECT_EQ(base64Encode(bytes.first(4)), "YW55IA==");
    EXPECT_EQ(base64UrlEncode(bytes.first(4)), "YW55IA");
    for (const char* encoded : {"YW55IGNhcm5hbCBwbGVhc/v/", "YW55IGNhcm5hbCBwbGVhc_v_"}) {
        auto decoded = base64Decode(encoded);
        ASSERT_TRUE(decoded);
        EXPECT_TRUE(std::equal(decoded->begin(), decoded->end(), bytes.begin(), bytes.end()));
    }
    EXPECT_EQ(base64Decode("YW55IA")->size(), 4u);
    EXPECT_EQ(base64Decode("Y"), std::nullopt);
    EXPECT_EQ(base64Decode("YW5*"), std::nullopt);
}
