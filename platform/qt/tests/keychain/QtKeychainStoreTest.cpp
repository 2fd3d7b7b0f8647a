#include "platform/qt/QtKeychainStore.h"

#include "platform/qt/QtMainQueue.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <utility>

using Status = platform::Keychain::Status;

namespace {

constexpr int kTimeoutMilliseconds = 20'000;
const std::string kItem = "Velorin.session";

class QtKeychainStoreTest : public ::testing::Test {
protected:
    int argc = 0;
    QCoreApplication application { argc, nullptr };
    std::shared_ptr<platform::QtMainQueue> mainQueue = std::make_shared<platform::QtMainQueue>();

    template <typename Done>
    static bool runUntil(Done done)
    {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < kTimeoutMilliseconds)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return done();
    }

    static std::pair<Status, std::optional<std::string>> read(platform::Keychain& store)
    {
        std::optional<std::pair<Status, std::optional<std::string>>> answer;
        store.read(kItem, [&](Status status, std::optional<std::string> value) { answer.emplace(status, value); });
        EXPECT_FALSE(answer) << "never answered from inside the call";
        EXPECT_TRUE(runUntil([&] { return answer.has_value(); }));
        return answer.value_or(std::pair { Status::failed, std::nullopt });
    }

    template <typename Operation>
    static Status wait(Operation operation)
    {
        std::optional<Status> answer;
        operation([&](Status status) { answer = status; });
        EXPECT_TRUE(runUntil([&] { return answer.has_value(); }));
        return answer.value_or(Status::failed);
    }
};

} // namespace

TEST_F(QtKeychainStoreTest, TheSecretServiceKeepsReplacesAndForgetsTheSession)
{
    if (!std::getenv("VELORIN_KEYRING_SESSION"))
        GTEST_SKIP() << "needs the D-Bus session with an unlocked keyring that scripts/with-keyring starts";
    platform::QtKeychainStore store(mainQueue);
    EXPECT_EQ(read(store).first, Status::notFound);

    EXPECT_EQ(wait([&](auto done) { store.save("t0k3n", kItem, done); }), Status::ok);
    EXPECT_EQ(read(store), std::pair(Status::ok, std::optional<std::string>("t0k3n")));
    {
        platform::QtKeychainStore again(mainQueue);
        EXPECT_EQ(read(again).second, "t0k3n") << "kept by the service, not by the object";
    }
    platform::QtKeychainStore other(mainQueue, "Velorin-autre");
    EXPECT_EQ(read(other).first, Status::notFound) << "another service's item is another item";

    EXPECT_EQ(wait([&](auto done) { store.save("n0uveau", kItem, done); }), Status::ok);
    EXPECT_EQ(read(store).second, "n0uveau");

    EXPECT_EQ(wait([&](auto done) { store.remove(kItem, done); }), Status::ok);
    EXPECT_EQ(read(store).first, Status::notFound);
}

TEST_F(QtKeychainStoreTest, WithoutAnySessionBusEveryOperationAnswersAndNoneSucceeds)
{
    if (std::getenv("DBUS_SESSION_BUS_ADDRESS") || std::getenv("VELORIN_KEYRING_SESSION"))
        GTEST_SKIP() << "runs where no D-Bus session is reachable";
    platform::QtKeychainStore store(mainQueue);
    EXPECT_NE(read(store).first, Status::ok);
    EXPECT_NE(wait([&](auto done) { store.save("t0k3n", kItem, done); }), Status::ok);
    EXPECT_NE(wait([&](auto done) { store.remove(kItem, done); }), Status::ok);
}
