#pragma once

#include "protocols/hlplayerquery.h"
#include "protocols/hlsteamquery.h"

// The Steam-form players query of Half-Life servers, with its challenge.
// The answer is laid out as the "players" answer and read into THLPlayers.
class THLSteamPlayerQuery : public THLSteamAnswerQuery<THLPlayerQuery, THLPlayers, 'U'>
{
    Q_OBJECT

public:
    using THLSteamAnswerQuery::THLSteamAnswerQuery;

signals:
    void OnComplete(const THLPlayers& players);

protected:
    void Complete(const THLPlayers& players) override { emit OnComplete(players); }
};
