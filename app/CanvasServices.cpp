#include "app/CanvasServices.h"

#include "app/AppModel.h"

namespace velorin {

namespace {

template <typename T>
std::shared_ptr<T> borrowed(T* service)
{
    return std::shared_ptr<T>(std::shared_ptr<void>{}, service);
}

} // namespace

MapCanvasView::Services CanvasServices::of(AppModel& model)
{
    // The world maps keep their tiles in the cache root, which "Vider le cache" empties.
    return {*model.catalog(), borrowed(model.loader()), model.cache(), borrowed(&model.terrain()),
        borrowed(&model.forest()), borrowed(&model.buildings()), borrowed(&model.toponyms()),
        {model.hosts(), model.relay()}, model.store()->cacheRoot() / kWorldMapCacheFolder};
}

} // namespace velorin
