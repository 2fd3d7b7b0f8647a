#pragma once

#include "map-data/RegionDownloader.h"

#include <QWidget>

#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

namespace velorin {

// The banner of the map screen that shows the running offline download and stops it; it
// is hidden, taking no space, while no download runs. GUI thread only.
class DownloadBanner : public QWidget {
public:
    static constexpr int kBarWidthPixels = 110;
    static constexpr int kSpacingPixels = 10;

    explicit DownloadBanner(std::shared_ptr<RegionDownloader> downloader, QWidget* parent = nullptr);
    ~DownloadBanner() override;

    // The stop button's action: asks the downloader to cancel its job.
    void stop();

private:
    void refresh();

    const std::shared_ptr<RegionDownloader> downloader_;
    int observer_ = 0;
    QProgressBar* bar_ = nullptr;
    QLabel* title_ = nullptr;
    QPushButton* stop_ = nullptr;
};

} // namespace velorin
