// What comes back of the Google sign-in: the target of the browser's redirect to the loopback
// listener, from which the code is taken, and the identity token, from whose payload the
// name is read. A code read out of a redirect reads back the same once written into one, and
// the name read out of a token is the "name" string of the JSON its payload carries.

#include "account/GoogleSignIn.h"
#include "fuzz/FuzzCheck.h"
#include "platform/Base64.h"
#include "platform/PercentEncoding.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

using velorin::GoogleSignIn;

namespace {

std::string nameInPayload(std::string_view payload)
{
    const auto json = nlohmann::json::parse(payload, nullptr, false);
    if (!json.is_object())
        return {};
    const auto name = json.find("name");
    return name != json.end() && name->is_string() ? name->get<std::string>() : std::string();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    const auto code = GoogleSignIn::code(input);
    const auto item = GoogleSignIn::queryItem(input, "code");
    FUZZ_CHECK(code == (item && !item->empty() ? item : std::nullopt));
    if (code) {
        FUZZ_CHECK(input.substr(0, input.find('#')).find('?') != std::string_view::npos);
        FUZZ_CHECK(GoogleSignIn::code("/?state=s&code=" + platform::percentEncode(*code)) == code);
    }

    GoogleSignIn::name(input);
    const auto payload = platform::base64UrlEncode(std::as_bytes(std::span(input.data(), input.size())));
    FUZZ_CHECK(GoogleSignIn::name("eyJhbGciOiJSUzI1NiJ9." + payload + ".c2ln") == nameInPayload(input));
    return 0;
}
