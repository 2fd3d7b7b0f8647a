#include "library/CapturePrompts.h"

#include "app/AppModel.h"
#include "library/CaptureTexts.h"
#include "platform/AtomicWrite.h"
#include "platform/Log.h"

#include <QFileDialog>
#include <QMessageBox>

namespace velorin {

namespace {

bool isFilm(const std::filesystem::path& file)
{
    return file.extension() == ".mp4";
}

QString text(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

} // namespace

CapturePrompts::CapturePrompts(AppModel& model, QWidget& sheet)
    : QObject(&sheet)
    , model_(model)
    , sheet_(sheet)
{
}

QMessageBox* CapturePrompts::alert() const
{
    return alert_;
}

QFileDialog* CapturePrompts::exporter() const
{
    return exporter_;
}

void CapturePrompts::showMessage(const QString& message)
{
    if (alert_) {
        alert_->setText(message);
        return;
    }
    auto* alert = new QMessageBox(QMessageBox::Information, sheet_.windowTitle(), message, QMessageBox::NoButton, &sheet_);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->addButton(QStringLiteral("OK"), QMessageBox::RejectRole);
    // Closed, it takes no more messages, even before it is deleted.
    connect(alert, &QDialog::finished, this, [this] { alert_ = nullptr; });
    alert_ = alert;
    alert->open();
}

void CapturePrompts::offerExport(const CaptureFile& file)
{
    if (exporter_)
        return;
    exporting_ = file;
    const bool film = isFilm(file.url);
    const auto& folders = model_.folders();
    auto* dialog = new QFileDialog(&sheet_, QStringLiteral("Enregistrer dans un fichier"),
        QString::fromStdString((film ? folders.videos : folders.pictures).string()),
        film ? QStringLiteral("Vidéo MPEG-4 (*.mp4)") : QStringLiteral("Image JPEG (*.jpg *.jpeg)"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setDefaultSuffix(film ? QStringLiteral("mp4") : QStringLiteral("jpg"));
    dialog->selectFile(QString::fromStdString(file.url.filename().string()));
    connect(dialog, &QFileDialog::fileSelected, this, &CapturePrompts::exportTo);
    connect(dialog, &QDialog::finished, this, [this] {
        exporting_.reset();
        exporter_ = nullptr;
    });
    exporter_ = dialog;
    dialog->open();
}

void CapturePrompts::exportTo(const QString& destination)
{
    if (!exporting_ || destination.isEmpty())
        return;
    model_.photoWorker()->post([file = *exporting_, destination = std::filesystem::path(destination.toStdString()),
                                   mainQueue = model_.mainQueue(), prompts = QPointer<CapturePrompts>(this)]() mutable {
        bool written = true;
        try {
            platform::atomicWrite(destination, file.contents());
        } catch (const std::exception& error) {
            written = false;
            platform::Log::info(platform::logcat::tracks, "exportation de {} : {}", file.url.string(), error.what());
        }
        if (written)
            return;
        mainQueue->post([prompts = std::move(prompts)] {
            if (prompts)
                prompts->showMessage(text(CaptureTexts::kNotSaved));
            else
                platform::Log::info(platform::logcat::tracks, "bibliothèque fermée : « {} » non affiché",
                    CaptureTexts::kNotSaved);
        });
    });
}

} // namespace velorin
