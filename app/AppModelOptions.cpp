#include "app/AppModel.h"

#include <initializer_list>
#include <optional>

namespace velorin {

namespace {

// The first of `candidates` that is a map of neither the world maps nor a photo, else the
// IGN plan.
Basemap firstPlainMap(std::initializer_list<std::optional<Basemap>> candidates)
{
    for (const auto& candidate : candidates) {
        if (candidate && !candidate->isApple() && !candidate->isPhoto())
            return *candidate;
    }
    return Basemap::planIGN;
}

} // namespace

void AppModel::selectBasemap(Basemap basemap)
{
    if (basemap == basemap_)
        return;
    publish(basemap_, basemap);
    defaults_->setString(kBasemapKey, std::string(basemap.rawValue()));
    // The platform's own satellite map is no aerial photo that the toggle could return to.
    if (basemap.isPhoto() && !basemap.isApple())
        defaults_->setString(kAerialKey, std::string(basemap.rawValue()));
    if (auto canvas = canvas_.lock())
        canvas->setBasemap(basemap);
}

void AppModel::toggleAerial()
{
    if (basemap_.isPhoto()) {
        // The photo gives way to a map of its own family: the world maps' plan, or the map
        // shown before among the others.
        if (basemap_.isApple()) {
            selectBasemap(Basemap::applePlan);
            return;
        }
        selectBasemap(firstPlainMap({ basemapBeforeAerial_, basemapBeforeApple_ }));
        return;
    }
    basemapBeforeAerial_ = basemap_;
    selectBasemap(basemap_ == Basemap::applePlan ? Basemap(Basemap::appleSatellite) : rememberedAerialBasemap(*defaults_));
}

void AppModel::setAppleMap(bool on)
{
    if (on == basemap_.isApple())
        return;
    if (on) {
        basemapBeforeApple_ = basemap_;
        selectBasemap(basemap_.isPhoto() ? Basemap::appleSatellite : Basemap::applePlan);
        return;
    }
    if (basemap_ == Basemap::appleSatellite) {
        selectBasemap(rememberedAerialBasemap(*defaults_));
        return;
    }
    selectBasemap(firstPlainMap({ basemapBeforeApple_, basemapBeforeAerial_ }));
}

void AppModel::toggleToponyms()
{
    persistFlag(&AppModel::showsToponyms_, kToponymsKey, &MapCanvasPort::setShowsToponyms);
}

void AppModel::toggleAppleCommerce()
{
    persistFlag(&AppModel::showsAppleCommerce_, kAppleCommerceKey, &MapCanvasPort::setShowsAppleCommerce);
}

void AppModel::toggleSlopes()
{
    persistFlag(&AppModel::showsSlopes_, kSlopesKey, &MapCanvasPort::setShowsSlopes);
}

void AppModel::toggleTrees()
{
    persistFlag(&AppModel::showsTrees_, kTreesKey, &MapCanvasPort::setShowsTrees);
}

void AppModel::toggle3D()
{
    toggleFlag(&AppModel::is3D_, &MapCanvasPort::set3D);
}

void AppModel::toggleFlag(bool AppModel::*flag, CanvasOption apply)
{
    publish(this->*flag, !(this->*flag));
    if (!apply)
        return;
    if (auto canvas = canvas_.lock())
        (canvas.get()->*apply)(this->*flag);
}

void AppModel::persistFlag(bool AppModel::*flag, std::string_view key, CanvasOption apply)
{
    toggleFlag(flag, apply);
    defaults_->setBoolean(key, this->*flag);
}

} // namespace velorin
