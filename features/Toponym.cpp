#include "features/Toponym.h"

namespace velorin {

std::string_view Toponym::rawValue(Kind kind)
{
    switch (kind) {
    case Kind::summit:
        return "summit";
    case Kind::col:
        return "col";
    case Kind::ridge:
        return "ridge";
    case Kind::refuge:
        return "refuge";
    case Kind::viewpoint:
        return "viewpoint";
    case Kind::place:
        return "place";
    }
    return "place";
}

std::optional<Toponym::Kind> Toponym::kindFromRawValue(std::string_view text)
{
    for (Kind kind : kinds)
        if (rawValue(kind) == text)
            return kind;
    return std::nullopt;
}

} // namespace velorin
