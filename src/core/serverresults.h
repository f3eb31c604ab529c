#pragma once

#include <QByteArray>
#include <QString>

#include "model/genericserver.h"
#include "protocols/hlinfoquery.h"
#include "protocols/hlplayerquery.h"
#include "protocols/hlrulequery.h"
#include "protocols/qwquery.h"
#include "protocols/t2pingquery.h"
#include "protocols/t2query.h"
#include "protocols/tribesquery.h"

// What the result handlers of the server list do to a record, kept apart
// from the window so that the player search, the monitor and tests use the
// same steps.

// The texts of a row that a shown reply sets; the address column never changes.
struct TRowTexts
{
    QString Caption; // "Name"
    QString Map;     // "Map name"
    QString Players; // "Players"
    QString Ping;    // "Ping"
    QString Game;    // "Game"

    bool operator==(const TRowTexts&) const = default;
};

// A server name for the list: blanks and control bytes trimmed from both
// ends, tabs removed, then only the bytes 32 to 126 kept.
QByteArray CleanServerName(QByteArrayView text);

// Splits "host:port" at its last colon: Text keeps the host and the port is
// returned (DefaultPort when the part after the colon is not a number).
// Without a colon Text stays as it is and DefaultPort is returned.
int SplitHostPort(QString& text, int defaultPort);

// The index of the row icon: the game's own icon, its buddy variant (plus
// 10), or -1 for a game without icon.
int GameImageIndex(const TGenericServer& server, bool buddyPresent);

// "host:port" of a record.
QString AddressText(const TGenericServer& server);

// The texts of a row after a shown reply; CleanServerName shapes the caption
// when AllowFormat is on, the record's own Name stays untouched.
TRowTexts ReplyRowTexts(const TGenericServer& server, bool allowFormat);

// The texts of a row that was given up after its last time-out.
TRowTexts TimeoutRowTexts();

// The line "Server info to Clipboard" copies, with the row's map and game
// cells as shown.
QString ServerInfoText(const TGenericServer& server, const QString& mapCell,
                       const QString& gameCell);

// Records the final time-out of a server: no reply, Info from the time-out
// event (so Info.Ping holds the time-out), status qsTimeout, name
// "QUERY TIME OUT".
void ApplyFinalTimeout(TGenericServer& server, const TBasicData& reply);

// The part of the Quake family's replies (Quake 2 family, Quake 3,
// QuakeWorld) that they share: identity, texts and rules. GameName comes
// from the field each protocol names it by.
template <typename TQuakeReply>
void ApplyQuakeIdentity(TGenericServer& server, const TQuakeReply& reply,
                        const QByteArray& gameName)
{
    server.Name = reply.Name;
    server.Info = reply.Info;
    server.Map = reply.Map;
    server.Version = reply.Version;
    server.MaxPlayers = reply.MaxPlayers;
    server.NumPlayers = reply.PlayerCount;
    server.GameName = gameName;

    // The reply's own list when every rule counts: shared, not copied.
    server.Rules = reply.RuleCount >= reply.Rules.size()
                       ? reply.Rules
                       : reply.Rules.first(qMax<qsizetype>(0, reply.RuleCount));
}

// Copies a Quake 2 family or Quake 3 reply (records with the same fields)
// into the record: identity and texts, rules, and a player table of name,
// frags and ping.
template <typename TQuakeReply>
void ApplyQuakeReply(TGenericServer& server, const TQuakeReply& reply)
{
    ApplyQuakeIdentity(server, reply, reply.GameName);
    static const QList<QByteArray> captions{"Name", "Frags", "Ping"};
    server.PlayerTable.clear();
    server.PlayerTable.reserve(reply.Players.size() + 1);
    server.PlayerTable.append(captions);
    for (qsizetype i = 0; i < reply.PlayerCount && i < reply.Players.size(); ++i) {
        const auto& player = reply.Players[i];
        server.PlayerTable.append(
            {player.Name, QByteArray::number(player.Frags), QByteArray::number(player.Ping)});
    }
}

// Copies a QuakeWorld reply: as the Quake family, with the game directory as
// GameName and a player table of name, frags, ping, time, skin and colours.
void ApplyQuakeWorldReply(TGenericServer& server, const TQWServer& reply);

// Copies a Tribes reply: the name, a version and map line, the player table
// with the server's own headings, the team table when there are two teams
// or more, and eleven rules.
void ApplyTribesReply(TGenericServer& server, const TTribesServer& reply);

// Copies a Tribes 2 ping reply: identity, name, version and its four rules
// (the rules of an earlier reply are dropped).
void ApplyT2PingReply(TGenericServer& server, const TT2PingReply& reply);

// Copies a Tribes 2 info reply: game, map, counts, player and team tables,
// and its rules after those of the ping reply. Info stays the ping's.
void ApplyT2InfoReply(TGenericServer& server, const TT2Server& reply);

// Copies a Half-Life details reply; players and rules keep their old
// content until their own replies come.
void ApplyHLInfoReply(TGenericServer& server, const THLInfo& reply);

// Builds the player table of a Half-Life players reply: name, score and
// minutes connected (rounded to the nearest, halves to the even number).
void ApplyHLPlayersReply(TGenericServer& server, const THLPlayers& reply);

// Replaces the rules by those of a Half-Life rules reply; the record now
// has a reply to show.
void ApplyHLRulesReply(TGenericServer& server, const THLRules& reply);
