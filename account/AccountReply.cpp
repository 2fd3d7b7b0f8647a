#include "account/AccountReply.h"

#include <nlohmann/json.hpp>

namespace velorin {

std::optional<AccountReply> AccountReply::decode(std::string_view body)
{
    const auto json = nlohmann::json::parse(body, nullptr, false);
    if (json.is_discarded() || !json.is_object())
        return std::nullopt;
    const auto ok = json.find("ok");
    if (ok == json.end() || !ok->is_boolean())
        return std::nullopt;
    AccountReply reply;
    reply.ok = ok->get<bool>();
    bool wellFormed = true;
    const auto text = [&](const char* key, std::optional<std::string>& field) {
        const auto value = json.find(key);
        if (value == json.end() || value->is_null())
            return;
        if (value->is_string())
            field = value->get<std::string>();
        else
            wellFormed = false;
    };
    text("session", reply.session);
    text("email", reply.email);
    text("nom", reply.nom);
    text("erreur", reply.erreur);
    text("message", reply.message);
    if (!wellFormed)
        return std::nullopt;
    return reply;
}

} // namespace velorin
