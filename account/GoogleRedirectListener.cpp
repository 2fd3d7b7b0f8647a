#include "account/GoogleRedirectListener.h"

#include "account/GoogleSignIn.h"

#include <QHostAddress>
#include <QTcpSocket>

namespace velorin {

namespace {

const QByteArray kEndOfHeaders = QByteArrayLiteral("\r\n\r\n");

QByteArray response(const char* status, const QByteArray& page)
{
    return QByteArray("HTTP/1.1 ") + status
        + "\r\nContent-Type: text/html; charset=utf-8\r\nCache-Control: no-store\r\nConnection: close\r\nContent-Length: "
        + QByteArray::number(page.size()) + "\r\n\r\n" + page;
}

QByteArray page(const QString& text)
{
    return (QStringLiteral("<!DOCTYPE html><html lang=\"fr\"><head><meta charset=\"utf-8\"><title>Velorin</title></head>"
                           "<body><p>")
        + text.toHtmlEscaped() + QStringLiteral("</p></body></html>"))
        .toUtf8();
}

} // namespace

GoogleRedirectListener::GoogleRedirectListener(QObject* parent)
    : QObject(parent)
{
    connect(&server_, &QTcpServer::newConnection, this, &GoogleRedirectListener::accept);
}

GoogleRedirectListener::~GoogleRedirectListener()
{
    close();
}

bool GoogleRedirectListener::listen()
{
    return server_.listen(QHostAddress::LocalHost, 0);
}

int GoogleRedirectListener::port() const
{
    return server_.serverPort();
}

void GoogleRedirectListener::close()
{
    server_.close();
    for (auto& [socket, bytes] : received_) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    received_.clear();
}

void GoogleRedirectListener::accept()
{
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        received_[socket];
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { receive(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (received_.erase(socket))
                socket->deleteLater();
        });
    }
}

void GoogleRedirectListener::receive(QTcpSocket* socket)
{
    auto found = received_.find(socket);
    if (found == received_.end())
        return;
    QByteArray& request = found->second;
    request += socket->read(kMaxRequestBytes + 1 - request.size());
    const qsizetype end = request.indexOf(kEndOfHeaders);
    if (end < 0 && request.size() <= kMaxRequestBytes)
        return;
    QByteArray target;
    if (end < 0 || !isRedirect(request.left(end), target)) {
        answer(socket, response("400 Bad Request", page(QStringLiteral("Requête refusée."))));
        return;
    }
    answer(socket,
        response("200 OK", page(QStringLiteral("Connexion transmise à Velorin : vous pouvez fermer cette page."))));
    close();
    emit redirected(target);
}

bool GoogleRedirectListener::isRedirect(const QByteArray& request, QByteArray& target) const
{
    const QList<QByteArray> line = request.left(request.indexOf("\r\n")).split(' ');
    if (line.size() != 3 || line[0] != "GET" || !line[1].startsWith('/') || !line[2].startsWith("HTTP/1."))
        return false;
    if (expectedState_.empty() || GoogleSignIn::queryItem(line[1].toStdString(), "state") != expectedState_)
        return false;
    target = line[1];
    return true;
}

void GoogleRedirectListener::answer(QTcpSocket* socket, const QByteArray& bytes)
{
    received_.erase(socket);
    socket->disconnect(this);
    // On its own from now on: the answer still goes out if the listener is destroyed meanwhile.
    socket->setParent(nullptr);
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    socket->write(bytes);
    socket->disconnectFromHost();
    if (socket->state() == QAbstractSocket::UnconnectedState)
        socket->deleteLater();
}

} // namespace velorin
