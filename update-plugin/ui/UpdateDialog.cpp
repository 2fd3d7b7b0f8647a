#include "update-plugin/ui/UpdateDialog.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace korrelvane {

UpdateDialog::UpdateDialog(OpenPage openPage)
    : openPage_(std::move(openPage))
    , message_(new QLabel(this))
    , notes_(new QLabel(this))
    , busy_(new QProgressBar(this))
    , buttons_(new QDialogButtonBox(this))
{
    if (!openPage_)
        openPage_ = [](const std::string& url) { QDesktopServices::openUrl(QUrl(QString::fromStdString(url))); };
    setObjectName("korrelvaneUpdateDialog");
    message_->setObjectName("message");
    notes_->setObjectName("notes");
    setWindowTitle(QStringLiteral("Mises à jour de Velorin"));
    message_->setWordWrap(true);
    notes_->setWordWrap(true);
    // Notes come from the network: shown as text, never as markup.
    notes_->setTextFormat(Qt::PlainText);
    message_->setTextFormat(Qt::PlainText);
    busy_->setRange(0, 0);
    busy_->setTextVisible(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(message_);
    layout->addWidget(notes_);
    layout->addWidget(busy_);
    layout->addWidget(buttons_);
    setMinimumWidth(420);
}

QString UpdateDialog::message() const
{
    return message_->text();
}

QString UpdateDialog::notes() const
{
    return notes_->isHidden() ? QString() : notes_->text();
}

void UpdateDialog::showChecking()
{
    message_->setText(QStringLiteral("Recherche des mises à jour…"));
    notes_->hide();
    busy_->setRange(0, 0);
    busy_->show();
    buttons_->clear();
    connect(buttons_->addButton(QStringLiteral("Fermer"), QDialogButtonBox::RejectRole), &QPushButton::clicked, this,
        &QDialog::reject);
    present();
}

void UpdateDialog::raise()
{
    present();
}

void UpdateDialog::show(const UpdateOutcome& outcome)
{
    message_->setText(QString::fromStdString(outcome.message()));
    busy_->hide();
    buttons_->clear();
    if (outcome.kind == UpdateOutcome::Kind::available && outcome.item) {
        notes_->setText(QString::fromStdString(outcome.item->notes));
        notes_->setVisible(!outcome.item->notes.empty());
        auto* open = buttons_->addButton(QStringLiteral("Ouvrir la page de téléchargement"), QDialogButtonBox::AcceptRole);
        connect(open, &QPushButton::clicked, this, [this, page = outcome.item->page] {
            openPage_(page);
            accept();
        });
        if (outcome.downloadable) {
            auto* fetch = buttons_->addButton(QStringLiteral("Télécharger"), QDialogButtonBox::ActionRole);
            connect(fetch, &QPushButton::clicked, this, [this, item = *outcome.item] {
                if (download)
                    download(item);
            });
        }
        connect(buttons_->addButton(QStringLiteral("Plus tard"), QDialogButtonBox::RejectRole), &QPushButton::clicked,
            this, &QDialog::reject);
        open->setDefault(true);
    } else {
        notes_->hide();
        connect(buttons_->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole), &QPushButton::clicked, this,
            &QDialog::accept);
    }
    present();
}

void UpdateDialog::showDownloading(std::int64_t received, std::int64_t expected)
{
    // Whole kibibytes keep the figures within the bar's range.
    busy_->setRange(0, expected > 0 ? int(expected / 1024) + 1 : 0);
    busy_->setValue(int(received / 1024));
    if (received > 0)
        return;
    message_->setText(QStringLiteral("Téléchargement de la nouvelle version…"));
    notes_->hide();
    busy_->show();
    buttons_->clear();
    connect(buttons_->addButton(QStringLiteral("Fermer"), QDialogButtonBox::RejectRole), &QPushButton::clicked, this,
        &QDialog::reject);
    present();
}

void UpdateDialog::present()
{
    QDialog::show();
    QDialog::raise();
    activateWindow();
}

} // namespace korrelvane
