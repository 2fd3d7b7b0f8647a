#include "app/ui/DownloadBanner.h"

#include "widgets/ControlLook.h"
#include "app/ui/ElidedLabel.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace velorin {

namespace {

constexpr int kBarSteps = 1000;
constexpr double kTrackOpacity = 0.2;

void setColour(QWidget& widget, QPalette::ColorRole role, const QColor& colour)
{
    QPalette palette = widget.palette();
    palette.setColor(role, colour);
    widget.setPalette(palette);
}

} // namespace

DownloadBanner::DownloadBanner(std::shared_ptr<RegionDownloader> downloader, QWidget* parent)
    : QWidget(parent)
    , downloader_(std::move(downloader))
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(kHorizontalPaddingPoints, kTopMarginPoints + kVerticalPaddingPoints,
        kHorizontalPaddingPoints, kVerticalPaddingPoints);
    row->setSpacing(kSpacingPoints);

    bar_ = new QProgressBar(this);
    bar_->setObjectName("progress");
    bar_->setRange(0, kBarSteps);
    bar_->setTextVisible(false);
    bar_->setFixedSize(kBarWidthPoints, kBarHeightPoints);
    // A faint track on the capsule, filled with the accent colour, whatever the palette.
    QColor track = ControlLook::primaryColor();
    track.setAlphaF(float(kTrackOpacity));
    setColour(*bar_, QPalette::Base, track);
    setColour(*bar_, QPalette::Window, track);
    setColour(*bar_, QPalette::Highlight, ControlLook::accentColor());
    row->addWidget(bar_, 0, Qt::AlignVCenter);

    const QFont caption = ControlLook::textFont(kCaptionPixelSize, QFont::Normal);
    title_ = new ElidedLabel(this);
    title_->setObjectName("title");
    title_->setFont(caption);
    setColour(*title_, QPalette::WindowText, ControlLook::primaryColor());
    // The title gives up its room, down to its ellipsis, when the screen is narrow.
    row->addWidget(title_, 1, Qt::AlignVCenter);

    stop_ = new QPushButton(QStringLiteral("Arrêter"), this);
    stop_->setObjectName("stop");
    stop_->setFont(ControlLook::textFont(kCaptionPixelSize, QFont::DemiBold));
    stop_->setFlat(true);
    stop_->setCursor(Qt::PointingHandCursor);
    setColour(*stop_, QPalette::ButtonText, ControlLook::accentColor());
    connect(stop_, &QPushButton::clicked, this, [this] { stop(); });
    row->addWidget(stop_, 0, Qt::AlignVCenter);

    ControlLook::applyShadow(*this, ControlLook::kPillShadow);
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

void DownloadBanner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF capsule = QRectF(rect()).adjusted(0, kTopMarginPoints, 0, 0);
    ControlLook::paintBackground(painter, capsule, capsule.height() / 2);
}

void DownloadBanner::refresh()
{
    const auto& job = downloader_->job();
    setVisible(job.has_value());
    if (!job)
        return;
    bar_->setValue(int(std::lround(std::clamp(job->progress, 0.0, 1.0) * kBarSteps)));
    title_->setFullText(job->isCancelling ? QStringLiteral("Annulation…") : QString::fromStdString(job->title));
}

} // namespace velorin
