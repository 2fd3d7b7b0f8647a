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
    if (toponyms_)
        toponyms_->reload();
    publish(placesRevision_, placesRevision_ + 1);
}

ToponymService& AppModel::toponyms()
{
    if (!toponyms_) {
        ToponymService::Dependencies dependencies;
        dependencies.store = store_;
        dependencies.session = session_;
        dependencies.hosts = hosts_;
        dependencies.relay = relay_;
        dependencies.places = &places();
        dependencies.clock = clock_;
        dependencies.mainQueue = mainQueue_;
        toponyms_ = std::make_unique<ToponymService>(std::move(dependencies));
    }
    return *toponyms_;
}

} // namespace velorin
