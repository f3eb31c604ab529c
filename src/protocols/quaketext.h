#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include "model/basicdata.h"
#include "model/genericserver.h"
#include "model/replybuffer.h"

// The text layout the Quake family shares: after the header, a line holding
// the info string "key\value\key\value..." and then one line per player.
struct TQuakeStatusText
{
    TRuleList Rules;
    // Complete lines only, without their line feed; views into the body
    // given to SplitQuakeStatus, valid as long as it is.
    QList<QByteArrayView> PlayerLines;
};

// Splits Body (what follows the header and the skipped bytes) at its first
// line feed into the info string and the player lines. Without a line feed
// the whole body is the info string and there are no players.
TQuakeStatusText SplitQuakeStatus(QByteArrayView body);

// Walks an info string "key\value\key\value..." into rules, in order. A
// trailing key without a value is dropped; an empty value is kept.
TRuleList ParseInfoString(QByteArrayView info);

// The value of the first rule named exactly Name, or empty.
QByteArray FindRule(const TRuleList& rules, QByteArrayView name);

// Deletes every "^0" to "^9", digit by digit, searching again from the start
// after each deletion. Other carets stay.
QByteArray RemoveColorCodes(QByteArray text);

// The rules a status reply's record takes its list fields from; each game of
// the family names them its own way.
struct TQuakeRuleNames
{
    QByteArrayView MaxPlayers;
    QByteArrayView Name;
    QByteArrayView Map;
    QByteArrayView GameName;
    QByteArrayView Version;
};

// Fills a record laid out as TQ3AServer from Body (what follows the header
// and the skipped bytes): the rules, the fields named by Names, and one
// player per line: frags, a blank, ping, a blank, then what PlayerName makes
// of the rest of the line.
template <typename TServer, typename TPlayerName>
void FillQuakeServer(TServer& server, const TBasicData& reply, QByteArrayView body,
                     const TQuakeRuleNames& names, TPlayerName playerName)
{
    const TQuakeStatusText status = SplitQuakeStatus(body);
    server.Info = reply;
    server.Rules = status.Rules;
    server.RuleCount = std::int32_t(server.Rules.size());
    server.MaxPlayers = ToIntDef(FindRule(server.Rules, names.MaxPlayers));
    server.Name = FindRule(server.Rules, names.Name);
    server.Map = FindRule(server.Rules, names.Map);
    server.GameName = FindRule(server.Rules, names.GameName);
    server.Version = FindRule(server.Rules, names.Version);

    server.Players.reserve(status.PlayerLines.size());
    for (const QByteArrayView line : status.PlayerLines) {
        TReplyCursor cursor(line);
        typename TServer::TPlayer player;
        player.Frags = ToIntDef(cursor.NextTokenView(' '));
        player.Ping = ToIntDef(cursor.NextTokenView(' '));
        player.Name = playerName(cursor.Rest());
        server.Players.append(std::move(player));
    }
    server.PlayerCount = std::int32_t(server.Players.size());
}
