#pragma once

#include <QString>

#include "model/gamecatalogue.h"

// One server to ask: its game, its host (a dotted address or a name) and port.
struct TQueryTarget
{
    const TGameInfo* Game = nullptr; // nullptr: a game no component asks
    QString Host;
    int Port = 0;

    QString Address() const { return Host + u':' + QString::number(Port); }
};
