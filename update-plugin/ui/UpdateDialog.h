#pragma once

#include "update-plugin/UpdatePresenter.h"

#include <QDialog>

#include <cstdint>
#include <functional>

class QDialogButtonBox;
class QLabel;
class QProgressBar;

namespace korrelvane {

// The plug-in's one window: the running check, then its outcome, with the notes of a new
// version and the way to its download page. Made on the first check, kept for the next
// ones. GUI thread only.
class UpdateDialog final : public QDialog, public UpdatePresenter {
public:
    // Opens a web page in the user's browser; tests record it instead.
    using OpenPage = std::function<void(const std::string& url)>;

    explicit UpdateDialog(OpenPage openPage = {});

    void showChecking() override;
    void raise() override;
    void show(const UpdateOutcome& outcome) override;
    void showDownloading(std::int64_t received, std::int64_t expected) override;

    QString message() const;
    QString notes() const;

private:
    void present();

    OpenPage openPage_;
    QLabel* message_;
    QLabel* notes_;
    QProgressBar* busy_;
    QDialogButtonBox* buttons_;
};

} // namespace korrelvane
