#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

#include "model/gamecatalogue.h"

class TSettingsStore;

// The request form a master answers. Half-Life masters of today are of the
// Steam kind (the paged batch request); every other master, and a Half-Life
// master of the first years, answers the documented request.
enum class TMasterKind : std::uint8_t
{
    Documented,
    Steam,
};

// The master servers the "&Import" menu offers: per game, the masters to ask
// for its server list.
struct TMasterEntry
{
    QString Host; // a host name or dotted address
    std::int32_t Port = 0;
    TMasterKind Kind = TMasterKind::Documented;

    bool operator==(const TMasterEntry&) const = default;
};

struct TMasterGame
{
    QString Name; // the game's name as GameTypeFromName accepts it, as the menu shows it
    QList<TMasterEntry> Masters;

    bool operator==(const TMasterGame&) const = default;
};

// The key the user keeps master servers under. The browser reads it and
// never writes it; the demo's set-up and the tests write it with
// WriteMasterList.
inline const QString MastersKey = QStringLiteral("\\Software\\Zelbo\\Morvix\\Masters");

// The port of a menu entry without one.
inline constexpr int MasterDefaultPort = 27999;

struct TMasterList
{
    QList<TMasterGame> Games;
    // The store has no masters key and the list is the built-in one.
    bool BuiltIn = false;
    // Values whose data is not a number, in the store's order: they are left
    // out of Games, and every other master is still read.
    QStringList InvalidValues;
    // The protocol versions a Quake 3 master is asked for, in order: the
    // main key's text value Q3ProtocolsValue, numbers joined by ",";
    // DefaultQ3Protocols when it is missing or holds no positive number.
    QList<int> Q3Protocols;
};

// The first release (48), 1.32 and ioquake3 (68), OpenArena (71).
inline const QList<int> DefaultQ3Protocols = {48, 68, 71};
inline const QString Q3ProtocolsValue = QStringLiteral("Q3MasterProtocols");

// The masters of the masters key: each sub-key a game, each value a master
// (name the host, data the port), in the store's order. A master's kind,
// when it is not the documented one, is a text value named by its host in
// the game's sub-key MasterKindKey ("Steam"); a reader of the plain layout
// sees the masters as they are and no sub-key. Without the masters key, the
// built-in list of public masters; it is not written to the store.
TMasterList ReadMasterList(const TSettingsStore& store);

// Adds Games to the masters key in the layout ReadMasterList reads: a
// sub-key per game, a value per master named by its host with its port as
// an integer, and the kinds of Steam-kind masters beside them. Only changes
// the store in memory; the caller saves it.
void WriteMasterList(TSettingsStore& store, const QList<TMasterGame>& games);

// The sub-key of a game's masters key that names the masters' kinds.
inline const QString MasterKindKey = QStringLiteral("Kind");
// The kind's text in it; any other text is the documented kind.
inline const QString MasterKindSteam = QStringLiteral("Steam");

// Public masters that run today, per game with a master protocol.
const QList<TMasterGame>& BuiltInMasters();

// A master's menu caption: host, ":", port.
QString MasterCaption(const TMasterEntry& master);

// What a click on a master's menu item asks for.
struct TMasterTarget
{
    QString Host;
    int Port = MasterDefaultPort;
    TGameType Game = gtUnknown;

    bool operator==(const TMasterTarget&) const = default;
};

// The game named by the caption of the item's game menu and the master named
// by the item's own caption; accelerator marks ("&") are ignored in both. The
// port is the number after the caption's last ":", MasterDefaultPort when
// there is none.
TMasterTarget MasterTargetOf(const QString& gameCaption, const QString& masterCaption);
