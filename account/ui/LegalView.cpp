#include "account/ui/LegalView.h"

#include "account/ui/SoftwareCredit.h"
#include "app/AppModel.h"
#include "platform/Version.h"
#include "widgets/SheetParts.h"

#include <QDesktopServices>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QScrollArea>
#include <QUrl>
#include <QVBoxLayout>

namespace velorin {

namespace {

QString text(std::string_view value)
{
    return QString::fromUtf8(value.data(), qsizetype(value.size()));
}

QLabel* paragraph(const QString& value)
{
    auto* label = new QLabel(value);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// A name over its credit line, the line smaller and dimmed.
QWidget* creditRow(const QString& name, const QString& line)
{
    auto* row = new QWidget;
    auto* stack = new QVBoxLayout(row);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(3);
    auto* title = new QLabel(name);
    QFont bold = title->font();
    bold.setWeight(QFont::DemiBold);
    title->setFont(bold);
    stack->addWidget(title);
    auto* credit = paragraph(line);
    QFont small = credit->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    credit->setFont(small);
    credit->setEnabled(false);
    stack->addWidget(credit);
    return row;
}

} // namespace

QString LegalView::versionText(std::string_view version, std::string_view build)
{
    return text(version) + QStringLiteral(" (") + text(build) + QStringLiteral(")");
}

std::vector<LegalView::Credit> LegalView::mapCredits()
{
    std::vector<Credit> credits {
        {QStringLiteral("IGN — Géoplateforme"),
            QStringLiteral("Plan IGN, photographies aériennes, carte des pentes, BD TOPO (bâtiments, noms de lieux), "
                           "BD Forêt, RGE ALTI et altitudes. Licence ouverte Etalab 2.0.")},
        {QStringLiteral("OpenTopoMap"),
            QStringLiteral("© OpenTopoMap (CC BY-SA), données © contributeurs OpenStreetMap (ODbL).")},
        {QStringLiteral("swisstopo"),
            QStringLiteral("SWISSIMAGE © swisstopo, données ouvertes ; noms de lieux swissNAMES3D © swisstopo.")},
        {QStringLiteral("BEV"), QStringLiteral("Noms de lieux d'Autriche : Geographische Namen © BEV, CC BY 4.0.")},
        {QStringLiteral("OpenStreetMap"),
            QStringLiteral("Noms de lieux d'Espagne et d'Andorre © contributeurs OpenStreetMap, base de données ODbL.")},
        {QStringLiteral("Instituto Geográfico Nacional"),
            QStringLiteral("PNOA cedido por © Instituto Geográfico Nacional, CC BY 4.0.")},
        {QStringLiteral("basemap.at"), QStringLiteral("Orthophotos © basemap.at, CC BY 4.0.")},
        {QStringLiteral("Relief"),
            QStringLiteral("Altitudes AWS Terrain Tiles (Mapzen) : SRTM (NASA), USGS, ETOPO1 (NOAA), EU-DEM (données "
                           "Copernicus) et autres sources ouvertes.")},
    };
    if (AppModel::worldMapsAvailable()) {
        credits.push_back({QStringLiteral("OpenStreetMap et Sentinel-2"),
            QStringLiteral("© les contributeurs d'OpenStreetMap (ODbL) ; Sentinel-2 cloudless – s2maps.eu par EOX IT "
                           "Services GmbH (données Copernicus Sentinel 2016 modifiées), CC BY 4.0.")});
    }
    credits.push_back({QStringLiteral("Natural Earth"),
        QStringLiteral("Contour de la France métropolitaine et de la Corse, domaine public.")});
    return credits;
}

LegalView::LegalView(Publisher publisher, QWidget* parent)
    : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Mentions légales"));
    auto* outer = new QVBoxLayout(this);
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    scroll->setWidget(page);
    outer->addWidget(scroll);

    auto* editor = makeSheetSection(QStringLiteral("Éditeur"));
    auto* editorLayout = new QFormLayout(editor);
    const auto addLine = [&](std::string_view line) {
        if (line.empty())
            return;
        auto* row = paragraph(text(line));
        editorLayout->addRow(row);
        publisherRows_.push_back(row);
    };
    addLine(publisher.name);
    addLine(publisher.postalAddress);
    if (!publisher.telephone.empty()) {
        auto* number = paragraph(text(publisher.telephone));
        editorLayout->addRow(QStringLiteral("Téléphone"), number);
        publisherRows_.push_back(number);
    }
    if (!publisher.email.empty()) {
        const QString address = text(publisher.email);
        mailLink_ = new QLabel(QStringLiteral("<a href=\"mailto:%1\">%1</a>").arg(address.toHtmlEscaped()));
        mailLink_->setObjectName("mail");
        mailLink_->setTextFormat(Qt::RichText);
        connect(mailLink_, &QLabel::linkActivated, this, [](const QString& link) { QDesktopServices::openUrl(QUrl(link)); });
        editorLayout->addRow(mailLink_);
        publisherRows_.push_back(mailLink_);
    }
    auto* version = paragraph(versionText(platform::kVersion, platform::kBuildNumber));
    version->setObjectName("version");
    editorLayout->addRow(QStringLiteral("Version"), version);
    publisherRows_.push_back(version);
    layout->addWidget(editor);

