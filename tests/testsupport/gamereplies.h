#pragma once

#include <QByteArray>
#include <QList>

#include "model/gamecatalogue.h"

// A game server as loopback tests script it.
struct TScriptedGameServer
{
    QByteArray Name;
    QByteArray Map = "m1";
    int MaxPlayers = 8;
    QByteArray Mod = "mod";    // game directory or game type
    QList<QByteArray> Players; // player i scores 3 + 5i with a ping of 40 + 40i ms
};

// A Quake 3 status reply.
QByteArray Q3StatusReply(const QByteArray& name, const QByteArray& map, int maxPlayers,
                         const QList<QByteArray>& playerLines = {});

// What a server of Game answers to Request, in its own protocol: one
// datagram (Half-Life and Tribes 2 answer each of their requests).
QList<QByteArray> GameReply(TGameType game, const QByteArray& request,
                            const TScriptedGameServer& server);
