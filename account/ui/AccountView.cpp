#include "account/ui/AccountView.h"

#include "account/AccountService.h"
#include "account/GoogleRedirectListener.h"
#include "account/GoogleSignIn.h"
#include "account/ui/BoutonBlanc.h"
#include "account/ui/BoutonContour.h"
#include "account/ui/LegalView.h"
#include "app/AppModel.h"
#include "app/MainTimer.h"
#include "platform/Resources.h"
#include "widgets/SheetParts.h"
#include "widgets/Symbols.h"

#include <QButtonGroup>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>

namespace velorin {

namespace {

// The background: green at the top-leading corner to brick red from 81 % of the way on.
const QColor kGreen(76, 210, 46);
const QColor kBrick(164, 75, 53);
constexpr double kBrickFromLocation = 0.8125;
// The main button's label is the background's red.
const QColor kMainButtonText = kBrick;
// Fields and the account card: black at 22 %.
constexpr int kFillAlpha = 56;
constexpr int kFieldCornerRadiusPoints = 12;
constexpr int kFieldPaddingPoints = 14;
constexpr int kMainButtonPaddingPoints = 6;
constexpr int kGoogleButtonHeightPoints = 50;
constexpr int kDeleteTopPaddingPoints = 18;
constexpr int kHeaderSpacingPoints = 12;

// Text sizes, in pixels.
constexpr int kTitlePixels = 26;
constexpr int kHeadlinePixels = 16;
constexpr int kSubheadlinePixels = 14;
constexpr int kFootnotePixels = 12;
constexpr int kFieldPixels = 15;
constexpr int kGooglePixels = 19;

QString text(std::string_view value)
{
    return QString::fromUtf8(value.data(), qsizetype(value.size()));
}

QFont sized(int pixels, QFont::Weight weight = QFont::Normal)
{
    QFont font;
    font.setPixelSize(pixels);
    font.setWeight(weight);
    return font;
}

// White at `opacity`, as a style sheet colour.
QString white(double opacity)
{
    return QStringLiteral("rgba(255, 255, 255, %1)").arg(int(opacity * 255 + 0.5));
}

QLabel* label(const QString& value, const QFont& font, double opacity, Qt::Alignment alignment = Qt::AlignLeft)
{
    auto* line = new QLabel(value);
    line->setFont(font);
    line->setWordWrap(true);
    line->setTextFormat(Qt::PlainText);
    line->setAlignment(alignment);
    line->setStyleSheet(QStringLiteral("color: %1; background: transparent").arg(white(opacity)));
    return line;
}

QLineEdit* field(const char* name, const QString& placeholder)
{
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    edit->setPlaceholderText(placeholder);
    edit->setFont(sized(kFieldPixels));
    edit->setStyleSheet(QStringLiteral("QLineEdit { background: rgba(0, 0, 0, %1); border: none; border-radius: %2px; "
                                       "padding: %3px; color: white; }")
                            .arg(kFillAlpha)
                            .arg(kFieldCornerRadiusPoints)
                            .arg(kFieldPaddingPoints));
    QPalette colours = edit->palette();
    colours.setColor(QPalette::PlaceholderText, QColor(255, 255, 255, 150));
    edit->setPalette(colours);
    return edit;
}

// A button drawn as its text alone.
QPushButton* textButton(const char* name, const QString& value, const QFont& font, double opacity)
{
    auto* button = new QPushButton(value);
    button->setObjectName(name);
    button->setFont(font);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral("QPushButton { color: %1; background: transparent; border: none; padding: 2px; }"
                                         "QPushButton:disabled { color: %2; }")
                              .arg(white(opacity), white(opacity * 0.5)));
    return button;
}

// A widget that stacks its children without margins.
std::pair<QWidget*, QVBoxLayout*> column(const char* name, int spacing)
{
    auto* widget = new QWidget;
    widget->setObjectName(name);
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return { widget, layout };
}

QWidget* separator()
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 4, 0, 4);
    for (int side = 0; side < 2; ++side) {
        auto* line = new QFrame;
        line->setFixedHeight(1);
        line->setStyleSheet(QStringLiteral("background: %1").arg(white(0.7)));
        layout->addWidget(line, 1);
        if (side == 0)
            layout->addWidget(label(QStringLiteral("ou"), sized(kFootnotePixels), 0.7, Qt::AlignCenter), 0);
    }
    return row;
}

} // namespace

