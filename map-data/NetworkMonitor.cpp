#include "map-data/NetworkMonitor.h"

#include <utility>

namespace velorin {

NetworkMonitor::NetworkMonitor(std::unique_ptr<platform::NetworkPathSource> source,
    std::shared_ptr<platform::Executor> mainQueue)
    : lifetime_(std::make_shared<NetworkMonitor*>(this))
    , source_(std::move(source))
{
    std::weak_ptr<NetworkMonitor*> weak = lifetime_;
    source_->start([weak, mainQueue = std::move(mainQueue)](platform::NetworkPath path) {
        mainQueue->post([weak, path] {
            if (auto self = weak.lock())
                (*self)->apply(path);
        });
    });
}

NetworkMonitor::~NetworkMonitor()
{
    source_.reset();
}

void NetworkMonitor::apply(platform::NetworkPath path)
{
    if (path == path_)
        return;
    path_ = path;
    if (onChange)
        onChange();
}

} // namespace velorin
