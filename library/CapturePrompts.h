#pragma once

#include "recordings/CaptureFile.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

class QFileDialog;
class QMessageBox;
class QWidget;

namespace velorin {

class AppModel;

// What the library sheet shows at the end of a capture's save: the capture alert, one
// message with "OK", and the file exporter, which copies a view's picture or a video's
// film where the user chooses. The copy runs on the model's photo worker; it finishes
// even when the sheet goes first, and its failure is then only logged. GUI thread only.
class CapturePrompts : public QObject {
public:
    CapturePrompts(AppModel& model, QWidget& sheet);

    // Opens the alert with `message`, or puts it in the alert already open.
    void showMessage(const QString& message);
    QMessageBox* alert() const;

    // Offers `file` for saving, under its own file name, as a film or a JPEG picture;
    // nothing while another one is offered.
    void offerExport(const CaptureFile& file);
    QFileDialog* exporter() const;
    // The file offered while the exporter is open.
    const std::optional<CaptureFile>& exporting() const { return exporting_; }

private:
    // Copies the offered file to `destination`, replacing what the user chose to replace.
    void exportTo(const QString& destination);

    AppModel& model_;
    QWidget& sheet_;
    QPointer<QMessageBox> alert_;
    QPointer<QFileDialog> exporter_;
    std::optional<CaptureFile> exporting_;
};

} // namespace velorin
