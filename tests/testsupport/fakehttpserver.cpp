#include "fakehttpserver.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

TFakeHttpServer::TFakeHttpServer(QObject* parent) : QObject(parent), Server_(new QTcpServer(this))
{
    if (!Server_->listen(QHostAddress::LocalHost, 0)) {
        qFatal("TFakeHttpServer: cannot listen on 127.0.0.1");
    }
    connect(Server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = Server_->nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Answer(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

QString TFakeHttpServer::Address() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(Server_->serverPort());
}

void TFakeHttpServer::Answer(QTcpSocket* socket)
{
    // One request per connection; it is answered once its head is complete.
    if (socket->property("answered").toBool() || !socket->peek(65536).contains("\r\n\r\n")) {
        return;
    }
    socket->setProperty("answered", true);
    const QByteArray head = socket->readAll();
    const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
    const QString path =
        requestLine.size() >= 2 ? QString::fromLatin1(requestLine.at(1)) : QString();
    const bool found = requestLine.value(0) == "GET" && Pages_.contains(path);
    const QByteArray body = found ? Pages_.value(path) : QByteArray("<html>not found</html>");
    socket->write((found ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n") +
                  QByteArray("Content-Type: text/html; charset=utf-8\r\nContent-Length: ") +
                  QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    socket->disconnectFromHost();
    Requests_.append(path);
    emit Requested(path);
}
