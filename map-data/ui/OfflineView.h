#pragma once

#include "map-data/RegionDownloader.h"
#include "map-data/Sheet.h"

#include <QDialog>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace velorin {

// The offline maps sheet: the sheets of the current view and their weight, downloading
// them as a named zone, the France base map, the downloaded zones, the storage used and
// emptying the navigation cache. It says why the last download did not complete, and that
// nothing can be downloaded without the media host. The work is the region downloader's.
// GUI thread only.
class OfflineView : public QDialog {
public:
    // The sheets of the map's visible rectangle.
    using VisibleSheets = std::function<std::vector<Sheet>()>;

    // A sheet counts this much in size estimates.
    static constexpr std::uintmax_t kEstimatedSheetBytes = 3'500'000;
    static constexpr double kSymbolPixelSize = 16;
    static constexpr std::string_view kNoMediaHostMessage
        = "Les cartes hors ligne viennent du serveur de médias, qui n'est pas configuré : leur téléchargement "
          "est désactivé.";

    OfflineView(std::shared_ptr<RegionDownloader> downloader, VisibleSheets visibleSheets, QWidget* parent = nullptr);
    ~OfflineView() override;

    // "Zone", the sheet's name, or "<first> et <k − 1> autres".
    static std::string defaultZoneName(const std::vector<Sheet>& sheets);
    static std::string sizeEstimate(std::size_t sheetCount);
    // The zone row's second line: "<n> carte(s) · <abbreviated date>".
    static std::string zoneDetail(const RegionDownloader::Zone& zone);

    // Reads the visible sheets and the downloader's state again.
    void refresh();

private:
    void askZoneName();
    void confirmZoneName();
    void downloadBasemap();
    void clearCache();
    void deleteSelectedZones();
    // Updates the zone rows in place, so that a selection survives the downloader's
    // progress reports.
    void showZones();

    const std::shared_ptr<RegionDownloader> downloader_;
    const VisibleSheets visibleSheets_;
    int observer_ = 0;
    std::vector<Sheet> pendingSheets_;
    std::vector<RegionDownloader::Zone> shownZones_;

    QWidget* noticeRow_ = nullptr;
    QLabel* notice_ = nullptr;
    QLabel* noMediaHost_ = nullptr;
    QLabel* sheetCount_ = nullptr;
    QLabel* sizeEstimate_ = nullptr;
    QPushButton* downloadZone_ = nullptr;
    QPushButton* downloadBasemap_ = nullptr;
    QGroupBox* zonesSection_ = nullptr;
    QListWidget* zoneList_ = nullptr;
    QLabel* offlineSize_ = nullptr;
    QLabel* cacheSize_ = nullptr;
    QPushButton* clearCache_ = nullptr;
    QDialog* naming_ = nullptr;
    QLabel* namingMessage_ = nullptr;
    QLineEdit* zoneName_ = nullptr;
};

} // namespace velorin
