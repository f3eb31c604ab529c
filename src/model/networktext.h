#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Network text is bytes: records keep what the server sent, and matching
// works on those bytes. These are the only places where such bytes and the
// QString of a window, a file dialog or a command line meet.

// Bytes as a user sees them: valid UTF-8 as UTF-8, anything else as Latin-1,
// one byte one character.
QString TextOfBytes(QByteArrayView bytes);

// Text a user typed as bytes: Latin-1 when every character fits in one
// byte, otherwise the UTF-8 of the whole text. No character ever becomes a
// "?", which a wildcard pattern would take for "any character".
QByteArray BytesOfText(QStringView text);

// The bytes a shown text stands for: Source itself when it shows as Shown
// (so that bytes a server sent go back to a file unchanged), otherwise the
// text as typed.
QByteArray BytesOfShown(QStringView shown, QByteArrayView source);

// Bytes kept as a text value of the settings store: readable there where
// they show as text, and always given back exactly by BytesOfText.
QString StoredText(QByteArrayView bytes);

// A host name as a user typed it, in the ASCII form name servers use: a
// name with letters outside ASCII becomes its IDNA form
// ("quake.xn--e1afmkfd.xn--p1ai"); anything else is kept as typed.
QString AsciiHost(QStringView typed);
