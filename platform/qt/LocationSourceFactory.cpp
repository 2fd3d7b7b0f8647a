#include "platform/qt/LocationSourceFactory.h"

#include "platform/GpsdLocationSource.h"
#include "platform/qt/AutomaticLocationSource.h"
#include "platform/qt/QtLocationSource.h"

#include <QFile>
#include <QNmeaPositionInfoSource>
#include <QSerialPort>
#include <QTcpSocket>

namespace platform {

std::unique_ptr<LocationSource> LocationSourceFactory::make(const PositionSourceChoice& choice,
    std::shared_ptr<MainQueue> mainQueue)
{
    switch (choice.kind) {
    case PositionSourceChoice::Kind::gpsd:
        return std::make_unique<GpsdLocationSource>(choice.host, choice.port, std::move(mainQueue));
    case PositionSourceChoice::Kind::nmea:
        return nmea(choice.path);
    case PositionSourceChoice::Kind::automatic:
        break;
    }
    auto gpsd = std::make_unique<GpsdLocationSource>(PositionSourceChoice::kDefaultGpsdHost,
        PositionSourceChoice::kDefaultGpsdPort, mainQueue);
    return std::make_unique<AutomaticLocationSource>(std::move(gpsd),
        [] { return std::make_unique<QtLocationSource>(); }, mainQueue);
}

std::unique_ptr<LocationSource> LocationSourceFactory::nmea(const std::string& path)
{
    const std::string name = "NMEA (" + path + ")";
    const QString where = QString::fromStdString(path);
    std::unique_ptr<QNmeaPositionInfoSource> source;
    switch (PositionSourceChoice::nmeaKind(path)) {
    case PositionSourceChoice::NmeaKind::serialDevice: {
        source = std::make_unique<QNmeaPositionInfoSource>(QNmeaPositionInfoSource::RealTimeMode);
        auto* port = new QSerialPort(where, source.get());
        port->setBaudRate(kSerialBaudRate);
        if (!port->open(QIODevice::ReadOnly))
            return std::make_unique<QtLocationSource>(nullptr, name);
        source->setDevice(port);
        break;
    }
    case PositionSourceChoice::NmeaKind::tcpStream: {
        const auto address = PositionSourceChoice::tcpAddress(path);
        source = std::make_unique<QNmeaPositionInfoSource>(QNmeaPositionInfoSource::RealTimeMode);
        auto* socket = new QTcpSocket(source.get());
        socket->connectToHost(QString::fromStdString(address->first), quint16(address->second), QIODevice::ReadOnly);
        source->setDevice(socket);
        break;
    }
    case PositionSourceChoice::NmeaKind::file: {
        source = std::make_unique<QNmeaPositionInfoSource>(QNmeaPositionInfoSource::SimulationMode);
        auto* file = new QFile(where, source.get());
        if (!file->open(QIODevice::ReadOnly))
            return std::make_unique<QtLocationSource>(nullptr, name);
        source->setDevice(file);
        break;
    }
    }
    return std::make_unique<QtLocationSource>(std::move(source), name);
}

} // namespace platform
