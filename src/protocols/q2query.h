#pragma once

#include <QList>

#include "model/basicquery.h"
#include "model/genericserver.h"
#include "protocols/q3aquery.h"

// The record of a Quake 2 family status reply: the fields of TQ3AServer,
// filled from the Quake 2 rule names.
struct TQ2Server
{
    using TPlayer = TQ3AServer::TPlayer;

    TBasicData Info;
    std::int32_t RuleCount = 0;
    TRuleList Rules;
    std::int32_t PlayerCount = 0;
    QList<TPlayer> Players;
    std::int32_t MaxPlayers = 0; // "maxclients"
    QByteArray Map;              // "mapname"
    QByteArray Name;             // "hostname", unchanged
    QByteArray GameName;         // "gamename"
    QByteArray Version;          // "version"
};

// The status query of Quake 2 and the games that answer it (Kingpin,
// Heretic 2, SiN, Soldier of Fortune). One class serves all five; the owner
// keeps one instance per game so that each game's replies reach its own
// handlers.
class TQ2Query : public TBasicQuery
{
    Q_OBJECT

public:
    using TBasicQuery::TBasicQuery;

    void Query(std::int32_t tag) { SendQuery(Request(), tag); }

    static QByteArray Request() { return QByteArray("\xFF\xFF\xFF\xFFstatus", 10); }
    static constexpr int ErrorCode = 5;
    static inline const QString ErrorMessage =
        QStringLiteral("Received data, but it is not a valid Quake 2 packet.");

    // Decodes a reply; false when it does not start with the print header.
    static bool Decode(const TBasicData& reply, TQ2Server& server);

signals:
    void OnComplete(const TQ2Server& server);

protected:
    void ProcessReply(const TBasicData& reply) override;
};
