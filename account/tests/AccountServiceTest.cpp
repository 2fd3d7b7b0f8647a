#include "account/tests/AccountFixture.h"

#include <future>

using platform::Keychain;
using testing_support::LoopbackServer;
using velorin::AccountService;

namespace {

class AccountServiceTest : public testing_support::AccountFixture {
protected:
    void SetUp() override { make(); }

    std::string header(const LoopbackServer::Received& request, const char* name) const
    {
        auto found = request.headers.find(name);
        return found == request.headers.end() ? "<none>" : found->second;
    }

    std::optional<nlohmann::json> storedAccount() const { return defaults->dictionary(AccountService::kAccountKey); }

    static constexpr const char* kDeletion = "/wd/bloc/velorin%7Csupprimer";

    // Every action answers `body`; a deletion waits for `release` first.
    void holdDeletions(std::shared_future<void> release, std::string body)
    {
        server.route(kActions, [release, body](const httplib::Request& request, httplib::Response& response) {
            if (request.target == kDeletion)
                release.wait_for(std::chrono::seconds(20));
            response.set_content(body, "application/json");
        });
    }
};

} // namespace

TEST_F(AccountServiceTest, EachActionGoesToItsAddressWithItsFieldsAndOnlyTheOwnCookie)
{
    // The server also sets a cookie of its own, which must never come back.
    answer(200, R"({"ok": true, "session": "t0k3n", "email": "marie@example.fr", "nom": "Marie Curie"})",
        { { "Set-Cookie", "external=planted; Path=/" } });
    ASSERT_EQ(outcome([&](auto done) { accounts->signUp("Marie Curie", "marie@example.fr", "a+b c", done); }),
        std::nullopt);
    ASSERT_EQ(signIn("marie@example.fr", "a+b c"), std::nullopt);
    const std::string google = testing_support::idToken(R"({"email": "marie@example.fr", "name": "Marie Curie"})");
    ASSERT_EQ(outcome([&](auto done) { accounts->signInWithGoogle(google, "1234-abc.apps.example", done); }),
        std::nullopt);
    std::string notice;
    accounts->requestPasswordReset("marie@example.fr", [&](std::string text, auto) { notice = text; });
    ASSERT_TRUE(runUntil([&] { return !notice.empty(); }));
    checkSession();
    ASSERT_EQ(outcome([&](auto done) { accounts->deleteAccount(done); }), std::nullopt);

    struct Expected {
        const char* target;
        const char* method;
        const char* body; // null: the Google sign-in's
        const char* cookie;
    };
    const Expected expected[] {
        { "/wd/bloc/velorin%7Cinscription", "POST", "login=marie%40example.fr&nom=Marie%20Curie&password=a%2Bb%20c",
            "<none>" },
        { "/wd/bloc/velorin%7Clogin", "POST", "login=marie%40example.fr&password=a%2Bb%20c", "<none>" },
        { "/wd/bloc/velorin%7Cgoogle", "POST", nullptr, "<none>" },
        { "/wd/bloc/velorin%7Clogin-oubli", "POST", "login=marie%40example.fr", "<none>" },
        { "/wd/bloc/velorin%7C/moi", "GET", "", "external=t0k3n" },
        { "/wd/bloc/velorin%7Csupprimer", "POST", "confirmer=oui", "external=t0k3n" },
    };
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), std::size(expected));
    for (std::size_t i = 0; i < requests.size(); ++i) {
        const auto& request = requests[i];
        EXPECT_EQ(request.target, expected[i].target);
        EXPECT_EQ(request.method, expected[i].method) << request.target;
        EXPECT_EQ(request.body, expected[i].body ? std::string(expected[i].body)
                                                 : "client=1234-abc.apps.example&nom=Marie%20Curie&token=" + google)
            << request.target;
        EXPECT_EQ(header(request, "Cookie"), expected[i].cookie) << request.target;
        EXPECT_EQ(header(request, "Content-Type"),
            std::string(request.method == "POST" ? "application/x-www-form-urlencoded; charset=utf-8" : "<none>"))
            << request.target;
    }
}

