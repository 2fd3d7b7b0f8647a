#include "account/GoogleSignIn.h"

#include "account/tests/AccountFixture.h"
#include "platform/HttpSession.h"

#include <algorithm>
#include <set>

using velorin::AccountService;
using testing_support::LoopbackServer;
using velorin::GoogleSignIn;

namespace {

const std::string kClient = "1234-abc.apps.googleusercontent.com";

// The items of an address's query, in order, as sent.
std::vector<std::pair<std::string, std::string>> queryItems(const std::string& url)
{
    std::vector<std::pair<std::string, std::string>> items;
    std::string query = url.substr(url.find('?') + 1);
    size_t start = 0;
    while (start <= query.size()) {
        const size_t end = std::min(query.find('&', start), query.size());
        const std::string item = query.substr(start, end - start);
        const size_t equals = item.find('=');
        items.emplace_back(item.substr(0, equals), item.substr(equals + 1));
        start = end + 1;
    }
    return items;
}

bool isBase64Url(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_'; });
}

// The same token with every dot doubled: the empty pieces do not count.
std::string doubledDots(std::string token)
{
    for (size_t at = token.find('.'); at != std::string::npos; at = token.find('.', at + 2))
        token.insert(at, ".");
    return token;
}

class GoogleExchange : public testing_support::AccountFixture {
protected:
    platform::HttpSession session;

    void SetUp() override
    {
        hosts.googleTokenHost = fmt::format("127.0.0.1:{}", server.port());
        hosts.googleClientSecret = "GOCSPX-s3cr3t";
    }

    std::pair<std::string, std::optional<Failure>> exchange(const std::string& code = "4/0Ab-c")
    {
        GoogleSignIn::Request request { "dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk", "", kClient,
            "http://127.0.0.1:4711", "st4te" };
        std::optional<std::pair<std::string, std::optional<Failure>>> result;
        auto task = GoogleSignIn::exchange(code, request, hosts, session, *mainQueue,
            [&](std::string token, std::optional<Failure> failure) { result.emplace(std::move(token), failure); });
        EXPECT_TRUE(runUntil([&] { return result.has_value(); }));
        return result.value_or(std::pair { std::string(), Failure { "no answer" } });
    }
};

} // namespace

TEST(GoogleSignIn, TheChallengeIsTheRfc7636ExampleAndEachRequestHasItsOwnVerifierAndState)
{
    EXPECT_EQ(GoogleSignIn::challenge("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"),
        "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM");

    velorin::ServiceHosts hosts;
    std::set<std::string> verifiers;
    std::set<std::string> states;
    for (int i = 0; i < 8; ++i) {
        const auto request = GoogleSignIn::request(kClient, GoogleSignIn::redirectURI(4711), hosts);
        ASSERT_TRUE(request);
        EXPECT_EQ(request->verifier.size(), 64u);
        EXPECT_TRUE(isBase64Url(request->verifier)) << request->verifier;
        EXPECT_TRUE(isBase64Url(request->state)) << request->state;
        EXPECT_GE(request->state.size(), 43u);
        verifiers.insert(request->verifier);
        states.insert(request->state);
    }
    EXPECT_EQ(verifiers.size(), 8u);
    EXPECT_EQ(states.size(), 8u);
}

TEST(GoogleSignIn, TheAuthorisationAddressCarriesTheSevenItemsInOrderThenTheState)
{
    velorin::ServiceHosts hosts;
    const auto request = GoogleSignIn::request(kClient, GoogleSignIn::redirectURI(4711), hosts);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->client, kClient);
    EXPECT_EQ(request->redirectURI, "http://127.0.0.1:4711");
    EXPECT_TRUE(request->url.starts_with("https://accounts.google.com/o/oauth2/v2/auth?")) << request->url;
    const std::vector<std::pair<std::string, std::string>> expected {
        { "client_id", kClient },
        { "redirect_uri", "http://127.0.0.1:4711" },
        { "response_type", "code" },
        { "scope", "openid%20email%20profile" },
        { "code_challenge", GoogleSignIn::challenge(request->verifier) },
        { "code_challenge_method", "S256" },
        { "prompt", "select_account" },
        { "state", request->state },
    };
    EXPECT_EQ(queryItems(request->url), expected);
}