struct AccountView::GoogleFlow {
    GoogleFlow(GoogleSignIn::Request request, std::unique_ptr<GoogleRedirectListener> listener, AccountService& accounts)
        : request(std::move(request))
        , listener(std::move(listener))
        , timeout(accounts.clock(), accounts.mainQueue())
    {
    }

    GoogleSignIn::Request request;
    // While the browser is out.
    std::unique_ptr<GoogleRedirectListener> listener;
    MainTimer timeout;
    platform::HttpTask exchange;
};

AccountView::AccountView(AppModel& model, Browser browser, QWidget* parent)
    : QDialog(parent)
    , model_(model)
    , browser_(browser ? std::move(browser)
                       : Browser([](const std::string& url) {
                             return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
                         }))
    , pages_(new QStackedWidget)
{
    setWindowTitle(QStringLiteral("Mon compte"));
    auto* outer = new QVBoxLayout(this);
    addSheetCloseBar(*this, *outer);
    outer->addWidget(pages_);

    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll->setStyleSheet(QStringLiteral("QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }"));
    page_ = new QWidget;
    auto* centred = new QHBoxLayout(page_);
    centred->setContentsMargins(0, 0, 0, 0);
    auto* column = new QWidget;
    column->setMaximumWidth(kContentMaxWidthPoints);
    auto* content = new QVBoxLayout(column);
    content->setContentsMargins(kContentPaddingPoints, kContentPaddingPoints, kContentPaddingPoints, kContentPaddingPoints);
    content->setSpacing(kContentSpacingPoints);
    centred->addStretch();
    centred->addWidget(column, 1);
    centred->addStretch();
    scroll->setWidget(page_);
    pages_->addWidget(scroll);

    content->addWidget(makeHeader());
    unavailable_ = label(text(AccountService::kUnavailableMessage), sized(kSubheadlinePixels), 0.85, Qt::AlignCenter);
    unavailable_->setObjectName("unavailable");
    content->addWidget(unavailable_);
    signedOut_ = makeSignedOutBody();
    content->addWidget(signedOut_);
    signedIn_ = makeSignedInBody();
    content->addWidget(signedIn_);
    auto* legal = textButton("legal", QStringLiteral("Mentions légales et confidentialité"), sized(kFootnotePixels), 0.85);
    connect(legal, &QPushButton::clicked, this, [this] { showLegal(); });
    content->addWidget(legal, 0, Qt::AlignHCenter);
    content->addStretch();

    connect(&model_, &AppModel::changed, this, [this] { accountsChanged(); });
    shown_ = accounts().account();
    refresh();
}

AccountView::~AccountView() = default;

QSize AccountView::sizeHint() const
{
    const QSize page = page_->sizeHint();
    const QSize around = QDialog::sizeHint() - pages_->sizeHint();
    return { std::max(page.width(), kContentMaxWidthPoints) + around.width(),
        std::min(page.height() + around.height(), kMaxOpeningHeightPoints) };
}

AccountService& AccountView::accounts() const
{
    return model_.accounts();
}

QString AccountView::title(Mode mode)
{
    return mode == Mode::connexion ? QStringLiteral("Connexion") : QStringLiteral("Inscription");
}

QWidget* AccountView::makeHeader()
{
    auto [header, layout] = column("header", kHeaderSpacingPoints);
    auto* logo = new QLabel;
    logo->setObjectName("logo");
    logo->setContentsMargins(0, 24, 0, 8);
    logo->setAlignment(Qt::AlignCenter);
    QImage artwork(QString::fromStdString((platform::resourcesFolder() / kLogoResource).string()));
    if (!artwork.isNull()) {
        // Drawn in white whatever the artwork's own colours: only its shape counts.
        const qreal scale = devicePixelRatioF();
        QImage tinted = artwork.scaledToWidth(int(kLogoWidthPoints * scale), Qt::SmoothTransformation)
                            .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&tinted);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(tinted.rect(), Qt::white);
        painter.end();
        tinted.setDevicePixelRatio(scale);
        logo->setPixmap(QPixmap::fromImage(tinted));
    }
    layout->addWidget(logo);
    title_ = label({}, sized(kTitlePixels, QFont::Bold), 1, Qt::AlignCenter);
    title_->setObjectName("title");
    layout->addWidget(title_);
    subtitle_ = label({}, sized(kSubheadlinePixels), 0.85, Qt::AlignCenter);
    subtitle_->setObjectName("subtitle");
    layout->addWidget(subtitle_);
    return header;
}

