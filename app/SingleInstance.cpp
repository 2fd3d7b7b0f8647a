#include "app/SingleInstance.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <fmt/format.h>

#include <algorithm>
#include <cstdio>
#include <optional>

namespace velorin {

namespace {

constexpr const char* kTakenAnswer = "ok";

QByteArray message(const std::vector<std::string>& arguments)
{
    QJsonArray array;
    for (const std::string& argument : arguments)
        array.append(QString::fromStdString(argument));
    return QJsonDocument(array).toJson(QJsonDocument::Compact) + '\n';
}

// The arguments of a hand-over line; nothing for anything but an array of texts.
std::optional<std::vector<std::string>> argumentsIn(const QByteArray& line)
{
    const QJsonDocument document = QJsonDocument::fromJson(line);
    if (!document.isArray())
        return std::nullopt;
    std::vector<std::string> arguments;
    for (const QJsonValue& value : document.array()) {
        if (!value.isString())
            return std::nullopt;
        arguments.push_back(value.toString().toStdString());
    }
    return arguments;
}

QString qtPath(const std::filesystem::path& path)
{
    return QString::fromStdString(path.string());
}

} // namespace

SingleInstance::SingleInstance(std::filesystem::path folder, QObject* parent)
    : QObject(parent)
    , folder_(std::move(folder))
    , lock_(qtPath(folder_ / kLockFile))
{
    // Only a lock whose process is gone is stale, however long the window has been open.
    lock_.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

std::filesystem::path SingleInstance::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation).toStdString();
}

SingleInstance::Claim SingleInstance::claim(const std::vector<std::string>& arguments)
{
    std::error_code ignored;
    std::filesystem::create_directories(folder_, ignored);
    if (lock_.tryLock(0)) {
        listen();
        return Claim::first;
    }
    if (lock_.error() != QLockFile::LockFailedError) {
        fmt::print(stderr, "velorin : verrou {} impossible, une autre fenêtre pourrait s'ouvrir\n",
            (folder_ / kLockFile).string());
        return Claim::first;
    }

    // The first may still be starting, before it listens: it is asked again until the time
    // is up, and the lock taken should it have ended meanwhile.
    const QByteArray request = message(arguments);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kHandOverTimeoutMilliseconds) {
        const int left = std::max(1, int(kHandOverTimeoutMilliseconds - clock.elapsed()));
        QLocalSocket socket;
        socket.connectToServer(qtPath(folder_ / kSocketFile));
        if (socket.waitForConnected(left)) {
            socket.write(request);
            while (!socket.canReadLine() && clock.elapsed() < kHandOverTimeoutMilliseconds
                && socket.waitForReadyRead(std::max(1, int(kHandOverTimeoutMilliseconds - clock.elapsed())))) {
            }
            const bool taken = socket.canReadLine() && socket.readLine().trimmed() == kTakenAnswer;
            return taken ? Claim::handedOver : Claim::unanswered;
        }
        if (lock_.tryLock(0)) {
            listen();
            return Claim::first;
        }
        QThread::msleep(kConnectRetryMilliseconds);
    }
    return Claim::unanswered;
}

void SingleInstance::listen()
{
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket left by a first that crashed: the lock says none listens on it now.
    QLocalServer::removeServer(qtPath(folder_ / kSocketFile));
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::accept);
    if (!server_->listen(qtPath(folder_ / kSocketFile)))
        fmt::print(stderr, "velorin : {} : {}\n", (folder_ / kSocketFile).string(), server_->errorString().toStdString());
}

void SingleInstance::accept()
{
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > kMaxMessageBytes) {
                    socket->abort();
                    socket->deleteLater();
                }
                return;
            }
            const auto arguments = argumentsIn(socket->readLine(kMaxMessageBytes));
            if (!arguments) {
                socket->abort();
                socket->deleteLater();
                return;
            }
            socket->write(QByteArray(kTakenAnswer) + '\n');
            socket->disconnectFromServer();
            emit argumentsReceived(*arguments);
        });
    }
}

} // namespace velorin
