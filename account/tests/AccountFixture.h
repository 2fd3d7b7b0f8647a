#pragma once

// An account service over a loopback account server, a keychain in memory, preferences in a
// temporary folder and a drainable main queue, with what the update plug-in was told.

#include "account/AccountService.h"
#include "platform/Base64.h"
#include "platform/DrainableMainQueue.h"
#include "platform/ManualClock.h"
#include "testing/InMemoryKeychain.h"
#include "testing/LogCapture.h"
#include "testing/LoopbackServer.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fmt/format.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// An identity token as Google signs one, its payload the given JSON text.
inline std::string idToken(std::string_view payload)
{
    return "eyJhbGciOiJSUzI1NiJ9." + platform::base64UrlEncode(std::as_bytes(std::span(payload.data(), payload.size())))
        + ".c2lnbmF0dXJl";
}

class AccountFixture : public ::testing::Test {
protected:
    using Account = velorin::AccountService::Account;
    using Failure = velorin::AccountService::Failure;

    static constexpr const char* kActions = "/wd/bloc/*";

    LogCapture log;
    LoopbackServer server;
    TemporaryFolder folder;
    std::shared_ptr<platform::DrainableMainQueue> mainQueue = std::make_shared<platform::DrainableMainQueue>();
    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>(1000.0);
    std::shared_ptr<InMemoryKeychain> keychain = std::make_shared<InMemoryKeychain>(mainQueue);
    std::shared_ptr<platform::UserDefaults> defaults
        = std::make_shared<platform::UserDefaults>(folder / "defaults.json");
    velorin::ServiceHosts hosts = loopbackHosts(server.port());
    // What `utilisateur:` carried, in order.
    std::vector<std::optional<std::string>> pluginMessages;
    int changes = 0;
    std::unique_ptr<velorin::AccountService> accounts;

    static velorin::ServiceHosts loopbackHosts(int port)
    {
        velorin::ServiceHosts hosts;
        hosts.scheme = "http";
        hosts.accountHost = fmt::format("127.0.0.1:{}", port);
        return hosts;
    }

    void TearDown() override
    {
        accounts.reset();
        mainQueue->drain();
    }

    velorin::AccountService& make()
    {
        accounts.reset();
        pluginMessages.clear();
        accounts = std::make_unique<velorin::AccountService>(velorin::AccountService::Dependencies {
            hosts, defaults, keychain, clock, mainQueue,
            [this](const std::optional<std::string>& email) { pluginMessages.push_back(email); } });
        accounts->onChange = [this] { ++changes; };
        return *accounts;
    }

    // Runs main-queue blocks until `done` holds; false when it still does not after a while.
    bool runUntil(const std::function<bool()>& done, double seconds = 20)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!done()) {
            if (std::chrono::steady_clock::now() >= until)
                return false;
            mainQueue->runOneWaiting(0.02);
        }
        return true;
    }

    // The outcome of an operation that takes a completion.
    template <typename Operation>
    std::optional<Failure> outcome(Operation operation)
    {
        std::optional<std::optional<Failure>> result;
        operation([&](std::optional<Failure> failure) { result = std::move(failure); });
        EXPECT_TRUE(runUntil([&] { return result.has_value(); }));
        return result.value_or(Failure { "no answer" });
    }

    std::optional<Failure> signIn(const std::string& email = "marie@example.fr", const std::string& password = "s3cret")
    {
        return outcome([&](auto completion) { accounts->signIn(email, password, completion); });
    }

    void checkSession()
    {
        bool done = false;
        accounts->checkSession([&] { done = true; });
        EXPECT_TRUE(runUntil([&] { return done; }));
    }

    // The server's answer to every action.
    void answer(int status, std::string body, httplib::Headers headers = {})
    {
        server.route(kActions, LoopbackServer::reply(status, std::move(body), std::move(headers)));
    }

    // Signed in as Marie with the token "t0k3n", the keychain answered.
    void signInMarie()
    {
        answer(200, R"({"ok": true, "session": "t0k3n", "email": "marie@example.fr", "nom": "Marie"})");
        ASSERT_EQ(signIn(), std::nullopt);
        mainQueue->drain();
    }

    std::vector<LoopbackServer::Received> requestsTo(const std::string& target) const
    {
        std::vector<LoopbackServer::Received> found;
        for (auto& request : server.requests())
            if (request.target == target)
                found.push_back(request);
        return found;
    }
};

} // namespace testing_support
