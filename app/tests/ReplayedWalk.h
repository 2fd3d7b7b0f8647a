#pragma once

#include "platform/qt/QtLocationSource.h"

#include <QFile>
#include <QNmeaPositionInfoSource>

#include <memory>

namespace testing_support {

// The device's position as QtPositioning gives it when replaying fixtures/walk.nmea: four
// fixes a quarter of a second apart, with a 5 m range error. Null when the fixture can't be read.
inline std::unique_ptr<platform::QtLocationSource> replayedWalk()
{
    auto nmea = std::make_unique<QNmeaPositionInfoSource>(QNmeaPositionInfoSource::SimulationMode);
    auto* file = new QFile(VELORIN_FIXTURES "/walk.nmea", nmea.get());
    if (!file->open(QIODevice::ReadOnly))
        return nullptr;
    nmea->setDevice(file);
    nmea->setUserEquivalentRangeError(5.0);
    return std::make_unique<platform::QtLocationSource>(std::move(nmea));
}

} // namespace testing_support
