#include "map-data/TileKey.h"

#include <gtest/gtest.h>

#include <unordered_set>
#include <vector>

using velorin::Sheet;
using velorin::TileKey;

namespace {

std::vector<Sheet> namedSheets(std::initializer_list<const char*> names)
{
    std::vector<Sheet> sheets;
    for (auto name : names) {
        Sheet sheet;
        sheet.id = static_cast<int64_t>(sheets.size());
        sheet.name = name;
        sheets.push_back(sheet);
    }
    return sheets;
}

} // namespace

TEST(TileKey, RelativePathNamesTheFileOfEachKind)
{
    auto sheets = namedSheets({ "3531OT", "3432ET", "3335OT", "3637OT Mont Blanc" });
    struct Case {
        TileKey key;
        const char* path;
    };
    for (const auto& c : {
             Case { TileKey::pyramid(7, 65, 44), "pyramid/7/65_44.jpg" },
             Case { TileKey::webTile(1, 12, 2075, 1409), "web/planIGN/12/2075_1409.png" },
             Case { TileKey::webTile(2, 12, 2075, 1409), "web/orthophoto/12/2075_1409.jpg" },
             Case { TileKey::webTile(4, 9, 0, 1), "web/slopes/9/0_1.png" },
             Case { TileKey::webTile(6, 3, 4, 5), "web/appleSatellite/3/4_5.jpg" },
             Case { TileKey::webTile(9, 10, 3, 7), "web/austriaImage/10/3_7.jpg" },
             Case { TileKey::thumbnail(3, 256), "thumb256/3637OT Mont Blanc.jpg" },
             Case { TileKey::thumbnail(3, 1024), "thumb1024/3637OT Mont Blanc.jpg" },
             Case { TileKey::subtile(0, 0, 0), "sub/3531OT/0_0.jpg" },
             Case { TileKey::subtile(1, 12, 7), "sub/3432ET/12_7.jpg" },
         }) {
        EXPECT_EQ(c.key.relativePath(sheets), c.path);
    }
}

TEST(TileKey, RelativePathIsNothingForASheetOrSourceThatDoesNotExist)
{
    auto sheets = namedSheets({ "3531OT" });
    for (const auto& key : { TileKey::subtile(1, 0, 0), TileKey::subtile(-1, 0, 0), TileKey::thumbnail(5, 256),
             TileKey::webTile(10, 1, 0, 0), TileKey::webTile(-1, 1, 0, 0) }) {
        EXPECT_EQ(key.relativePath(sheets), std::nullopt) << key.value.index();
    }
    EXPECT_EQ(TileKey::subtile(0, 0, 0).relativePath({}), std::nullopt);
}

TEST(TileKey, KeysOfDifferentKindsWithTheSameFieldsDifferAndHashApart)
{
    std::hash<TileKey> hash;
    EXPECT_NE(TileKey::pyramid(1, 2, 3), TileKey::subtile(1, 2, 3));
    EXPECT_NE(hash(TileKey::pyramid(1, 2, 3)), hash(TileKey::subtile(1, 2, 3)));
    EXPECT_EQ(TileKey::webTile(1, 12, 2075, 1409), TileKey::webTile(1, 12, 2075, 1409));
    EXPECT_EQ(hash(TileKey::webTile(1, 12, 2075, 1409)), hash(TileKey::webTile(1, 12, 2075, 1409)));
    EXPECT_NE(TileKey::webTile(1, 12, 2075, 1409), TileKey::webTile(2, 12, 2075, 1409));

    // A tile table of a busy frame: neighbours and sources must not pile up in one bucket.
    std::unordered_set<std::size_t> hashes;
    std::size_t keys = 0;
    for (int64_t source = 0; source < 10; ++source) {
        for (int64_t x = 0; x < 20; ++x) {
            for (int64_t y = 0; y < 20; ++y, ++keys)
                hashes.insert(hash(TileKey::webTile(source, 14, 8000 + x, 5000 + y)));
        }
    }
    EXPECT_EQ(hashes.size(), keys);
}
