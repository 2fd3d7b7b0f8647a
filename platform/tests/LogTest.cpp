#include "platform/Log.h"
#include "testing/LogCapture.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(Log, FormatsFrenchMessagesUnderTheirCategory)
{
    testing_support::LogCapture log;
    log.expect("DiskStore", "écriture");
    Log::error(logcat::diskStore, "écriture {} : {}", "web/planIGN/12/1_2.png", "disque plein");
    Log::info(logcat::tileLoader, "{} tuiles", 3);
    auto entries = log.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], (LogEntry{LogLevel::error, "DiskStore", "écriture web/planIGN/12/1_2.png : disque plein"}));
    EXPECT_EQ(entries[1], (LogEntry{LogLevel::info, "TileLoader", "3 tuiles"}));
}
