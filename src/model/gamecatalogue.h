#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <span>

// The supported games. The values are stored as one byte in records and
// files, so they never change.
enum TGameType : std::uint8_t
{
    gtSoF = 0,
    gtSin = 1,
    gtHeretic2 = 2,
    gtTribes = 3,
    gtTribes2 = 4,
    gtHalfLife = 5,
    gtQuake3 = 6,
    gtQuakeWorld = 7,
    gtQuake2 = 8,
    gtKingpin = 9,
    gtUnknown = 10,
};

// The query protocol a game's servers answer.
enum class TQueryProtocol : std::uint8_t
{
    Quake2,     // TQ2Query
    Tribes,     // TTribesQuery
    Tribes2,    // TT2PingQuery, then TT2Query
    HalfLife,   // THLInfoQuery, then THLPlayerQuery, then THLRuleQuery
    Quake3,     // TQ3AQuery
    QuakeWorld, // TQWQuery
};

// The query components, one class each (src/protocols).
enum class TQueryKind : std::uint8_t
{
    Quake2,     // TQ2Query
    Quake3,     // TQ3AQuery
    QuakeWorld, // TQWQuery
    Tribes,     // TTribesQuery
    T2Ping,     // TT2PingQuery
    T2Info,     // TT2Query
    HLInfo,     // THLInfoQuery
    HLPlayers,  // THLPlayerQuery
    HLRules,    // THLRuleQuery
};

// One query of a game's chain. The first is sent to every server of the
// game and counts in a round's progress; each later one follows the reply
// to the one before it.
struct TQueryStep
{
    TQueryKind Kind;
    const char* Component;   // the component's name; games never share one
    const char* ErrorPrefix; // before its error texts in the status bar; nullptr: not shown
};

// The master-server protocol that lists a game's servers, if any.
enum class TMasterProtocol : std::uint8_t
{
    None,
    HalfLife, // THLMaster
    Quake3,   // TQ3Master
    Tribes,   // TTribesMaster
    Tribes2,  // TT2Master
};

// Everything the program knows about one game. Code that needs a per-game
// fact asks this table instead of switching on the game type.
struct TGameInfo
{
    TGameType Type;
    const char* DisplayName;  // shown in the list, written to files and menus
    const char* AcceptedName; // upper-case form that GameTypeFromName accepts
    const char* ShortName;    // command-line name (morvix-query)
    TQueryProtocol Protocol;
    std::span<const TQueryStep> Chain; // the queries a server is asked, in order
    std::uint16_t DefaultPort;         // offered when a server is added by hand
    TMasterProtocol Master;
    int IconIndex; // the buddy variant is IconIndex + 10
};

// The ten known games, in TGameType order.
std::span<const TGameInfo> GameCatalogue();

// The catalogue entry of a game; nullptr for gtUnknown and any other value.
const TGameInfo* GameInfo(int gameType);

// Display name of a game; "Unknown" for any value outside 0 to 9.
QString GameTypeName(int gameType);

// The game whose accepted name equals Name after ASCII upper-casing, else gtUnknown.
TGameType GameTypeFromName(QStringView name);

// The length of the longest accepted name: a longer text names no game.
qsizetype LongestGameName();

// The game a user names on a command line: its short name ("q3") or its
// display name ("Quake 3"), in any case; nullptr for any other text.
const TGameInfo* GameInfoByName(QStringView name);
