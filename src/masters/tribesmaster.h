#pragma once

#include <QList>

#include "masters/master.h"
#include "masters/masterserver.h"

// What one datagram of a Tribes master's answer holds.
struct TTribesMasterPacket
{
    bool HasMOTD = false; // packet number 1: the master's name and message follow the header
    QByteArray MasterName;
    QByteArray MessageOfTheDay;
    QList<TMasterServer> Servers;
};

// Asks a Starsiege: Tribes master for its server list. Every datagram carries
// the prefix; the first one also names the master and its message of the
// day. The server count is big-endian, the ports little-endian.
class TTribesMaster : public TMaster
{
    Q_OBJECT

public:
    using TMaster::TMaster;

    void Request() override;

    static QByteArray Packet() { return QByteArray("\x10\x03\xFF\x00\x02", 5); }
    static QByteArray ReplyPrefix() { return QByteArray("\x10\x06", 2); }

    // Decodes one datagram's accepted bytes. A count larger than the entries
    // present stops at the last complete entry; a header cut short holds
    // nothing at all.
    static TTribesMasterPacket Decode(QByteArrayView data);

signals:
    void OnServer(const TMasterServer& server);
    void OnMOTD(const QByteArray& masterName, const QByteArray& messageOfTheDay);

protected:
    void ProcessReply(QByteArrayView data) override;
};
