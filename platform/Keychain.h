#pragma once

#include <functional>
#include <optional>
#include <string>

namespace platform {

// The desktop's store of secrets: one text value per account name, kept across runs and
// readable by this user only. Operations take effect in the order they are called and
// answer later, never from inside the call, on the executor the store was made with.
// Main thread only.
class Keychain {
public:
    enum class Status {
        ok,
        // Nothing is stored under the account (a removal counts this as done).
        notFound,
        // No secret store is running on this desktop.
        unavailable,
        failed,
    };

    // The value only when the status is `ok`; bytes that are not UTF-8 read as `failed`.
    using ReadCompletion = std::function<void(Status status, std::optional<std::string> value)>;
    using Completion = std::function<void(Status status)>;

    virtual ~Keychain() = default;

    virtual void read(const std::string& account, ReadCompletion completion) = 0;
    // Replaces what the account held.
    virtual void save(const std::string& value, const std::string& account, Completion completion) = 0;
    virtual void remove(const std::string& account, Completion completion) = 0;
};

} // namespace platform
