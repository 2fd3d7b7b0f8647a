#pragma once

#include "library/TrackDetailValues.h"
#include "recordings/Track.h"
#include "recordings/TrackEdit.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QAbstractButton;
class QDialog;
class QLabel;
class QLineEdit;
class QMessageBox;
class QScrollArea;
class QVBoxLayout;

namespace velorin {

class AppModel;
class TrackMapPreview;

// One saved track on the library sheet: its name and start, its figures, its altitude
// profile, the two edits, export and deletion. It changes no stored track itself: renames,
// edits and deletion go back through the callbacks, and it keeps its own copy of the track
// up to date. The figures are worked out once each time the track changes, and the GPX file
// it exports is written then and after a rename. GUI thread only; the model outlives it.
class TrackDetailView : public QWidget {
public:
    struct Callbacks {
        std::function<void(const Track&)> onShowOnMap;
        std::function<void(const Track&)> onDelete;
        std::function<void(const Track&, const std::string& name)> onRename;
        // The edited track, or nothing when the edit was not applied.
        std::function<std::optional<Track>(TrackEdit)> onEdit;
        std::function<void(const Track&)> onFlyover;
        // Closes the screen: after showing the track on the map, its flyover and its deletion,
        // and by the back button.
        std::function<void()> dismiss;
    };

    struct Cell {
        QString value;
        QString label;
        bool operator==(const Cell&) const = default;
    };

    static constexpr int kActionSpacingPoints = 28;

    TrackDetailView(Track track, AppModel& model, Callbacks callbacks, QWidget* parent = nullptr);

    const Track& track() const { return track_; }
    const TrackDetailValues& values() const { return values_; }
    // The figures' cells in reading order: distance, duration, ascent and descent, then the
    // moving time and the average speed.
    std::vector<Cell> cells() const;
    // The file "Exporter en GPX" offers; none when it could not be written.
    const std::optional<std::filesystem::path>& exportFile() const { return exportFile_; }

    // What the buttons do.
    void showOnMap();
    void flyOver();
    void beginRename();
    void confirmEdit(TrackEdit edit);
    void confirmDeletion();
    // Asks where to copy the GPX file, then copies it there.
    void chooseExportDestination();
    // Copies the GPX file to `destination`, replacing a file there; false, and the user is
    // told, when it could not be copied.
    bool exportTo(const std::filesystem::path& destination);

    // The dialog open now, if any; at most one at a time.
    QDialog* renameDialog() const { return renameDialog_; }
    QLineEdit* renameField() const;
    QMessageBox* editConfirmation() const { return editConfirmation_; }
    QMessageBox* deleteConfirmation() const { return deleteConfirmation_; }
    QMessageBox* exportAlert() const { return exportAlert_; }

private:
    // Builds every section from the track and its figures, replacing those shown. The map
    // preview stays and is handed the track, showing its picture until the new one is drawn.
    void buildSections();
    void writeExportFile();
    bool isRecording() const;
    void updateRecording();
    bool hasOpenDialog() const;
    QWidget* makeSummary();
    QWidget* makeProfile();
    QWidget* makeEdits();
    QWidget* makeDeletion();

    AppModel& model_;
    Track track_;
    const Callbacks callbacks_;
    TrackDetailValues values_;
    std::optional<std::filesystem::path> exportFile_;
    QScrollArea* scroll_;
    QLabel* name_ = nullptr;
    QAbstractButton* rename_ = nullptr;
    QAbstractButton* export_ = nullptr;
    // Only for a track of two points or more.
    TrackMapPreview* preview_ = nullptr;
    std::vector<QAbstractButton*> edits_;
    QPointer<QDialog> renameDialog_;
    QPointer<QMessageBox> editConfirmation_;
    QPointer<QMessageBox> deleteConfirmation_;
    QPointer<QMessageBox> exportAlert_;
};

} // namespace velorin
