#include "app/AppModel.h"

namespace velorin {

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
        selectBasemap(basemapBeforeAerial_.value_or(Basemap::planIGN));
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
    for (const auto& before : { basemapBeforeApple_, basemapBeforeAerial_ }) {
        if (before && !before->isApple() && !before->isPhoto()) {
            selectBasemap(*before);
            return;
        }
    }
    selectBasemap(Basemap::planIGN);
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
