#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <functional>
#include <span>

#include "model/gamecatalogue.h"

class TGenericServer;

// What the add-server and find-server windows work out, apart from their controls.

// One entry of the add window's game type list, in list order; the server
// monitor offers the same list.
struct TAddGameType
{
    const char* Caption;
    TGameType Game;
};

std::span<const TAddGameType> AddGameTypes();
// The standard port of the game of list entry Index; 0 for no entry.
int StandardPort(int index);

// The address and port of a server typed into the add window.
struct TManualAddress
{
    QString Host;
    int Port = 0;

    bool operator==(const TManualAddress&) const = default;
};

// Splits Text at its last ":": a number after it other than 0 replaces
// PortBox; the host is the part before it, or the whole text without a ":".
// The host is taken as typed, blanks and all, a name with letters outside
// ASCII in its IDNA form (AsciiHost).
TManualAddress ReadManualAddress(const QString& text, int portBox);
bool IsValidPort(int port);

// Whether a server name contains Keyword, ignoring the case of the letters
// a to z only. An empty keyword is in no name.
bool NameContains(QByteArrayView name, QStringView keyword);

// The first row from Start on whose server's name contains Keyword, or -1.
// ServerAt gives each row's record, or nullptr for a row without one.
int FindServerRow(int start, int rowCount, QStringView keyword,
                  const std::function<const TGenericServer*(int row)>& serverAt);
