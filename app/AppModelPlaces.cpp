#include "app/AppModel.h"

#include <QPointer>

namespace velorin {

PlaceStore& AppModel::places()
{
    if (!places_) {
        places_ = std::make_unique<PlaceStore>(*session_, hosts_, folders_.places(), *clock_, *mainQueue_);
        QPointer<AppModel> weak(this);
        places_->onChange = [weak] {
            if (weak)
                weak->placesDidChange();
        };
    }
    return *places_;
}

void AppModel::placesDidChange()
{
    publish(placesRevision_, placesRevision_ + 1);
}

} // namespace velorin
