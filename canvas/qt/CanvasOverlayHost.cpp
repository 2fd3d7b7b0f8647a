#include "canvas/qt/CanvasOverlayHost.h"

#include "canvas/qt/ToponymLabelLayer.h"
#include "features/ui/ToponymHoverView.h"
#include "features/ui/ToponymLabelView.h"

#include <QWidget>

namespace velorin {

CanvasOverlayHost::CanvasOverlayHost(QWidget& map)
    : labels_(new ToponymLabelLayer(&map))
    , card_(new ToponymHoverView(&map))
{
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

} // namespace velorin
