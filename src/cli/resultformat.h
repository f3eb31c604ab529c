#pragma once

#include <QByteArray>

#include "cli/queryrun.h"

// What the browser's list shows of a server, from its decoded records.
struct TServerSummary
{
    QByteArray Name;
    QByteArray Map;
    int NumPlayers = 0;
    int MaxPlayers = 0;
    QByteArray GameName; // the game directory or modification
    QByteArray Version;
};

TServerSummary Summarize(const TServerResult& result);

// One line per server: address, ping, players/max, map, name and game,
// with the players (and teams) and the rules on indented lines below when
// asked. Control bytes are shown as "?"; other bytes are Latin-1, as the
// browser shows them. The text is UTF-8.
QByteArray FormatText(const TServerResult& result, bool players, bool rules);

// One JSON object and a line feed: the server's address, game, status,
// round trip and retries, the summary the browser's list shows, and then
// every decoded field: "players", "rules" and "teams" as the records hold
// them and "records" with the other fields of each record, named as in the
// records (see TJsonWriter for the strings).
QByteArray FormatJson(const TServerResult& result);

const char* StatusName(TResultStatus status);
