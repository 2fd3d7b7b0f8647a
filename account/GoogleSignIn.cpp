#include "account/GoogleSignIn.h"

#include "account/FormEncoded.h"
#include "platform/Base64.h"
#include "platform/Crypto.h"
#include "platform/PercentEncoding.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <stdexcept>
#include <utility>
#include <vector>

namespace velorin {

namespace {

// The pieces of `text` between the separators, empty ones dropped.
std::vector<std::string_view> pieces(std::string_view text, char separator)
{
    std::vector<std::string_view> result;
    while (!text.empty()) {
        const auto end = std::min(text.find(separator), text.size());
        if (end > 0)
            result.push_back(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return result;
}

std::string queryValue(std::string_view value)
{
    // As a URL's query component: ":" and "/" stay, a space is %20.
    return platform::percentEncode(value, ":/");
}

} // namespace

std::string GoogleSignIn::clientID(const ServiceHosts& hosts)
{
    return hosts.googleClientId;
}

std::string GoogleSignIn::makeVerifier()
{
    return platform::base64UrlEncode(platform::secureRandomBytes(kVerifierRandomBytes));
}

std::string GoogleSignIn::challenge(std::string_view verifier)
{
    return platform::base64UrlEncode(platform::sha256(std::as_bytes(std::span(verifier.data(), verifier.size()))));
}

std::string GoogleSignIn::redirectURI(int port)
{
    return fmt::format("http://127.0.0.1:{}", port);
}

std::optional<GoogleSignIn::Request> GoogleSignIn::request(
    const std::string& client, const std::string& redirectURI, const ServiceHosts& hosts)
{
    Request request;
    try {
        request.verifier = makeVerifier();
        request.state = platform::base64UrlEncode(platform::secureRandomBytes(kStateRandomBytes));
    } catch (const std::runtime_error&) {
        return std::nullopt;
    }
    request.client = client;
    request.redirectURI = redirectURI;
    const std::pair<std::string_view, std::string> items[] {
        { "client_id", client },
        { "redirect_uri", redirectURI },
        { "response_type", "code" },
        { "scope", "openid email profile" },
        { "code_challenge", challenge(request.verifier) },
        { "code_challenge_method", "S256" },
        { "prompt", "select_account" },
        { "state", request.state },
    };
    request.url = hosts.origin(hosts.googleAccountsHost) + std::string(kAuthorizationPath);
    char separator = '?';
    for (const auto& [name, value] : items) {
        request.url += separator;
        request.url += name;
        request.url += '=';
        request.url += queryValue(value);
        separator = '&';
    }
    return request;
}

std::optional<std::string> GoogleSignIn::queryItem(std::string_view address, std::string_view name)
{
    address = address.substr(0, address.find('#'));
    const auto question = address.find('?');
    if (question == std::string_view::npos)
        return std::nullopt;
    for (std::string_view item : pieces(address.substr(question + 1), '&')) {
        const auto equals = item.find('=');
        if (platform::percentDecode(item.substr(0, equals)) != name)
            continue;
        if (equals == std::string_view::npos)
            return std::nullopt;
        return platform::percentDecode(item.substr(equals + 1));
    }
    return std::nullopt;
}

std::optional<std::string> GoogleSignIn::code(std::string_view callback)
{
    auto value = queryItem(callback, "code");
    if (!value || value->empty())
        return std::nullopt;
    return value;
}

platform::HttpTask GoogleSignIn::exchange(const std::string& code, const Request& request, const ServiceHosts& hosts,
    platform::HttpSession& session, platform::Executor& deliverOn, ExchangeCompletion completion)
{
    FormFields fields {
        { "client_id", request.client },
        { "code", code },
        { "code_verifier", request.verifier },
        { "grant_type", "authorization_code" },
        { "redirect_uri", request.redirectURI },
    };
    if (!hosts.googleClientSecret.empty())
        fields.emplace_back("client_secret", hosts.googleClientSecret);
    platform::HttpRequest post;
    post.url = hosts.origin(hosts.googleTokenHost) + std::string(kTokenPath);
    post.method = "POST";
    post.headers.emplace_back("Content-Type", "application/x-www-form-urlencoded");
    post.body = formEncoded(std::move(fields));
    post.overallTimeoutSeconds = kExchangeTimeoutSeconds;
    post.maxBodyBytes = AccountService::kMaxReplyBytes;
    post.followsRedirects = false;
    return session.start(std::move(post), deliverOn, [completion = std::move(completion)](platform::HttpResult result) {
        const auto fail = [&](std::string_view message) { completion({}, AccountService::Failure { std::string(message) }); };
        if (result.error)
            return fail(result.error->kind == platform::HttpErrorKind::badResponse
                    ? AccountService::kUnexpectedReplyMessage
                    : AccountService::kUnreachableMessage);
        const auto json = nlohmann::json::parse(result.response->body, nullptr, false);
        if (json.is_discarded() || !json.is_object())
            return fail(AccountService::kUnexpectedReplyMessage);
        const auto token = json.find("id_token");
        if (token == json.end() || token->is_null())
            return fail(kFailedMessage);
        if (!token->is_string())
            return fail(AccountService::kUnexpectedReplyMessage);
        completion(token->get<std::string>(), std::nullopt);
    });
}

std::string GoogleSignIn::name(std::string_view token)
{
    const auto parts = pieces(token, '.');
    if (parts.size() != 3)
        return {};
    std::string payload(parts[1]);
    std::replace(payload.begin(), payload.end(), '-', '+');
    std::replace(payload.begin(), payload.end(), '_', '/');
    payload.append((4 - payload.size() % 4) % 4, '=');
    const auto bytes = platform::base64Decode(payload);
    if (!bytes)
        return {};
    const auto json = nlohmann::json::parse(
        std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), nullptr, false);
    if (json.is_discarded() || !json.is_object())
        return {};
    const auto name = json.find("name");
    return name != json.end() && name->is_string() ? name->get<std::string>() : std::string();
}

} // namespace velorin