QWidget* AccountView::makeErrorLine(const char* name, QLabel*& message)
{
    auto* line = new QWidget;
    line->setObjectName(name);
    auto* row = new QHBoxLayout(line);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    auto* symbol = label(Symbols::glyph("exclamationmark.triangle.fill"), Symbols::font(kFootnotePixels + 2, QFont::Bold), 1);
    symbol->setWordWrap(false);
    row->addWidget(symbol, 0, Qt::AlignTop);
    message = label({}, sized(kFootnotePixels, QFont::Bold), 1);
    message->setObjectName(QString::fromUtf8(name) + QStringLiteral("Texte"));
    row->addWidget(message, 1);
    return line;
}

QWidget* AccountView::makeSignedOutBody()
{
    auto [body, layout] = column("signedOut", kBodySpacingPoints);

    auto* picker = new QWidget;
    picker->setAccessibleName(QStringLiteral("Mode"));
    picker->setObjectName("mode");
    picker->setStyleSheet(QStringLiteral(
        "#mode { background: rgba(0, 0, 0, 56); border-radius: 8px; }"
        "#mode QPushButton { color: white; background: transparent; border: none; border-radius: 6px; padding: 5px; }"
        "#mode QPushButton:checked { background: rgba(255, 255, 255, 70); }"));
    auto* segments = new QHBoxLayout(picker);
    segments->setContentsMargins(2, 2, 2, 2);
    segments->setSpacing(2);
    auto* group = new QButtonGroup(picker);
    for (Mode mode : { Mode::connexion, Mode::inscription }) {
        auto* segment = new QPushButton(title(mode));
        segment->setObjectName(mode == Mode::connexion ? "connexion" : "inscription");
        segment->setCheckable(true);
        segment->setFont(sized(kFootnotePixels + 1, QFont::DemiBold));
        group->addButton(segment);
        segments->addWidget(segment, 1);
        connect(segment, &QPushButton::clicked, this, [this, mode] { setMode(mode); });
        (mode == Mode::connexion ? connexion_ : inscription_) = segment;
    }
    layout->addWidget(picker);

    nom_ = field("nom", QStringLiteral("Prénom et nom"));
    email_ = field("email", QStringLiteral("Adresse e-mail"));
    email_->setInputMethodHints(Qt::ImhEmailCharactersOnly | Qt::ImhNoAutoUppercase | Qt::ImhNoPredictiveText);
    motDePasse_ = field("motDePasse", QStringLiteral("Mot de passe"));
    motDePasse_->setEchoMode(QLineEdit::Password);
    for (QLineEdit* edit : { nom_, email_, motDePasse_ }) {
        layout->addWidget(edit);
        connect(edit, &QLineEdit::textChanged, this, [this] { refresh(); });
    }
    connect(nom_, &QLineEdit::returnPressed, email_, [this] { email_->setFocus(); });
    connect(email_, &QLineEdit::returnPressed, motDePasse_, [this] { motDePasse_->setFocus(); });
    // Only what the main button would do: nothing while it is disabled.
    connect(motDePasse_, &QLineEdit::returnPressed, this, [this] { valider(); });

    signedOutError_ = makeErrorLine("erreur", signedOutErrorText_);
    layout->addWidget(signedOutError_);
    informationLine_ = label({}, sized(kFootnotePixels), 0.85);
    informationLine_->setObjectName("information");
    layout->addWidget(informationLine_);

    valider_ = new BoutonBlanc({}, kMainButtonText, kMainButtonPaddingPoints);
    valider_->setObjectName("valider");
    valider_->setFont(sized(kHeadlinePixels, QFont::DemiBold));
    connect(valider_, &QPushButton::clicked, this, [this] { valider(); });
    layout->addWidget(valider_);

    layout->addWidget(separator());

    googleButton_ = new BoutonBlanc({}, Qt::black, 0);
    googleButton_->setObjectName("google");
    googleButton_->setFont(sized(kGooglePixels, QFont::Medium));
    googleButton_->setFixedHeight(kGoogleButtonHeightPoints);
    connect(googleButton_, &QPushButton::clicked, this, [this] { connecterGoogle(); });
    layout->addWidget(googleButton_);
    googleUnavailable_ = label(text(GoogleSignIn::kNoClientMessage), sized(kFootnotePixels), 0.85, Qt::AlignCenter);
    googleUnavailable_->setObjectName("googleUnavailable");
    layout->addWidget(googleUnavailable_);
    annulerGoogle_ = textButton("annulerGoogle", QStringLiteral("Annuler"), sized(kSubheadlinePixels), 1);
    connect(annulerGoogle_, &QPushButton::clicked, this, [this] { annulerGoogle(); });
    layout->addWidget(annulerGoogle_, 0, Qt::AlignHCenter);

    motDePasseOublie_ = textButton("motDePasseOublie", QStringLiteral("Mot de passe oublié ?"), sized(kSubheadlinePixels), 1);
    connect(motDePasseOublie_, &QPushButton::clicked, this, [this] { motDePasseOublie(); });
    layout->addWidget(motDePasseOublie_, 0, Qt::AlignHCenter);
    return body;
}

