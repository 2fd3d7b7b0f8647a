#pragma once

#include "platform/Executor.h"
#include "platform/Keychain.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace testing_support {

// A keychain in memory for tests: it answers on the given executor, in order, like the
// desktop's, and a test can make it fail, hold its answers back, or look at what it keeps.
// Main thread only.
class InMemoryKeychain final : public platform::Keychain {
public:
    explicit InMemoryKeychain(std::shared_ptr<platform::Executor> answersOn)
        : answersOn_(std::move(answersOn))
    {
    }

    void read(const std::string& account, ReadCompletion completion) override
    {
        ++operations;
        if (failure)
            return answer([completion, status = *failure] { completion(status, std::nullopt); });
        auto found = items.find(account);
        if (found == items.end())
            return answer([completion] { completion(Status::notFound, std::nullopt); });
        answer([completion, value = found->second] { completion(Status::ok, value); });
    }

    void save(const std::string& value, const std::string& account, Completion completion) override
    {
        ++operations;
        if (failure)
            return answer([completion, status = *failure] { completion(status); });
        items[account] = value;
        answer([completion] { completion(Status::ok); });
    }

    void remove(const std::string& account, Completion completion) override
    {
        ++operations;
        if (failure)
            return answer([completion, status = *failure] { completion(status); });
        const bool removed = items.erase(account) > 0;
        answer([completion, removed] { completion(removed ? Status::ok : Status::notFound); });
    }

    // Answers held back while `holding`, until `release`.
    void hold() { holding_ = true; }
    void release()
    {
        holding_ = false;
        while (!held_.empty()) {
            answersOn_->post(std::move(held_.front()));
            held_.pop_front();
        }
    }

    // What is kept, by account name.
    std::map<std::string, std::string> items;
    // When set, every operation does nothing and answers this.
    std::optional<Status> failure;
    int operations = 0;

private:
    void answer(std::function<void()> work)
    {
        if (holding_)
            held_.push_back(std::move(work));
        else
            answersOn_->post(std::move(work));
    }

    std::shared_ptr<platform::Executor> answersOn_;
    bool holding_ = false;
    std::deque<std::function<void()>> held_;
};

} // namespace testing_support
