#include "protocols/hlsteamplayerquery.h"

void THLSteamPlayerQuery::ProcessAnswer(const TBasicData& reply)
{
    THLPlayers players;
    if (!Decode(reply, players)) {
        DoError(ErrorCode, THLPlayerQuery::ErrorMessage);
        return;
    }
    emit OnComplete(players);
}
