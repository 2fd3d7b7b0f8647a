#pragma once

#include <QLockFile>
#include <QObject>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class QLocalServer;

namespace velorin {

// Keeps one Velorin window per user. The first start takes a lock file in the user's
// runtime folder and listens on a local socket beside it; a later start finds the lock
// taken, hands its launch arguments to the first over that socket and ends, so that two
// programs never record into, repair or trim the same files. A lock left by a crashed
// process is taken over: the process it names is gone. Main thread, inside a Qt application.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    static constexpr const char* kLockFile = "velorin.lock";
    static constexpr const char* kSocketFile = "velorin.socket";
    // How long a later start tries to reach the first, which may itself be starting.
    static constexpr int kHandOverTimeoutMilliseconds = 5000;
    static constexpr int kConnectRetryMilliseconds = 100;
    // A hand-over longer than this is not launch arguments, and is dropped.
    static constexpr qint64 kMaxMessageBytes = 64 * 1024;

    enum class Claim {
        // This is the first: it holds the lock and hears later starts.
        first,
        // Another holds the lock and has taken the arguments.
        handedOver,
        // Another holds the lock but did not answer in time.
        unanswered,
    };

    // Over `folder`, normally defaultFolder(); nothing is taken before claim().
    explicit SingleInstance(std::filesystem::path folder, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The user's runtime folder ($XDG_RUNTIME_DIR).
    static std::filesystem::path defaultFolder();

    // Takes the lock and listens, or hands `arguments` (the program's name left out) to the
    // instance holding it and waits, at most kHandOverTimeoutMilliseconds, for it to take
    // them. A folder where no lock can be made at all leaves this the first, unguarded.
    Claim claim(const std::vector<std::string>& arguments);

signals:
    // A later start's launch arguments, once this is the first.
    void argumentsReceived(const std::vector<std::string>& arguments);

private:
    void listen();
    void accept();

    std::filesystem::path folder_;
    QLockFile lock_;
    QLocalServer* server_ = nullptr;
};

} // namespace velorin
