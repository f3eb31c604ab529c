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
    // Masters end the list with an entry of one of these shapes; read as an
    // entry they would be 69.79.84.0 and 69.79.70.0, port 0.
    static constexpr QByteArrayView endOfTransmission("\\EOT\0\0\0", 7);
    static constexpr QByteArrayView endOfFile("\\EOF\0\0\0", 7);
    QList<TMasterServer> servers;
    servers.reserve(data.size() / 7);
    TReplyCursor cursor(data);
    while (cursor.Remaining() >= 7) {
        const QByteArrayView entry = cursor.Rest().first(7);
        if (entry == endOfTransmission || entry == endOfFile) {
            break;
        }
        cursor.CutLeft(1); // the separator, normally a backslash
        TMasterServer server;
        ReadMasterServer(cursor, TPortOrder::BigEndian, server);
        if (IsListedServer(server)) {
            servers.append(server);
        }
    }
    return servers;
}

void TQ3Master::ProcessReply(QByteArrayView data)
{
    for (const TMasterServer& server : Decode(data)) {
        emit OnServer(server);
    }
}
