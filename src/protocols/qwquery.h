#pragma once

#include <QList>

#include "model/basicquery.h"
#include "model/genericserver.h"

struct TQWServer
{
    struct TPlayer
    {
        std::int32_t UserID = 0;
        std::int32_t Frags = 0;
        std::int32_t Time = 0;
        std::int32_t Ping = 0;
        QByteArray Name; // translated from the QuakeWorld character set
        QByteArray Skin;
        std::int32_t TopColor = 0;
        std::int32_t BottomColor = 0;
    };

    TBasicData Info;
    std::int32_t RuleCount = 0;
    TRuleList Rules;
    std::int32_t PlayerCount = 0;
    QList<TPlayer> Players;
    std::int32_t MaxPlayers = 0; // "maxclients"
    QByteArray Map;              // "map"
    QByteArray Name;             // "hostname", unchanged
    QByteArray GameDir;          // "*gamedir"
    QByteArray Version;          // "*version"
    std::int32_t Progs = 0;      // "*progs"
};

// The status query of QuakeWorld servers.
class TQWQuery : public TBasicQuery
{
    Q_OBJECT

public:
    using TBasicQuery::TBasicQuery;

    void Query(std::int32_t tag) { SendQuery(Request(), tag); }

    static QByteArray Request() { return QByteArray("\xFF\xFF\xFF\xFFstatus", 10); }
    static constexpr int ErrorCode = 6;
    static inline const QString ErrorMessage =
        QStringLiteral("Received data, but it is not a valid QuakeWorld packet.");

    // Decodes a reply; false when it does not start with the "n" header.
    static bool Decode(const TBasicData& reply, TQWServer& server);

    // A player name in the QuakeWorld character set, with its coloured
    // digits, brackets and letters turned into plain ones.
    static QByteArray TranslateName(QByteArrayView raw);

signals:
    void OnComplete(const TQWServer& server);

protected:
    void ProcessReply(const TBasicData& reply) override;
};
