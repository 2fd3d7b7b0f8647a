#include "platform/qt/QtNetworkPathSource.h"

#include <utility>

namespace platform {

QtNetworkPathSource::QtNetworkPathSource()
    : connections_(std::make_unique<QObject>())
{
}

QtNetworkPathSource::~QtNetworkPathSource() = default;

void QtNetworkPathSource::start(Handler handler)
{
    handler_ = std::move(handler);
    if (!QNetworkInformation::loadDefaultBackend())
        return;
    auto* information = QNetworkInformation::instance();
    QObject::connect(information, &QNetworkInformation::reachabilityChanged, connections_.get(), [this] { report(); });
    QObject::connect(information, &QNetworkInformation::isMeteredChanged, connections_.get(), [this] { report(); });
    report();
}

NetworkPath QtNetworkPathSource::pathFor(QNetworkInformation::Reachability reachability, bool metered)
{
    using Reachability = QNetworkInformation::Reachability;
    const bool satisfied = reachability == Reachability::Online || reachability == Reachability::Unknown;
    return { satisfied, metered };
}

void QtNetworkPathSource::report()
{
    const auto* information = QNetworkInformation::instance();
    handler_(pathFor(information->reachability(), information->isMetered()));
}

} // namespace platform
