#pragma once

#include "map-data/Basemap.h"
#include "platform/PositionSourceChoice.h"

#include <QDialog>

#include <functional>
#include <map>
#include <optional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QLabel;
class QPushButton;

namespace velorin {

class AppModel;

// The settings sheet "Réglages": the basemap, the overlays, the library photos on the map,
// the film quality, the tile relay, where the position comes from and the camera readout. Every change takes effect at once
// and is written where its readers look: the model for the map options, the preferences for
// the rest. GUI thread only; the model outlives it.
class SettingsView : public QDialog {
public:
    static constexpr int kSymbolPixelSize = 18;
    // After the overlays' footer on the world maps.
    static constexpr const char* kWorldMapsSentence
        = " Sur les cartes du monde, seuls les sommets, cols, crêtes, refuges et points de vue s'ajoutent : "
          "OpenStreetMap nomme déjà les villes et villages.";
    static constexpr const char* kNoRelaySentence
        = " Aucun relais de tuiles n'est configuré sur cet ordinateur : la carte se charge en direct.";

    // `reloadLibraryPhotos` is called, with the switch's new value, once "Mes photos sur la
    // carte" has written it.
    SettingsView(AppModel& model, std::function<void(bool requestAccess)> reloadLibraryPhotos, QWidget* parent = nullptr);

    // The row that chooses `basemap`; none for a basemap the sheet does not offer.
    QPushButton* basemapRow(Basemap basemap) const;
    // Whether the row of `basemap` carries the check mark of the current basemap.
    bool isMarked(Basemap basemap) const;
    QLabel& basemapFooter() const { return *basemapFooter_; }
    QCheckBox& slopes() const { return *slopes_; }
    QCheckBox& commerce() const { return *commerce_; }
    QLabel& overlaysFooter() const { return *overlaysFooter_; }
    QCheckBox& libraryPhotos() const { return *libraryPhotos_; }
    QCheckBox& videoHD() const { return *videoHD_; }
    QCheckBox& tileRelay() const { return *tileRelay_; }
    QLabel& networkFooter() const { return *networkFooter_; }
    QCheckBox& cameraInfo() const { return *cameraInfo_; }
    QComboBox& positionKind() const { return *positionKind_; }
    QLineEdit& positionPath() const { return *positionPath_; }

    // The source the "Position" choice names: 0 automatic, 1 gpsd (an optional "host:port"),
    // 2 NMEA (its path); none while it names nothing usable.
    static std::optional<platform::PositionSourceChoice> positionChoice(int kind, const QString& path);

private:
    void refresh();
    void applyPosition();

    AppModel& model_;
    std::map<int, QPushButton*> basemapRows_;
    std::map<int, QLabel*> checkMarks_;
    QLabel* basemapFooter_;
    QCheckBox* slopes_;
    QCheckBox* commerce_;
    QLabel* overlaysFooter_;
    QCheckBox* libraryPhotos_;
    QCheckBox* videoHD_;
    QCheckBox* tileRelay_;
    QLabel* networkFooter_;
    QCheckBox* cameraInfo_;
    QComboBox* positionKind_;
    QLineEdit* positionPath_;
};

} // namespace velorin
