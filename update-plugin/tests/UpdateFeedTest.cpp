#include "update-plugin/UpdateFeed.h"

#include <gtest/gtest.h>

using korrelvane::DottedVersion;
using korrelvane::UpdateFeed;

TEST(DottedVersion, NumbersCompareOneByOneWithMissingOnesAsZero)
{
    struct Case {
        const char* lower;
        const char* higher;
    };
    for (auto c : { Case { "0.9.9", "0.10.0" }, Case { "1.0", "1.0.1" }, Case { "1.9", "2" }, Case { "0.1.0", "0.1.0.1" } })
        EXPECT_LT(*DottedVersion::parse(c.lower), *DottedVersion::parse(c.higher)) << c.lower << " < " << c.higher;
    EXPECT_EQ(*DottedVersion::parse("1.0"), *DottedVersion::parse("1.0.0"));
    EXPECT_EQ(*DottedVersion::parse("01.2"), *DottedVersion::parse("1.2"));
    for (const char* bad : { "", "1.", ".1", "1..2", "v1.2", "1.2-beta", "1.2 ", "1234567890", "1.2.3.4.5.6.7.8.9.10" })
        EXPECT_FALSE(DottedVersion::parse(bad)) << bad;
}

TEST(UpdateFeed, TheHighestReadableVersionAboveTheRunningOneWins)
{
    const auto feed = UpdateFeed::parse(R"({"items": [
        {"version": "0.2.0", "title": "Deux", "notes": "n2", "page": "https://exemple.fr/0.2"},
        {"version": "0.10.0", "title": "Dix", "notes": "n10", "page": "https://exemple.fr/0.10",
         "download": {"url": "https://exemple.fr/velorin-0.10.tar", "length": 1234, "signature": "c2ln"}},
        {"version": "0.11 bêta", "page": "https://exemple.fr/b"},
        {"version": "0.12.0", "page": "file:///etc/passwd"},
        {"version": "0.13.0", "page": "https://exemple.fr/0.13", "download": {"url": "ftp://exemple.fr/x", "length": 1}},
        {"version": "0.14.0", "page": "https://exemple.fr/0.14", "download": {"url": "https://exemple.fr/x", "length": -1}},
        "pas un objet",
        {"version": "0.9.9", "page": "http://exemple.fr/0.9.9"}
    ]})");
    ASSERT_TRUE(feed);
    ASSERT_EQ(feed->items.size(), 3u) << "unreadable versions and addresses are left out";
    const auto newest = feed->newestAbove(*DottedVersion::parse("0.1.0"));
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->version, "0.10.0");
    EXPECT_EQ(newest->title, "Dix");
    ASSERT_TRUE(newest->download);
    EXPECT_EQ(newest->download->length, 1234);
    EXPECT_EQ(newest->download->signature, "c2ln");
    EXPECT_FALSE(feed->newestAbove(*DottedVersion::parse("0.10")));
    EXPECT_FALSE(feed->newestAbove(*DottedVersion::parse("1.0")));
}

TEST(UpdateFeed, TextOfAnotherShapeIsNoFeed)
{
    for (const char* text : { "", "<html>", "[]", R"({"items": {}})", R"({"articles": []})", "{\"items\": [" })
        EXPECT_FALSE(UpdateFeed::parse(text)) << text;
    EXPECT_TRUE(UpdateFeed::parse(R"({"items": []})"));
}
