#include "update-plugin/VelorinKorrelvane.h"

#include "platform/DrainableMainQueue.h"
#include "testing/LogCapture.h"
#include "testing/LoopbackServer.h"

#include <gtest/gtest.h>

#include "update-plugin/SignedFile.h"
#include "update-plugin/UpdateFeed.h"
#include "update-plugin/UrlOrigin.h"

#include "platform/Base64.h"
#include "testing/TemporaryFolder.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

using korrelvane::UpdateFeed;
using korrelvane::UpdateOutcome;
using korrelvane::VelorinKorrelvane;
using testing_support::LoopbackServer;

namespace {

constexpr const char* kFeedPath = "/velorin/appcast.json";
// A key and the signature of the one byte "r" by its holder (RFC 8032, section 7.1).
constexpr const char* kPublicKey = "PUAXw+hDiVqStwqnTRt+vJyYLM8uxJaMwM1V8Sr0Zgw=";
constexpr const char* kSignatureOfR
    = "kqAJqfDUyrhyDoILX2QlQKKye1QWUD+Ps3YiI+vbadoIWsHkPhWZbkWPNhPQ8R2MOHsurrQwKu6wDSkWErsMAA==";

// A feed offering version 0.10.0 as the one byte "r", downloaded from `url`.
std::string feedOffering(const std::string& url)
{
    return R"({"items": [{"version": "0.10.0", "page": "https://exemple.fr", "download": {"url": ")" + url
        + R"(", "length": 1, "signature": ")" + kSignatureOfR + R"("}}]})";
}

// What the dialog was asked to show, in order.
struct Shown {
    int checking = 0;
    int raised = 0;
    int downloading = 0;
    std::vector<UpdateOutcome> outcomes;
};

class RecordingPresenter final : public korrelvane::UpdatePresenter {
public:
    explicit RecordingPresenter(std::shared_ptr<Shown> shown)
        : shown_(std::move(shown))
    {
    }
    void showChecking() override { ++shown_->checking; }
    void raise() override { ++shown_->raised; }
    void show(const UpdateOutcome& outcome) override { shown_->outcomes.push_back(outcome); }
    void showDownloading(std::int64_t, std::int64_t) override { ++shown_->downloading; }

private:
    std::shared_ptr<Shown> shown_;
};

class VelorinKorrelvaneTest : public ::testing::Test {
protected:
    testing_support::LogCapture log;
    LoopbackServer server;
    std::shared_ptr<platform::DrainableMainQueue> mainQueue = std::make_shared<platform::DrainableMainQueue>();
    std::shared_ptr<Shown> shown = std::make_shared<Shown>();

    std::unique_ptr<VelorinKorrelvane> make(std::string feedUrl, std::vector<std::byte> publicKey = {},
        std::filesystem::path downloads = {})
    {
        return std::make_unique<VelorinKorrelvane>(VelorinKorrelvane::Settings { "0.9.9", "Velorin/0.9.9 (Linux)",
                                                       feedUrl, "Poste d'Étienne", mainQueue, publicKey, downloads },
            std::make_unique<RecordingPresenter>(shown));
    }

    // Waits for the next outcome.
    UpdateOutcome next()
    {
        const auto before = shown->outcomes.size();
        while (shown->outcomes.size() == before) {
            if (!mainQueue->runOneWaiting(20)) {
                ADD_FAILURE() << "no outcome";
                return {};
            }
        }
        return shown->outcomes.back();
    }

    // Checks once and waits for the outcome.
    UpdateOutcome check(VelorinKorrelvane& plugin)
    {
        plugin.rechercher();
        return next();
    }
};

} // namespace

TEST_F(VelorinKorrelvaneTest, TheComputerIsNamedFromTheStartAndTheAccountOnlyWhileSomeoneIsSignedIn)
{
    using Headers = platform::HttpHeaders;
    const Headers computer { { "X-Vask-Poste", "Poste%20d%27Étienne" } };
    auto plugin = make("");
    EXPECT_EQ(plugin->headers(), computer);
    plugin->utilisateur("a+b@x.fr");
    EXPECT_EQ(plugin->headers(), (Headers { computer[0], { "X-Vask-Utilisateur", "a%2Bb@x.fr" } }));
    plugin->utilisateur(std::nullopt);
    EXPECT_EQ(plugin->headers(), computer);
    plugin->utilisateur("marie@example.fr");
    plugin->utilisateur("");
    EXPECT_EQ(plugin->headers(), computer);
}

