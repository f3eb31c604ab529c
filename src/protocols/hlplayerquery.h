#pragma once

#include <QList>

#include "model/basicquery.h"

struct THLPlayers
{
    struct TPlayer
    {
        std::uint8_t Index = 0; // the player's slot as sent
        QByteArray Name;
        std::int32_t Score = 0;
        float Time = 0; // seconds connected

        friend bool operator==(const TPlayer&, const TPlayer&) = default;
    };

    std::uint8_t Count = 0; // players announced; Players holds at most as many
    QList<TPlayer> Players;
    TBasicData Info;

    friend bool operator==(const THLPlayers&, const THLPlayers&) = default;
};

// The "players" query of Half-Life servers: name, score and connected time
// of each player.
class THLPlayerQuery : public TBasicQuery
{
    Q_OBJECT

public:
    using TBasicQuery::TBasicQuery;

    void Query(std::int32_t tag) { SendQuery(Request(), tag); }

    static QByteArray Request() { return QByteArray("\xFF\xFF\xFF\xFFplayers", 11); }
    static constexpr int ErrorCode = 3;
    static inline const QString ErrorMessage =
        QStringLiteral("Received data, but it is not a valid Half-life packet.");

    // Decodes a reply; false when it does not start with the players header.
    static bool Decode(const TBasicData& reply, THLPlayers& players);

signals:
    void OnComplete(const THLPlayers& server);

protected:
    void ProcessReply(const TBasicData& reply) override;
};
