#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include "model/genericserver.h"

// The text layout the Quake family shares: after the header, a line holding
// the info string "key\value\key\value..." and then one line per player.
struct TQuakeStatusText
{
    TRuleList Rules;
    QList<QByteArray> PlayerLines; // complete lines only, without their line feed
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
