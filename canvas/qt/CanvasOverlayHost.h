#pragma once

#include "canvas/CanvasOverlays.h"
#include "canvas/qt/MarkerOverlays.h"
#include "platform/Image.h"

#include <filesystem>
#include <memory>

class QWidget;

namespace velorin {

class ToponymHoverView;
class ToponymLabelLayer;

// What the map's widget shows over the map for its canvas: the markers, the label layer
// above them, then the hover card, all children of the widget (which owns and outlives
// them). GUI thread only.
class CanvasOverlayHost final : public CanvasOverlays {
public:
    // Photo pins show the pictures of `pictures`, the user's Pictures folder by default.
    explicit CanvasOverlayHost(QWidget& map, std::filesystem::path pictures = picturesFolder());

    // The desktop's Pictures folder (XDG_PICTURES_DIR).
    static std::filesystem::path picturesFolder();

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

    int makePauseChip(const std::string& text) override;
    int makePhotoPin(const std::string& photoId, const std::string& accessibleText, double size,
        std::function<void()> onClick) override;
    int makeLibraryPin(const std::string& photoId, const std::string& accessibleText,
        std::function<void()> onClick) override;
    int makeFlyoverDot() override;
    void setBadge(int marker, const std::string& badge, const std::string& accessibleText) override;
    void removeMarker(int marker) override;
    void applyMarkerPlacements(const std::vector<MarkerPlacement>& placements) override;

    ToponymLabelLayer& labelLayer() const { return *labels_; }
    ToponymHoverView& hoverCard() const { return *card_; }
    MarkerOverlays& markers() const { return *markers_; }

private:
    QWidget& map_;
    ToponymLabelLayer* labels_;
    ToponymHoverView* card_;
    std::unique_ptr<MarkerOverlays> markers_;
};

} // namespace velorin
