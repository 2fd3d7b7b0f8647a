#include "platform/PositionSourceChoice.h"

#include <gtest/gtest.h>

using platform::PositionSourceChoice;
using Kind = PositionSourceChoice::Kind;
using NmeaKind = PositionSourceChoice::NmeaKind;

TEST(PositionSourceChoice, ReadsEverySourceTheLaunchOptionNamesAndWritesItBackTheSameWay)
{
    struct Case {
        const char* text;
        PositionSourceChoice choice;
        const char* written;
    };
    const Case cases[] = {
        { "auto", {}, "auto" },
        { "gpsd", PositionSourceChoice::gpsd(), "gpsd" },
        { "gpsd:localhost:2947", PositionSourceChoice::gpsd(), "gpsd" },
        { "gpsd:192.168.1.20:2948", PositionSourceChoice::gpsd("192.168.1.20", 2948), "gpsd:192.168.1.20:2948" },
        { "gpsd:[::1]:2947", PositionSourceChoice::gpsd("[::1]", 2947), "gpsd:[::1]:2947" },
        { "nmea:/dev/ttyACM0", PositionSourceChoice::nmea("/dev/ttyACM0"), "nmea:/dev/ttyACM0" },
        { "nmea:gps.local:10110", PositionSourceChoice::nmea("gps.local:10110"), "nmea:gps.local:10110" },
        { "nmea:/home/marche/sortie:1.nmea", PositionSourceChoice::nmea("/home/marche/sortie:1.nmea"),
            "nmea:/home/marche/sortie:1.nmea" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto choice = PositionSourceChoice::parse(c.text);
        ASSERT_TRUE(choice);
        EXPECT_EQ(*choice, c.choice);
        EXPECT_EQ(choice->text(), c.written);
        EXPECT_EQ(PositionSourceChoice::parse(choice->text()), choice);
    }
}

TEST(PositionSourceChoice, NamesNoSourceForAnythingElse)
{
    for (const char* text : { "", "Auto", "gps", "gpsd:", "gpsd:localhost", "gpsd::2947", "gpsd:localhost:0",
             "gpsd:localhost:65536", "gpsd:localhost:29x7", "gpsd:localhost:-1", "nmea:", "nmea", "geoclue" }) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(PositionSourceChoice::parse(text));
    }
}

TEST(PositionSourceChoice, TellsASerialDeviceATcpStreamAndAFileApart)
{
    struct Case {
        const char* path;
        NmeaKind kind;
    };
    for (const Case& c : { Case { "/dev/ttyACM0", NmeaKind::serialDevice }, Case { "/dev/serial/by-id/usb-gps", NmeaKind::serialDevice },
             Case { "127.0.0.1:10110", NmeaKind::tcpStream }, Case { "gps.local:10110", NmeaKind::tcpStream },
             Case { "walk.nmea", NmeaKind::file }, Case { "/tmp/a:1", NmeaKind::file }, Case { "gps.local:port", NmeaKind::file } }) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(PositionSourceChoice::nmeaKind(c.path), c.kind);
    }
    EXPECT_EQ(PositionSourceChoice::tcpAddress("gps.local:10110"), (std::pair<std::string, int> { "gps.local", 10110 }));
    EXPECT_FALSE(PositionSourceChoice::tcpAddress("/dev/ttyACM0"));
}
