#pragma once

#include "platform/Executor.h"
#include "platform/Keychain.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace QKeychain {
class Job;
}

namespace platform {

// The keychain of the desktop's Secret Service (GNOME Keyring, KeePassXC, KWallet…) through
// QtKeychain, which reaches it with libsecret: items of the service "Velorin", one per
// account name. Without a Secret Service every operation answers `unavailable`. Make it on
// the GUI thread once the Qt application exists, and use it there; the answers are posted to
// `answersOn`. Jobs still running when it goes answer nobody.
class QtKeychainStore final : public Keychain {
public:
    static constexpr std::string_view kService = "Velorin";

    explicit QtKeychainStore(std::shared_ptr<Executor> answersOn, std::string service = std::string(kService));
    ~QtKeychainStore() override;

    void read(const std::string& account, ReadCompletion completion) override;
    void save(const std::string& value, const std::string& account, Completion completion) override;
    void remove(const std::string& account, Completion completion) override;

private:
    // Starts `job` on `account`; `finished` runs on the GUI thread once it is done.
    void run(QKeychain::Job* job, const std::string& account, std::function<void(QKeychain::Job&)> finished);

    const std::shared_ptr<Executor> answersOn_;
    const QString service_;
    // The context of the jobs' connections: destroyed first, so no job answers afterwards.
    std::unique_ptr<QObject> jobs_;
};

} // namespace platform
