#pragma once

#include "protocols/hlplayerquery.h"
#include "protocols/hlsteamquery.h"

// The Steam-form players query of Half-Life servers, with its challenge: it
// asks with the challenge FF FF FF FF, which a server answers with its own.
// The answer is laid out as the "players" answer and read into THLPlayers.
class THLSteamPlayerQuery : public THLSteamQuery
{
    Q_OBJECT

public:
    using THLSteamQuery::THLSteamQuery;

    void Query(std::int32_t tag) { SendQuery(Request(), tag); }

    static QByteArray Request() { return RequestWith("\xFF\xFF\xFF\xFF"); }
    static QByteArray RequestWith(QByteArrayView challenge)
    {
        return "\xFF\xFF\xFF\xFFU" + challenge.toByteArray();
    }
    static constexpr int ErrorCode = THLPlayerQuery::ErrorCode;

    static bool Decode(const TBasicData& reply, THLPlayers& players)
    {
        return THLPlayerQuery::Decode(reply, players);
    }

signals:
    void OnComplete(const THLPlayers& server);

protected:
    QByteArray RequestWithChallenge(QByteArrayView challenge) const override
    {
        return RequestWith(challenge);
    }
    void ProcessAnswer(const TBasicData& reply) override;
    int QueryErrorCode() const override { return ErrorCode; }
};
