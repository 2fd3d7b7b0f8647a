#include "account/AccountService.h"

#include "account/GoogleSignIn.h"
#include "platform/Log.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <utility>

namespace velorin {

namespace {

using platform::Keychain;

// RFC 6265 cookie octets: printable US-ASCII without spaces, quotes, commas, semicolons and
// backslashes, so that a token can never add a header or another cookie.
bool isSessionToken(std::string_view token)
{
    return !token.empty() && token.size() <= AccountService::kMaxTokenBytes
        && std::all_of(token.begin(), token.end(), [](char c) {
               const auto byte = static_cast<unsigned char>(c);
               return byte >= 0x21 && byte <= 0x7E && byte != '"' && byte != ',' && byte != ';' && byte != '\\';
           });
}

std::string_view statusName(Keychain::Status status)
{
    switch (status) {
    case Keychain::Status::ok:
        return "ok";
    case Keychain::Status::notFound:
        return "absent";
    case Keychain::Status::unavailable:
        return "aucun service de secrets";
    case Keychain::Status::failed:
        break;
    }
    return "échec";
}

AccountService::Failure failure(std::string_view message)
{
    return AccountService::Failure { std::string(message) };
}

} // namespace

// What became of a request: a decoded reply and its status, or the failure to show.
struct AccountService::Answer {
    std::optional<AccountReply> reply;
    int status = 0;
    std::optional<Failure> failure;
};

AccountService::AccountService(Dependencies dependencies)
    : hosts_(std::move(dependencies.hosts))
    , defaults_(std::move(dependencies.defaults))
    , keychain_(std::move(dependencies.keychain))
    , clock_(std::move(dependencies.clock))
    , mainQueue_(std::move(dependencies.mainQueue))
    , tellPlugin_(std::move(dependencies.tellPlugin))
    , lifetime_(std::make_shared<AccountService*>(this))
{
    platform::HttpSessionOptions options;
    options.idleTimeoutSeconds = kIdleTimeoutSeconds;
    options.storesCookies = false;
    options.clock = clock_;
    session_ = std::make_unique<platform::HttpSession>(std::move(options));
    restore();
}

AccountService::~AccountService() = default;

void AccountService::restore()
{
    const auto stored = defaults_->dictionary(kAccountKey);
    const bool usable = stored && stored->contains("email")
        && std::all_of(stored->begin(), stored->end(), [](const nlohmann::json& value) { return value.is_string(); });
    if (!usable) {
        tellPluginWho();
        return;
    }
    Account restored { stored->at("email").get<std::string>(), stored->value("name", std::string()) };
    const auto startedUnder = generation_;
    readToken([this, startedUnder, restored = std::move(restored)](std::optional<std::string> token) {
        // A sign-in that answered first has the last word.
        if (generation_ == startedUnder && token) {
            ++sessionNumber_;
            setAccount(restored);
        }
        tellPluginWho();
    });
}

void AccountService::setAccount(std::optional<Account> account)
{
    account_ = std::move(account);
    ++generation_;
    tellPluginWho();
    if (onChange)
        onChange();
}

void AccountService::tellPluginWho() const
{
    if (tellPlugin_)
        tellPlugin_(account_ ? std::optional(account_->email) : std::nullopt);
}

void AccountService::store(const std::string& email, const std::string& name)
{
    setAccount(Account { email, name });
    defaults_->setDictionary(kAccountKey, nlohmann::json { { "email", email }, { "name", name } });
}

void AccountService::signIn(const std::string& email, const std::string& password, Completion completion)
{
    signInWith("login", { { "login", email }, { "password", password } }, std::move(completion));
}

void AccountService::signUp(
    const std::string& name, const std::string& email, const std::string& password, Completion completion)
{
    signInWith("inscription", { { "login", email }, { "nom", name }, { "password", password } }, std::move(completion));
}

void AccountService::signInWithGoogle(const std::string& idToken, const std::string& client, Completion completion)
{
    signInWith("google", { { "client", client }, { "nom", GoogleSignIn::name(idToken) }, { "token", idToken } },
        std::move(completion));
}

void AccountService::signInWith(std::string_view action, FormFields fields, Completion completion)
{
    const auto startedUnder = generation_;
    post(action, std::move(fields), std::nullopt,
        [this, startedUnder, completion = std::move(completion)](Answer answer) {
            if (answer.failure)
                return completion(std::move(answer.failure));
            if (generation_ != startedUnder && answer.reply->ok)
                return completion(std::nullopt);
            accept(*answer.reply, completion);
        });
}

void AccountService::accept(const AccountReply& reply, Completion completion)
{
    if (!reply.ok || !reply.session || reply.session->empty())
        return completion(failure(reply.erreur.value_or(std::string(kRefusedMessage))));
    if (!isSessionToken(*reply.session)) {
        platform::Log::info(kLogCategory, "jeton de session refusé : {} octets hors des caractères d'un cookie",
            reply.session->size());
        return completion(failure(kUnexpectedReplyMessage));
    }
    ++sessionNumber_;
    store(reply.email.value_or(""), reply.nom.value_or(""));
    unsavedToken_.reset();
    const auto signedInAs = generation_;
    std::weak_ptr<AccountService*> weak = lifetime_;
    keychain_->save(*reply.session, std::string(kSessionItem),
        [weak, signedInAs, token = *reply.session](Keychain::Status status) {
            auto self = weak.lock();
            if (!self || status == Keychain::Status::ok)
                return;
            AccountService& service = **self;
            service.noteKeychainTrouble(status);
            // Kept for this run, so that the account can still be checked and deleted.
            if (service.generation_ == signedInAs)
                service.unsavedToken_ = token;
        });
    completion(std::nullopt);
}

void AccountService::requestPasswordReset(const std::string& email, NoticeCompletion completion)
{
    post("login-oubli", { { "login", email } }, std::nullopt, [completion = std::move(completion)](Answer answer) {
        if (answer.failure)
            return completion({}, std::move(answer.failure));
        completion(answer.reply->message.value_or(std::string(kResetNotice)), std::nullopt);
    });
}

void AccountService::deleteAccount(Completion completion)
{
    if (!isAvailable())
        return later([completion = std::move(completion)] { completion(failure(kUnavailableMessage)); });
    // Bound to the session, not to the account's assignment: the sheet's own session check
    // stores the same account again meanwhile, and must not cancel the deletion.
    const auto startedIn = sessionNumber_;
    readToken([this, startedIn, completion = std::move(completion)](std::optional<std::string> token) {
        // Signed out, or into another account, meanwhile: the token is not the one to delete.
        if (sessionNumber_ != startedIn)
            return completion(failure(kSessionExpiredMessage));
        if (!token) {
            signOut();
            return completion(failure(kSessionExpiredMessage));
        }
        post("supprimer", { { "confirmer", "oui" } }, std::move(token), [this, startedIn, completion](Answer answer) {
            if (answer.failure)
                return completion(std::move(answer.failure));
            if (!answer.reply->ok)
                return completion(failure(answer.reply->erreur.value_or(std::string(kDeletionRefusedMessage))));
            // An account signed in since stays signed in.
            if (sessionNumber_ == startedIn)
                signOut();
            completion(std::nullopt);
        });
    });
}

void AccountService::checkSession(std::function<void()> done)
{
    const auto finish = [done = std::move(done)] {
        if (done)
            done();
    };
    if (!isAvailable())
        return later(finish);
    const auto startedUnder = generation_;
    readToken([this, startedUnder, finish](std::optional<std::string> token) {
        if (!token || generation_ != startedUnder)
            return finish();
        auto request = platform::HttpRequest::get(actionURL("") + "/moi");
        request.headers.emplace_back("Cookie", "external=" + *token);
        fetch(std::move(request), "moi", [this, startedUnder, finish](Answer answer) {
            if (answer.failure || generation_ != startedUnder)
                return finish();
            const AccountReply& reply = *answer.reply;
            if (reply.ok) {
                const std::string email = reply.email ? *reply.email : account_ ? account_->email : std::string();
                store(email, reply.nom.value_or(""));
            } else if ((answer.status >= 200 && answer.status < 300) || answer.status == 401 || answer.status == 403) {
                // The server refused the token itself; a failing server says nothing about it.
                signOut();
            }
            finish();
        });
    });
}

void AccountService::signOut()
{
    ++sessionNumber_;
    unsavedToken_.reset();
    std::weak_ptr<AccountService*> weak = lifetime_;
    keychain_->remove(std::string(kSessionItem), [weak](Keychain::Status status) {
        auto self = weak.lock();
        if (self && status != Keychain::Status::ok && status != Keychain::Status::notFound)
            (*self)->noteKeychainTrouble(status);
    });
    defaults_->remove(kAccountKey);
    setAccount(std::nullopt);
}

void AccountService::post(
    std::string_view action, FormFields fields, std::optional<std::string> token, AnswerHandler handler)
{
    if (!isAvailable())
        return later([handler = std::move(handler)] { handler(Answer { {}, 0, failure(kUnavailableMessage) }); });
    platform::HttpRequest request;
    request.url = actionURL(action);
    request.method = "POST";
    request.headers.emplace_back("Content-Type", "application/x-www-form-urlencoded; charset=utf-8");
    if (token)
        request.headers.emplace_back("Cookie", "external=" + *token);
    request.body = formEncoded(std::move(fields));
    fetch(std::move(request), action, std::move(handler));
}

void AccountService::fetch(platform::HttpRequest request, std::string_view action, AnswerHandler handler)
{
    request.overallTimeoutSeconds = kRequestTimeoutSeconds;
    request.maxBodyBytes = kMaxReplyBytes;
    request.followsRedirects = false;
    const auto number = nextRequest_++;
    auto completion = [this, number, action = std::string(action), handler = std::move(handler)](
                          platform::HttpResult result) {
        requests_.erase(number);
        Answer answer;
        if (result.error) {
            // An oversized or malformed reply came from the server; anything else never reached it.
            const bool spoke = result.error->kind == platform::HttpErrorKind::badResponse;
            platform::Log::info(kLogCategory, "{} : {} ({})", action, spoke ? "réponse inutilisable" : "serveur injoignable",
                result.error->message);
            answer.failure = failure(spoke ? kUnexpectedReplyMessage : kUnreachableMessage);
        } else {
            answer.status = result.response->status;
            answer.reply = AccountReply::decode(result.response->body);
            if (!answer.reply) {
                platform::Log::info(kLogCategory, "{} : réponse inattendue (statut {}, {} octets)", action,
                    answer.status, result.response->body.size());
                answer.failure = failure(kUnexpectedReplyMessage);
            }
        }
        handler(std::move(answer));
    };
    requests_.emplace(number, session_->start(std::move(request), *mainQueue_, std::move(completion)));
}

void AccountService::readToken(TokenHandler handler)
{
    // Runs `handler` only while the service lives, so the handler may hold it plainly.
    std::weak_ptr<AccountService*> weak = lifetime_;
    keychain_->read(std::string(kSessionItem),
        [weak, handler = std::move(handler)](Keychain::Status status, std::optional<std::string> value) {
            auto self = weak.lock();
            if (!self)
                return;
            AccountService& service = **self;
            if (status != Keychain::Status::ok && status != Keychain::Status::notFound)
                service.noteKeychainTrouble(status);
            if (service.unsavedToken_)
                return handler(service.unsavedToken_);
            handler(value && isSessionToken(*value) ? std::move(value) : std::nullopt);
        });
}

void AccountService::noteKeychainTrouble(Keychain::Status status)
{
    if (keychainTroubleLogged_)
        return;
    keychainTroubleLogged_ = true;
    platform::Log::warning(kLogCategory,
        "trousseau inutilisable ({}) : la session du compte ne survivra pas à la fermeture de Velorin", statusName(status));
}

void AccountService::later(std::function<void()> work)
{
    std::weak_ptr<AccountService*> weak = lifetime_;
    mainQueue_->post([weak, work = std::move(work)] {
        if (weak.lock())
            work();
    });
}

std::string AccountService::actionURL(std::string_view action) const
{
    return hosts_.origin(*hosts_.accountHost) + std::string(kBasePath) + std::string(action);
}

} // namespace velorin
