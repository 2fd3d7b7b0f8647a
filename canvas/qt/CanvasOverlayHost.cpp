#include "canvas/qt/CanvasOverlayHost.h"

#include "canvas/qt/ToponymLabelLayer.h"
#include "features/ui/ToponymHoverView.h"
#include "features/ui/ToponymLabelView.h"

#include <QGraphicsOpacityEffect>
#include <QImage>
#include <QPainter>
#include <QStandardPaths>
#include <QWidget>

namespace velorin {

CanvasOverlayHost::CanvasOverlayHost(QWidget& map, std::filesystem::path pictures)
    : map_(map)
    , labels_(new ToponymLabelLayer(&map))
    , card_(new ToponymHoverView(&map))
    , markers_(std::make_unique<MarkerOverlays>(map, *labels_, std::move(pictures)))
{
}

std::filesystem::path CanvasOverlayHost::picturesFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::PicturesLocation).toStdString();
}

CanvasOverlays::LabelSize CanvasOverlayHost::measureLabelText(const std::string& text)
{
    const QSizeF size = ToponymLabelView::attributedText(QString::fromStdString(text), false).size();
    return {size.width(), size.height()};
}

void CanvasOverlayHost::configureLabel(std::size_t index, const ToponymLabelStyle& style)
{
    labels_->configure(index, style);
}

void CanvasOverlayHost::placeLabel(std::size_t index, const ScreenRect& frame)
{
    labels_->place(index, QRectF(frame.x, frame.y, frame.width, frame.height));
}

void CanvasOverlayHost::hideLabels(std::size_t index)
{
    labels_->hideFrom(index);
}

void CanvasOverlayHost::showHoverCard(const ScreenRect& label)
{
    card_->layout(label);
    card_->raise();
}

void CanvasOverlayHost::hideHoverCard()
{
    card_->hide();
}

void CanvasOverlayHost::draw(platform::Image& image, double scale) const
{
    constexpr double kInvisibleOpacity = 0.01;
    QImage frame(reinterpret_cast<uchar*>(image.pixels.data()), image.width, image.height, image.width * 4,
        QImage::Format_RGBA8888);
    QPainter painter(&frame);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.scale(scale, scale);
    for (QObject* object : map_.children()) {
        auto* view = qobject_cast<QWidget*>(object);
        if (!view || view == card_ || view->isHidden())
            continue;
        auto* effect = qobject_cast<QGraphicsOpacityEffect*>(view->graphicsEffect());
        const bool faded = effect && effect->isEnabled();
        const double opacity = faded ? effect->opacity() : 1.0;
        if (opacity <= kInvisibleOpacity)
            continue;
        // The painter fades the view itself: an effect renders nothing off screen.
        if (faded)
            effect->setEnabled(false);
        painter.save();
        painter.setOpacity(opacity);
        view->render(&painter, view->pos(), QRegion(), QWidget::DrawChildren);
        painter.restore();
        if (faded)
            effect->setEnabled(true);
    }
}

void CanvasOverlayHost::setHoverActions(std::function<void()> onJump, std::function<void()> onGo)
{
    card_->setOnJump(std::move(onJump));
    card_->setOnGo(std::move(onGo));
}

int CanvasOverlayHost::makePauseChip(const std::string& text)
{
    return markers_->makePauseChip(text);
}

int CanvasOverlayHost::makePhotoPin(
    const std::string& photoId, const std::string& accessibleText, double size, std::function<void()> onClick)
{
    return markers_->makePhotoPin(photoId, accessibleText, size, std::move(onClick));
}

int CanvasOverlayHost::makeLibraryPin(
    const std::string& photoId, const std::string& accessibleText, std::function<void()> onClick)
{
    return markers_->makeLibraryPin(photoId, accessibleText, std::move(onClick));
}

int CanvasOverlayHost::makeFlyoverDot()
{
    return markers_->makeFlyoverDot();
}

void CanvasOverlayHost::setBadge(int marker, const std::string& badge, const std::string& accessibleText)
{
    markers_->setBadge(marker, badge, accessibleText);
}

void CanvasOverlayHost::removeMarker(int marker)
{
    markers_->removeMarker(marker);
}

void CanvasOverlayHost::applyMarkerPlacements(const std::vector<MarkerPlacement>& placements)
{
    markers_->applyMarkerPlacements(placements);
}

} // namespace velorin
