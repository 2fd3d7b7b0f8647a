#pragma once

#include "map-data/RegionDownloader.h"

#include <QWidget>

#include <memory>

class QProgressBar;
class QPushButton;

namespace velorin {

class ElidedLabel;

// The banner of the map screen that shows the running offline download and stops it: a
// capsule in the dark translucent look of the map controls, its title on one line, elided
// when the screen is too narrow for it. Hidden, taking no space, while no download runs.
// GUI thread only.
class DownloadBanner : public QWidget {
public:
    static constexpr int kBarWidthPoints = 110;
    static constexpr int kBarHeightPoints = 4;
    static constexpr int kSpacingPoints = 10;
    static constexpr int kHorizontalPaddingPoints = 14;
    static constexpr int kVerticalPaddingPoints = 9;
    static constexpr int kTopMarginPoints = 6;
    static constexpr double kCaptionPixelSize = 12;

    explicit DownloadBanner(std::shared_ptr<RegionDownloader> downloader, QWidget* parent = nullptr);
    ~DownloadBanner() override;

    // The stop button's action: asks the downloader to cancel its job.
    void stop();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();

    const std::shared_ptr<RegionDownloader> downloader_;
    int observer_ = 0;
    QProgressBar* bar_ = nullptr;
    ElidedLabel* title_ = nullptr;
    QPushButton* stop_ = nullptr;
};

} // namespace velorin
