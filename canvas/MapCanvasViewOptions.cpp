// The map options the application passes to the canvas: basemap, place names, slope
// shading, trees and buildings.

#include "canvas/MapCanvasView.h"
#include "map-data/TextureCache.h"

namespace velorin {

void MapCanvasView::setBasemap(Basemap basemap)
{
    if (isFlying() && basemap != renderer_->basemap)
        endFlight();
    renderer_->basemap = basemap;
    renderer_->reveals.clear();
    if (!basemap.isApple()) {
        // The next layer reports its pitch afresh.
        apple_.reset();
        applePitched_.reset();
        appleWantedPitch_.reset();
        appleLastShown_.reset();
    } else {
        if (!apple_)
            makeAppleLayer();
        if (apple_)
            apple_->apply(basemap);
    }
    if (services_.textureCache)
        services_.textureCache->clear();
    clampCamera();
    // Labels over photographs take their light style.
    relayoutToponyms();
    ensureDisplayLink();
}

void MapCanvasView::setShowsSlopes(bool on)
{
    if (isFlying() && on != renderer_->showsSlopes)
        endFlight();
    renderer_->showsSlopes = on;
    if (apple_)
        apple_->setSlopes(on);
    ensureDisplayLink();
}

void MapCanvasView::setShowsTrees(bool on)
{
    if (isFlying() && on != renderer_->showsTrees)
        endFlight();
    renderer_->showsTrees = on;
    ensureDisplayLink();
}

} // namespace velorin
