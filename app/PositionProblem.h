#pragma once

#include <string>

namespace velorin {

// Why no position reaches the map while it should follow the walker: nothing gives
// positions, the positioning daemon is not running, or a receiver is there without a fix.
// A plain value; any thread.
enum class PositionProblem { noReceiver, serviceNotRunning, noFixYet };

// "Position indisponible · " and why: "Position indisponible · gpsd n'est pas lancé".
std::string positionProblemText(PositionProblem problem);

} // namespace velorin
