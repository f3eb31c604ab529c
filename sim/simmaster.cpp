#include "simmaster.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

#include "wire/masterwire.h"

TSimMaster::TSimMaster(TMasterProtocol protocol, QList<TMasterServer> servers, QObject* parent)
    : QObject(parent), Protocol_(protocol), Servers_(std::move(servers)),
      Socket_(new QUdpSocket(this))
{
    switch (Protocol_) {
    case TMasterProtocol::HalfLife:
        Datagrams_ = EncodeHLMasterList(Servers_);
        break;
    case TMasterProtocol::Quake3:
        Datagrams_ = EncodeQ3MasterList(Servers_);
        break;
    case TMasterProtocol::Tribes:
        Datagrams_ = EncodeTribesMasterList(Servers_, MasterName, MessageOfTheDay);
        break;
    case TMasterProtocol::Tribes2:
        Datagrams_ = EncodeT2MasterList(Servers_);
        break;
    case TMasterProtocol::None:
        break;
    }
    connect(Socket_, &QUdpSocket::readyRead, this, &TSimMaster::ReadPending);
}

bool TSimMaster::Bind(std::uint16_t port)
{
    if (!Socket_->bind(QHostAddress::LocalHost, port, QAbstractSocket::DontShareAddress)) {
        Error_ = Socket_->errorString();
        return false;
    }
    return true;
}

std::uint16_t TSimMaster::Port() const
{
    return Socket_->localPort();
}

QList<QByteArray> TSimMaster::Answer(const QByteArray& request) const
{
    // Each protocol's list request, by its first bytes (Half-Life clients
    // ask with "c", later ones with "1" and a region).
    bool asks = false;
    switch (Protocol_) {
    case TMasterProtocol::HalfLife:
        asks = request.startsWith('c') || request.startsWith('1');
        break;
    case TMasterProtocol::Quake3:
        asks = request.startsWith("\xFF\xFF\xFF\xFFgetservers ");
        break;
    case TMasterProtocol::Tribes:
        asks = request.startsWith(QByteArrayView("\x10\x03", 2));
        break;
    case TMasterProtocol::Tribes2:
        asks = request.startsWith('\x06');
        break;
    case TMasterProtocol::None:
        break;
    }
    return asks ? Datagrams_ : QList<QByteArray>{};
}

void TSimMaster::ReadPending()
{
    while (Socket_->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = Socket_->receiveDatagram();
        if (!datagram.isValid()) {
            break;
        }
        const QList<QByteArray> answer = Answer(datagram.data());
        if (!answer.isEmpty()) {
            ++Requests_;
        }
        for (const QByteArray& part : answer) {
            Socket_->writeDatagram(part, datagram.senderAddress(),
                                   std::uint16_t(datagram.senderPort()));
        }
    }
}