TEST(GoogleSignIn, TheCodeIsTheFirstUsableCodeItemOfTheRedirect)
{
    struct Case {
        const char* callback;
        std::optional<std::string> code;
    };
    for (const auto& c : {
             Case { "/?state=st4te&code=4%2F0Ab-c&scope=email", "4/0Ab-c" },
             Case { "http://127.0.0.1:4711/?code=first&code=second", "first" },
             Case { "/?code=a+b", "a+b" },
             Case { "/", std::nullopt },
             Case { "/?state=st4te", std::nullopt },
             Case { "/?error=access_denied&state=st4te", std::nullopt },
             Case { "/?code", std::nullopt },
             Case { "/?code=", std::nullopt },
             Case { "/?code=%zz", std::nullopt },
             Case { "/?codes=x", std::nullopt },
             Case { "/?state=x#code=y", std::nullopt },
         })
        EXPECT_EQ(GoogleSignIn::code(c.callback), c.code) << c.callback;
}

TEST(GoogleSignIn, TheNameComesFromTheTokensPayloadOrIsEmpty)
{
    using testing_support::idToken;
    struct Case {
        std::string token;
        std::string name;
    };
    for (const auto& c : {
             Case { idToken(R"({"name": "Éloïse Dupré", "email": "e@example.fr"})"), "Éloïse Dupré" },
             // Characters whose base64 holds "-" and "_" in the URL alphabet.
             Case { idToken(R"({"name": ">?>>>"})"), ">?>>>" },
             Case { doubledDots(idToken(R"({"name": "Zoé"})")), "Zoé" },
             Case { idToken(R"({"name": "Zoé"})") + ".d", "" },
             Case { idToken(R"({"name": 42})"), "" },
             Case { idToken(R"({"email": "e@example.fr"})"), "" },
             Case { idToken(R"(["name"])"), "" },
             Case { idToken("pas du JSON"), "" },
             Case { "eyJhbGciOiJSUzI1NiJ9.eyJuYW1lIjoiWiJ9", "" },
             Case { "a.!!!not-base64!!!.c", "" },
             Case { "a.eyJuYW1lIjoiWiJ9x.c", "" },
             Case { "", "" },
         })
        EXPECT_EQ(GoogleSignIn::name(c.token), c.name) << c.token;
}

TEST_F(GoogleExchange, TheCodeIsTradedForTheIdentityTokenWithSortedFieldsAndNoCharset)
{
    server.route("/token", LoopbackServer::reply(200, R"({"id_token": "h.p.s", "access_token": "x"})"));
    EXPECT_EQ(exchange(), (std::pair<std::string, std::optional<Failure>> { "h.p.s", std::nullopt }));
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].headers.find("Content-Type")->second, "application/x-www-form-urlencoded");
    EXPECT_EQ(requests[0].body,
        "client_id=1234-abc.apps.googleusercontent.com&client_secret=GOCSPX-s3cr3t&code=4%2F0Ab-c"
        "&code_verifier=dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk&grant_type=authorization_code"
        "&redirect_uri=http%3A%2F%2F127.0.0.1%3A4711");
}

TEST_F(GoogleExchange, AnAnswerWithoutAnIdentityTokenOrAnUnusableOneFailsWithItsText)
{
    struct Case {
        int status;
        std::string body;
        std::string_view failure;
    };
    for (const auto& c : {
             Case { 400, R"({"error": "invalid_grant", "error_description": "Bad Request"})", GoogleSignIn::kFailedMessage },
             Case { 200, R"({"id_token": null})", GoogleSignIn::kFailedMessage },
             Case { 200, R"({"id_token": 7})", AccountService::kUnexpectedReplyMessage },
             Case { 502, "<html><body>Bad Gateway</body></html>", AccountService::kUnexpectedReplyMessage },
         }) {
        server.route("/token", LoopbackServer::reply(c.status, c.body));
        EXPECT_EQ(exchange().second, Failure { std::string(c.failure) }) << c.body;
    }
    hosts.googleTokenHost = "127.0.0.1:9";
    EXPECT_EQ(exchange().second, Failure { std::string(AccountService::kUnreachableMessage) });
}
