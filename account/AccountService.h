#pragma once

#include "account/AccountReply.h"
#include "account/FormEncoded.h"
#include "map-data/ServiceHosts.h"
#include "platform/Clock.h"
#include "platform/HttpSession.h"
#include "platform/Keychain.h"
#include "platform/MainQueue.h"
#include "platform/UserDefaults.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace velorin {

// The walker's optional account on the maker's account server: signing in with an e-mail
// address and a password or with a Google identity token, creating an account, asking for
// a password-reset e-mail, deleting the account, checking the stored session and signing
// out. The server's session token lives in the keychain, the account's e-mail and name in
// the preferences; the account is restored at start and every assignment of it is told to
// the update plug-in. Main thread only: replies and keychain answers come back on the main
// queue, and none runs once the service is gone.
class AccountService {
public:
    struct Account {
        std::string email;
        std::string name;

        bool operator==(const Account&) const = default;
    };

    // A failed operation, with the French sentence shown to the user.
    struct Failure {
        std::string message;

        bool operator==(const Failure&) const = default;
    };

    // Nothing when the operation succeeded.
    using Completion = std::function<void(std::optional<Failure> failure)>;
    // The text to show, or the failure (the text is then empty).
    using NoticeCompletion = std::function<void(std::string text, std::optional<Failure> failure)>;
    // Sends `utilisateur:` to the update plug-in: the signed-in e-mail address, or nothing.
    using PluginMessage = std::function<void(const std::optional<std::string>& email)>;

    struct Dependencies {
        // No `accountHost`: every operation fails with `kUnavailableMessage` and sends nothing.
        ServiceHosts hosts;
        std::shared_ptr<platform::UserDefaults> defaults;
        std::shared_ptr<platform::Keychain> keychain;
        // Measures the HTTP timeouts and the Google sign-in's wait for the browser.
        std::shared_ptr<platform::Clock> clock;
        std::shared_ptr<platform::MainQueue> mainQueue;
        // Empty: nobody is told.
        PluginMessage tellPlugin;
    };

    static constexpr std::string_view kAccountKey = "Velorin.account";
    static constexpr std::string_view kSessionItem = "Velorin.session";
    // The actions' path prefix; the action's name follows directly ("…velorin%7Clogin").
    static constexpr std::string_view kBasePath = "/wd/bloc/velorin%7C";
    static constexpr std::string_view kLogCategory = "Account";
    static constexpr double kIdleTimeoutSeconds = 20;
    static constexpr double kRequestTimeoutSeconds = 60;
    static constexpr std::int64_t kMaxReplyBytes = 64 * 1024;
    // A session token is 1 to this many cookie octets: it travels in a Cookie header.
    static constexpr std::size_t kMaxTokenBytes = 4096;

    static constexpr std::string_view kUnreachableMessage = "Serveur injoignable. Vérifiez votre connexion.";
    static constexpr std::string_view kUnexpectedReplyMessage = "Réponse inattendue du serveur.";
    static constexpr std::string_view kRefusedMessage = "Connexion refusée.";
    static constexpr std::string_view kDeletionRefusedMessage = "Suppression impossible.";
    static constexpr std::string_view kSessionExpiredMessage
        = "Session expirée : reconnectez-vous pour supprimer votre compte.";
    static constexpr std::string_view kResetNotice
        = "Si un compte existe pour cette adresse, un e-mail vient d'être envoyé.";
    static constexpr std::string_view kUnavailableMessage
        = "Le compte Velorin n'est pas disponible : aucun serveur de compte n'est configuré.";

    // Restores the stored account once the keychain answers (at once when the preferences
    // hold none), and tells the plug-in then: a restored account twice, none once.
    explicit AccountService(Dependencies dependencies);
    ~AccountService();

    AccountService(const AccountService&) = delete;
    AccountService& operator=(const AccountService&) = delete;

    // Nothing while signed out.
    const std::optional<Account>& account() const { return account_; }
    // Whether an account server is configured.
    bool isAvailable() const { return hosts_.accountHost.has_value(); }
    // After every assignment of the account, an equal one included.
    std::function<void()> onChange;

    void signIn(const std::string& email, const std::string& password, Completion completion);
    void signUp(const std::string& name, const std::string& email, const std::string& password, Completion completion);
    void signInWithGoogle(const std::string& idToken, const std::string& client, Completion completion);
    // Any reply the server gives shows a notice, so the screen never tells which addresses
    // have an account.
    void requestPasswordReset(const std::string& email, NoticeCompletion completion);
    // Deletes the account of the session in force, then signs it out. Without a stored
    // token it signs out here and fails: nothing was deleted. It fails too, and sends
    // nothing, when that session ended before the token was read.
    void deleteAccount(Completion completion);
    // Asks the server who holds the stored token: a known account is stored again, a token
    // the server refuses signs out, and anything else changes nothing. `done` runs once it
    // has finished, whatever came of it.
    void checkSession(std::function<void()> done = {});
    // Here only: the token and the stored account are removed, and the plug-in told.
    void signOut();

    // What the Google sign-in shares: its endpoints' hosts, an HTTP session without cookies,
    // time and the main queue.
    const ServiceHosts& hosts() const { return hosts_; }
    platform::HttpSession& session() { return *session_; }
    const std::shared_ptr<platform::Clock>& clock() const { return clock_; }
    const std::shared_ptr<platform::MainQueue>& mainQueue() const { return mainQueue_; }

private:
    struct Answer;
    using AnswerHandler = std::function<void(Answer)>;
    using TokenHandler = std::function<void(std::optional<std::string> token)>;

    void restore();
    void setAccount(std::optional<Account> account);
    // `utilisateur:` with the e-mail signed in now, or nothing.
    void tellPluginWho() const;
    void store(const std::string& email, const std::string& name);
    // The three sign-ins: a reply with a usable token signs in.
    void signInWith(std::string_view action, FormFields fields, Completion completion);
    void accept(const AccountReply& reply, Completion completion);
    void post(std::string_view action, FormFields fields, std::optional<std::string> token, AnswerHandler handler);
    void fetch(platform::HttpRequest request, std::string_view action, AnswerHandler handler);
    void readToken(TokenHandler handler);
    // The keychain could not do its work: said once a run.
    void noteKeychainTrouble(platform::Keychain::Status status);
    // Runs `work` from the main queue, unless the service is gone by then.
    void later(std::function<void()> work);
    std::string actionURL(std::string_view action) const;

    const ServiceHosts hosts_;
    const std::shared_ptr<platform::UserDefaults> defaults_;
    const std::shared_ptr<platform::Keychain> keychain_;
    const std::shared_ptr<platform::Clock> clock_;
    const std::shared_ptr<platform::MainQueue> mainQueue_;
    const PluginMessage tellPlugin_;
    std::optional<Account> account_;
    // Raised by every assignment of the account: work begun under an older one (a reply, a
    // keychain answer) changes nothing.
    std::uint64_t generation_ = 0;
    // Raised when a session begins or ends (a sign-in, a restore, a sign-out), and not by a
    // check that stores its account again: a deletion holds to the session it began in.
    std::uint64_t sessionNumber_ = 0;
    // The token of this run when the keychain could not keep it.
    std::optional<std::string> unsavedToken_;
    bool keychainTroubleLogged_ = false;
    std::shared_ptr<AccountService*> lifetime_;
    std::unique_ptr<platform::HttpSession> session_;
    // Requests in flight by number; destroyed with the service, so none completes after it.
    std::map<std::uint64_t, platform::HttpTask> requests_;
    std::uint64_t nextRequest_ = 0;
};

} // namespace velorin
