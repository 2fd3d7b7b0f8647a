#include "features/Place.h"

namespace velorin {

Toponym Place::toponym() const
{
    return {id, name, kind, latitude, longitude, importance, altitude};
}

} // namespace velorin
