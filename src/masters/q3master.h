#pragma once

#include <QList>

#include "masters/master.h"
#include "masters/masterserver.h"

// Asks a Quake 3 Arena master for its server list. Every datagram carries the
// prefix; every entry is a separator byte, an address and a big-endian port.
class TQ3Master : public TMaster
{
    Q_OBJECT

public:
    using TMaster::TMaster;

    void Request() override;

    // The protocol version written into the request.
    std::int32_t Version() const { return Version_; }
    void SetVersion(std::int32_t version) { Version_ = version; }

    static QByteArray Packet(std::int32_t version);
    static QByteArray ReplyPrefix()
    {
        return QByteArray("\xFF\xFF\xFF\xFF"
                          "getserversResponse");
    }

    // The servers of one datagram's accepted bytes. A short tail is not a
    // server, and the end-of-list entries "\EOT" and "\EOF" with three zero
    // bytes end the list; an entry of port 0 is left out.
    static QList<TMasterServer> Decode(QByteArrayView data);

signals:
    void OnServer(const TMasterServer& server);

protected:
    void ProcessReply(QByteArrayView data) override;

private:
    std::int32_t Version_ = 0;
};
