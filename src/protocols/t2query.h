#pragma once

#include <QList>

#include "model/basicquery.h"

struct TT2Server
{
    struct TPlayer
    {
        QByteArray Name;
        QByteArray Team; // the team's name as sent
        std::int32_t Score = 0;

        friend bool operator==(const TPlayer&, const TPlayer&) = default;
    };

    struct TTeam
    {
        QByteArray Name;
        std::int32_t Score = 0;

        friend bool operator==(const TTeam&, const TTeam&) = default;
    };

    QByteArray GameType;
    QByteArray MapType;
    QByteArray Map;
    std::uint8_t TeamCount = 0; // teams announced, as many entries in Teams
    std::uint8_t PlayerCount = 0;
    std::uint8_t MaxPlayers = 0;
    bool Dedicated = false;
    bool Password = false;
    bool Tournament = false;
    bool NoAliases = false;
    std::uint8_t BotCount = 0;
    std::int32_t CPU = 0;
    QByteArray Description;
    TBasicData Info;
    QList<TPlayer> Players;
    QList<TTeam> Teams;

    friend bool operator==(const TT2Server&, const TT2Server&) = default;
};

// The info query of Tribes 2 servers: game settings, flags, counts, the
// teams with their scores and the players with team and score.
class TT2Query : public TBasicQuery
{
    Q_OBJECT

public:
    using TBasicQuery::TBasicQuery;

    void Query(std::int32_t tag) { SendQuery(Request(), tag); }

    static QByteArray Request() { return QByteArray("\x12\x02\x00\x00\x00\x00", 6); }
    static constexpr int ErrorCode = 7;
    static inline const QString ErrorMessage =
        QStringLiteral("Received data, but it is not a valid Tribes 2 packet.");

    // Decodes a reply; false when it does not start with the info header.
    static bool Decode(const TBasicData& reply, TT2Server& server);

signals:
    void OnComplete(const TT2Server& server);

protected:
    void ProcessReply(const TBasicData& reply) override;
};
