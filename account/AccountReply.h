#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velorin {

// The account server's JSON answer to every action: `ok` is required and Boolean; the other
// keys are strings, absent or null. A plain value; any thread.
struct AccountReply {
    bool ok = false;
    std::optional<std::string> session;
    std::optional<std::string> email;
    std::optional<std::string> nom;
    std::optional<std::string> erreur;
    std::optional<std::string> message;

    // Nothing for a body of any other shape.
    static std::optional<AccountReply> decode(std::string_view body);

    bool operator==(const AccountReply&) const = default;
};

} // namespace velorin
