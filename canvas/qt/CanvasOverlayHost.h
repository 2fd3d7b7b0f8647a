#pragma once

#include "canvas/CanvasOverlays.h"
#include "platform/Image.h"

class QWidget;

namespace velorin {

class ToponymHoverView;
class ToponymLabelLayer;

// What the map's widget shows over the map for its canvas: the label layer, then the hover
// card above it, both children of the widget (which owns and outlives them), and whatever
// other overlay views are put there. GUI thread only.
class CanvasOverlayHost final : public CanvasOverlays {
public:
    explicit CanvasOverlayHost(QWidget& map);

    LabelSize measureLabelText(const std::string& text) override;
    void configureLabel(std::size_t index, const ToponymLabelStyle& style) override;
    void placeLabel(std::size_t index, const ScreenRect& frame) override;
    void hideLabels(std::size_t index) override;
    void showHoverCard(const ScreenRect& label) override;
    void hideHoverCard() override;
    void setHoverActions(std::function<void()> onJump, std::function<void()> onGo) override;

    // Paints the map's visible child views (those at an opacity above 0.01, the hover card
    // left out), back to front, into a frame of the map, `scale` image pixels a view point.
    void draw(platform::Image& image, double scale) const;

    ToponymLabelLayer& labelLayer() const { return *labels_; }
    ToponymHoverView& hoverCard() const { return *card_; }

private:
    QWidget& map_;
    ToponymLabelLayer* labels_;
    ToponymHoverView* card_;
};

} // namespace velorin
