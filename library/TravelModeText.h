#pragma once

#include "recordings/TravelMode.h"

namespace velorin {

// How the library screens name a travel mode, "à pied", and the symbol they draw for it.
// Any thread.
const char* travelModeText(TravelMode mode);
const char* travelModeSymbol(TravelMode mode);

} // namespace velorin