QWidget* AccountView::makeSignedInBody()
{
    auto [body, layout] = column("signedIn", kBodySpacingPoints);

    auto* card = new QWidget;
    card->setObjectName("card");
    card->setAttribute(Qt::WA_StyledBackground);
    card->setStyleSheet(QStringLiteral("#card { background: rgba(0, 0, 0, %1); border-radius: %2px; }")
                            .arg(kFillAlpha)
                            .arg(kFieldCornerRadiusPoints));
    auto* lines = new QVBoxLayout(card);
    lines->setContentsMargins(kFieldPaddingPoints, kFieldPaddingPoints, kFieldPaddingPoints, kFieldPaddingPoints);
    lines->setSpacing(6);
    cardName_ = label({}, sized(kHeadlinePixels, QFont::DemiBold), 1);
    cardName_->setObjectName("cardName");
    lines->addWidget(cardName_);
    cardEmail_ = label({}, sized(kSubheadlinePixels), 0.6);
    cardEmail_->setObjectName("cardEmail");
    lines->addWidget(cardEmail_);
    layout->addWidget(card);

    deconnecter_ = new BoutonContour(QStringLiteral("Se déconnecter"), kMainButtonPaddingPoints);
    deconnecter_->setObjectName("deconnecter");
    deconnecter_->setFont(sized(kHeadlinePixels, QFont::DemiBold));
    connect(deconnecter_, &QPushButton::clicked, this, [this] { deconnecter(); });
    layout->addWidget(deconnecter_);

    signedInError_ = makeErrorLine("erreurCompte", signedInErrorText_);
    layout->addWidget(signedInError_);

    supprimer_ = textButton("supprimer", QStringLiteral("Supprimer mon compte"), sized(kSubheadlinePixels), 0.8);
    layout->addSpacing(kDeleteTopPaddingPoints);
    connect(supprimer_, &QPushButton::clicked, this, [this] {
        if (confirmation_ && confirmation_->isVisible())
            return;
        auto* dialog = new QMessageBox(QMessageBox::NoIcon, QString::fromUtf8(kDeletionTitle),
            QString::fromUtf8(kDeletionTitle), QMessageBox::NoButton, this);
        dialog->setInformativeText(QString::fromUtf8(kDeletionMessage));
        QPushButton* confirm = dialog->addButton(QStringLiteral("Supprimer définitivement"), QMessageBox::DestructiveRole);
        confirm->setObjectName("supprimerDefinitivement");
        dialog->setDefaultButton(dialog->addButton(QStringLiteral("Annuler"), QMessageBox::RejectRole));
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(confirm, &QPushButton::clicked, this, [this] { supprimerCompte(); });
        confirmation_ = dialog;
        dialog->open();
    });
    layout->addWidget(supprimer_, 0, Qt::AlignHCenter);
    return body;
}

