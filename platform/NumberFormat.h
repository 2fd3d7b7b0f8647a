#pragma once

#include <string>

namespace platform {

// Numbers as French readers see them: a decimal comma ("1,5"), and groups of thousands
// separated by a narrow no-break space ("12 345"). Never depends on the process locale.
std::string frenchNumber(double value, int fractionDigits);

// Numbers for URLs and files: a decimal point, no grouping, whatever the process locale
// ("%.6f" of printf in the C locale). Non-finite values give "nan" or "inf" so that a
// caller that forgot to check produces an obviously bad request rather than a crash.
std::string cNumber(double value, int fractionDigits);

// The shortest C-locale text that reads back as the same double.
std::string cNumberShortest(double value);

} // namespace platform
