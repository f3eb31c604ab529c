#include "masters/hlsteammaster.h"

#include "masters/hlmaster.h"
#include "model/replybuffer.h"

void THLSteamMaster::Request()
{
    ++List_;
    Seen_.clear();
    Pages_ = 0;
    Listing_ = true;
    AskFrom(FirstAddress());
}

void THLSteamMaster::AskFrom(const QByteArray& lastAddress)
{
    ++Pages_;
    SetPrefix(ReplyPrefix(), true);
    SendRequest(Packet(Region_, lastAddress, Filter_));
}

QByteArray THLSteamMaster::Packet(std::uint8_t region, QByteArrayView lastAddress,
                                  QByteArrayView filter)
{
    QByteArray packet;
    packet.reserve(2 + lastAddress.size() + 1 + filter.size() + 1);
    packet.append('1').append(char(region));
    packet.append(lastAddress).append('\0');
    packet.append(filter).append('\0');
    return packet;
}

QByteArray THLSteamMaster::AddressText(const TMasterServer& server)
{
    return server.IP.toLatin1() + ':' + QByteArray::number(server.Port);
}

QList<TMasterServer> THLSteamMaster::Decode(QByteArrayView data)
{
    // The entries of the documented master, but the end entry 0.0.0.0:0
    // stays: it tells a complete list from one cut short.
    QList<TMasterServer> servers;
    servers.reserve(data.size() / 6);
    TReplyCursor cursor(data);
    for (TMasterServer server; ReadMasterServer(cursor, TPortOrder::BigEndian, server);) {
        if (IsListedServer(server) || IsEndOfList(server)) {
            servers.append(server);
        }
    }
    return servers;
}

void THLSteamMaster::ProcessReply(QByteArrayView data)
{
    if (!Listing_) {
        return; // a page that comes after the list ended
    }
    const std::uint64_t list = List_;
    const QList<TMasterServer> entries = Decode(data);
    bool ended = false;
    bool anyNew = false;
    for (const TMasterServer& server : entries) {
        if (IsEndOfList(server)) {
            ended = true;
            break;
        }
        if (!Seen_.contains(MasterServerKey(server))) {
            Seen_.insert(MasterServerKey(server));
            anyNew = true;
            emit OnServer(server);
            if (list != List_) {
                return; // a handler asked again
            }
        }
    }
    if (ended) {
        Finish(true);
    } else if (!anyNew || Pages_ >= MaxPages_) {
        Finish(false);
    } else {
        AskFrom(AddressText(entries.last()));
    }
}

void THLSteamMaster::RequestTimedOut()
{
    if (Seen_.isEmpty() || !Listing_) {
        Listing_ = false;
        TMaster::RequestTimedOut();
        return;
    }
    Finish(false);
}

void THLSteamMaster::Finish(bool complete)
{
    Listing_ = false;
    emit OnListEnd(complete);
}
