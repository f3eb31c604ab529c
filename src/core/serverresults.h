#pragma once

#include <QByteArray>
#include <QString>

#include "model/genericserver.h"

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

// Copies a Quake 2 family or Quake 3 reply (records with the same fields)
// into the record: identity and texts, rules, and a player table of name,
// frags and ping.
template <typename TQuakeReply>
void ApplyQuakeReply(TGenericServer& server, const TQuakeReply& reply)
{
    server.Name = reply.Name;
    server.Info = reply.Info;
    server.Map = reply.Map;
    server.Version = reply.Version;
    server.MaxPlayers = reply.MaxPlayers;
    server.NumPlayers = reply.PlayerCount;
    server.GameName = reply.GameName;

    server.ClearRules();
    for (qsizetype i = 0; i < reply.RuleCount && i < reply.Rules.size(); ++i) {
        server.AddRule(reply.Rules[i].Name, reply.Rules[i].Value);
    }

    server.PlayerTable.clear();
    server.PlayerTable.reserve(reply.Players.size() + 1);
    server.PlayerTable.append({"Name", "Frags", "Ping"});
    for (qsizetype i = 0; i < reply.PlayerCount && i < reply.Players.size(); ++i) {
        const auto& player = reply.Players[i];
        server.PlayerTable.append(
            {player.Name, QByteArray::number(player.Frags), QByteArray::number(player.Ping)});
    }
}
