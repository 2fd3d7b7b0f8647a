// The account server's answer: a reply that decodes came from a JSON object with a Boolean
// "ok", and each text it keeps is the string the object holds under its key.

#include "account/AccountReply.h"
#include "fuzz/FuzzCheck.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace {

bool holds(const nlohmann::json& object, const char* key, const std::optional<std::string>& field)
{
    const auto found = object.find(key);
    if (found == object.end() || found->is_null())
        return !field;
    return field && found->is_string() && found->get_ref<const std::string&>() == *field;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace velorin;
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    const auto reply = AccountReply::decode(body);
    if (!reply)
        return 0;
    const auto json = nlohmann::json::parse(body, nullptr, false);
    FUZZ_CHECK(json.is_object());
    const auto ok = json.find("ok");
    FUZZ_CHECK(ok != json.end() && ok->is_boolean() && ok->get<bool>() == reply->ok);
    FUZZ_CHECK(holds(json, "session", reply->session) && holds(json, "email", reply->email)
        && holds(json, "nom", reply->nom) && holds(json, "erreur", reply->erreur)
        && holds(json, "message", reply->message));
    return 0;
}
