#include "account/GoogleRedirectListener.h"

#include "testing/LogCapture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

using velorin::GoogleRedirectListener;

namespace {

constexpr int kTimeoutMilliseconds = 10'000;

class GoogleRedirectListenerTest : public ::testing::Test {
protected:
    int argc = 0;
    QCoreApplication application { argc, nullptr };
    testing_support::LogCapture log;
    GoogleRedirectListener listener;
    std::optional<QByteArray> redirect;

    void SetUp() override
    {
        QObject::connect(&listener, &GoogleRedirectListener::redirected, [this](const QByteArray& target) {
            redirect = target;
        });
        ASSERT_TRUE(listener.listen());
        listener.setExpectedState("st4te");
    }

    static bool runUntil(const std::function<bool()>& done)
    {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < kTimeoutMilliseconds)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return done();
    }

    // Sends `request` as a browser would and returns the whole answer, once the listener closed.
    QByteArray send(const QByteArray& request, int port = 0)
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, quint16(port ? port : listener.port()));
        EXPECT_TRUE(runUntil([&] { return socket.state() == QAbstractSocket::ConnectedState; }));
        socket.write(request);
        QByteArray answer;
        runUntil([&] {
            answer += socket.readAll();
            return socket.state() == QAbstractSocket::UnconnectedState;
        });
        return answer + socket.readAll();
    }

    static QByteArray get(const QByteArray& target)
    {
        return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: Navigateur\r\n\r\n";
    }
};

} // namespace

TEST_F(GoogleRedirectListenerTest, OnlyAGetWithTheRightStateIsTheRedirectAndTheRestGets400)
{
    GoogleRedirectListener unsure;
    ASSERT_TRUE(unsure.listen());
    EXPECT_TRUE(send(get("/?code=4%2F0Ab&state="), unsure.port()).startsWith("HTTP/1.1 400 "))
        << "until the state is known nothing is the redirect";
    for (const QByteArray& request : {
             get("/?code=4%2F0Ab&state=autre"),
             get("/?code=4%2F0Ab"),
             get("/favicon.ico"),
             QByteArray("POST /?code=4%2F0Ab&state=st4te HTTP/1.1\r\nContent-Length: 0\r\n\r\n"),
             QByteArray("GET http://127.0.0.1/?state=st4te HTTP/1.1\r\n\r\n"),
             QByteArray("n'importe quoi\r\n\r\n"),
             "GET /?state=st4te&x=" + QByteArray(GoogleRedirectListener::kMaxRequestBytes, 'x') + " HTTP/1.1\r\n\r\n",
         }) {
        const QByteArray answer = send(request);
        EXPECT_TRUE(answer.startsWith("HTTP/1.1 400 ")) << request.left(60).toStdString() << " → " << answer.left(40).toStdString();
        EXPECT_FALSE(redirect) << request.left(60).toStdString();
        EXPECT_TRUE(listener.isListening()) << "the wait goes on";
    }

    const QByteArray answer = send(get("/?state=st4te&code=4%2F0Ab&scope=email"));
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 200 OK")) << answer.toStdString();
    EXPECT_TRUE(answer.contains("vous pouvez fermer cette page")) << answer.toStdString();
    ASSERT_TRUE(runUntil([&] { return redirect.has_value(); }));
    EXPECT_EQ(*redirect, "/?state=st4te&code=4%2F0Ab&scope=email");
    EXPECT_FALSE(listener.isListening()) << "closed after the first good redirect";

    QTcpSocket late;
    late.connectToHost(QHostAddress::LocalHost, quint16(listener.port()));
    EXPECT_TRUE(runUntil([&] { return late.state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_EQ(late.error(), QAbstractSocket::ConnectionRefusedError);
    EXPECT_TRUE(log.entries().empty()) << "no request is ever logged";
}

TEST_F(GoogleRedirectListenerTest, ARequestArrivingInPiecesIsReadWhole)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, quint16(listener.port()));
    ASSERT_TRUE(runUntil([&] { return socket.state() == QAbstractSocket::ConnectedState; }));
    const QByteArray request = get("/?code=c0de&state=st4te");
    for (qsizetype at = 0; at < request.size(); at += 7) {
        socket.write(request.mid(at, 7));
        socket.waitForBytesWritten(kTimeoutMilliseconds);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    EXPECT_TRUE(runUntil([&] { return redirect.has_value(); }));
    EXPECT_EQ(redirect, QByteArray("/?code=c0de&state=st4te"));
}
