#pragma once

#include "account/AccountService.h"

#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;

namespace velorin {

class AppModel;
class BoutonBlanc;
class BoutonContour;
class GoogleRedirectListener;

// The account sheet: signing in with an e-mail address and a password, creating an account,
// signing in through Google in the walker's browser, asking for a password-reset e-mail,
// and, once signed in, the account with "Se déconnecter" and, after a confirmation, its
// deletion. What it shows follows the model's account service at every change; what is
// typed, the messages and the busy flag are the sheet's own and go with it. The legal
// notices open inside it. Without an account server it says so. GUI thread only; the model
// outlives it, and no reply that comes back after it closed touches it.
class AccountView : public QDialog {
public:
    enum class Mode { connexion, inscription };
    enum class Champ { nom, email, motDePasse };

    // Opens an address in the walker's browser; false when none could be opened.
    using Browser = std::function<bool(const std::string& url)>;

    static constexpr int kContentMaxWidthPoints = 480;
    static constexpr int kContentSpacingPoints = 28;
    static constexpr int kContentPaddingPoints = 24;
    static constexpr int kBodySpacingPoints = 14;
    static constexpr int kLogoWidthPoints = 150;
    static constexpr std::string_view kLogoResource = "LogoVelorin.png";
    // A browser that has not come back by then is given up, without a word.
    static constexpr double kGoogleRedirectTimeoutSeconds = 300;
    // The sheet opens as tall as its page, up to this; a taller page scrolls.
    static constexpr int kMaxOpeningHeightPoints = 800;

    static constexpr const char* kDeletionTitle = "Supprimer votre compte ?";
    static constexpr const char* kDeletionMessage
        = "Votre compte et ses informations seront supprimés. Vos trajets enregistrés restent sur cet appareil.";

    // An empty browser is the desktop's own.
    explicit AccountView(AppModel& model, Browser browser = {}, QWidget* parent = nullptr);
    ~AccountView() override;

    // "Connexion" or "Inscription", as the mode picker shows it.
    static QString title(Mode mode);

    // The sheet's actions.
    void valider();
    void connecterGoogle();
    void annulerGoogle();
    void motDePasseOublie();
    void supprimerCompte();
    void deconnecter();
    void setMode(Mode mode);

    Mode mode() const { return mode_; }
    // The field with the keyboard focus, if any.
    std::optional<Champ> champ() const;
    bool enCours() const { return enCours_; }
    const std::optional<QString>& erreur() const { return erreur_; }
    const std::optional<QString>& information() const { return information_; }
    // The deletion confirmation while it is shown.
    QMessageBox* confirmation() const { return confirmation_; }
    QStackedWidget& pages() const { return *pages_; }

    // Wide enough for the column and tall enough for the page.
    QSize sizeHint() const override;

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct GoogleFlow;

    AccountService& accounts() const;
    QWidget* makeHeader();
    QWidget* makeSignedOutBody();
    QWidget* makeSignedInBody();
    QWidget* makeErrorLine(const char* name, QLabel*& text);
    void showLegal();
    void refresh();
    // What shows the account: refreshed when the account service announces a change.
    void accountsChanged();
    // The shared start of the reset request and the deletion.
    void lancer(const std::function<void()>& body);
    void finish(std::optional<AccountService::Failure> failure);
    void redirected(const QByteArray& target);
    bool canValidate() const;

    AppModel& model_;
    const Browser browser_;
    Mode mode_ = Mode::connexion;
    std::optional<QString> erreur_;
    std::optional<QString> information_;
    bool enCours_ = false;
    // The account last shown.
    std::optional<AccountService::Account> shown_;
    bool checkedAtAppearance_ = false;
    std::unique_ptr<GoogleFlow> google_;

    QStackedWidget* pages_;
    QWidget* page_;
    QLabel* title_;
    QLabel* subtitle_;
    QWidget* signedOut_;
    QWidget* signedIn_;
    QLabel* unavailable_;
    QPushButton* connexion_;
    QPushButton* inscription_;
    QLineEdit* nom_;
    QLineEdit* email_;
    QLineEdit* motDePasse_;
    QWidget* signedOutError_;
    QLabel* signedOutErrorText_;
    QLabel* informationLine_;
    BoutonBlanc* valider_;
    BoutonBlanc* googleButton_;
    QLabel* googleUnavailable_;
    QPushButton* annulerGoogle_;
    QPushButton* motDePasseOublie_;
    QLabel* cardName_;
    QLabel* cardEmail_;
    BoutonContour* deconnecter_;
    QWidget* signedInError_;
    QLabel* signedInErrorText_;
    QPushButton* supprimer_;
    QPointer<QMessageBox> confirmation_;
};

} // namespace velorin