TEST_F(AccountServiceTest, ASignInStoresOnlyAUsableTokenAndOtherwiseSaysWhy)
{
    const std::string big(AccountService::kMaxReplyBytes, 'x');
    struct Case {
        int status;
        std::string body;
        std::optional<std::string> failure; // none: signed in
        std::optional<Account> account = {};
    };
    const std::string unexpected(AccountService::kUnexpectedReplyMessage);
    const std::string refused(AccountService::kRefusedMessage);
    for (const Case& c : {
             Case { 200, "<html>Erreur</html>", unexpected },
             Case { 200, R"({"session": "t0k3n"})", unexpected },
             Case { 200, R"({"ok": "true", "session": "t0k3n"})", unexpected },
             Case { 200, R"({"ok": null, "session": "t0k3n"})", unexpected },
             Case { 200, R"({"ok": true, "session": "t0k3n", "nom": 5})", unexpected },
             Case { 200, R"([{"ok": true}])", unexpected },
             Case { 200, R"({"ok": true, "session": "t0k3n", "message": ")" + big + R"("})", unexpected },
             Case { 200, R"({"ok": true, "session": "a\r\nX: y"})", unexpected },
             Case { 200, R"({"ok": true, "session": "a;b"})", unexpected },
             Case { 200, R"({"ok": true, "session": ")" + std::string(AccountService::kMaxTokenBytes + 1, 't') + R"("})",
                 unexpected },
             Case { 302, "", unexpected },
             Case { 200, R"({"ok": true, "session": ""})", refused },
             Case { 200, R"({"ok": true})", refused },
             Case { 200, R"({"ok": false, "session": "t0k3n"})", refused },
             Case { 403, R"({"ok": false, "erreur": "Mot de passe incorrect."})", "Mot de passe incorrect." },
             Case { 500, R"({"ok": true, "session": "t0k3n"})", std::nullopt, Account { "", "" } },
             Case { 200, R"({"ok": true, "session": "t0k3n", "email": null, "nom": "Marie", "autre": [1]})",
                 std::nullopt, Account { "", "Marie" } },
         }) {
        keychain->items.clear();
        defaults->remove(AccountService::kAccountKey);
        make();
        mainQueue->drain();
        answer(c.status, c.body, { { "Location", "/wd/bloc/velorin%7Cailleurs" } });
        const auto failure = signIn();
        mainQueue->drain();
        const auto at = c.body.substr(0, 60);
        if (c.failure) {
            EXPECT_EQ(failure, Failure { *c.failure }) << at;
            EXPECT_EQ(accounts->account(), std::nullopt) << at;
            EXPECT_TRUE(keychain->items.empty()) << at;
            EXPECT_EQ(storedAccount(), std::nullopt) << at;
        } else {
            EXPECT_EQ(failure, std::nullopt) << at;
            EXPECT_EQ(accounts->account(), c.account) << at;
            EXPECT_EQ(keychain->items[std::string(AccountService::kSessionItem)], "t0k3n") << at;
        }
    }
    EXPECT_EQ(server.requestCount("/wd/bloc/velorin|ailleurs"), 0) << "a redirect is never followed";

    hosts = loopbackHosts(9); // nobody listens on the discard port
    make();
    EXPECT_EQ(signIn(), Failure { std::string(AccountService::kUnreachableMessage) });
}

TEST_F(AccountServiceTest, APasswordResetShowsTheServersMessageOrTheFixedNoticeWhateverItsVerdict)
{
    struct Case {
        std::string body;
        std::string text;
        std::optional<std::string> failure = {};
    };
    const std::string notice(AccountService::kResetNotice);
    for (const Case& c : {
             Case { R"({"ok": false, "erreur": "Adresse inconnue."})", notice },
             Case { R"({"ok": true})", notice },
             Case { R"({"ok": true, "message": "Regardez vos e-mails."})", "Regardez vos e-mails." },
             Case { "pas du JSON", "", std::string(AccountService::kUnexpectedReplyMessage) },
         }) {
        answer(200, c.body);
        std::optional<std::pair<std::string, std::optional<Failure>>> result;
        accounts->requestPasswordReset("nobody@example.fr", [&](std::string text, std::optional<Failure> failure) {
            result.emplace(std::move(text), std::move(failure));
        });
        ASSERT_TRUE(runUntil([&] { return result.has_value(); }));
        EXPECT_EQ(result->first, c.text) << c.body;
        EXPECT_EQ(result->second, c.failure ? std::optional(Failure { *c.failure }) : std::nullopt) << c.body;
    }
    EXPECT_EQ(accounts->account(), std::nullopt);
}

