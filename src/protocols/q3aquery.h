#pragma once

#include <QList>

#include "model/basicquery.h"
#include "model/genericserver.h"

struct TQ3AServer
{
    struct TPlayer
    {
        std::int32_t Frags = 0;
        std::int32_t Ping = 0;
        QByteArray Name;

        friend bool operator==(const TPlayer&, const TPlayer&) = default;
    };

    TBasicData Info;
    std::int32_t RuleCount = 0;
    TRuleList Rules;
    std::int32_t PlayerCount = 0;
    QList<TPlayer> Players;
    std::int32_t MaxPlayers = 0; // "sv_maxclients"
    QByteArray Map;              // "mapname"
    QByteArray Name;             // "sv_hostname" without colour codes
    QByteArray GameName;         // "gamename"
    QByteArray Version;          // "version"

    friend bool operator==(const TQ3AServer&, const TQ3AServer&) = default;
};

// The status query of Quake 3 Arena servers.
class TQ3AQuery : public TBasicQuery
{
    Q_OBJECT

public:
    using TBasicQuery::TBasicQuery;

    void Query(std::int32_t tag) { SendQuery(Request(), tag); }

    static QByteArray Request() { return QByteArray("\xFF\xFF\xFF\xFFgetstatus", 13); }
    static constexpr int ErrorCode = 4;
    static inline const QString ErrorMessage =
        QStringLiteral("Received data, but it is not a valid Quake 3 Arena packet.");

    // Decodes a reply; false when it does not start with the status header.
    static bool Decode(const TBasicData& reply, TQ3AServer& server);

signals:
    void OnComplete(const TQ3AServer& server);

protected:
    void ProcessReply(const TBasicData& reply) override;
};
