#include "account/ui/AccountView.h"

#include "account/GoogleSignIn.h"
#include "account/ui/BoutonBlanc.h"
#include "account/ui/tests/SheetPictures.h"
#include "app/tests/AppModelFixture.h"
#include "platform/Base64.h"
#include "testing/LoopbackServer.h"
#include "testing/TestApplication.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QStackedWidget>
#include <QTcpSocket>
#include <QTest>

#include <fmt/format.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>

using testing_support::LoopbackServer;
using velorin::AccountService;
using velorin::AccountView;
using velorin::GoogleSignIn;
using Mode = velorin::AccountView::Mode;

namespace {

constexpr const char* kClient = "1234-abc.apps.example";
constexpr const char* kClientSecret = "GOCSPX-cl13nt-s3cr3t";
constexpr const char* kCode = "4/0Ab-c0de-s3cr3t";

// An identity token as Google signs one, its payload the given JSON text.
std::string idToken(std::string_view payload)
{
    return "eyJhbGciOiJSUzI1NiJ9." + platform::base64UrlEncode(std::as_bytes(std::span(payload.data(), payload.size())))
        + ".c2lnbmF0dXJlLXMzY3IzdA";
}

// One loopback server stands for the account server and Google's two endpoints. Each account
// action answers what the test set for it; the authorisation page sends the browser back to
// the redirect address with a code, and the token endpoint trades it for an identity token.
class AccountViewTest : public testing_support::AppModelFixture {
protected:
    // What the server's handlers read, made before the server and gone after it.
    std::mutex mutex;
    std::map<std::string, std::pair<int, std::string>> replies;
    std::string lastChallenge;
    std::atomic<int> tokenStatus { 200 };
    std::atomic<bool> wrongStateFirst { false };
    std::atomic<bool> withoutCode { false };
    const std::string googleToken = idToken(R"({"email": "marie@example.fr", "name": "Marie Curie"})");

    LoopbackServer server;
    std::unique_ptr<AccountView> view;

    // A browser that follows every redirect, as the walker's would.
    platform::HttpSession browserSession;
    std::vector<platform::HttpTask> pages;
    std::vector<int> pageStatuses;
    std::vector<std::string> opened;

    void SetUp() override
    {
        testing_support::application();
        hosts.scheme = "http";
        const std::string loopback = fmt::format("127.0.0.1:{}", server.port());
        hosts.accountHost = loopback;
        hosts.googleAccountsHost = loopback;
        hosts.googleTokenHost = loopback;
        hosts.googleClientId = kClient;
        hosts.googleClientSecret = kClientSecret;
        server.route("/wd/bloc/*", [this](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard lock(mutex);
            const auto action = request.path.substr(request.path.find('|') + 1);
            const auto found = replies.find(action);
            response.status = found == replies.end() ? 404 : found->second.first;
            response.set_content(found == replies.end() ? "" : found->second.second, "application/json");
        });
        server.route("/o/oauth2/v2/auth", [this](const httplib::Request& request, httplib::Response& response) {
            {
                std::lock_guard lock(mutex);
                lastChallenge = request.get_param_value("code_challenge");
            }
            const std::string state = wrongStateFirst.exchange(false) ? "autre" : request.get_param_value("state");
            const std::string code = withoutCode ? "error=access_denied" : std::string("code=4%2F0Ab-c0de-s3cr3t");
            response.status = 302;
            response.set_header("Location", request.get_param_value("redirect_uri") + "/?state=" + state + "&" + code);
        });
        server.route("/token", [this](const httplib::Request&, httplib::Response& response) {
            std::lock_guard lock(mutex);
            response.status = tokenStatus;
            response.set_content(tokenStatus == 200 ? R"({"id_token": ")" + googleToken + R"("})"
                                                    : R"({"error": "invalid_grant"})",
                "application/json");
        });
        replyTo("login", 200, R"({"ok": true, "session": "T0K3N-s3cr3t", "email": "marie@example.fr", "nom": "Marie"})");
        replyTo("google", 200,
            R"({"ok": true, "session": "T0K3N-s3cr3t", "email": "marie@example.fr", "nom": "Marie Curie"})");
        replyTo("/moi", 200, R"({"ok": true, "email": "marie@example.fr", "nom": "Marie"})");
    }

