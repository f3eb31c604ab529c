#pragma once

#include <QDateTime>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>

class TDialogs;
class TFileSettingsStore;
class TSettings;
class TSettingsStore;
struct TSettingsValues;

// Moves the live settings between the settings store and TSettings. Every
// setting lives below one key; its sub-keys hold the pattern histories, the
// colours, the game paths, the buddies and the window places. "Masters" and
// "Filters" belong to the master requests and the filter profiles: they are
// never written here.

// The key every setting lives below.
QString SettingsKey();
// One of its sub-keys: SettingsKey() + "\" + Path.
QString SettingsKey(const QString& path);

// Copies the store into Settings, step by step in this order: the main
// values, the two pattern histories, the colours, the master servers
// (MastersStep, run by the window that builds the "&Import" menu), the game
// paths, the buddies and the window places. A missing key or value leaves
// its setting as it is.
//
// A value stored with the wrong kind (a text where a number belongs) keeps
// its setting unchanged and is named in the result; every other value is
// still read, so that the next save does not replace the user's good values
// with defaults. Integers, flags and colours are one kind of stored number,
// as in the registry, and may stand for each other.
QStringList LoadSettings(const TSettingsStore& store, TSettings& settings,
                         const std::function<void()>& mastersStep = {});

// The message for values LoadSettings could not read: one line
// "Invalid data type for '<name>'" per value.
QString InvalidDataTypeMessage(const QStringList& names);

// Writes every setting into the store, in the order LoadSettings reads them
// (the pattern histories and the buddies replace what the store had), then
// makes the store permanent. False when it could not be saved: the store's
// previous file is then kept whole and Store.ErrorString() says why.
bool SaveSettings(TSettingsStore& store, const TSettingsValues& values);

// Where a window with the stored place Stored goes, given the available
// areas of the screens: on the screen it overlaps most, made no larger than
// that screen and moved into it. A null rectangle when Stored is not valid or
// lies on no screen: the window then keeps its own place.
QRect PlaceOnScreen(const QRect& stored, const QList<QRect>& screens);

// "OSTray" read straight from the store: the main window needs it when it is
// created, before the settings are loaded. Only a stored true counts.
bool StoredStartInTray(const TSettingsStore& store);

// Loads the settings file. A file that could not be read has been moved
// aside by the store; the user is told once where it went, and the program
// goes on with the defaults.
void LoadSettingsFile(TFileSettingsStore& store, TDialogs& dialogs);

// "LastNews", the date and time the news page was last shown: stored as 8
// bytes, a little-endian double counting days since 30 December 1899 with
// the time of day as the fraction, in local time.
double ToStoredDate(const QDateTime& when);
// The stored "LastNews" as that number; 0 when it is absent or not 8 bytes.
double ReadLastNews(const TSettingsStore& store);
void WriteLastNews(TSettingsStore& store, const QDateTime& when);
// Whether 20 days or more have passed since "LastNews" (always, without one).
bool IsNewsDue(const TSettingsStore& store, const QDateTime& now);