TEST_F(VelorinKorrelvaneTest, EachOutcomeOfTheFeedIsShown)
{
    log.expect("Korrelvane", "");
    const std::string newer = R"({"items": [{"version": "0.10.0", "title": "Velorin 0.10", "notes": "Plus rapide.",
        "page": "https://exemple.fr/velorin"}]})";
    struct Case {
        LoopbackServer::Handler reply;
        UpdateOutcome::Kind kind;
        std::string message;
    };
    const Case cases[] = {
        { LoopbackServer::reply(200, newer), UpdateOutcome::Kind::available,
            "Velorin 0.10.0 est disponible ; vous avez la version 0.9.9." },
        { LoopbackServer::reply(200, R"({"items": [{"version": "0.9.9", "page": "https://exemple.fr"}]})"),
            UpdateOutcome::Kind::upToDate, "Velorin est à jour (version 0.9.9)." },
        { LoopbackServer::reply(500, newer), UpdateOutcome::Kind::unexpected,
            "Réponse inattendue du serveur de mises à jour." },
        { LoopbackServer::reply(200, "<html>maintenance</html>"), UpdateOutcome::Kind::unexpected,
            "Réponse inattendue du serveur de mises à jour." },
        { LoopbackServer::reply(200, std::string(VelorinKorrelvane::kMaxFeedBytes + 1, ' ')),
            UpdateOutcome::Kind::unexpected, "Réponse inattendue du serveur de mises à jour." },
        { LoopbackServer::reply(204), UpdateOutcome::Kind::unexpected, "Réponse inattendue du serveur de mises à jour." },
    };
    auto plugin = make(server.url(kFeedPath));
    for (const auto& c : cases) {
        server.route(kFeedPath, c.reply);
        const auto outcome = check(*plugin);
        EXPECT_EQ(outcome.kind, c.kind) << c.message;
        EXPECT_EQ(outcome.message(), c.message);
    }
    EXPECT_EQ(shown->outcomes[0].item->notes, "Plus rapide.");
    EXPECT_EQ(shown->checking, int(std::size(cases)));
}

TEST_F(VelorinKorrelvaneTest, WithoutAFeedOrAServerTheCheckSaysSoAndNeverThatAllIsUpToDate)
{
    log.expect("Korrelvane", "impossible");
    auto unconfigured = make("");
    unconfigured->rechercher();
    ASSERT_EQ(shown->outcomes.size(), 1u);
    EXPECT_EQ(shown->outcomes[0].message(), "La recherche de mises à jour n'est pas configurée sur cet ordinateur.");
    EXPECT_EQ(shown->checking, 0) << "nothing was sent";

    std::string gone;
    {
        LoopbackServer closed;
        gone = closed.url(kFeedPath);
    }
    auto plugin = make(gone);
    EXPECT_EQ(check(*plugin).message(), "Impossible de joindre le serveur de mises à jour. Vérifiez votre connexion.");
}

TEST_F(VelorinKorrelvaneTest, TheFeedIsAskedWithTheHeadersOfTheMomentAndASecondRequestOnlyRaisesTheDialog)
{
    server.route(kFeedPath, server.delayed(0.2, LoopbackServer::reply(200, R"({"items": []})")));
    auto plugin = make(server.url(kFeedPath));
    plugin->utilisateur("a+b@x.fr");
    plugin->rechercher();
    plugin->rechercher();
    EXPECT_EQ(shown->raised, 1);
    while (shown->outcomes.empty())
        ASSERT_TRUE(mainQueue->runOneWaiting(20));
    ASSERT_EQ(server.requestCount(kFeedPath), 1);
    // The server decodes what it receives.
    const auto request = server.requests().front();
    EXPECT_EQ(request.headers.find("X-Vask-Poste")->second, "Poste d'Étienne");
    EXPECT_EQ(request.headers.find("X-Vask-Utilisateur")->second, "a+b@x.fr");
    EXPECT_EQ(shown->outcomes.back().kind, UpdateOutcome::Kind::upToDate);
}

TEST_F(VelorinKorrelvaneTest, ACheckStillRunningWhenThePluginGoesShowsNothing)
{
    server.route(kFeedPath, server.delayed(0.1, LoopbackServer::reply(200, R"({"items": []})")));
    auto plugin = make(server.url(kFeedPath));
    plugin->rechercher();
    plugin.reset();
    mainQueue->runOneWaiting(0.5);
    mainQueue->drain();
    EXPECT_TRUE(shown->outcomes.empty());
}

