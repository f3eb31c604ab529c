#pragma once

#include <QByteArray>
#include <QList>
#include <QRandomGenerator>

#include "model/gamecatalogue.h"
#include "wire/gamewire.h"

// What one simulated game server is: the records its replies are encoded
// from, filled for its game's protocol only. Names are kept as servers send
// them (colour codes in Quake 3, the QuakeWorld character set, tabs in the
// Tribes line templates); the decoders turn them into what a player sees.
struct TSimGameState
{
    TGameType Game = gtUnknown;
    TQ3AServer Q3;
    TQ2Server Q2; // the Quake 2 family
    TQWServer QW;
    THLInfo HLInfo;
    THLPlayers HLPlayers;
    THLRules HLRules;
    THLSteamInfo HLSteam; // what the Steam form of the info answer adds
    TTribesServer Tribes;
    QList<TTribesPlayerWire> TribesWire;
    TT2PingReply T2Ping;
    TT2Server T2Info;

    // The server's name and map as a browser shows them, for the bound list.
    QByteArray PlainName() const;
    QByteArray MapName() const;
    int PlayerCount() const;
    int MaxPlayers() const;

    // What a console's "map" and "hostname" commands change.
    void SetMap(const QByteArray& map);
    void SetHostName(const QByteArray& name);

    // Players coming and going: the slots, the last player leaving, and
    // the players of another state of the same server coming back.
    void SetMaxPlayers(int max);
    void DropPlayer();
    void TakePlayersFrom(const TSimGameState& other);

    // The protocol version a Quake 3 server reports (its "protocol" rule).
    int Quake3Protocol() const;
    void SetQuake3Protocol(int protocol);

private:
    // The rules of a Quake family server; nullptr for the other games.
    TRuleList* QuakeRules();
};

// A realistic server of Game, the Index-th of its kind, drawn from Random:
// names, maps, rules, players and teams as such servers report them.
TSimGameState MakeSimServer(TGameType game, int index, QRandomGenerator& random);

// The maps a server of Game may run.
QList<QByteArray> SimMaps(TGameType game);
