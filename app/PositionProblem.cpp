#include "app/PositionProblem.h"

namespace velorin {

std::string positionProblemText(PositionProblem problem)
{
    const std::string title = "Position indisponible · ";
    switch (problem) {
    case PositionProblem::noReceiver:
        return title + "aucun récepteur GPS";
    case PositionProblem::serviceNotRunning:
        return title + "gpsd n'est pas lancé";
    case PositionProblem::noFixYet:
        break;
    }
    return title + "pas encore de position";
}

} // namespace velorin
