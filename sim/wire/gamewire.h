#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QRandomGenerator>

#include <cstdint>

#include "protocols/hlinfoquery.h"
#include "protocols/hlplayerquery.h"
#include "protocols/hlrulequery.h"
#include "protocols/hlsteaminfoquery.h"
#include "protocols/q2query.h"
#include "protocols/q3aquery.h"
#include "protocols/qwquery.h"
#include "protocols/t2pingquery.h"
#include "protocols/t2query.h"
#include "protocols/tribesquery.h"

// The game servers' side of every query protocol: each encoder writes the
// reply datagram that the decoder of the same record type reads back into
// an equal record. Fields a decoder derives from others (a Quake server's
// Name, Map and MaxPlayers come from its rules, Info from the datagram
// itself) are not written separately: the encoders write what the wire
// carries and the decoders derive the rest.
//
// A record that no reply could produce (a Quake rule holding a backslash, a
// Tribes 2 player name holding a tab, a string longer than its length byte
// can say) is written as it is and reads back differently.

// FF FF FF FF "statusResponse", then the rules as an info string and one
// line per player: frags, ping and the name in double quotes.
QByteArray EncodeQ3AStatus(const TQ3AServer& server);

// FF FF FF FF "infoResponse": the short answer Quake 3 servers give to
// "getinfo", which other clients ask first; TQ3AQuery does not read it.
QByteArray EncodeQ3AInfo(const TQ3AServer& server);

// FF FF FF FF "print": the Quake 2 family's status reply, laid out as Quake 3's.
QByteArray EncodeQ2Status(const TQ2Server& server);

// FF FF FF FF "n": rules, then user id, frags, time, ping, quoted name and
// skin, top and bottom colour per player. Names are written as they are, so
// a name in the QuakeWorld character set (QuakeWorldName) reads back plain.
QByteArray EncodeQWStatus(const TQWServer& server);

// FF FF FF FF "m": Address is the text a server puts first, its own
// address and port. A modification's details are written with the empty
// string that real servers send between the download address and the numbers.
QByteArray EncodeHLInfo(const THLInfo& info, QByteArrayView address);
// FF FF FF FF "D": the players, their number taken from the list.
QByteArray EncodeHLPlayers(const THLPlayers& players);
// FF FF FF FF "E": the rules, their number taken from the list.
QByteArray EncodeHLRules(const THLRules& rules);

// The Steam form of the Half-Life queries answers players and rules with
// the two encoders above; these write what it adds.

// FF FF FF FF "I": the Steam form of the info answer. It has no
// modification's details. The server type and system bytes are Steam's
// when they are set there (they should agree with Listen and OS), else
// those of Info; the items after the version follow Steam's ExtraData.
QByteArray EncodeHLSteamInfo(const THLInfo& info, const THLSteamInfo& steam);

// FF FF FF FF "A" and the four bytes of a challenge.
QByteArray EncodeHLChallenge(QByteArrayView challenge);

// The largest datagram Half-Life servers send before they split an answer.
constexpr qsizetype HLDatagramSize = 1400;

// An answer as a Half-Life server sends it: whole when it fits MaxDatagram
// bytes, else in parts of at most MaxDatagram bytes, each with FE FF FF FF,
// Id (little-endian) and a byte of the part's number (upper four bits,
// from 0) and the number of parts (lower four bits). Fifteen parts at
// most: the end of an answer too long for them is not sent.
QList<QByteArray> EncodeHLSplit(const QByteArray& answer, std::uint32_t id,
                                qsizetype maxDatagram = HLDatagramSize);

// What a Tribes reply carries of a player besides its line template: the
// ping in units of 4 ms, the packet loss and the index of the player's team
// (255 or any index past the teams: an observer).
struct TTribesPlayerWire
{
    std::uint8_t PingBy4 = 0;
    std::uint8_t Loss = 0;
    std::uint8_t Team = 255;
};

// "c**b" and "Tribes", the settings, the heading lines and the tables. Rows
// go out as line templates, as servers send them: a team's line starts with
// "%t" for its name, a player's with "%n", and a player's column equal to
// its team's name, its ping or its loss is written as "%t", "%p" or "%l".
// Heading columns after the first get the prefix character servers put
// before them. Wire gives each player's ping, loss and team (none: 0, 0 and
// an observer). Columns hold no tab, and those after the first neither
// start nor (the last) end with a blank, which a row split would trim.
QByteArray EncodeTribesStatus(const TTribesServer& server,
                              const QList<TTribesPlayerWire>& wire = {});

// 10 02 00 00 00 00, version, the two numbers and the server name.
QByteArray EncodeT2Ping(const TT2PingReply& ping);

// 14 02 00 00 00 00, the settings, then the text of teams and players:
// the team count, one "name TAB score" line per team, the player count and
// one "name TAB team TAB score" line per player. A record that lists
// players under a PlayerCount of 0 reads back without them.
QByteArray EncodeT2Info(const TT2Server& server);

// A Quake 3 name as servers send them: colour codes "^0" to "^9" put
// before some of its characters and at its end. Decoders remove them, so
// the name reads back as given when it holds no code of its own.
QByteArray WithColourCodes(QByteArrayView name, QRandomGenerator& random);

// A plain name written in the QuakeWorld character set: letters and digits
// turned into their coloured forms and brackets into the gold ones, each
// with probability Share (0 to 1). TQWQuery::TranslateName gives it back.
QByteArray QuakeWorldName(QByteArrayView name, double share, QRandomGenerator& random);
