#pragma once

#include "platform/NetworkPathSource.h"

#include <QNetworkInformation>
#include <QObject>

#include <memory>

namespace platform {

// The network path as the system's network information reports it (NetworkManager or
// GLib backends). Without a backend nothing is reported, and the path keeps counting as
// usable. Main thread only; reports arrive on the main thread.
class QtNetworkPathSource final : public NetworkPathSource {
public:
    QtNetworkPathSource();
    ~QtNetworkPathSource() override;

    void start(Handler handler) override;

    // A reachability the backend cannot tell counts as usable, so that a machine without
    // network information never reads as offline.
    static NetworkPath pathFor(QNetworkInformation::Reachability reachability, bool metered);

private:
    void report();

    Handler handler_;
    // Owns the signal connections; destroyed with the source, so no report comes after.
    std::unique_ptr<QObject> connections_;
};

} // namespace platform
