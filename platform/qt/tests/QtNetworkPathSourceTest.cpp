#include "platform/qt/QtNetworkPathSource.h"

#include <gtest/gtest.h>

using platform::NetworkPath;
using platform::QtNetworkPathSource;
using Reachability = QNetworkInformation::Reachability;

TEST(QtNetworkPathSource, OnlyAnOnlineOrUntoldReachabilityIsAUsablePath)
{
    struct Case {
        Reachability reachability;
        bool metered;
        NetworkPath path;
    };
    for (auto c : {
             Case { Reachability::Online, false, { true, false } },
             Case { Reachability::Online, true, { true, true } },
             Case { Reachability::Unknown, false, { true, false } },
             Case { Reachability::Disconnected, false, { false, false } },
             Case { Reachability::Local, false, { false, false } },
             Case { Reachability::Site, true, { false, true } },
         })
        EXPECT_EQ(QtNetworkPathSource::pathFor(c.reachability, c.metered), c.path) << int(c.reachability);
}