TEST_F(VelorinKorrelvaneTest, ADownloadIsKeptOnlyWhenTheMakersSignatureCoversItsBytes)
{
    log.expect("Korrelvane", "interrompu");
    const auto key = *platform::base64Decode(kPublicKey);
    testing_support::TemporaryFolder downloads;
    std::ofstream(downloads.path() / "velorin-0.10.0.tar") << "a file of the user's, never replaced";
    server.route(kFeedPath, LoopbackServer::reply(200, feedOffering(server.url("/velorin-0.10.0.tar"))));
    auto plugin = make(server.url(kFeedPath), key, downloads.path());
    const auto offer = check(*plugin);
    ASSERT_EQ(offer.kind, UpdateOutcome::Kind::available);
    EXPECT_TRUE(offer.downloadable);
    EXPECT_FALSE(check(*make(server.url(kFeedPath))).downloadable) << "no key built in: no download offered";

    struct Case {
        std::string served;
        UpdateOutcome::Kind kind;
    };
    for (const auto& c : { Case { "r", UpdateOutcome::Kind::downloaded }, Case { "s", UpdateOutcome::Kind::tampered },
             Case { "rr", UpdateOutcome::Kind::unexpected } }) {
        server.route("/velorin-0.10.0.tar", LoopbackServer::reply(200, c.served));
        plugin->telecharger(*offer.item);
        const auto outcome = next();
        EXPECT_EQ(outcome.kind, c.kind) << c.served;
        EXPECT_FALSE(std::filesystem::exists(downloads.path() / "velorin-0.10.0.tar.part")) << c.served;
    }
    EXPECT_EQ(shown->outcomes[shown->outcomes.size() - 2].message(), "Le téléchargement est altéré : il a été supprimé.");
    const auto kept = downloads.path() / "velorin-0.10.0 (2).tar";
    EXPECT_EQ(korrelvane::SignedFile::nameFromUrl("https://exemple.fr/v/velorin-0.2.tar.gz?x=1", "Velorin"),
        "velorin-0.2.tar.gz");
    EXPECT_EQ(korrelvane::SignedFile::nameFromUrl("https://exemple.fr/../.bashrc", "Velorin"), "Velorin");
    EXPECT_EQ(korrelvane::SignedFile::nameFromUrl("https://exemple.fr/a%2F..%2Fb c", "Velorin"), "a_2F.._2Fb_c");
    EXPECT_EQ(shown->outcomes[shown->outcomes.size() - 3].file, kept.string());
    std::ifstream keptFile(kept);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(keptFile), {}), "r");
    std::ifstream mine(downloads.path() / "velorin-0.10.0.tar");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(mine), {}), "a file of the user's, never replaced");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(downloads.path()), std::filesystem::directory_iterator()), 2) << "nothing else is left";
    EXPECT_GE(shown->downloading, 3);
}

TEST_F(VelorinKorrelvaneTest, TheHeadersGoOnlyToTheUpdateHostAndNeverAlongARedirect)
{
    log.expect("Korrelvane", "");
    LoopbackServer other;
    other.route("/*", LoopbackServer::reply(200, "r"));
    testing_support::TemporaryFolder downloads;
    auto plugin = make(server.url(kFeedPath), *platform::base64Decode(kPublicKey), downloads.path());
    plugin->utilisateur("marie@example.fr");
    const auto redirectTo = [&](const std::string& path) {
        return LoopbackServer::reply(302, "", { { "Location", other.url(path) } });
    };
    const auto sawHeaders = [](const LoopbackServer::Received& request) {
        return request.headers.count("X-Vask-Poste") + request.headers.count("X-Vask-Utilisateur");
    };

    // A download from another host is made without them.
    server.route(kFeedPath, LoopbackServer::reply(200, feedOffering(other.url("/velorin-0.10.0.tar"))));
    const auto offer = check(*plugin);
    ASSERT_EQ(offer.kind, UpdateOutcome::Kind::available);
    plugin->telecharger(*offer.item);
    EXPECT_EQ(next().kind, UpdateOutcome::Kind::downloaded);
    ASSERT_EQ(other.requestCount("/velorin-0.10.0.tar"), 1);
    EXPECT_EQ(sawHeaders(other.requests().back()), 0u);

    // The update host's redirects, of the feed or of a download of its own, are not followed.
    server.route("/velorin-0.10.0.tar", redirectTo("/moved.tar"));
    plugin->telecharger(UpdateFeed::parse(feedOffering(server.url("/velorin-0.10.0.tar")))->items.front());
    EXPECT_EQ(next().kind, UpdateOutcome::Kind::unexpected);
    server.route(kFeedPath, redirectTo(kFeedPath));
    EXPECT_EQ(check(*plugin).kind, UpdateOutcome::Kind::unexpected);
    EXPECT_EQ(other.requestCount("/moved.tar"), 0);
    EXPECT_EQ(other.requestCount(kFeedPath), 0);

    const auto toUpdateHost = server.requests();
    ASSERT_EQ(toUpdateHost.size(), 3u);
    for (const auto& request : toUpdateHost)
        EXPECT_EQ(sawHeaders(request), 2u) << request.path;
}

TEST(UrlOrigin, IsTheSchemeAndAuthorityComparedWithoutCase)
{
    struct Case {
        const char* url;
        std::optional<std::string> origin;
    };
    const Case cases[] = {
        { "https://maj.example.fr/velorin/appcast.json", "https://maj.example.fr" },
        { "HTTPS://Maj.Example.FR:8443?x=1", "https://maj.example.fr:8443" },
        { "http://maj.example.fr#top", "http://maj.example.fr" },
        { "https://maj.example.fr@ailleurs.fr/v.tar", "https://maj.example.fr@ailleurs.fr" },
        { "https://maj.example.fr.ailleurs.fr/v.tar", "https://maj.example.fr.ailleurs.fr" },
        { "maj.example.fr/v.tar", std::nullopt },
        { "https:///v.tar", std::nullopt },
        { "://maj.example.fr", std::nullopt },
    };
    for (const auto& c : cases)
        EXPECT_EQ(korrelvane::urlOrigin(c.url), c.origin) << c.url;
}
