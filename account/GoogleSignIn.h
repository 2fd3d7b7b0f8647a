#pragma once

#include "account/AccountService.h"
#include "map-data/ServiceHosts.h"
#include "platform/Executor.h"
#include "platform/HttpSession.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace velorin {

// The Google half of the account sign-in, for an installed program: the OAuth 2.0
// authorisation-code flow with PKCE (S256), its redirect coming back to a listener on this
// computer's loopback address. It builds the address the browser opens, takes the code out
// of the redirect, exchanges it for an identity token and reads the user's name out of that
// token. It keeps no state: a flow travels in one `Request`. Any thread; the exchange
// answers on the executor it is given.
class GoogleSignIn {
public:
    struct Request {
        // The PKCE code verifier: 64 characters of the base64url alphabet, new each time.
        std::string verifier;
        // The authorisation address to open in the browser.
        std::string url;
        std::string client;
        // Where Google sends the browser back, in the address and in the exchange alike.
        std::string redirectURI;
        // Random; a redirect carrying another one is not ours.
        std::string state;
    };

    using ExchangeCompletion = std::function<void(std::string idToken, std::optional<AccountService::Failure> failure)>;

    static constexpr std::string_view kAuthorizationPath = "/o/oauth2/v2/auth";
    static constexpr std::string_view kTokenPath = "/token";
    static constexpr std::size_t kVerifierRandomBytes = 48;
    static constexpr std::size_t kStateRandomBytes = 32;
    static constexpr double kExchangeTimeoutSeconds = 60;
    static constexpr std::string_view kFailedMessage = "Connexion Google impossible.";
    static constexpr std::string_view kNoClientMessage
        = "Connexion Google non disponible : aucun identifiant client n'est configuré.";

    GoogleSignIn() = delete;

    // The configured Desktop client; empty when there is none.
    static std::string clientID(const ServiceHosts& hosts);
    // A new verifier and state and the authorisation address; nothing when the secure random
    // source fails.
    static std::optional<Request> request(const std::string& client, const std::string& redirectURI,
        const ServiceHosts& hosts);
    // "http://127.0.0.1:<port>", the listener's address.
    static std::string redirectURI(int port);
    // The value of the redirect's first "code" item; nothing without a query, without such an
    // item, or when it is empty or badly escaped.
    static std::optional<std::string> code(std::string_view callback);
    // The percent-decoded value of the first query item of an address or request target
    // named `name`; nothing when there is none, it has no "=", or its escapes are broken.
    static std::optional<std::string> queryItem(std::string_view address, std::string_view name);
    // Trades the code for the identity token at Google's token endpoint.
    [[nodiscard]] static platform::HttpTask exchange(const std::string& code, const Request& request,
        const ServiceHosts& hosts, platform::HttpSession& session, platform::Executor& deliverOn,
        ExchangeCompletion completion);
    // The "name" inside an identity token (unverified), or "" when it cannot be read.
    static std::string name(std::string_view token);

    // Throws std::runtime_error when the secure random source fails.
    static std::string makeVerifier();
    // The base64url SHA-256 of the verifier, without padding: 43 characters.
    static std::string challenge(std::string_view verifier);
};

} // namespace velorin