    auto* personal = makeSheetSection(QStringLiteral("Données personnelles"));
    auto* personalLayout = new QVBoxLayout(personal);
    const QString rights = publisher.email.empty()
        ? QStringLiteral("Pour exercer vos droits d'accès, de rectification ou d'effacement : auprès de l'éditeur.")
        : QStringLiteral("Pour exercer vos droits d'accès, de rectification ou d'effacement : ") + text(publisher.email)
            + QStringLiteral(".");
    for (const QString& value : {
             QStringLiteral("Votre position sert à vous montrer sur la carte et à enregistrer vos trajets. Elle ne quitte "
                            "pas cet ordinateur : vos trajets y restent et ne partent nulle part, sauf si vous les "
                            "exportez."),
             QStringLiteral("Les photos de votre dossier Images sont lues sur cet ordinateur pour être placées sur vos "
                            "trajets ; elles ne sont jamais envoyées."),
             QStringLiteral("Le compte, facultatif, garde votre nom et votre adresse e-mail sur les serveurs de "
                            "l'éditeur, en France. Avec la connexion Google, seule l'adresse e-mail transmise par Google "
                            "est utilisée. Vous pouvez supprimer le compte à tout moment depuis l'écran du compte."),
             QStringLiteral("Pour afficher la carte, Velorin télécharge des images auprès des fournisseurs cités "
                            "ci-dessous, qui reçoivent donc l'adresse IP de cet ordinateur. Il n'y a ni publicité, ni "
                            "pistage, ni revente de données."),
             QStringLiteral("La recherche de mises à jour, quand vous la demandez, envoie au serveur des mises à jour "
                            "le nom de cet ordinateur et, si vous êtes connecté, l'adresse e-mail de votre compte."),
             rights,
         }) {
        auto* label = paragraph(value);
        personalLayout->addWidget(label);
        personalData_.push_back(label);
    }
    layout->addWidget(personal);

    auto* sources = makeSheetSection(QStringLiteral("Sources des cartes"));
    auto* sourcesLayout = new QVBoxLayout(sources);
    for (const Credit& credit : mapCredits())
        sourcesLayout->addWidget(creditRow(credit.name, credit.line));
    sourcesLayout->addWidget(makeSheetFooter(QStringLiteral(
        "Les arbres et bâtiments en 3D sont dessinés par Velorin d'après la BD Forêt, la BD TOPO et les photographies "
        "aériennes de l'IGN : c'est un rendu indicatif, non un relevé.")));
    layout->addWidget(sources);

    auto* software = makeSheetSection(QStringLiteral("Logiciels"));
    auto* softwareLayout = new QVBoxLayout(software);
    softwareLayout->addWidget(paragraph(text(kProgramLicence)));
    for (const SoftwareCredit& credit : kSoftwareCredits)
        softwareLayout->addWidget(creditRow(text(credit.name), text(credit.licence)));
    layout->addWidget(software);

    auto* responsibility = makeSheetSection(QStringLiteral("Responsabilité"));
    auto* responsibilityLayout = new QVBoxLayout(responsibility);
    responsibilityLayout->addWidget(paragraph(QStringLiteral(
        "Les cartes, altitudes, distances et dénivelés sont indicatifs et peuvent être inexacts ou dépassés. Ils ne "
        "remplacent ni une carte papier, ni l'observation du terrain, ni les informations officielles (météo, accès, "
        "dangers). La randonnée et les activités de montagne se pratiquent sous votre seule responsabilité.")));
    layout->addWidget(responsibility);
    layout->addStretch();
}

std::vector<QString> LegalView::publisherRows() const
{
    std::vector<QString> rows;
    for (QWidget* row : publisherRows_) {
        const auto* label = qobject_cast<const QLabel*>(row);
        rows.push_back(label == mailLink_ && mailLink_ ? QUrl(label->text().section('"', 1, 1)).path() : label->text());
    }
    return rows;
}

std::vector<QString> LegalView::personalData() const
{
    std::vector<QString> paragraphs;
    for (const QLabel* label : personalData_)
        paragraphs.push_back(label->text());
    return paragraphs;
}

} // namespace velorin
