#include "platform/HttpSession.h"

#include "platform/PercentEncoding.h"

#include <algorithm>
#include <cctype>

namespace platform {

HttpRequest HttpRequest::get(std::string url)
{
    HttpRequest request;
    request.url = std::move(url);
    return request;
}

HttpRequest HttpRequest::formPost(std::string url, const std::vector<std::pair<std::string, std::string>>& fields)
{
    HttpRequest request;
    request.url = std::move(url);
    request.method = "POST";
    request.headers.emplace_back("Content-Type", "application/x-www-form-urlencoded");
    for (const auto& [name, value] : fields) {
        if (!request.body.empty())
            request.body += '&';
        request.body += formEncode(name);
        request.body += '=';
        request.body += formEncode(value);
    }
    return request;
}

std::optional<std::string> HttpResponse::header(std::string_view name) const
{
    auto sameLetters = [](std::string_view a, std::string_view b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
            return std::tolower(x) == std::tolower(y);
        });
    };
    for (const auto& [key, value] : headers)
        if (sameLetters(key, name))
            return value;
    return std::nullopt;
}

} // namespace platform