    void TearDown() override
    {
        view.reset();
        pages.clear();
        AppModelFixture::TearDown();
    }

    void replyTo(const std::string& action, int status, std::string body)
    {
        std::lock_guard lock(mutex);
        replies[action] = { status, std::move(body) };
    }

    AccountView& open()
    {
        view.reset();
        auto& model = makeModel();
        view = std::make_unique<AccountView>(model, [this](const std::string& url) { return browse(url); });
        view->resize(480, 720);
        view->show();
        return *view;
    }

    bool browse(const std::string& url)
    {
        opened.push_back(url);
        pages.push_back(browserSession.start(platform::HttpRequest::get(url), *mainQueue,
            [this](platform::HttpResult result) { pageStatuses.push_back(result.response ? result.response->status : 0); }));
        return true;
    }

    // Runs the main queue and Qt's events until `done`; false when it still does not hold.
    bool runUntil(const std::function<bool()>& done, double seconds = 20)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!done()) {
            if (std::chrono::steady_clock::now() >= until)
                return false;
            mainQueue->runOneWaiting(0.005);
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return true;
    }

    template <typename Widget = QAbstractButton>
    Widget& find(const char* name) const
    {
        auto* widget = view->findChild<Widget*>(name);
        EXPECT_TRUE(widget) << name;
        return *widget;
    }

    QLineEdit& edit(const char* name) const { return find<QLineEdit>(name); }
    bool shown(const char* name) const { return view->findChild<QWidget*>(name)->isVisibleTo(view.get()); }
    QString labelText(const char* name) const { return find<QLabel>(name).text(); }

    void type(const char* name, const QString& text) const { edit(name).setText(text); }

    void click(const char* name) const { QTest::mouseClick(&find(name), Qt::LeftButton); }

    void signInThroughTheForm()
    {
        type("email", "marie@example.fr");
        type("motDePasse", "s3cr3t P4ss+");
        click("valider");
        ASSERT_TRUE(runUntil([&] { return !view->enCours(); }));
    }

    int requestsTo(const std::string& action) const { return server.requestCount("/wd/bloc/velorin|" + action); }

    std::string challengeSent()
    {
        std::lock_guard lock(mutex);
        return lastChallenge;
    }
};

} // namespace

TEST_F(AccountViewTest, TheButtonsFollowWhatIsTypedAndWhetherARequestRuns)
{
    open();
    struct Case {
        Mode mode;
        QString nom, email, motDePasse;
        bool main, forgotten;
    };
    for (const Case& c : {
             Case { Mode::connexion, "", "", "", false, false },
             Case { Mode::connexion, "", "", "s3cr3t", false, false },
             Case { Mode::connexion, "", "marie@example.fr", "", false, true },
             Case { Mode::connexion, "", "   ", "s3cr3t", true, true },
             Case { Mode::inscription, "", "marie@example.fr", "s3cr3t", true, false },
         }) {
        view->setMode(c.mode);
        type("nom", c.nom);
        type("email", c.email);
        type("motDePasse", c.motDePasse);
        const auto at = c.email.toStdString() + " / " + c.motDePasse.toStdString();
        EXPECT_EQ(find("valider").isEnabled(), c.main) << at;
        EXPECT_EQ(shown("motDePasseOublie"), c.mode == Mode::connexion) << at;
        if (c.mode == Mode::connexion) {
            EXPECT_EQ(find("motDePasseOublie").isEnabled(), c.forgotten) << at;
        }
        EXPECT_EQ(shown("nom"), c.mode == Mode::inscription) << at;
        EXPECT_TRUE(find("google").isEnabled()) << at;
    }
    EXPECT_EQ(find("google").text(), "S'inscrire avec Google");
    EXPECT_EQ(find("valider").text(), "Créer mon compte");

    // The server takes its time: the request runs while the sheet is looked at.
    view->setMode(Mode::connexion);
    type("email", "marie@example.fr");
    type("motDePasse", "s3cr3t");
    server.route("/wd/bloc/*", server.delayed(0.5, LoopbackServer::reply(200, R"({"ok": false})")));
    click("valider");
    EXPECT_TRUE(view->enCours());
    EXPECT_TRUE(find<velorin::BoutonBlanc>("valider").isBusy());
    EXPECT_FALSE(find("valider").isEnabled());
    EXPECT_FALSE(find("google").isEnabled());
    EXPECT_FALSE(find("motDePasseOublie").isEnabled());
    EXPECT_TRUE(edit("email").isEnabled());
    EXPECT_TRUE(find("inscription").isEnabled());
    QTest::keyClick(&edit("motDePasse"), Qt::Key_Return);
    ASSERT_TRUE(runUntil([&] { return !view->enCours(); }));
    EXPECT_EQ(server.requestCount(), 1) << "no second request while one runs";
    EXPECT_EQ(view->erreur(), QString::fromUtf8(AccountService::kRefusedMessage.data()));
    EXPECT_EQ(labelText("title"), "Votre compte Velorin");
}

