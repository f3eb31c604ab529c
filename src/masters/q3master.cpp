#include "masters/q3master.h"

#include "model/replybuffer.h"

void TQ3Master::Request()
{
    SetPrefix(ReplyPrefix(), true);
    SendRequest(Packet(Version_));
}

QByteArray TQ3Master::Packet(std::int32_t version)
{
    return "\xFF\xFF\xFF\xFF"
           "getservers " +
           QByteArray::number(version) + " empty full";
}

QList<TMasterServer> TQ3Master::Decode(QByteArrayView data)
{
    // Masters end the list with an entry of this shape; read as an entry it
    // would be 69.79.84.0 port 0.
    static constexpr QByteArrayView endOfList("\\EOT\0\0\0", 7);
    QList<TMasterServer> servers;
    servers.reserve(data.size() / 7);
    TReplyCursor cursor(data);
    while (cursor.Remaining() >= 7 && cursor.Rest().first(7) != endOfList) {
        cursor.CutLeft(1); // the separator, normally a backslash
        TMasterServer server;
        ReadMasterServer(cursor, TPortOrder::BigEndian, server);
        servers.append(server);
    }
    return servers;
}

void TQ3Master::ProcessReply(QByteArrayView data)
{
    for (const TMasterServer& server : Decode(data)) {
        emit OnServer(server);
    }
}
