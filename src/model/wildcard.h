#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <span>

#include "model/genericserver.h"

// Compares a whole Text with a Pattern in which "*" stands for any run of
// bytes and "?" for exactly one byte. Without CaseSensitive only the ASCII
// letters a to z are folded. An empty pattern matches every text.
bool MatchWildcard(QByteArrayView text, QByteArrayView pattern, bool caseSensitive);
// The same over whole characters (UCS-4 code points), for text that is not
// all ASCII.
bool MatchWildcard(std::span<const uint> text, std::span<const uint> pattern, bool caseSensitive);

// One entry of the user's buddy list.
struct TBuddy
{
    QByteArray Pattern;
    bool CaseSensitive = true;

    bool operator==(const TBuddy&) const = default;
};

using TBuddyList = QList<TBuddy>;

// Whether any cell of any player row (every row after the caption row) of
// Players matches any buddy. Always false while the buddy search is off.
bool HasBuddy(const TServerTable& players, const TBuddyList& buddies, bool enabled);
