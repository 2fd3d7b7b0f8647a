#include "platform/qt/QtKeychainStore.h"

#include <qt6keychain/keychain.h>

#include <QByteArrayView>

namespace platform {

namespace {

Keychain::Status statusOf(const QKeychain::Job& job)
{
    switch (job.error()) {
    case QKeychain::NoError:
        return Keychain::Status::ok;
    case QKeychain::EntryNotFound:
        return Keychain::Status::notFound;
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
        return Keychain::Status::unavailable;
    default:
        return Keychain::Status::failed;
    }
}

} // namespace

QtKeychainStore::QtKeychainStore(std::shared_ptr<Executor> answersOn, std::string service)
    : answersOn_(std::move(answersOn))
    , service_(QString::fromStdString(service))
    , jobs_(std::make_unique<QObject>())
{
}

QtKeychainStore::~QtKeychainStore() = default;

void QtKeychainStore::run(QKeychain::Job* job, const std::string& account, std::function<void(QKeychain::Job&)> finished)
{
    job->setKey(QString::fromStdString(account));
    QObject::connect(job, &QKeychain::Job::finished, jobs_.get(),
        [finished = std::move(finished)](QKeychain::Job* done) { finished(*done); });
    job->start();
}

void QtKeychainStore::read(const std::string& account, ReadCompletion completion)
{
    run(new QKeychain::ReadPasswordJob(service_), account,
        [answersOn = answersOn_, completion = std::move(completion)](QKeychain::Job& job) {
            Status status = statusOf(job);
            std::optional<std::string> value;
            if (status == Status::ok) {
                const QByteArray data = static_cast<QKeychain::ReadPasswordJob&>(job).binaryData();
                if (QByteArrayView(data).isValidUtf8())
                    value = data.toStdString();
                else
                    status = Status::failed;
            }
            answersOn->post([completion, status, value = std::move(value)] { completion(status, value); });
        });
}

void QtKeychainStore::save(const std::string& value, const std::string& account, Completion completion)
{
    auto* job = new QKeychain::WritePasswordJob(service_);
    job->setTextData(QString::fromStdString(value));
    run(job, account, [answersOn = answersOn_, completion = std::move(completion)](QKeychain::Job& done) {
        answersOn->post([completion, status = statusOf(done)] { completion(status); });
    });
}

void QtKeychainStore::remove(const std::string& account, Completion completion)
{
    run(new QKeychain::DeletePasswordJob(service_), account,
        [answersOn = answersOn_, completion = std::move(completion)](QKeychain::Job& done) {
            answersOn->post([completion, status = statusOf(done)] { completion(status); });
        });
}

} // namespace platform
