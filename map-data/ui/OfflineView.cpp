#include "map-data/ui/OfflineView.h"

#include "map-data/ui/ByteCountText.h"
#include "platform/FrenchDate.h"
#include "widgets/SheetParts.h"
#include "widgets/Symbols.h"

#include <QAction>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSet>
#include <QToolButton>
#include <QVBoxLayout>

#include <chrono>

namespace velorin {

namespace {

// 2001-01-01 00:00:00 UTC, the origin of zone dates, in Unix seconds.
constexpr std::int64_t kReferenceDateUnixSeconds = 978307200;

platform::SystemTime zoneDate(double secondsSince2001)
{
    return platform::SystemTime(std::chrono::seconds(kReferenceDateUnixSeconds + std::int64_t(secondsSince2001)));
}

QString text(const std::string& value)
{
    return QString::fromStdString(value);
}

QLabel* footer(const char* value)
{
    return makeSheetFooter(QString::fromUtf8(value));
}

QLabel* symbolLabel(std::string_view name)
{
    auto label = new QLabel(Symbols::glyph(name));
    label->setFont(Symbols::font(OfflineView::kSymbolPixelSize, QFont::Normal));
    label->setAlignment(Qt::AlignTop);
    return label;
}

} // namespace

std::string OfflineView::defaultZoneName(const std::vector<Sheet>& sheets)
{
    if (sheets.empty())
        return "Zone";
    if (sheets.size() == 1)
        return sheets.front().name;
    return sheets.front().name + " et " + std::to_string(sheets.size() - 1) + " autres";
}

std::string OfflineView::sizeEstimate(std::size_t sheetCount)
{
    return byteCountText(std::uintmax_t(sheetCount) * kEstimatedSheetBytes);
}

std::string OfflineView::zoneDetail(const RegionDownloader::Zone& zone)
{
    return std::to_string(zone.sheetNames.size()) + " carte(s) · " + platform::frenchDate(zoneDate(zone.createdAt));
}

OfflineView::OfflineView(std::shared_ptr<RegionDownloader> downloader, VisibleSheets visibleSheets, QWidget* parent)
    : QDialog(parent)
    , downloader_(std::move(downloader))
    , visibleSheets_(std::move(visibleSheets))
{
    setWindowTitle("Hors ligne");
    auto layout = new QVBoxLayout(this);

    addSheetCloseBar(*this, *layout);

    noticeRow_ = new QWidget;
    noticeRow_->setObjectName("noticeRow");
    auto noticeLayout = new QHBoxLayout(noticeRow_);
    noticeLayout->setContentsMargins(0, 0, 0, 0);
    noticeLayout->addWidget(symbolLabel("exclamationmark.circle"));
    notice_ = new QLabel;
    notice_->setObjectName("notice");
    notice_->setWordWrap(true);
    noticeLayout->addWidget(notice_, 1);
    auto dismiss = new QToolButton;
    dismiss->setObjectName("dismissNotice");
    dismiss->setIcon(Symbols::icon("xmark", kSymbolPixelSize, palette().color(QPalette::ButtonText)));
    dismiss->setToolTip("Fermer");
    dismiss->setAccessibleName("Fermer");
    dismiss->setAutoRaise(true);
    connect(dismiss, &QToolButton::clicked, this, [this] { downloader_->dismissNotice(); });
    noticeLayout->addWidget(dismiss, 0, Qt::AlignTop);
    layout->addWidget(noticeRow_);

    if (!downloader_->hasMediaHost()) {
        auto row = new QHBoxLayout;
        row->addWidget(symbolLabel("info.circle"));
        noMediaHost_ = new QLabel(QString::fromUtf8(kNoMediaHostMessage.data(), qsizetype(kNoMediaHostMessage.size())));
        noMediaHost_->setObjectName("noMediaHost");
        noMediaHost_->setWordWrap(true);
        row->addWidget(noMediaHost_, 1);
        layout->addLayout(row);
    }

    auto current = new QGroupBox("Vue actuelle");
    auto currentLayout = new QFormLayout(current);
    sheetCount_ = new QLabel;
    sheetCount_->setObjectName("sheetCount");
    sizeEstimate_ = new QLabel;
    sizeEstimate_->setObjectName("sizeEstimate");
    currentLayout->addRow("Cartes dans la vue", sheetCount_);
    currentLayout->addRow("Taille estimée", sizeEstimate_);
    downloadZone_ = new QPushButton(
        Symbols::icon("arrow.down.circle.fill", kSymbolPixelSize, palette().color(QPalette::ButtonText)),
        "Télécharger cette zone");
    downloadZone_->setObjectName("downloadZone");
    connect(downloadZone_, &QPushButton::clicked, this, [this] { askZoneName(); });
    currentLayout->addRow(downloadZone_);
    currentLayout->addRow(footer("Les cartes sont découpées en tuiles à la réception. Cadrez la zone voulue sur la "
                                 "carte avant de lancer le téléchargement — un zoom large couvre beaucoup de cartes."));
    layout->addWidget(current);

    auto basemap = new QGroupBox;
    auto basemapLayout = new QVBoxLayout(basemap);
    downloadBasemap_ = new QPushButton;
    downloadBasemap_->setObjectName("downloadBasemap");
    connect(downloadBasemap_, &QPushButton::clicked, this, [this] { downloadBasemap(); });
    basemapLayout->addWidget(downloadBasemap_);
    basemapLayout->addWidget(footer("Vue d'ensemble de la France jusqu'au niveau 10. Permet de naviguer et de "
                                    "retrouver ses zones sans réseau."));
    layout->addWidget(basemap);

    zonesSection_ = new QGroupBox("Zones téléchargées");
    zonesSection_->setObjectName("zones");
    auto zonesLayout = new QVBoxLayout(zonesSection_);
    zoneList_ = new QListWidget;
    zoneList_->setObjectName("zoneList");
    zoneList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    zoneList_->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto remove = new QAction("Supprimer", zoneList_);
    remove->setObjectName("deleteZone");
    remove->setShortcut(QKeySequence::Delete);
    remove->setShortcutContext(Qt::WidgetShortcut);
    connect(remove, &QAction::triggered, this, [this] { deleteSelectedZones(); });
    zoneList_->addAction(remove);
    zonesLayout->addWidget(zoneList_);
    layout->addWidget(zonesSection_);

    auto storage = new QGroupBox("Stockage");
    auto storageLayout = new QFormLayout(storage);
    offlineSize_ = new QLabel;
    offlineSize_->setObjectName("offlineSize");
    cacheSize_ = new QLabel;
    cacheSize_->setObjectName("cacheSize");
    storageLayout->addRow("Zones hors ligne", offlineSize_);
    storageLayout->addRow("Cache de navigation", cacheSize_);
    clearCache_ = new QPushButton("Vider le cache");
    clearCache_->setObjectName("clearCache");
    connect(clearCache_, &QPushButton::clicked, this, [this] { clearCache(); });
    storageLayout->addRow(clearCache_);
    layout->addWidget(storage);

    naming_ = new QDialog(this);
    naming_->setObjectName("namingDialog");
    naming_->setWindowTitle("Nom de la zone");
    auto namingLayout = new QVBoxLayout(naming_);
    namingMessage_ = new QLabel;
    namingMessage_->setObjectName("namingMessage");
    namingLayout->addWidget(namingMessage_);
    zoneName_ = new QLineEdit;
    zoneName_->setObjectName("zoneName");
    zoneName_->setPlaceholderText("Zone");
    namingLayout->addWidget(zoneName_);
    auto namingButtons = new QHBoxLayout;
    auto confirm = new QPushButton("Télécharger");
    confirm->setObjectName("confirmZone");
    confirm->setDefault(true);
    connect(confirm, &QPushButton::clicked, this, [this] { confirmZoneName(); });
    auto cancel = new QPushButton("Annuler");
    cancel->setObjectName("cancelZone");
    connect(cancel, &QPushButton::clicked, naming_, &QDialog::reject);
    namingButtons->addWidget(confirm);
    namingButtons->addWidget(cancel);
    namingLayout->addLayout(namingButtons);

    observer_ = downloader_->observe([this] { refresh(); });
    refresh();
}

OfflineView::~OfflineView()
{
    downloader_->stopObserving(observer_);
}

void OfflineView::refresh()
{
    auto visible = visibleSheets_ ? visibleSheets_() : std::vector<Sheet> {};
    const bool busy = downloader_->job().has_value();
    const bool canDownload = !busy && downloader_->hasMediaHost();
    noticeRow_->setVisible(downloader_->notice().has_value());
    notice_->setText(text(downloader_->notice().value_or(std::string())));
    sheetCount_->setText(QString::number(qulonglong(visible.size())));
    sizeEstimate_->setText(text(sizeEstimate(visible.size())));
    downloadZone_->setEnabled(!visible.empty() && canDownload);

    const QColor symbolColor = palette().color(QPalette::ButtonText);
    if (downloader_->hasBaseMap()) {
        downloadBasemap_->setText("Fond de carte téléchargé");
        downloadBasemap_->setIcon(Symbols::icon("checkmark.circle.fill", kSymbolPixelSize, symbolColor));
    } else {
        downloadBasemap_->setText("Télécharger le fond France (≈ 29 Mo)");
        downloadBasemap_->setIcon(Symbols::icon("map", kSymbolPixelSize, symbolColor));
    }
    downloadBasemap_->setEnabled(canDownload);
    clearCache_->setEnabled(!busy);

    showZones();

    offlineSize_->setText(text(byteCountText(downloader_->offlineSize())));
    cacheSize_->setText(text(byteCountText(downloader_->cacheSize())));
}

void OfflineView::showZones()
{
    const auto& zones = downloader_->zones();
    zonesSection_->setVisible(!zones.empty());
    if (zones == shownZones_)
        return;
    shownZones_ = zones;
    QSet<QString> selected;
    for (auto item : zoneList_->selectedItems())
        selected.insert(item->data(Qt::UserRole).toString());
    while (zoneList_->count() > int(zones.size()))
        delete zoneList_->takeItem(zoneList_->count() - 1);
    for (std::size_t row = 0; row < zones.size(); ++row) {
        auto item = zoneList_->item(int(row));
        if (!item)
            item = new QListWidgetItem(zoneList_);
        const auto& zone = zones[row];
        item->setText(text(zone.name + "\n" + zoneDetail(zone)));
        item->setData(Qt::UserRole, text(zone.id));
        item->setSelected(selected.contains(text(zone.id)));
    }
}

void OfflineView::askZoneName()
{
    if (downloader_->job())
        return;
    pendingSheets_ = visibleSheets_ ? visibleSheets_() : std::vector<Sheet> {};
    if (pendingSheets_.empty())
        return;
    zoneName_->setText(text(defaultZoneName(pendingSheets_)));
    namingMessage_->setText(text(std::to_string(pendingSheets_.size()) + " carte(s), environ "
        + sizeEstimate(pendingSheets_.size()) + "."));
    naming_->open();
}

void OfflineView::confirmZoneName()
{
    auto name = zoneName_->text().toStdString();
    naming_->accept();
    downloader_->downloadZone(name.empty() ? "Zone" : name, std::move(pendingSheets_));
    pendingSheets_.clear();
}

void OfflineView::downloadBasemap()
{
    downloader_->downloadBasemap();
}

void OfflineView::clearCache()
{
    downloader_->clearCache();
}

void OfflineView::deleteSelectedZones()
{
    std::vector<std::string> ids;
    for (auto item : zoneList_->selectedItems())
        ids.push_back(item->data(Qt::UserRole).toString().toStdString());
    for (const auto& id : ids)
        downloader_->deleteZone(id);
}

} // namespace velorin
