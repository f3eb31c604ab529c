#include "masters/tribesmaster.h"

#include "model/replybuffer.h"

void TTribesMaster::Request()
{
    SetPrefix(ReplyPrefix(), true);
    SendRequest(Packet());
}

TTribesMasterPacket TTribesMaster::Decode(QByteArrayView data)
{
    TTribesMasterPacket packet;
    TReplyCursor cursor(data);
    // Packet number, packet count and two 2-byte fields.
    if (cursor.Remaining() < 6) {
        return packet;
    }
    const std::uint8_t number = cursor.ReadU8();
    cursor.CutLeft(5);
    if (number == 1) {
        packet.HasMOTD = true;
        packet.MasterName = cursor.TakePString();
        packet.MessageOfTheDay = cursor.TakePString();
    }
    const int count = cursor.ReadU16BE();
    packet.Servers.reserve(qMin<qsizetype>(count, cursor.Remaining() / 7));
    for (int i = 0; i < count && cursor.Remaining() >= 7; ++i) {
        cursor.CutLeft(1); // the entry's length byte, normally 6
        TMasterServer server;
        ReadMasterServer(cursor, TPortOrder::LittleEndian, server);
        if (IsListedServer(server)) {
            packet.Servers.append(server);
        }
    }
    return packet;
}

void TTribesMaster::ProcessReply(QByteArrayView data)
{
    const TTribesMasterPacket packet = Decode(data);
    if (packet.HasMOTD) {
        emit OnMOTD(packet.MasterName, packet.MessageOfTheDay);
    }
    for (const TMasterServer& server : packet.Servers) {
        emit OnServer(server);
    }
}
