#include "masters/hlmaster.h"

#include "model/replybuffer.h"

void THLMaster::Request()
{
    SetPrefix(ReplyPrefix(), false);
    SendRequest(Packet());
}

QList<TMasterServer> THLMaster::Decode(QByteArrayView data)
{
    QList<TMasterServer> servers;
    servers.reserve(data.size() / 6);
    TReplyCursor cursor(data);
    for (TMasterServer server; ReadMasterServer(cursor, TPortOrder::BigEndian, server);) {
        if (IsListedServer(server)) {
            servers.append(server);
        }
    }
    return servers;
}

void THLMaster::ProcessReply(QByteArrayView data)
{
    for (const TMasterServer& server : Decode(data)) {
        emit OnServer(server);
    }
}