TEST_F(AccountServiceTest, DeletingSignsOutOnlyWhenTheServerAgrees)
{
    signInMarie();
    struct Case {
        std::string body;
        std::string failure;
    };
    for (const Case& c : {
             Case { R"({"ok": false})", std::string(AccountService::kDeletionRefusedMessage) },
             Case { R"({"ok": false, "erreur": "Réessayez plus tard."})", "Réessayez plus tard." },
             Case { "<html>", std::string(AccountService::kUnexpectedReplyMessage) },
         }) {
        answer(200, c.body);
        EXPECT_EQ(outcome([&](auto done) { accounts->deleteAccount(done); }), Failure { c.failure }) << c.body;
        EXPECT_EQ(accounts->account(), (Account { "marie@example.fr", "Marie" }));
    }

    answer(200, R"({"ok": true})");
    pluginMessages.clear();
    EXPECT_EQ(outcome([&](auto done) { accounts->deleteAccount(done); }), std::nullopt);
    mainQueue->drain();
    EXPECT_EQ(accounts->account(), std::nullopt);
    EXPECT_TRUE(keychain->items.empty());
    EXPECT_EQ(storedAccount(), std::nullopt);
    EXPECT_EQ(pluginMessages, (std::vector<std::optional<std::string>> { std::nullopt }));
}

TEST_F(AccountServiceTest, DeletingWithoutAStoredTokenSignsOutHereAndSaysNothingWasDeleted)
{
    signInMarie();
    keychain->items.clear();
    EXPECT_EQ(outcome([&](auto done) { accounts->deleteAccount(done); }),
        Failure { std::string(AccountService::kSessionExpiredMessage) });
    EXPECT_EQ(accounts->account(), std::nullopt);
    EXPECT_EQ(storedAccount(), std::nullopt);
    EXPECT_TRUE(requestsTo("/wd/bloc/velorin%7Csupprimer").empty());
}

TEST_F(AccountServiceTest, ASessionCheckAnsweringDuringADeletionDoesNotCancelIt)
{
    // The sheet checks its session as it opens: the check answers before the deletion has
    // read its token, or while its request waits for the server.
    for (const bool beforeTheToken : { true, false }) {
        signInMarie();
        std::promise<void> released;
        holdDeletions(released.get_future().share(), R"({"ok": true, "email": "marie@example.fr", "nom": "Marie"})");
        const auto sentBefore = requestsTo(kDeletion).size();
        std::optional<std::optional<Failure>> deleted;
        bool checked = false;
        if (beforeTheToken) {
            accounts->checkSession([&] { checked = true; });
            keychain->hold();
        }
        accounts->deleteAccount([&](std::optional<Failure> failure) { deleted = std::move(failure); });
        if (beforeTheToken) {
            ASSERT_TRUE(runUntil([&] { return checked; }));
            keychain->release();
        } else {
            ASSERT_TRUE(runUntil([&] { return requestsTo(kDeletion).size() > sentBefore; }));
            checkSession();
        }
        EXPECT_EQ(requestsTo("/wd/bloc/velorin%7C/moi").size(), beforeTheToken ? 1u : 2u);
        released.set_value();
        ASSERT_TRUE(runUntil([&] { return deleted.has_value(); })) << beforeTheToken;
        mainQueue->drain();
        EXPECT_EQ(*deleted, std::nullopt) << beforeTheToken;
        EXPECT_EQ(requestsTo(kDeletion).size(), sentBefore + 1) << beforeTheToken << ": the deletion was sent";
        EXPECT_EQ(accounts->account(), std::nullopt) << beforeTheToken;
        EXPECT_EQ(storedAccount(), std::nullopt) << beforeTheToken;
        EXPECT_TRUE(keychain->items.empty()) << beforeTheToken;
    }
}

TEST_F(AccountServiceTest, ADeletionWhoseSessionEndsMeanwhileNeitherSendsAnotherAccountsTokenNorSignsItOut)
{
    const Account jean { "jean@example.fr", "Jean" };
    struct Case {
        bool beforeTheToken;
        // Else Jean signs in.
        bool signOut;
        std::optional<Failure> outcome;
        std::optional<Account> after;
    };
    const Failure expired { std::string(AccountService::kSessionExpiredMessage) };
    for (const Case& c : {
             Case { true, true, expired, std::nullopt },
             Case { true, false, expired, jean },
             Case { false, false, std::nullopt, jean },
         }) {
        const std::string what = std::string(c.beforeTheToken ? "before the token: " : "before the reply: ")
            + (c.signOut ? "signed out" : "Jean signed in");
        signInMarie();
        std::promise<void> released;
        holdDeletions(released.get_future().share(), R"({"ok": true, "session": "j3an", "email": "jean@example.fr", "nom": "Jean"})");
        const auto sentBefore = requestsTo(kDeletion).size();
        std::optional<std::optional<Failure>> deleted;
        if (c.beforeTheToken)
            keychain->hold();
        accounts->deleteAccount([&](std::optional<Failure> failure) { deleted = std::move(failure); });
        if (!c.beforeTheToken) {
            ASSERT_TRUE(runUntil([&] { return requestsTo(kDeletion).size() > sentBefore; })) << what;
        }
        if (c.signOut) {
            accounts->signOut();
        } else {
            ASSERT_EQ(signIn("jean@example.fr"), std::nullopt) << what;
        }
        keychain->release();
        released.set_value();
        ASSERT_TRUE(runUntil([&] { return deleted.has_value(); })) << what;
        mainQueue->drain();
        EXPECT_EQ(*deleted, c.outcome) << what;
        const auto sent = requestsTo(kDeletion);
        ASSERT_EQ(sent.size(), sentBefore + (c.beforeTheToken ? 0 : 1)) << what;
        if (!c.beforeTheToken) {
            EXPECT_EQ(header(sent.back(), "Cookie"), "external=t0k3n") << what;
        }
        EXPECT_EQ(accounts->account(), c.after) << what;
        accounts->signOut();
    }
}