TEST_F(AccountViewTest, AReplyThatComesBackAfterTheSheetClosedTouchesNoWidget)
{
    open();
    server.route("/wd/bloc/*", server.delayed(0.2,
        LoopbackServer::reply(200, R"({"ok": true, "session": "T0K3N-s3cr3t", "email": "marie@example.fr"})")));
    type("email", "marie@example.fr");
    type("motDePasse", "s3cr3t");
    click("valider");
    view.reset();
    ASSERT_TRUE(runUntil([&] { return model->accounts().account().has_value(); }));
    EXPECT_EQ(model->accounts().account()->email, "marie@example.fr") << "the sign-in itself still counts";
}

TEST_F(AccountViewTest, ReturnInTheFieldsMovesOnAndSendsNothingFromADisabledForm)
{
    open();
    type("email", "marie@example.fr");
    QTest::keyClick(&edit("motDePasse"), Qt::Key_Return);
    EXPECT_FALSE(view->enCours()) << "no password: the main button is off, and so is Return";
    mainQueue->drain();
    EXPECT_EQ(server.requestCount(), 0);

    view->setMode(Mode::inscription);
    edit("nom").setFocus();
    QTest::keyClick(&edit("nom"), Qt::Key_Return);
    EXPECT_EQ(view->champ(), AccountView::Champ::email);
    QTest::keyClick(&edit("email"), Qt::Key_Return);
    EXPECT_EQ(view->champ(), AccountView::Champ::motDePasse);

    replyTo("inscription", 200, R"({"ok": true, "session": "T0K3N-s3cr3t", "email": "marie@example.fr"})");
    type("motDePasse", "s3cr3t");
    QTest::keyClick(&edit("motDePasse"), Qt::Key_Return);
    EXPECT_EQ(view->champ(), std::nullopt) << "the main action lets the fields go";
    ASSERT_TRUE(runUntil([&] { return model->accounts().account().has_value(); }));
    EXPECT_EQ(requestsTo("inscription"), 1) << "an empty name does not hold the account back";
    const auto sent = server.requests().back().body;
    EXPECT_NE(sent.find("nom=&"), std::string::npos) << sent;
}