void AccountView::showLegal()
{
    if (pages_->count() == 1) {
        auto* page = new QWidget;
        auto* layout = new QVBoxLayout(page);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* back = new QPushButton(QStringLiteral("‹ Retour"));
        back->setObjectName("back");
        connect(back, &QPushButton::clicked, this, [this] { pages_->setCurrentIndex(0); });
        auto* bar = new QHBoxLayout;
        bar->addWidget(back);
        bar->addStretch();
        layout->addLayout(bar);
        auto* legal = new LegalView;
        legal->setObjectName("legalView");
        layout->addWidget(legal);
        pages_->addWidget(page);
    }
    pages_->setCurrentIndex(1);
}

void AccountView::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (checkedAtAppearance_)
        return;
    checkedAtAppearance_ = true;
    // The service updates or clears the account itself; the sheet follows its announcements.
    accounts().checkSession();
}

void AccountView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QLinearGradient background(rect().topLeft(), rect().bottomRight());
    background.setColorAt(0, kGreen);
    background.setColorAt(kBrickFromLocation, kBrick);
    background.setColorAt(1, kBrick);
    painter.fillRect(rect(), background);
}

void AccountView::accountsChanged()
{
    if (accounts().account() == shown_)
        return;
    shown_ = accounts().account();
    refresh();
}

bool AccountView::canValidate() const
{
    return !enCours_ && !email_->text().isEmpty() && !motDePasse_->text().isEmpty();
}

void AccountView::refresh()
{
    const bool available = accounts().isAvailable();
    const auto& account = accounts().account();
    const bool signedIn = account.has_value();
    const bool inscription = mode_ == Mode::inscription;
    title_->setText(signedIn ? QStringLiteral("Mon compte") : QStringLiteral("Votre compte Velorin"));
    subtitle_->setText(inscription ? QStringLiteral("Créez votre compte avec votre adresse e-mail.")
                                   : QStringLiteral("Identifiez-vous avec votre adresse e-mail."));
    subtitle_->setVisible(available && !signedIn);
    unavailable_->setVisible(!available);
    signedOut_->setVisible(available && !signedIn);
    signedIn_->setVisible(available && signedIn);

    connexion_->setChecked(!inscription);
    inscription_->setChecked(inscription);
    nom_->setVisible(inscription);
    for (auto [line, message] : { std::pair { signedOutError_, signedOutErrorText_ }, { signedInError_, signedInErrorText_ } }) {
        line->setVisible(erreur_.has_value());
        message->setText(erreur_.value_or(QString()));
    }
    informationLine_->setVisible(information_.has_value());
    informationLine_->setText(information_.value_or(QString()));

    valider_->setText(inscription ? QStringLiteral("Créer mon compte") : QStringLiteral("Se connecter"));
    valider_->setBusy(enCours_);
    valider_->setEnabled(canValidate());
    const bool hasClient = !GoogleSignIn::clientID(accounts().hosts()).empty();
    googleButton_->setText(inscription ? QStringLiteral("S'inscrire avec Google") : QStringLiteral("Se connecter avec Google"));
    googleButton_->setVisible(hasClient);
    googleButton_->setEnabled(!enCours_);
    googleUnavailable_->setVisible(!hasClient);
    annulerGoogle_->setVisible(google_ && google_->listener);
    motDePasseOublie_->setVisible(!inscription);
    motDePasseOublie_->setEnabled(!enCours_ && !email_->text().isEmpty());

    if (account) {
        cardName_->setText(QString::fromStdString(account->name));
        cardName_->setVisible(!account->name.empty());
        cardEmail_->setText(QString::fromStdString(account->email));
    }
    supprimer_->setEnabled(!enCours_);
}

std::optional<AccountView::Champ> AccountView::champ() const
{
    const QWidget* focused = focusWidget();
    if (focused == nom_)
        return Champ::nom;
    if (focused == email_)
        return Champ::email;
    if (focused == motDePasse_)
        return Champ::motDePasse;
    return std::nullopt;
}

void AccountView::setMode(Mode mode)
{
    if (mode == mode_) {
        refresh();
        return;
    }
    mode_ = mode;
    erreur_.reset();
    information_.reset();
    refresh();
}