TEST_F(AccountServiceTest, TheSessionCheckKeepsTheEmailAndSignsOutOnlyWhenTheTokenItselfIsRefused)
{
    checkSession();
    EXPECT_EQ(server.requestCount(), 0) << "no token, no request";

    signInMarie();
    keychain->items.clear();
    checkSession();
    EXPECT_TRUE(requestsTo("/wd/bloc/velorin%7C/moi").empty());
    EXPECT_EQ(accounts->account(), (Account { "marie@example.fr", "Marie" })) << "a shown account stays shown";

    struct Case {
        int status;
        std::string body;
        std::optional<Account> after;
    };
    const Account marie { "marie@example.fr", "Marie" };
    for (const Case& c : {
             Case { 200, R"({"ok": true})", Account { "marie@example.fr", "" } },
             Case { 200, R"({"ok": true, "email": "m.curie@example.fr", "nom": "Marie Curie"})",
                 Account { "m.curie@example.fr", "Marie Curie" } },
             Case { 500, R"({"ok": false})", marie },
             Case { 503, "<html>", marie },
             Case { 200, R"({"ok": false})", std::nullopt },
             Case { 401, R"({"ok": false})", std::nullopt },
             Case { 403, R"({"ok": false, "erreur": "Session expirée."})", std::nullopt },
         }) {
        signInMarie();
        answer(c.status, c.body);
        checkSession();
        EXPECT_EQ(accounts->account(), c.after) << c.status << " " << c.body;
    }

    signInMarie();
    const auto ownedBefore = storedAccount();
    hosts = loopbackHosts(9);
    make();
    mainQueue->drain();
    checkSession();
    EXPECT_EQ(accounts->account(), marie) << "without the server nothing changes";
    EXPECT_EQ(storedAccount(), ownedBefore);
}

TEST_F(AccountServiceTest, ACheckAnsweredAfterASignOutChangesNothing)
{
    signInMarie();
    std::promise<void> released;
    auto release = released.get_future().share();
    server.route(kActions, [release](const httplib::Request&, httplib::Response& response) {
        release.wait_for(std::chrono::seconds(20));
        response.set_content(R"({"ok": true, "email": "marie@example.fr", "nom": "Marie"})", "application/json");
    });
    bool done = false;
    accounts->checkSession([&] { done = true; });
    ASSERT_TRUE(runUntil([&] { return server.requestCount() == 2; })) << "the sign-in, then the check";
    accounts->signOut();
    released.set_value();
    ASSERT_TRUE(runUntil([&] { return done; }));
    mainQueue->drain();
    EXPECT_EQ(accounts->account(), std::nullopt);
    EXPECT_EQ(storedAccount(), std::nullopt);
}

TEST_F(AccountServiceTest, TheStoredAccountIsRestoredWhenTheKeychainHoldsItsTokenAndTheStartIsAnnounced)
{
    using Messages = std::vector<std::optional<std::string>>;
    EXPECT_EQ(pluginMessages, Messages { std::nullopt }) << "nothing stored: nil once, at once";

    struct Case {
        const char* stored; // "Velorin.account", as JSON; null for none
        bool hasToken;
        std::optional<Account> restored;
    };
    for (const Case& c : {
             Case { R"({"email": "marie@example.fr", "name": "Marie"})", true, Account { "marie@example.fr", "Marie" } },
             Case { R"({"email": "marie@example.fr"})", true, Account { "marie@example.fr", "" } },
             Case { R"({"email": "marie@example.fr", "name": "Marie"})", false, std::nullopt },
             Case { R"({"email": "marie@example.fr", "name": 3})", true, std::nullopt },
             Case { R"({"email": "marie@example.fr", "name": null})", true, std::nullopt },
             Case { R"({"name": "Marie"})", true, std::nullopt },
             Case { R"("marie@example.fr")", true, std::nullopt },
         }) {
        keychain->items.clear();
        if (c.hasToken)
            keychain->items[std::string(AccountService::kSessionItem)] = "t0k3n";
        auto json = nlohmann::json::parse(c.stored);
        if (json.is_object())
            defaults->setDictionary(AccountService::kAccountKey, json);
        else
            defaults->setString(AccountService::kAccountKey, json.get<std::string>());
        changes = 0;
        make();
        mainQueue->drain();
        EXPECT_EQ(accounts->account(), c.restored) << c.stored << (c.hasToken ? " with a token" : " without a token");
        const Messages announced = c.restored ? Messages { c.restored->email, c.restored->email } : Messages { std::nullopt };
        EXPECT_EQ(pluginMessages, announced) << c.stored;
        EXPECT_EQ(changes, c.restored ? 1 : 0) << c.stored;
    }
}

