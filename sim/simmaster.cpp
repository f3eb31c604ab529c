#include "simmaster.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

#include "masters/hlsteammaster.h"
#include "model/replybuffer.h"
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

void TSimMaster::SetHLSteam(qsizetype pageSize)
{
    SteamPageSize_ = qBound<qsizetype>(1, pageSize, HLSteamMasterPageSize);
    SteamIndex_.clear();
    for (qsizetype i = 0; i < Servers_.size(); ++i) {
        SteamIndex_.insert(THLSteamMaster::AddressText(Servers_[i]), i);
    }
}

void TSimMaster::SetProtocols(const QList<int>& protocols)
{
    Protocols_ = protocols;
    ByVersion_.clear();
}

QList<QByteArray> TSimMaster::Answer(const QByteArray& request)
{
    if (Protocol_ == TMasterProtocol::HalfLife && IsHLSteam()) {
        THLSteamMasterRequest asked;
        if (!ParseHLSteamMasterRequest(request, asked)) {
            return {};
        }
        // An address it does not know, 0.0.0.0:0 among them, starts the list.
        const qsizetype from = SteamIndex_.value(asked.LastAddress, -1) + 1;
        const qsizetype end = qMin(Servers_.size(), from + SteamPageSize_);
        return {EncodeHLSteamMasterPage(Servers_.mid(from, end - from), end == Servers_.size())};
    }
    static const QByteArray getservers("\xFF\xFF\xFF\xFFgetservers ");
    if (Protocol_ == TMasterProtocol::Quake3 && !Protocols_.isEmpty() &&
        request.startsWith(getservers)) {
        const int version = ToIntDef(request.mid(getservers.size()).split(' ').value(0), -1);
        auto found = ByVersion_.find(version);
        if (found == ByVersion_.end()) {
            QList<TMasterServer> listed;
            for (qsizetype i = 0; i < Servers_.size(); ++i) {
                if (Protocols_.value(i) == version) {
                    listed.append(Servers_[i]);
                }
            }
            found = ByVersion_.insert(version, EncodeQ3MasterList(listed));
        }
        return *found;
    }

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
            LastRequest_ = datagram.data();
        }
        for (const QByteArray& part : answer) {
            Socket_->writeDatagram(part, datagram.senderAddress(),
                                   std::uint16_t(datagram.senderPort()));
        }
    }
}
