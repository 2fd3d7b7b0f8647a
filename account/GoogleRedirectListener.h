#pragma once

#include <QByteArray>
#include <QObject>
#include <QTcpServer>

#include <map>
#include <string>

class QTcpSocket;

namespace velorin {

// Where the browser comes back after the Google sign-in: an HTTP listener on 127.0.0.1 only,
// at a port the system picks. It waits for one GET that carries the expected `state`, answers
// it with a page telling the walker to return to Velorin, stops listening and reports the
// request's target. Anything else (another method, another state, a request over 8 KiB)
// gets 400 and the wait goes on. Nothing of a request is ever logged. GUI thread only.
class GoogleRedirectListener : public QObject {
    Q_OBJECT

public:
    static constexpr qsizetype kMaxRequestBytes = 8 * 1024;

    explicit GoogleRedirectListener(QObject* parent = nullptr);
    ~GoogleRedirectListener() override;

    // False when no port can be had.
    bool listen();
    // The state the one redirect must carry; until it is known every request gets 400.
    void setExpectedState(std::string state) { expectedState_ = std::move(state); }
    int port() const;
    bool isListening() const { return server_.isListening(); }
    // Stops listening and drops the connections still open.
    void close();

signals:
    // The target of the first good redirect ("/?state=…&code=…"); the listener has closed.
    void redirected(const QByteArray& target);

private:
    void accept();
    void receive(QTcpSocket* socket);
    // True when the request, complete, is the redirect.
    bool isRedirect(const QByteArray& request, QByteArray& target) const;
    // Writes the answer and lets the connection go once it is sent.
    void answer(QTcpSocket* socket, const QByteArray& response);

    QTcpServer server_;
    std::string expectedState_;
    // What each open connection has sent so far.
    std::map<QTcpSocket*, QByteArray> received_;
};

} // namespace velorin