TEST_F(AccountServiceTest, EverySignInSignOutAndEqualAssignmentTellsThePlugin)
{
    using Messages = std::vector<std::optional<std::string>>;
    signInMarie();
    answer(200, R"({"ok": true, "email": "marie@example.fr", "nom": "Marie"})");
    checkSession();
    accounts->signOut();
    EXPECT_EQ(pluginMessages, (Messages { std::nullopt, "marie@example.fr", "marie@example.fr", std::nullopt }));
    EXPECT_EQ(changes, 3);
}

TEST_F(AccountServiceTest, AKeychainAnswerArrivingAfterASignOutRestoresNothing)
{
    keychain->items[std::string(AccountService::kSessionItem)] = "t0k3n";
    defaults->setDictionary(AccountService::kAccountKey, { { "email", "marie@example.fr" }, { "name", "Marie" } });
    keychain->hold();
    make();
    accounts->signOut();
    keychain->release();
    mainQueue->drain();
    EXPECT_EQ(accounts->account(), std::nullopt);
    EXPECT_EQ(pluginMessages, (std::vector<std::optional<std::string>> { std::nullopt, std::nullopt }));
}

TEST_F(AccountServiceTest, WithoutAWorkingKeychainTheSessionLastsThisRunAndTheTroubleIsLoggedOnce)
{
    keychain->failure = Keychain::Status::unavailable;
    log.expect(AccountService::kLogCategory, "trousseau inutilisable");
    signInMarie();
    EXPECT_EQ(accounts->account(), (Account { "marie@example.fr", "Marie" }));

    answer(200, R"({"ok": true, "email": "marie@example.fr", "nom": "Marie"})");
    checkSession();
    auto checks = requestsTo("/wd/bloc/velorin%7C/moi");
    ASSERT_EQ(checks.size(), 1u) << "the token of this run is sent";
    EXPECT_EQ(checks[0].headers.find("Cookie")->second, "external=t0k3n");

    make();
    mainQueue->drain();
    EXPECT_EQ(accounts->account(), std::nullopt) << "the unsaved token is not restored at the next start";

    signInMarie();
    accounts->signOut();
    EXPECT_EQ(outcome([&](auto done) { accounts->deleteAccount(done); }),
        Failure { std::string(AccountService::kSessionExpiredMessage) })
        << "a sign-out forgets the token of this run";
    const auto entries = log.entries();
    const auto warnings = std::count_if(entries.begin(), entries.end(), [](const platform::LogEntry& entry) {
        return entry.level == platform::LogLevel::warning;
    });
    EXPECT_EQ(warnings, 2) << "once a run: two services here";
}

TEST_F(AccountServiceTest, WithoutAnAccountServerEveryOperationSaysSoAndSendsNothing)
{
    hosts.accountHost.reset();
    make();
    EXPECT_FALSE(accounts->isAvailable());
    const Failure unavailable { std::string(AccountService::kUnavailableMessage) };
    EXPECT_EQ(signIn(), unavailable);
    EXPECT_EQ(outcome([&](auto done) { accounts->signUp("Marie", "marie@example.fr", "s3cret", done); }), unavailable);
    EXPECT_EQ(outcome([&](auto done) { accounts->signInWithGoogle("a.b.c", "client", done); }), unavailable);
    EXPECT_EQ(outcome([&](auto done) { accounts->deleteAccount(done); }), unavailable);
    std::optional<Failure> reset;
    accounts->requestPasswordReset("marie@example.fr", [&](auto, std::optional<Failure> failure) { reset = failure; });
    ASSERT_TRUE(runUntil([&] { return reset.has_value(); }));
    EXPECT_EQ(reset, unavailable);
    checkSession();
    EXPECT_EQ(server.requestCount(), 0);
}