TEST_F(AccountViewTest, MessagesClearAsTheyShouldAndTheModeSwitchKeepsWhatWasTyped)
{
    open();
    view->setMode(Mode::inscription);
    type("nom", "Marie Curie");
    view->setMode(Mode::connexion);
    type("email", "marie@example.fr");
    replyTo("login-oubli", 200, R"({"ok": true, "message": "Regardez vos e-mails."})");
    click("motDePasseOublie");
    ASSERT_TRUE(runUntil([&] { return !view->enCours(); }));
    EXPECT_EQ(view->information(), "Regardez vos e-mails.");
    EXPECT_EQ(labelText("information"), "Regardez vos e-mails.");
    EXPECT_EQ(view->mode(), Mode::connexion);

    replyTo("login-oubli", 200, "<html>");
    click("motDePasseOublie");
    ASSERT_TRUE(runUntil([&] { return !view->enCours(); }));
    EXPECT_EQ(view->erreur(), QString::fromUtf8(AccountService::kUnexpectedReplyMessage.data()));
    EXPECT_EQ(view->information(), "Regardez vos e-mails.") << "the reset request leaves the information";
    EXPECT_TRUE(shown("erreur") && shown("information"));

    view->setMode(Mode::inscription);
    EXPECT_FALSE(view->erreur());
    EXPECT_FALSE(view->information());
    EXPECT_FALSE(shown("erreur") || shown("information"));
    EXPECT_EQ(edit("nom").text(), "Marie Curie") << "kept for the switch back";
    EXPECT_EQ(edit("email").text(), "marie@example.fr");

    view->setMode(Mode::connexion);
    replyTo("login", 200, R"({"ok": false, "erreur": "Mot de passe incorrect."})");
    type("motDePasse", "faux");
    click("valider");
    ASSERT_TRUE(runUntil([&] { return !view->enCours(); }));
    EXPECT_EQ(labelText("erreurTexte"), "Mot de passe incorrect.");
    testing_support::writeSheetPicture(*view, "account-signed-out.png");
}

TEST_F(AccountViewTest, TheBodyFollowsTheAccountThroughSignInCheckAndSignOut)
{
    open();
    EXPECT_TRUE(shown("signedOut"));
    EXPECT_FALSE(shown("signedIn"));
    signInThroughTheForm();
    EXPECT_TRUE(shown("signedIn"));
    EXPECT_FALSE(shown("signedOut"));
    EXPECT_EQ(labelText("title"), "Mon compte");
    EXPECT_EQ(labelText("cardName"), "Marie");
    EXPECT_EQ(labelText("cardEmail"), "marie@example.fr");
    EXPECT_TRUE(edit("motDePasse").text().isEmpty()) << "emptied after the sign-in";
    testing_support::writeSheetPicture(*view, "account-signed-in.png");

    const int sent = server.requestCount();
    click("deconnecter");
    EXPECT_TRUE(shown("signedOut"));
    EXPECT_EQ(edit("email").text(), "marie@example.fr") << "what was typed stays";
    EXPECT_EQ(model->accounts().account(), std::nullopt);
    mainQueue->drain();
    EXPECT_EQ(server.requestCount(), sent) << "signing out asks no server";

    // Opened again while signed in, it shows the card at once; the check at its appearance
    // then finds the session gone and the sheet turns to the form by itself.
    replyTo("login", 200, R"({"ok": true, "session": "T0K3N-s3cr3t", "email": "marie@example.fr"})");
    signInThroughTheForm();
    replyTo("/moi", 401, R"({"ok": false})");
    view = std::make_unique<AccountView>(*model, [this](const std::string& url) { return browse(url); });
    EXPECT_TRUE(view->findChild<QWidget*>("signedIn")->isVisibleTo(view.get()));
    EXPECT_TRUE(view->findChild<QWidget*>("cardName")->isHidden()) << "an empty name shows the address alone";
    view->show();
    ASSERT_TRUE(runUntil([&] { return !model->accounts().account(); }));
    EXPECT_TRUE(shown("signedOut"));
    EXPECT_EQ(requestsTo("/moi"), 1);
}

TEST_F(AccountViewTest, TheAccountIsDeletedOnlyOnceTheDeletionIsConfirmed)
{
    open();
    signInThroughTheForm();
    click("supprimer");
    ASSERT_TRUE(view->confirmation());
    EXPECT_EQ(view->confirmation()->text(), AccountView::kDeletionTitle);
    EXPECT_EQ(view->confirmation()->informativeText(), AccountView::kDeletionMessage);
    for (auto* button : view->confirmation()->findChildren<QAbstractButton*>())
        if (button->text() == "Annuler")
            QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_FALSE(view->confirmation() && view->confirmation()->isVisible());
    mainQueue->drain();
    EXPECT_EQ(requestsTo("supprimer"), 0);

    replyTo("supprimer", 200, R"({"ok": false, "erreur": "Réessayez plus tard."})");
    click("supprimer");
    QTest::mouseClick(view->confirmation()->findChild<QAbstractButton*>("supprimerDefinitivement"), Qt::LeftButton);
    ASSERT_TRUE(runUntil([&] { return requestsTo("supprimer") == 1 && !view->enCours(); }));
    EXPECT_TRUE(shown("signedIn"));
    EXPECT_EQ(view->erreur(), "Réessayez plus tard.");

    replyTo("supprimer", 200, R"({"ok": true})");
    click("supprimer");
    QTest::mouseClick(view->confirmation()->findChild<QAbstractButton*>("supprimerDefinitivement"), Qt::LeftButton);
    ASSERT_TRUE(runUntil([&] { return !model->accounts().account(); }));
    EXPECT_TRUE(shown("signedOut"));
    EXPECT_FALSE(view->erreur());
}

