#include "account/ui/SettingsView.h"

#include "app/AppModel.h"
#include "canvas/GestureJournal.h"
#include "map-data/TileRelay.h"
#include "platform/UserDefaults.h"
#include "widgets/SheetParts.h"
#include "widgets/Symbols.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>

namespace velorin {

namespace {

constexpr const char* kOverlaysFooter
    = "Les noms des sommets et cols s'affichent ou se masquent avec l'étiquette de la palette, à droite. Ils "
      "viennent de la BD TOPO de l'IGN et apparaissent à partir du zoom où ils restent lisibles. La carte des "
      "pentes colore les terrains de 30° et plus, par-dessus le fond choisi.";
constexpr const char* kLibraryPhotosFooter
    = "Les photos localisées de la photothèque, regroupées par endroit, avec leur nombre ; un toucher les ouvre. "
      "Celles du trajet affiché restent sur son tracé.";
constexpr const char* kVideoFooter
    = "Les films des animations (Trajets › Vidéos) se calculent en 720 lignes, plus vite et plus légers ; en HD, "
      "1080 lignes. Les photos des vues sont toujours en pleine définition.";
constexpr const char* kRelayFooter
    = "Les fonds IGN, OpenTopoMap, les photos étrangères et le relief passent par le serveur de VASK, qui garde "
      "chaque tuile chargée pour tous les appareils. S'il ne répond pas, la carte se charge en direct.";
constexpr const char* kPositionFooter
    = "Automatique : gpsd sur cet ordinateur (localhost:2947), sinon la position que donne le bureau (GeoClue). "
      "gpsd : un autre démon, hôte:port. NMEA : un récepteur série (/dev/ttyACM0), un flux TCP (hôte:port) ou un "
      "fichier rejoué à son rythme.";
constexpr const char* kCameraInfoFooter
    = "Sous la boussole : point visé, œil, cap, inclinaison, zoom et focale, et la ligne -startAt qui rouvre "
      "exactement cette vue.";

QString text(std::string_view value)
{
    return QString::fromUtf8(value.data(), qsizetype(value.size()));
}

QVBoxLayout* sectionLayout(QVBoxLayout& sheet, const QString& title)
{
    QGroupBox* section = makeSheetSection(title);
    sheet.addWidget(section);
    return new QVBoxLayout(section);
}

// A switch stored under `key` in the preferences, shown from what is stored (or `absent`),
// written the moment the user moves it and never before.
QCheckBox* storedSwitch(const QString& label, std::shared_ptr<platform::UserDefaults> defaults, std::string_view key,
    bool absent)
{
    auto* box = new QCheckBox(label);
    box->setChecked(defaults->boolean(key).value_or(absent));
    QObject::connect(box, &QCheckBox::clicked, box,
        [defaults, key = std::string(key)](bool on) { defaults->setBoolean(key, on); });
    return box;
}

// Sizes the sheet to its sections, within the window it opens over: only a smaller window
// scrolls them.
void fitToContent(QDialog& sheet, const QWidget& form)
{
    const QLayout& outer = *sheet.layout();
    const QMargins margins = outer.contentsMargins();
    const int bar = outer.itemAt(0)->sizeHint().height() + outer.spacing();
    QSize wanted(form.sizeHint().width() + sheet.style()->pixelMetric(QStyle::PM_ScrollBarExtent) + margins.left()
            + margins.right(),
        bar + form.sizeHint().height() + margins.top() + margins.bottom());
    if (const QWidget* over = sheet.parentWidget())
        wanted = wanted.boundedTo(over->window()->size());
    sheet.resize(wanted);
}

} // namespace

SettingsView::SettingsView(
    AppModel& model, std::function<void(bool requestAccess)> reloadLibraryPhotos, QWidget* parent)
    : QDialog(parent)
    , model_(model)
{
    setWindowTitle(QStringLiteral("Réglages"));
    auto* outer = new QVBoxLayout(this);
    addSheetCloseBar(*this, *outer, windowTitle());
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* form = new QWidget;
    auto* layout = new QVBoxLayout(form);
    scroll->setWidget(form);
    outer->addWidget(scroll);
    const auto& defaults = model_.defaults();

    QVBoxLayout* basemaps = sectionLayout(*layout, QStringLiteral("Fond de carte"));
    for (Basemap basemap : Basemap::selectable) {
        auto* row = new QPushButton(
            Symbols::icon(basemap.symbolName(), kSymbolPixelSize, palette().color(QPalette::ButtonText)),
            text(basemap.title()));
        row->setObjectName(QStringLiteral("basemap-") + text(basemap.rawValue()));
        row->setFlat(true);
        row->setStyleSheet(QStringLiteral("text-align: left"));
        // The world maps are greyed wherever they are offered until they can be drawn.
        row->setEnabled(!basemap.isApple() || AppModel::worldMapsAvailable());
        connect(row, &QPushButton::clicked, this, [this, basemap] { model_.selectBasemap(basemap); });
        auto* check = new QLabel(Symbols::glyph("checkmark"));
        check->setFont(Symbols::font(kSymbolPixelSize, QFont::Normal));
        auto* line = new QHBoxLayout;
        line->addWidget(row, 1);
        line->addWidget(check);
        basemaps->addLayout(line);
        basemapRows_[basemap.index()] = row;
        checkMarks_[basemap.index()] = check;
    }
    basemapFooter_ = makeSheetFooter({});
    basemaps->addWidget(basemapFooter_);

    QVBoxLayout* overlays = sectionLayout(*layout, QStringLiteral("Surcouches"));
    slopes_ = new QCheckBox(QStringLiteral("Carte des pentes"));
    // The switch always inverts the model's flag and then shows the model's value.
    connect(slopes_, &QCheckBox::clicked, this, [this] { model_.toggleSlopes(); });
    overlays->addWidget(slopes_);
    commerce_ = new QCheckBox(QStringLiteral("Commerces et restaurants"));
    connect(commerce_, &QCheckBox::clicked, this, [this] { model_.toggleAppleCommerce(); });
    overlays->addWidget(commerce_);
    overlaysFooter_ = makeSheetFooter({});
    overlays->addWidget(overlaysFooter_);

    QVBoxLayout* photos = sectionLayout(*layout, {});
    libraryPhotos_ = new QCheckBox(QStringLiteral("Mes photos sur la carte"));
    libraryPhotos_->setChecked(defaults->boolean(AppModel::kLibraryPhotosKey).value_or(true));
    connect(libraryPhotos_, &QCheckBox::clicked, this,
        [defaults, reload = std::move(reloadLibraryPhotos)](bool on) {
            defaults->setBoolean(AppModel::kLibraryPhotosKey, on);
            if (reload)
                reload(on);
        });
    photos->addWidget(libraryPhotos_);
    photos->addWidget(makeSheetFooter(QString::fromUtf8(kLibraryPhotosFooter)));

    QVBoxLayout* videos = sectionLayout(*layout, QStringLiteral("Vues et vidéos"));
    videoHD_ = storedSwitch(QStringLiteral("Vidéos en HD (1080p)"), defaults, AppModel::kVideoHDKey, false);
    videos->addWidget(videoHD_);
    videos->addWidget(makeSheetFooter(QString::fromUtf8(kVideoFooter)));

    QVBoxLayout* network = sectionLayout(*layout, QStringLiteral("Réseau"));
    tileRelay_ = storedSwitch(QStringLiteral("Relais de tuiles"), defaults, TileRelay::kSwitchKey, true);
    // Without a relay the switch is off, whatever was stored for a relay to come.
    tileRelay_->setEnabled(model_.hosts().hasRelay());
    if (!model_.hosts().hasRelay())
        tileRelay_->setChecked(false);
    network->addWidget(tileRelay_);
    networkFooter_ = makeSheetFooter(
        QString::fromUtf8(kRelayFooter) + (model_.hosts().hasRelay() ? QString() : QString::fromUtf8(kNoRelaySentence)));
    network->addWidget(networkFooter_);

    QVBoxLayout* position = sectionLayout(*layout, QStringLiteral("Position"));
    positionKind_ = new QComboBox;
    positionKind_->setObjectName("positionKind");
    positionKind_->addItems({ QStringLiteral("Automatique"), QStringLiteral("gpsd"), QStringLiteral("Récepteur ou fichier NMEA") });
    positionKind_->setAccessibleName(QStringLiteral("Position"));
    position->addWidget(positionKind_);
    positionPath_ = new QLineEdit;
    positionPath_->setObjectName("positionPath");
    position->addWidget(positionPath_);
    connect(positionKind_, &QComboBox::activated, this, [this] {
        positionPath_->clear();
        applyPosition();
    });
    connect(positionPath_, &QLineEdit::editingFinished, this, [this] { applyPosition(); });
    position->addWidget(makeSheetFooter(QString::fromUtf8(kPositionFooter)));

    QVBoxLayout* readout = sectionLayout(*layout, QStringLiteral("Mise au point"));
    cameraInfo_ = storedSwitch(QStringLiteral("Coordonnées de la vue"), defaults, GestureJournal::kEnabledKey, false);
    readout->addWidget(cameraInfo_);
    readout->addWidget(makeSheetFooter(QString::fromUtf8(kCameraInfoFooter)));
    layout->addStretch();

    connect(&model_, &AppModel::changed, this, [this] { refresh(); });
    refresh();
    fitToContent(*this, *form);
}

QPushButton* SettingsView::basemapRow(Basemap basemap) const
{
    const auto found = basemapRows_.find(basemap.index());
    return found == basemapRows_.end() ? nullptr : found->second;
}

bool SettingsView::isMarked(Basemap basemap) const
{
    const auto found = checkMarks_.find(basemap.index());
    return found != checkMarks_.end() && found->second->isVisibleTo(this);
}

std::optional<platform::PositionSourceChoice> SettingsView::positionChoice(int kind, const QString& path)
{
    const std::string where = path.trimmed().toStdString();
    switch (kind) {
    case 0:
        return platform::PositionSourceChoice {};
    case 1:
        return platform::PositionSourceChoice::parse(where.empty() ? "gpsd" : "gpsd:" + where);
    case 2:
        return platform::PositionSourceChoice::parse("nmea:" + where);
    }
    return std::nullopt;
}

void SettingsView::applyPosition()
{
    // An NMEA choice without its path, or a gpsd address that is none, waits to be completed.
    if (auto choice = positionChoice(positionKind_->currentIndex(), positionPath_->text()))
        model_.selectPositionSource(*choice);
    refresh();
}

void SettingsView::refresh()
{
    const Basemap current = model_.basemap();
    for (auto& [index, check] : checkMarks_)
        check->setVisible(index == current.index());
    const auto credit = current.attribution();
    basemapFooter_->setVisible(credit.has_value());
    basemapFooter_->setText(credit ? text(*credit) : QString());

    slopes_->setChecked(model_.showsSlopes());
    commerce_->setVisible(current.isApple());
    commerce_->setChecked(model_.showsAppleCommerce());
    overlaysFooter_->setText(
        QString::fromUtf8(kOverlaysFooter) + (current.isApple() ? QString::fromUtf8(kWorldMapsSentence) : QString()));

    // A choice the walker has not completed yet (NMEA without its path) stays as it is.
    if (positionChoice(positionKind_->currentIndex(), positionPath_->text())) {
        using Kind = platform::PositionSourceChoice::Kind;
        const auto& source = model_.positionSource();
        positionKind_->setCurrentIndex(source.kind == Kind::gpsd ? 1 : source.kind == Kind::nmea ? 2 : 0);
        const bool defaultGpsd = source.host == platform::PositionSourceChoice::kDefaultGpsdHost
            && source.port == platform::PositionSourceChoice::kDefaultGpsdPort;
        if (source.kind == Kind::nmea)
            positionPath_->setText(QString::fromStdString(source.path));
        else if (source.kind == Kind::gpsd && !defaultGpsd)
            positionPath_->setText(QString::fromStdString(source.host + ":" + std::to_string(source.port)));
        else
            positionPath_->clear();
    }
    const int kind = positionKind_->currentIndex();
    positionPath_->setVisible(kind != 0);
    positionPath_->setPlaceholderText(kind == 1 ? QStringLiteral("localhost:2947")
                                                : QStringLiteral("/dev/ttyACM0, hôte:port ou fichier .nmea"));
}

} // namespace velorin
