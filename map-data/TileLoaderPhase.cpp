#include "map-data/TileLoaderPhase.h"

#include "platform/NumberFormat.h"

namespace velorin {

namespace {

constexpr double kBytesPerMegabyte = 1048576.0;

std::string megabytes(std::int64_t bytes)
{
    return platform::frenchNumber(double(bytes) / kBytesPerMegabyte, 1);
}

} // namespace

std::optional<std::string> TileLoaderPhase::label() const
{
    switch (kind) {
    case Kind::idle:
        return std::nullopt;
    case Kind::preparing:
        return "Préparation…";
    case Kind::downloading:
        if (expected < 1)
            return "Téléchargement…";
        return "Téléchargement " + megabytes(received) + " / " + megabytes(expected) + " Mo";
    }
    return std::nullopt;
}

} // namespace velorin