void AccountView::valider()
{
    if (!canValidate())
        return;
    if (QWidget* focused = focusWidget())
        focused->clearFocus();
    erreur_.reset();
    information_.reset();
    enCours_ = true;
    refresh();
    QPointer<AccountView> self(this);
    auto done = [self](std::optional<AccountService::Failure> failure) {
        if (!self)
            return;
        if (!failure)
            self->motDePasse_->clear();
        self->finish(std::move(failure));
    };
    const std::string email = email_->text().toStdString();
    const std::string password = motDePasse_->text().toStdString();
    if (mode_ == Mode::connexion)
        accounts().signIn(email, password, done);
    else
        accounts().signUp(nom_->text().toStdString(), email, password, done);
}

void AccountView::finish(std::optional<AccountService::Failure> failure)
{
    enCours_ = false;
    if (failure)
        erreur_ = QString::fromStdString(failure->message);
    refresh();
}

void AccountView::lancer(const std::function<void()>& body)
{
    erreur_.reset();
    enCours_ = true;
    refresh();
    body();
}

void AccountView::motDePasseOublie()
{
    if (enCours_ || email_->text().isEmpty())
        return;
    lancer([this] {
        QPointer<AccountView> self(this);
        accounts().requestPasswordReset(email_->text().toStdString(),
            [self](std::string notice, std::optional<AccountService::Failure> failure) {
                if (!self)
                    return;
                if (!failure)
                    self->information_ = QString::fromStdString(notice);
                self->finish(std::move(failure));
            });
    });
}

void AccountView::supprimerCompte()
{
    if (enCours_)
        return;
    lancer([this] {
        QPointer<AccountView> self(this);
        accounts().deleteAccount([self](std::optional<AccountService::Failure> failure) {
            if (self)
                self->finish(std::move(failure));
        });
    });
}

void AccountView::deconnecter()
{
    accounts().signOut();
}

void AccountView::connecterGoogle()
{
    if (enCours_)
        return;
    erreur_.reset();
    const std::string client = GoogleSignIn::clientID(accounts().hosts());
    auto listener = std::make_unique<GoogleRedirectListener>();
    std::optional<GoogleSignIn::Request> request;
    if (!client.empty() && listener->listen())
        request = GoogleSignIn::request(client, GoogleSignIn::redirectURI(listener->port()), accounts().hosts());
    if (!request) {
        erreur_ = text(GoogleSignIn::kFailedMessage);
        refresh();
        return;
    }
    // Known to the listener before the browser can come back with it.
    listener->setExpectedState(request->state);
    google_ = std::make_unique<GoogleFlow>(std::move(*request), std::move(listener), accounts());
    connect(google_->listener.get(), &GoogleRedirectListener::redirected, this,
        [this](const QByteArray& target) { redirected(target); });
    google_->timeout.start(kGoogleRedirectTimeoutSeconds, [this] { annulerGoogle(); });
    enCours_ = true;
    refresh();
    if (!browser_(google_->request.url)) {
        google_.reset();
        finish(AccountService::Failure { std::string(GoogleSignIn::kFailedMessage) });
    }
}

void AccountView::annulerGoogle()
{
    if (!google_)
        return;
    google_.reset();
    enCours_ = false;
    refresh();
}

void AccountView::redirected(const QByteArray& target)
{
    // The listener has closed and is inside its own signal: it goes once that returns.
    google_->listener.release()->deleteLater();
    google_->timeout.cancel();
    const auto code = GoogleSignIn::code(target.toStdString());
    if (!code) {
        google_.reset();
        finish(AccountService::Failure { std::string(GoogleSignIn::kFailedMessage) });
        return;
    }
    refresh();
    QPointer<AccountView> self(this);
    google_->exchange = GoogleSignIn::exchange(*code, google_->request, accounts().hosts(), accounts().session(),
        *accounts().mainQueue(), [self](std::string idToken, std::optional<AccountService::Failure> failure) {
            if (!self || !self->google_)
                return;
            const std::string client = self->google_->request.client;
            self->google_.reset();
            if (failure)
                return self->finish(std::move(failure));
            self->accounts().signInWithGoogle(idToken, client, [self](std::optional<AccountService::Failure> failure) {
                if (self)
                    self->finish(std::move(failure));
            });
        });
}

} // namespace velorin
