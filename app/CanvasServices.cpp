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
    return {*model.catalog(), borrowed(model.loader()), model.cache(), borrowed(&model.terrain()),
        borrowed(&model.forest()), borrowed(&model.buildings()), borrowed(&model.toponyms())};
}

} // namespace velorin
