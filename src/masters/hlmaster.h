#pragma once

#include <QList>

#include "masters/master.h"
#include "masters/masterserver.h"

// Asks a Half-Life master for its server list. Only the first datagram of an
// answer carries the prefix; every entry is an address and a big-endian port.
class THLMaster : public TMaster
{
    Q_OBJECT

public:
    using TMaster::TMaster;

    void Request() override;

    static QByteArray Packet() { return QByteArray("c", 1); }
    static QByteArray ReplyPrefix() { return QByteArray("\xFF\xFF\xFF\xFF\x64\x0D", 6); }

    // The servers of one datagram's accepted bytes; a short tail is ignored.
    static QList<TMasterServer> Decode(QByteArrayView data);

signals:
    void OnServer(const TMasterServer& server);

protected:
    void ProcessReply(QByteArrayView data) override;
};
