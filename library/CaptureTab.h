#pragma once

#include "platform/OperationQueue.h"

#include <QImage>
#include <QWidget>

#include <functional>
#include <map>
#include <string>
#include <vector>

class QLabel;
class QListWidget;

namespace velorin {

class AppModel;
class CapturePrompts;
class CaptureRow;

// The list of one of the library's capture tabs: the saved views, or the saved videos
// with the film notice under them, newest first as the capture store keeps them. A tap on
// a row opens the view, or replays the video, on the map and closes the sheet; "Supprimer"
// (context menu, Delete) removes the selected rows; the save buttons copy the view's
// picture, or the video's film (computed on first request, its ring in place of that row's
// buttons meanwhile), into Pictures or Videos or to a chosen file. Completions arriving once
// their row or this tab is gone are dropped; a copy under way still ends, its message only
// logged. GUI thread only; thumbnails decode on a worker of its own.
class CaptureTab : public QWidget {
public:
    enum class Kind { views, videos };

    // `dismiss` closes the sheet; `prompts` shows the messages and the file exporter.
    CaptureTab(Kind kind, AppModel& model, CapturePrompts& prompts, std::function<void()> dismiss,
        QWidget* parent = nullptr);
    ~CaptureTab() override;

    Kind kind() const { return kind_; }
    // No capture of this kind: the sheet shows its empty state instead.
    bool isEmpty() const;
    QListWidget& list() const { return *list_; }
    // The film notice of the videos; null for the views.
    QLabel* notice() const { return notice_; }
    // The ids of the rows, in list order, and the row widgets.
    std::vector<std::string> rowIds() const;
    CaptureRow& row(int index) const;

    void open(int index);
    void saveToPhotos(int index);
    void saveToFile(int index);
    void deleteSelected();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refresh();
    void rebuildList();
    void showProgress();
    void showMenu(const QPoint& position);
    std::string rowId(int index) const;
    // The actions of the row showing `id`; nothing once the capture is gone.
    void openCapture(const std::string& id);
    void savePhotoOf(const std::string& id);
    void saveFileOf(const std::string& id);

    const Kind kind_;
    AppModel& model_;
    CapturePrompts& prompts_;
    std::function<void()> dismiss_;
    QListWidget* list_;
    QLabel* notice_ = nullptr;
    // The ids the list was built from.
    std::vector<std::string> shown_;
    // Decoded once per tab, so a rebuilt list shows its pictures at once.
    std::map<std::string, QImage> thumbnails_;
    // Last, so that decodes still running end before anything they report to goes.
    platform::OperationQueue decoder_;
};

} // namespace velorin
