#include "library/TravelModeText.h"

namespace velorin {

const char* travelModeText(TravelMode mode)
{
    switch (mode) {
    case TravelMode::stationary:
        return "à l'arrêt";
    case TravelMode::walking:
        return "à pied";
    case TravelMode::running:
        return "en courant";
    case TravelMode::cycling:
        return "à vélo";
    case TravelMode::automotive:
        return "en voiture";
    }
    return "";
}

const char* travelModeSymbol(TravelMode mode)
{
    switch (mode) {
    case TravelMode::stationary:
        return "figure.stand";
    case TravelMode::walking:
        return "figure.walk";
    case TravelMode::running:
        return "figure.hiking";
    case TravelMode::cycling:
        return "bicycle";
    case TravelMode::automotive:
        return "car.fill";
    }
    return "";
}

} // namespace velorin
