#include "map-data/ServiceHosts.h"

#include "testing/LogCapture.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cstdlib>
#include <fstream>

using velorin::ServiceHosts;

namespace {

constexpr const char* kToken = "5c1e07a9d3b24f68a0e7c2b91d4f3a6e";

void writeFile(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream(path) << text;
}

// Sets VELORIN_HOSTS for the life of the object.
class HostsVariable {
public:
    explicit HostsVariable(const std::filesystem::path& file) { setenv("VELORIN_HOSTS", file.c_str(), 1); }
    ~HostsVariable() { unsetenv("VELORIN_HOSTS"); }
};

} // namespace

TEST(ServiceHosts, BuiltInValuesHaveProvidersButNoneOfTheMakersServers)
{
    ServiceHosts hosts;
    EXPECT_EQ(hosts.scheme, "https");
    EXPECT_FALSE(hosts.hasRelay());
    EXPECT_EQ(hosts.mediaHost, std::nullopt);
    EXPECT_EQ(hosts.accountHost, std::nullopt);
    EXPECT_EQ(hosts.updateHost, std::nullopt);
    EXPECT_EQ(hosts.relayedHosts().size(), 6u);
    EXPECT_EQ(hosts.origin(hosts.ignHost), "https://data.geopf.fr");
}

TEST(ServiceHosts, AFileOverridesOnlyTheKeysItNames)
{
    auto hosts = ServiceHosts::fromJSON(std::string(R"({"scheme": "http", "ignHost": "127.0.0.1:8080",
        "relayHost": "relay.example.org", "relayToken": ")") + kToken + R"(", "mediaHost": "[::1]:9000", "updateHost": "127.0.0.1:8081"})");
    EXPECT_EQ(hosts.scheme, "http");
    EXPECT_EQ(hosts.ignHost, "127.0.0.1:8080");
    EXPECT_EQ(hosts.openTopoHost, ServiceHosts().openTopoHost);
    EXPECT_TRUE(hosts.hasRelay());
    EXPECT_EQ(hosts.relayToken, kToken);
    EXPECT_EQ(hosts.mediaHost, "[::1]:9000");
    EXPECT_EQ(hosts.updateHost, "127.0.0.1:8081");
    EXPECT_EQ(ServiceHosts::fromJSON(R"({"mediaHost": null})"), ServiceHosts());

    auto google = ServiceHosts::fromJSON(R"({"googleTokenHost": "127.0.0.1:9001",
        "googleClientId": "1234-abc.apps.googleusercontent.com", "googleClientSecret": "GOCSPX-x_y~z"})");
    EXPECT_EQ(google.googleTokenHost, "127.0.0.1:9001");
    EXPECT_EQ(google.googleAccountsHost, "accounts.google.com");
    EXPECT_EQ(google.googleClientId, "1234-abc.apps.googleusercontent.com");
    EXPECT_EQ(google.googleClientSecret, "GOCSPX-x_y~z");

    // The world maps' servers may be replaced, and are never relayed.
    auto world = ServiceHosts::fromJSON(R"({"osmTileHost": "127.0.0.1:9002", "satelliteTileHost": "s2.example"})");
    EXPECT_EQ(world.osmTileHost, "127.0.0.1:9002");
    EXPECT_EQ(world.satelliteTileHost, "s2.example");
    const auto relayed = world.relayedHosts();
    EXPECT_EQ(std::count(relayed.begin(), relayed.end(), "127.0.0.1:9002") + std::count(relayed.begin(), relayed.end(), "s2.example"), 0);
}

TEST(ServiceHosts, UnusableFilesAreRefusedWithTheirFault)
{
    struct Case {
        std::string json;
        const char* fault;
    };
    for (const auto& c : {
             Case { "{", "JSON illisible" },
             Case { "[]", "objet JSON" },
             Case { R"({"scheme": "ftp"})", "scheme" },
             Case { R"({"ignhost": "a.example"})", "ignhost" },
             Case { R"({"ignHost": 42})", "ignHost" },
             Case { R"({"ignHost": ""})", "ignHost" },
             Case { R"({"ignHost": "evil.example/x?"})", "evil.example/x?" },
             Case { R"({"ignHost": "user@host"})", "user@host" },
             Case { R"({"relayHost": null, "accountHost": "a b"})", "a b" },
             Case { R"({"relayHost": "relay.example.org"})", "vont ensemble" },
             Case { R"({"relayToken": "5C1E07A9D3B24F68A0E7C2B91D4F3A6E", "relayHost": "r.example"})", "relayToken" },
             Case { R"({"relayToken": "../../etc", "relayHost": "r.example"})", "relayToken" },
             Case { R"({"googleTokenHost": "evil.example/token?"})", "evil.example/token?" },
             Case { R"({"googleClientId": "a&redirect_uri=x"})", "googleClientId" },
             Case { R"({"googleClientSecret": null})", "googleClientSecret" },
         }) {
        try {
            ServiceHosts::fromJSON(c.json);
            ADD_FAILURE() << c.json << " was accepted";
        } catch (const ServiceHosts::Invalid& invalid) {
            EXPECT_NE(std::string(invalid.what()).find(c.fault), std::string::npos) << c.json << ": " << invalid.what();
        }
    }
}

TEST(ServiceHosts, TheEnvironmentNamesTheFileAndABadFileKeepsTheBuiltInValues)
{
    testing_support::TemporaryFolder folder;
    testing_support::LogCapture log;
    EXPECT_EQ(ServiceHosts::fromEnvironment(), ServiceHosts());

    writeFile(folder / "hosts.json", R"({"scheme": "http", "openTopoHost": "127.0.0.1:9"})");
    {
        HostsVariable variable(folder / "hosts.json");
        EXPECT_EQ(ServiceHosts::fromEnvironment().openTopoHost, "127.0.0.1:9");
    }

    writeFile(folder / "bad.json", R"({"scheme": "http", "relayHost": "relay.example.org"})");
    log.expect(platform::logcat::defaults, "bad.json");
    {
        HostsVariable variable(folder / "bad.json");
        EXPECT_EQ(ServiceHosts::fromEnvironment(), ServiceHosts());
    }
    log.expect(platform::logcat::defaults, "missing.json : fichier introuvable");
    {
        HostsVariable variable(folder / "missing.json");
        EXPECT_EQ(ServiceHosts::fromEnvironment(), ServiceHosts());
    }
    EXPECT_TRUE(log.contains(platform::LogLevel::error, platform::logcat::defaults, "vont ensemble"));
}
