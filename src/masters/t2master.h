#pragma once

#include <QList>

#include "masters/master.h"
#include "masters/masterserver.h"

// Asks a Tribes 2 master for its server list. Every datagram carries the
// prefix; count and ports are little-endian. OnComplete is raised once per
// listed server.
class TT2Master : public TMaster
{
    Q_OBJECT

public:
    using TMaster::TMaster;

    void Request() override;

    static QByteArray Packet();
    static QByteArray ReplyPrefix() { return QByteArray("\x08\x00\x00\x00\x00\x00", 6); }

    // The servers of one datagram's accepted bytes. A count larger than the
    // entries present stops at the last complete entry.
    static QList<TMasterServer> Decode(QByteArrayView data);

signals:
    void OnComplete(const TMasterServer& server);

protected:
    void ProcessReply(QByteArrayView data) override;
};
