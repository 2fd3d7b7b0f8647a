#pragma once

#include <string>
#include <utility>
#include <vector>

namespace velorin {

using FormFields = std::vector<std::pair<std::string, std::string>>;

// The body of a form POST to the account server or to Google's token endpoint: the fields
// sorted by name, each name and value percent-encoded as UTF-8 with only the unreserved
// characters left as they are (a space is %20, "+" is %2B), joined by "&". No fields give
// an empty body. Any thread.
std::string formEncoded(FormFields fields);

} // namespace velorin
