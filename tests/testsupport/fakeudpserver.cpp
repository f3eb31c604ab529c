#include "fakeudpserver.h"

#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

TFakeUdpServer::TFakeUdpServer(QObject* parent)
    : QObject(parent), Socket_(new QUdpSocket(this)), OtherSocket_(new QUdpSocket(this))
{
    if (!Socket_->bind(QHostAddress::LocalHost, 0) ||
        !OtherSocket_->bind(QHostAddress::LocalHost, 0)) {
        qFatal("TFakeUdpServer: cannot bind to loopback");
    }
    connect(Socket_, &QUdpSocket::readyRead, this, &TFakeUdpServer::ReadPending);
}

std::uint16_t TFakeUdpServer::Port() const
{
    return Socket_->localPort();
}

void TFakeUdpServer::SendToLastClient(const QByteArray& data)
{
    Socket_->writeDatagram(data, LastClient_, LastClientPort_);
}

void TFakeUdpServer::ReadPending()
{
    while (Socket_->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = Socket_->receiveDatagram();
        if (!datagram.isValid()) {
            break;
        }
        Requests_.append(datagram.data());
        LastClient_ = datagram.senderAddress();
        LastClientPort_ = std::uint16_t(datagram.senderPort());
        emit RequestReceived(datagram.data());
        Answer(LastClient_, LastClientPort_, datagram.data());
    }
}

void TFakeUdpServer::Answer(const QHostAddress& to, std::uint16_t port, const QByteArray& request)
{
    const QList<QByteArray> replies = Responder_ ? Responder_(request) : Replies_;
    const auto send = [this, to, port](QUdpSocket* from, const QList<QByteArray>& datagrams) {
        for (const QByteArray& datagram : datagrams) {
            from->writeDatagram(datagram, to, port);
            emit ReplySent(datagram);
        }
    };
    switch (Behaviour_) {
    case TBehaviour::Answer:
        send(Socket_, replies);
        break;
    case TBehaviour::Silent:
        break;
    case TBehaviour::AnswerTwice:
        send(Socket_, replies);
        send(Socket_, replies);
        break;
    case TBehaviour::AnswerFromOtherPort:
        send(OtherSocket_, replies);
        break;
    case TBehaviour::AnswerLate:
        QTimer::singleShot(Delay_, this, [send, this, replies] { send(Socket_, replies); });
        break;
    case TBehaviour::Oversized:
        send(Socket_, {QByteArray(OversizedBytes, 'x')});
        break;
    }
}
