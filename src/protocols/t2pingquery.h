#pragma once

#include "model/basicquery.h"

struct TT2PingReply
{
    QByteArray Version;
    std::uint32_t MinNetProtocol = 0;
    std::uint32_t BuildVersion = 0;
    QByteArray HostName;
    TBasicData Info;
};

// The ping query of Tribes 2 servers: the server's name and version, and
// proof that it is alive before the info query follows.
class TT2PingQuery : public TBasicQuery
{
    Q_OBJECT

public:
    using TBasicQuery::TBasicQuery;

    void Query(std::int32_t tag) { SendQuery(Request(), tag); }

    static QByteArray Request() { return QByteArray("\x0E\x02\x00\x00\x00\x00", 6); }
    static constexpr int ErrorCode = 7;
    static inline const QString ErrorMessage =
        QStringLiteral("Received data, but it is not a valid Tribes 2 packet.");

    // Decodes a reply; false when it does not start with the ping header.
    static bool Decode(const TBasicData& reply, TT2PingReply& ping);

signals:
    void OnComplete(const TT2PingReply& server);

protected:
    void ProcessReply(const TBasicData& reply) override;
};
