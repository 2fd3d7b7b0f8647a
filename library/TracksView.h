#pragma once

#include "recordings/Track.h"

#include <QDialog>
#include <QPointer>
#include <QString>

#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

class QAbstractButton;
class QLabel;
class QLineEdit;
class QListWidget;
class QMessageBox;
class QPushButton;
class QStackedWidget;

namespace velorin {

class AppModel;
class CapturePrompts;
class CaptureTab;
class TrackDetailView;
struct GPXImportResult;

// The library sheet: the saved tracks, with their figures, rename, deletion and the import
// of GPX files, a track's detail pushed over the list when a row is opened, then the saved
// views and videos, each tab with its empty state. Reads and writes tracks through the
// model's recorder, captures through its capture store; the import runs on the model's
// import worker, which the sheet does not wait for: an import that ends after the sheet has
// gone has the model list its tracks. GUI thread only; the model outlives it.
class TracksView : public QDialog {
public:
    enum class Tab { tracks, views, videos };
    static constexpr std::array<Tab, 3> kTabs { Tab::tracks, Tab::views, Tab::videos };
    static QString label(Tab tab);

    using TrackAction = std::function<void(const Track&)>;

    // `onShow` shows a track on the map, `onFlyover` flies over it; the sheet closes after either.
    TracksView(AppModel& model, TrackAction onShow, TrackAction onFlyover, QWidget* parent = nullptr);

    Tab tab() const { return tab_; }
    void setTab(Tab tab);
    QListWidget& list() const { return *list_; }
    QLabel& footer() const { return *footer_; }
    QPushButton& importButton() const { return *import_; }
    // The empty state of a tab, shown instead of its list while it has nothing.
    QWidget& emptyState(Tab tab = Tab::tracks) const;
    // The list of the views or of the videos, and the alert and exporter of their saves.
    CaptureTab& captureTab(Tab tab) const;
    CapturePrompts& capturePrompts() const { return *capturePrompts_; }
    QAbstractButton& tabButton(Tab tab) const;

    // The ids of the rows, in list order.
    std::vector<std::string> rowIds() const;
    // The texts of a row: its name and its four figures, then "En cours" for the recording.
    std::vector<QString> rowTexts(int row) const;

    // Renaming ("Renommer", F2) asks for the name in a small dialog, open meanwhile.
    void beginRename(int row);
    QDialog* renameDialog() const { return renameDialog_; }
    QLineEdit* renameField() const;
    // Deleting ("Supprimer", Delete) the selected rows: one row goes at once, while several,
    // or the one being recorded, ask first, in the box open meanwhile.
    void deleteSelected();
    QMessageBox* deleteConfirmation() const { return deleteConfirmation_; }

    // Opening a row (double-click, Enter) pushes the track's detail, read afresh from the
    // store; nothing opens when its meta.json cannot be read. Its back button returns to the
    // list.
    void openTrack(const std::string& id);
    // The newest track's detail ("-showLastTrack"), once per showing of the sheet.
    void openNewestTrack();
    TrackDetailView* detail() const { return detail_; }
    void closeDetail();

    // Imports the files on the worker ("Importer" chooses them); the button waits
    // meanwhile, and the alert tells what failed.
    void importFiles(std::vector<std::filesystem::path> files);
    bool isImporting() const { return importing_; }
    QMessageBox* importAlert() const { return importAlert_; }

private:
    void refresh();
    void rebuildList();
    // The current tab's list, or its empty state.
    void showContent();
    void chooseFiles();
    void finishImport(const GPXImportResult& result);
    void deleteTracks(const std::vector<std::string>& ids);
    void showMenu(const QPoint& position);

    AppModel& model_;
    TrackAction onShow_;
    TrackAction onFlyover_;
    Tab tab_ = Tab::tracks;
    // The list's page, and the detail pushed over it.
    QStackedWidget* navigation_;
    QWidget* root_;
    TrackDetailView* detail_ = nullptr;
    bool openedNewestTrack_ = false;
    QLabel* title_;
    std::array<QAbstractButton*, 3> tabButtons_ {};
    QPushButton* import_;
    QStackedWidget* content_;
    QWidget* empty_;
    QWidget* tracksPage_;
    QListWidget* list_;
    QLabel* footer_;
    CapturePrompts* capturePrompts_;
    QWidget* viewsEmpty_;
    QWidget* videosEmpty_;
    CaptureTab* viewsTab_;
    CaptureTab* videosTab_;
    QPointer<QDialog> renameDialog_;
    QPointer<QMessageBox> deleteConfirmation_;
    QPointer<QMessageBox> importAlert_;
    bool importing_ = false;
    // What the list was built from: a new list, new figures or a recording rebuild it.
    std::string shown_;
};

} // namespace velorin
