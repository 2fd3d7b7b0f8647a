#include "map-data/MediaURLs.h"

#include <gtest/gtest.h>

using velorin::ServiceHosts;
using velorin::Sheet;

TEST(MediaURLs, PiecesAreEncodedOneByOneUnderTheMediaHost)
{
    ServiceHosts hosts;
    hosts.mediaHost = "media.example.org";
    Sheet sheet;
    sheet.name = "3531OT Mont #1";
    EXPECT_EQ(velorin::sheetMediaURL(hosts, sheet), "https://media.example.org/media/FR%20TOP25%20IGN/3531OT%20Mont%20%231.webp");
    EXPECT_EQ(velorin::thumbnailMediaURL(hosts, sheet, 256), "https://media.example.org/thumbs/256/3531OT%20Mont%20%231.jpg");
    sheet.directory = "cartes/Alpes?";
    sheet.name = "Écrins";
    EXPECT_EQ(velorin::sheetMediaURL(hosts, sheet), "https://media.example.org/cartes/Alpes%3F/%C3%89crins.webp");
    EXPECT_EQ(velorin::mediaURL(hosts, "places/places-fr.bin"), "https://media.example.org/places/places-fr.bin");
    // Empty pieces are kept, as the server may distinguish them.
    EXPECT_EQ(velorin::mediaURL(hosts, "a//b/"), "https://media.example.org/a//b/");
    EXPECT_EQ(velorin::mediaURL(hosts, "tiles/O'Neil (1)+;=@:.jpg"), "https://media.example.org/tiles/O'Neil%20(1)+;=@:.jpg");
    EXPECT_EQ(velorin::mediaURL(hosts, "100%"), "https://media.example.org/100%25");
}

TEST(MediaURLs, NothingWithoutAMediaHost)
{
    ServiceHosts hosts;
    Sheet sheet;
    sheet.name = "3531OT";
    EXPECT_EQ(velorin::sheetMediaURL(hosts, sheet), std::nullopt);
    EXPECT_EQ(velorin::thumbnailMediaURL(hosts, sheet, 1024), std::nullopt);
    EXPECT_EQ(velorin::mediaURL(hosts, "places/places-fr.bin"), std::nullopt);
}
