#include "canvas/qt/CanvasOverlayHost.h"

#include "canvas/qt/ToponymLabelLayer.h"
#include "features/ui/ToponymHoverView.h"
#include "features/ui/ToponymLabelView.h"

#include <QStandardPaths>
#include <QWidget>

namespace velorin {

CanvasOverlayHost::CanvasOverlayHost(QWidget& map, std::filesystem::path pictures)
    : labels_(new ToponymLabelLayer(&map))
    , card_(new ToponymHoverView(&map))
    , markers_(std::make_unique<MarkerOverlays>(map, std::move(pictures)))
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
