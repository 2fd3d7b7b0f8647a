#pragma once

#include <QIODevice>

#include <algorithm>
#include <cstring>

namespace testing_support {

// A receiver's serial line as QtPositioning reads it in real time: NMEA sentences become
// readable the moment the test feeds them, with no wait between fixes. Main thread only.
class NmeaFeed final : public QIODevice {
public:
    NmeaFeed() { open(QIODevice::ReadOnly); }

    void feed(const QByteArray& sentences)
    {
        pending_ += sentences;
        emit readyRead();
    }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return pending_.size() + QIODevice::bytesAvailable(); }
    bool canReadLine() const override { return pending_.contains('\n') || QIODevice::canReadLine(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 count = std::min<qint64>(maxSize, pending_.size());
        std::memcpy(data, pending_.constData(), static_cast<std::size_t>(count));
        pending_.remove(0, count);
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray pending_;
};

} // namespace testing_support
