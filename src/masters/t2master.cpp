#include "masters/t2master.h"

#include "model/replybuffer.h"

void TT2Master::Request()
{
    SetPrefix(ReplyPrefix(), true);
    SendRequest(Packet());
}

QByteArray TT2Master::Packet()
{
    // List request, no flags, key 0, game and mission type "any", 0 to 255
    // players, every region.
    static const char packet[] = "\x06\x00\x00\x00\x00\x00\xFF"
                                 "\x03"
                                 "any"
                                 "\x03"
                                 "any"
                                 "\x00\xFF\xFF\xFF\xFF\xFF\x00";
    return QByteArray(packet, sizeof packet - 1);
}

QList<TMasterServer> TT2Master::Decode(QByteArrayView data)
{
    QList<TMasterServer> servers;
    TReplyCursor cursor(data);
    std::uint16_t count = 0;
    if (!cursor.CutLeft(2) || !cursor.ReadBytes(count)) { // two bytes not used, then the count
        return servers;
    }
    servers.reserve(qMin<qsizetype>(count, cursor.Remaining() / 6));
    TMasterServer server;
    for (int i = 0; i < count && ReadMasterServer(cursor, TPortOrder::LittleEndian, server); ++i) {
        if (IsListedServer(server)) {
            servers.append(server);
        }
    }
    return servers;
}

void TT2Master::ProcessReply(QByteArrayView data)
{
    for (const TMasterServer& server : Decode(data)) {
        emit OnComplete(server);
    }
}
