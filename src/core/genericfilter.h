#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <functional>

#include "model/genericserver.h"

class TSettingsStore;

// Which server value a condition tests. The values are stored in profiles,
// so they never change.
enum TFilterType : std::uint8_t
{
    ftUnknown = 0,
    ftName = 1,        // text: Name
    ftVersion = 2,     // text: Version, of a server that has answered
    ftGameType = 3,    // text: display name + " / " + GameName
    ftMap = 4,         // text: Map
    ftPing = 5,        // number: Info.Ping
    ftMaxPlayers = 6,  // number: MaxPlayers
    ftPlayerCount = 7, // number: NumPlayers
    ftFavorite = 8,    // flag: Favorite
    ftPassword = 9,    // flag: rule "password" is "1", of a server that has answered
};

// How a condition tests its value.
enum TFilterOperator : std::uint8_t
{
    foUnknown = 0,
    foMatch = 1,   // the text matches Pattern
    foNoMatch = 2, // the text does not match Pattern
    foLess = 3,    // value < Number
    foMore = 4,    // value > Number
    foEqual = 5,   // value = Number
    foTrue = 6,    // the flag is set
    foFalse = 7,   // the flag is clear
};

// One condition of a filter profile.
struct TGenericFilter
{
    std::uint8_t FilterType = ftUnknown;
    std::uint8_t Operator = foUnknown;
    QByteArray Pattern;      // operators 1 and 2; never holds a comma
    std::int32_t Number = 0; // operators 3 to 5

    bool operator==(const TGenericFilter&) const = default;
};

using TFilterList = QList<TGenericFilter>;

// A named list of conditions, as the settings store keeps it.
struct TFilterProfile
{
    QString Name;
    TFilterList Filters;

    bool operator==(const TFilterProfile&) const = default;
};

// The texts the filter window shows for a condition: the "Type" and
// "Operator" columns ("Unknown", "unknown" for values it does not know) and
// the "Data" column (the pattern of a text type, the number of a number
// type, nothing for a flag, "Unknown" otherwise).
QString FilterTypeName(int filterType);
QString FilterOperatorName(int filterOperator);
QString FilterDataText(const TGenericFilter& filter);

// ---------------------------------------------------------------------------
// Text form: per condition four fields, each followed by a comma, records
// written back to back: "1,1,*CTF*,0,5,3,,100,".

// The text of a list of conditions. A type outside 1..9 is written as 0, an
// operator outside 1..7 as 0; a comma in a pattern is left out, because the
// reader could not tell it from a field's end.
QByteArray WriteFilters(const TFilterList& filters);

// Reads every whole record from Text. While at least 7 bytes remain, four
// fields are taken, each up to its comma; a record cut short ends the
// reading and is dropped. The type is the first byte of field 1 when it is
// 1..9, the operator the first byte of field 2 when it is 1..7, otherwise 0;
// a number that is not a 32-bit decimal reads as 0. Every step consumes at
// least one byte, so any text ends the reading.
TFilterList ReadFilters(QByteArrayView text);

// The pattern of a typed text: every comma removed, then Latin-1 bytes when
// every character fits in one byte, otherwise UTF-8 (BytesOfText), so that
// no character turns into a wildcard.
QByteArray FilterPattern(QStringView typed);

// ---------------------------------------------------------------------------
// Storage: one text value per profile under FiltersKey, the value's name
// being the profile name.

QString FiltersKey(); // "\Software\Zelbo\Morvix\Filters"

// Every stored profile, in the store's order; none when the key is missing.
// A value that is not text is listed as a profile without conditions, so
// the user can see and remove it.
QList<TFilterProfile> ReadProfiles(const TSettingsStore& store);

// Writes a profile (an existing one of that name is replaced in its place)
// and saves the store; false when the store could not be saved, and then
// the store holds what it held before, so the profile is neither listed nor
// written later.
bool SaveProfile(TSettingsStore& store, const QString& name, const TFilterList& filters);

// Deletes a profile's value when it exists and saves the store; false only
// when the store could not be saved.
bool DeleteProfile(TSettingsStore& store, const QString& name);

// ---------------------------------------------------------------------------
// Evaluation

enum class TFilterVerdict : std::uint8_t
{
    Pass,
    Fail,
    IgnoredType,     // type 0: "Unknown filter type, ignoring.."
    IgnoredVersion,  // a version condition on a server that never answered
    IgnoredPassword, // a password condition on a server that never answered
};

// What one condition says about one server. An operator that does not
// belong to the kind of the condition's type never passes.
TFilterVerdict TestFilter(const TGenericFilter& filter, const TGenericServer& server);

// The status line of an ignored condition; empty for Pass and Fail.
QString IgnoredFilterText(TFilterVerdict verdict);

using TStatusSink = std::function<void(const QString&)>;

// Whether a server stays in the list: it passes every condition (ignored
// ones aside), or with Invert fails at least one. Every condition is tested
// even after one failed, so each ignored one reports its status line.
bool KeepServer(const TFilterList& filters, const TGenericServer& server, bool invert,
                const TStatusSink& status);

// The rows a profile removes, walking from the last row to the first (the
// order of the status lines); rows without a record are skipped. The rows
// are returned in that walk order.
QList<int> RowsToRemove(const TFilterList& filters, bool invert, int rowCount,
                        const std::function<const TGenericServer*(int)>& serverAt,
                        const TStatusSink& status);

// The status line as a profile starts: "Running 3 filters on serverlist."
QString RunningFiltersText(qsizetype filterCount);

// The question asked before a profile is applied (title "Confirmation").
QString ApplyProfileQuestion();
