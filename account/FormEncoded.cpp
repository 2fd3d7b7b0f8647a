#include "account/FormEncoded.h"

#include "platform/PercentEncoding.h"

#include <algorithm>

namespace velorin {

std::string formEncoded(FormFields fields)
{
    std::stable_sort(fields.begin(), fields.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string body;
    for (const auto& [name, value] : fields) {
        if (!body.empty())
            body += '&';
        body += platform::percentEncode(name);
        body += '=';
        body += platform::percentEncode(value);
    }
    return body;
}

} // namespace velorin
