#include "map-data/TerrainService.h"

#include <gtest/gtest.h>

using namespace velorin;

TEST(TerrainKeys, IGNCoversFranceFromLevelNineAndNamesItsFilesApart)
{
    struct Case {
        int z, x, y;
        bool ign;
        const char* diskKey;
    };
    for (auto c : { Case { 12, 2074, 1409, true, "dem-ign/12/2074_1409.bil" }, // Paris
             Case { 9, 259, 176, true, "dem-ign/9/259_176.bil" },
             Case { 8, 129, 88, false, "dem/8/129_88.png" },
             Case { 12, 2005, 1544, false, "dem/12/2005_1544.png" }, // Madrid
             Case { 12, 2195, 1489, false, "dem/12/2195_1489.png" }, // the Adriatic
             Case { 12, 2072, 1529, true, "dem-ign/12/2072_1529.bil" } }) { // Barcelona, inside the box
        EXPECT_EQ(TerrainService::usesIGN(c.z, c.x, c.y), c.ign) << c.diskKey;
        EXPECT_EQ(TerrainService::diskKey(c.z, c.x, c.y), c.diskKey);
    }
    EXPECT_EQ(TerrainService::terrariumDiskKey(12, 2074, 1409), "dem/12/2074_1409.png");
}