TEST_F(AccountViewTest, WithoutAServerOrAGoogleClientTheSheetSaysSo)
{
    hosts.googleClientId.clear();
    open();
    EXPECT_FALSE(shown("google"));
    EXPECT_TRUE(shown("googleUnavailable"));
    EXPECT_EQ(labelText("googleUnavailable"), QString::fromUtf8(GoogleSignIn::kNoClientMessage.data()));

    hosts.accountHost.reset();
    open();
    EXPECT_TRUE(shown("unavailable"));
    EXPECT_EQ(labelText("unavailable"), QString::fromUtf8(AccountService::kUnavailableMessage.data()));
    EXPECT_FALSE(shown("signedOut") || shown("signedIn") || shown("subtitle"));
    EXPECT_TRUE(shown("legal"));
    testing_support::writeSheetPicture(*view, "account-no-server.png");

    click("legal");
    auto* legal = view->pages().currentWidget()->findChild<QWidget*>("legalView");
    ASSERT_TRUE(legal);
    EXPECT_EQ(legal->windowTitle(), "Mentions légales");
    click("back");
    EXPECT_EQ(view->pages().currentIndex(), 0);
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(AccountViewTest, AGoogleSignInRunsThroughTheBrowserTheRedirectAndTheTokenExchange)
{
    open();
    wrongStateFirst = true;
    click("google");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_TRUE(view->enCours());
    EXPECT_TRUE(shown("annulerGoogle"));
    ASSERT_TRUE(runUntil([&] { return pageStatuses.size() == 1; }));
    EXPECT_EQ(pageStatuses[0], 400) << "a redirect with another state is not ours";
    EXPECT_TRUE(view->enCours()) << "and the wait goes on";

    browse(std::string(opened[0]));
    ASSERT_TRUE(runUntil([&] { return model->accounts().account().has_value() && !view->enCours(); }));
    EXPECT_EQ(pageStatuses.back(), 200);
    EXPECT_EQ(model->accounts().account(), (AccountService::Account { "marie@example.fr", "Marie Curie" }));
    EXPECT_FALSE(view->erreur());
    EXPECT_FALSE(shown("annulerGoogle"));

    const auto requests = server.requests();
    const auto exchange = std::find_if(requests.begin(), requests.end(), [](auto& r) { return r.path == "/token"; });
    ASSERT_NE(exchange, requests.end());
    const auto verifier = GoogleSignIn::queryItem("/?" + exchange->body, "code_verifier");
    ASSERT_TRUE(verifier);
    EXPECT_EQ(GoogleSignIn::challenge(*verifier), challengeSent()) << "the verifier of the challenge sent";
    EXPECT_EQ(GoogleSignIn::queryItem("/?" + exchange->body, "code"), kCode);
    EXPECT_EQ(GoogleSignIn::queryItem("/?" + exchange->body, "client_secret"), kClientSecret);
    EXPECT_EQ(GoogleSignIn::queryItem("/?" + exchange->body, "redirect_uri"),
        GoogleSignIn::queryItem(opened[0], "redirect_uri"));
    const auto google = std::find_if(requests.begin(), requests.end(), [](auto& r) { return r.path == "/wd/bloc/velorin|google"; });
    ASSERT_NE(google, requests.end());
    EXPECT_EQ(google->body, std::string("client=") + kClient + "&nom=Marie%20Curie&token=" + googleToken);
}

TEST_F(AccountViewTest, TheGoogleWaitEndsSilentlyOnCancelOrAfterFiveMinutesAndAFailedExchangeSaysSo)
{
    open();
    const auto listenerPort = [&] { return std::stoi(GoogleSignIn::queryItem(opened.back(), "redirect_uri")->substr(17)); };
    const auto refused = [&](int port) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, quint16(port));
        runUntil([&] { return probe.state() == QAbstractSocket::UnconnectedState || probe.state() == QAbstractSocket::ConnectedState; }, 5);
        return probe.state() == QAbstractSocket::UnconnectedState;
    };
    // The browser is opened but never comes back.
    view = std::make_unique<AccountView>(*model, [this](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    view->show();
    click("google");
    ASSERT_TRUE(view->enCours());
    click("annulerGoogle");
    EXPECT_FALSE(view->enCours());
    EXPECT_FALSE(view->erreur());
    EXPECT_TRUE(refused(listenerPort()));

    click("google");
    advance(AccountView::kGoogleRedirectTimeoutSeconds - 1);
    EXPECT_TRUE(view->enCours());
    EXPECT_FALSE(refused(listenerPort()));
    advance(1);
    EXPECT_FALSE(view->enCours());
    EXPECT_FALSE(view->erreur());
    EXPECT_TRUE(refused(listenerPort()));

    view = std::make_unique<AccountView>(*model, [this](const std::string& url) { return browse(url); });
    view->show();
    tokenStatus = 400;
    click("google");
    ASSERT_TRUE(runUntil([&] { return !view->enCours(); }));
    EXPECT_EQ(view->erreur(), QString::fromUtf8(GoogleSignIn::kFailedMessage.data()));

    withoutCode = true;
    click("google");
    ASSERT_TRUE(runUntil([&] { return !view->enCours(); }));
    EXPECT_EQ(view->erreur(), QString::fromUtf8(GoogleSignIn::kFailedMessage.data()));
    EXPECT_EQ(model->accounts().account(), std::nullopt);

    view = std::make_unique<AccountView>(*model, [](const std::string&) { return false; });
    view->show();
    click("google");
    EXPECT_FALSE(view->enCours());
    EXPECT_EQ(view->erreur(), QString::fromUtf8(GoogleSignIn::kFailedMessage.data())) << "no browser could open";
}

TEST_F(AccountViewTest, NoSecretReachesTheLog)
{
    open();
    replyTo("login", 200, R"({"ok": true, "session": "T0K3N-s3cr3t;x=1"})");
    type("email", "marie@example.fr");
    type("motDePasse", "s3cr3t P4ss+");
    click("valider");
    ASSERT_TRUE(runUntil([&] { return !view->enCours(); }));
    ASSERT_TRUE(view->erreur());
    replyTo("login", 200, R"({"ok": true, "session": "T0K3N-s3cr3t", "email": "marie@example.fr"})");
    click("valider");
    ASSERT_TRUE(runUntil([&] { return !view->enCours(); }));
    model->accounts().signOut();

    click("google");
    ASSERT_TRUE(runUntil([&] { return model->accounts().account().has_value() && !view->enCours(); }));
    replyTo("supprimer", 500, "<html>T0K3N-s3cr3t</html>");
    view->supprimerCompte();
    ASSERT_TRUE(runUntil([&] { return !view->enCours(); }));
    replyTo("supprimer", 200, R"({"ok": true})");
    view->supprimerCompte();
    ASSERT_TRUE(runUntil([&] { return !view->enCours(); }));

    std::vector<std::string> secrets { "s3cr3t", "T0K3N", "c0de", "P4ss", googleToken, kClientSecret,
        *GoogleSignIn::queryItem(opened.at(0), "state") };
    for (const auto& request : server.requests())
        if (request.path == "/token")
            secrets.push_back(*GoogleSignIn::queryItem("/?" + request.body, "code_verifier"));
    const auto entries = log.entries();
    EXPECT_GE(entries.size(), 2u) << "the refused token and the unusable reply are logged";
    for (const auto& entry : entries)
        for (const std::string& secret : secrets)
            EXPECT_EQ(entry.message.find(secret), std::string::npos) << entry.category << ": " << entry.message;
}
