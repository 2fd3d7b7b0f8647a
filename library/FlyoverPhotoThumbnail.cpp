#include "library/FlyoverPhotoThumbnail.h"

#include "canvas/qt/PhotoDelivery.h"
#include "widgets/ActivitySpinner.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace velorin {

FlyoverPhotoThumbnail::FlyoverPhotoThumbnail(TrackPhoto photo, std::function<void()> onTap,
    std::filesystem::path pictures, platform::Executor& decodes, platform::MainQueue& main, QWidget* parent)
    : QAbstractButton(parent)
    , photo_(std::move(photo))
    , pictures_(std::move(pictures))
    , decodes_(decodes)
    , main_(main)
    , spinner_(new ActivitySpinner(this, Qt::white))
{
    setAccessibleName(QStringLiteral("Photo du trajet, toucher pour l'ouvrir"));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    ControlLook::applyShadow(*this, kShadow);
    connect(this, &QAbstractButton::clicked, this, [onTap = std::move(onTap)] { onTap(); });
    setImage(QImage(), QSizeF());
}

void FlyoverPhotoThumbnail::setPhoto(TrackPhoto photo)
{
    const bool another = photo.id != photo_.id;
    photo_ = std::move(photo);
    if (!another)
        return;
    setImage(QImage(), QSizeF());
    if (isVisible())
        load();
}

void FlyoverPhotoThumbnail::load()
{
    const double scale = devicePixelRatioF();
    const int side = int(std::lround(kSidePoints * scale));
    deliverPhoto(
        decodes_, main_, this, [pictures = pictures_, id = photo_.id, side] { return photoFitting(pictures, id, side, side); },
        [this, id = photo_.id, scale](QImage image, QSizeF exactSize) {
            if (id == photo_.id)
                setImage(std::move(image), exactSize / scale);
        });
}

QSizeF FlyoverPhotoThumbnail::frameSize(std::optional<QSizeF> imagePoints)
{
    const double ratio = imagePoints ? imagePoints->width() / std::max(imagePoints->height(), 1.0) : 1.0;
    if (ratio < 1)
        return { kSidePoints * ratio, kSidePoints };
    return { kSidePoints, kSidePoints / ratio };
}

QSizeF FlyoverPhotoThumbnail::frameSize() const
{
    return frameSize(image_.isNull() ? std::nullopt : std::optional<QSizeF>(imagePoints_));
}

void FlyoverPhotoThumbnail::setImage(QImage image, QSizeF exactSize)
{
    image_ = std::move(image);
    imagePoints_ = exactSize;
    spinner_->setVisible(image_.isNull());
    const QSizeF frame = frameSize();
    setFixedSize(int(std::ceil(frame.width())), int(std::ceil(frame.height())));
    update();
}

QRectF FlyoverPhotoThumbnail::frameRect() const
{
    const QSizeF frame = frameSize();
    return QRectF(QPointF((width() - frame.width()) / 2, (height() - frame.height()) / 2), frame);
}

void FlyoverPhotoThumbnail::showEvent(QShowEvent* event)
{
    QAbstractButton::showEvent(event);
    load();
}

void FlyoverPhotoThumbnail::resizeEvent(QResizeEvent*)
{
    spinner_->resize(spinner_->sizeHint());
    spinner_->move((width() - spinner_->width()) / 2, (height() - spinner_->height()) / 2);
}

void FlyoverPhotoThumbnail::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = frameRect();
    QPainterPath rounded;
    rounded.addRoundedRect(frame, kCornerRadius, kCornerRadius);
    painter.save();
    painter.setClipPath(rounded);
    QColor backdrop = Qt::black;
    backdrop.setAlphaF(float(kBackdropOpacity));
    painter.fillRect(frame, backdrop);
    if (!image_.isNull()) {
        // Scaled to fill the frame, its middle shown.
        const QSizeF filled = QSizeF(image_.size()).scaled(frame.size(), Qt::KeepAspectRatioByExpanding);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(frame.center() - QPointF(filled.width() / 2, filled.height() / 2), filled), image_);
    }
    painter.restore();
    // The border lies inside the edge.
    const double inset = kBorderPoints / 2;
    painter.setPen(QPen(Qt::white, kBorderPoints));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(frame.adjusted(inset, inset, -inset, -inset), kCornerRadius - inset, kCornerRadius - inset);
}

} // namespace velorin
