#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

#include "model/gamecatalogue.h"

class TSettingsStore;

// The master servers the "&Import" menu offers: per game, the masters to ask
// for its server list.
struct TMasterEntry
{
    QString Host; // a host name or dotted address
    std::int32_t Port = 0;

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
};

// The masters of the masters key: each sub-key a game, each value a master
// (name the host, data the port), in the store's order. Without the key,
// the built-in list of public masters; it is not written to the store.
TMasterList ReadMasterList(const TSettingsStore& store);

// Adds Games to the masters key in the layout ReadMasterList reads: a
// sub-key per game, a value per master named by its host with its port as
// an integer. Only changes the store in memory; the caller saves it.
void WriteMasterList(TSettingsStore& store, const QList<TMasterGame>& games);

// Public masters known to serve each of the four master protocols.
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
