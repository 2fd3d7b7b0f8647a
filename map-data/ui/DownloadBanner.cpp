#include "map-data/ui/DownloadBanner.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <cmath>

namespace velorin {

namespace {

constexpr int kBarSteps = 1000;
constexpr int kHorizontalPaddingPixels = 14;
constexpr int kVerticalPaddingPixels = 9;
constexpr int kTopMarginPixels = 6;

} // namespace

DownloadBanner::DownloadBanner(std::shared_ptr<RegionDownloader> downloader, QWidget* parent)
    : QWidget(parent)
    , downloader_(std::move(downloader))
{
    auto outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, kTopMarginPixels, 0, 0);
    auto capsule = new QFrame;
    capsule->setObjectName("capsule");
    capsule->setStyleSheet("#capsule { background: rgba(255, 255, 255, 180); border-radius: 16px; }");
    outer->addWidget(capsule);
    auto row = new QHBoxLayout(capsule);
    row->setContentsMargins(kHorizontalPaddingPixels, kVerticalPaddingPixels, kHorizontalPaddingPixels,
        kVerticalPaddingPixels);
    row->setSpacing(kSpacingPixels);

    bar_ = new QProgressBar;
    bar_->setObjectName("progress");
    bar_->setRange(0, kBarSteps);
    bar_->setTextVisible(false);
    bar_->setFixedWidth(kBarWidthPixels);
    row->addWidget(bar_, 0, Qt::AlignVCenter);

    title_ = new QLabel;
    title_->setObjectName("title");
    auto caption = title_->font();
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    title_->setFont(caption);
    title_->setTextFormat(Qt::PlainText);
    row->addWidget(title_, 0, Qt::AlignVCenter);

    stop_ = new QPushButton("Arrêter");
    stop_->setObjectName("stop");
    auto semibold = caption;
    semibold.setWeight(QFont::DemiBold);
    stop_->setFont(semibold);
    stop_->setFlat(true);
    connect(stop_, &QPushButton::clicked, this, [this] { stop(); });
    row->addWidget(stop_, 0, Qt::AlignVCenter);

    observer_ = downloader_->observe([this] { refresh(); });
    refresh();
}

DownloadBanner::~DownloadBanner()
{
    downloader_->stopObserving(observer_);
}

void DownloadBanner::stop()
{
    downloader_->cancel();
}

void DownloadBanner::refresh()
{
    const auto& job = downloader_->job();
    setVisible(job.has_value());
    if (!job)
        return;
    bar_->setValue(int(std::lround(std::clamp(job->progress, 0.0, 1.0) * kBarSteps)));
    title_->setText(job->isCancelling ? QString("Annulation…") : QString::fromStdString(job->title));
}

} // namespace velorin
