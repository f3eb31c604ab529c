#pragma once

#include <QList>
#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>

#include "model/gamecatalogue.h"
#include "model/wildcard.h"

// A colour as the settings store keeps it: 0x00BBGGRR, red in the low byte.
struct TColor
{
    std::uint32_t Value = 0;

    static constexpr TColor FromRgb(int red, int green, int blue)
    {
        return {std::uint32_t(blue & 0xFF) << 16 | std::uint32_t(green & 0xFF) << 8 |
                std::uint32_t(red & 0xFF)};
    }
    constexpr int Red() const { return int(Value & 0xFF); }
    constexpr int Green() const { return int(Value >> 8 & 0xFF); }
    constexpr int Blue() const { return int(Value >> 16 & 0xFF); }

    bool operator==(const TColor&) const = default;
};

// The ten colours, in the order the store writes them under "Colors".
enum TColorSetting : std::uint8_t
{
    csWorking,     // "Is being queried": rows in qsWorking
    csIdle,        // "Queried server": rows in qsIdle
    csTimeout,     // "Timed out servers": rows in qsTimeout
    csFavorite,    // "Favorite server": favourite rows, whatever their status
    csPlayerBG,    // "Player BG": players pane background
    csListBG,      // "ServerList BG": server list background
    csRuleBG,      // "Rule BG": rules pane background
    csToolbarsBG,  // "Toolbar BG": tool bar and profile drop-down background
    csToolbarFont, // "Toolbar Font Clr": text of the profile controls
    csOtherFont,   // "Other font": text of the players and rules panes
    ColorSettingCount,
};

// What joining a game does to the window: one of three choices.
enum TJoinAction : std::uint8_t
{
    jaNoop,  // "Leave Morvix as it is" ("OJNoop")
    jaTray,  // "Minimize Morvix to system tray" ("OJTray")
    jaClose, // "Close Morvix" ("OJClose")
};

// Widths, order and sort state of the server list's columns.
struct TListLayout
{
    QList<int> Sizes; // pixels per column, in column order; empty: the window's own
    QList<int> Order; // column numbers in display order; empty: as designed
    bool Ascending = true;
    int SortCol = 0;

    bool operator==(const TListLayout&) const = default;
};

// Every live setting of the program with its default. Names follow the
// value names of the settings store.
struct TSettingsValues
{
    // Query
    int MaxQueries = 15;      // "Concurrent requests", 1 to 99999
    bool NoLimit = false;     // "No limit": never stored, off at every start
    int QueryTimeout = 1500;  // ms, 50 to 99999
    int Retry = 2;            // re-sends after a time-out, 0 to 99999
    bool UseDelay = false;    // "Query delay (between each query)"
    int QueryDelay = 100;     // ms, 1 to 99999
    bool AllowFormat = false; // "Allow Morvix to format server names"
    int PingTimeout = 1500;   // ICMP, ms, 1 to 99999

    // General
    bool LaunchConfirmation = true;
    bool OJCopyIP = true;
    TJoinAction OnJoin = jaTray;
    bool OJSaveList = true;
    bool OSQueryALL = false;
    bool OSTray = false;
    bool AllowStats = true;
    QString StatsUsername = QStringLiteral("Newbie");

    // Remembered by other windows
    QString HLRCON;
    QString Q3RCON;
    int DefaultGameType = -1; // no entry selected
    QStringList ServerNamePatterns;
    QStringList PlayerNamePatterns;

    // Buddies
    bool UseBuddyList = false;
    TBuddyList Buddies;

    std::array<TColor, ColorSettingCount> Colors = DefaultColors();

    // The executable of each game, by TGameType.
    std::array<QString, gtUnknown> GamePaths;

    // Window places; a null rectangle lets the window keep its design place.
    QRect ListRect;
    QRect RemoteRect;
    TListLayout ListLayout;

    static constexpr std::array<TColor, ColorSettingCount> DefaultColors()
    {
        return {{
            {0x00FF0000}, // blue
            {0x00800000}, // navy
            {0x00000080}, // maroon
            {0x000000FF}, // red
            {0x00FFFFFF}, // white
            {0x00FFFFFF},
            {0x00FFFFFF},
            {0x00C0C0C0}, // silver
            {0x00000000}, // black
            {0x00000000},
        }};
    }

    bool operator==(const TSettingsValues&) const = default;
};

// The one object that holds the live settings. Every part of the program
// reads the value it needs at the moment of use; the options window edits
// them through Change, and the settings store fills them at start and saves
// them at exit.
class TSettings : public QObject
{
    Q_OBJECT

public:
    explicit TSettings(QObject* parent = nullptr);

    const TSettingsValues& Values() const { return Values_; }
    const TSettingsValues* operator->() const { return &Values_; }

    // Lets Edit change any values, brings numbers back into their limits and
    // announces what changed.
    void Change(const std::function<void(TSettingsValues&)>& edit);
    // Back to every default.
    void Reset();

    // The value name of each colour under "Colors", in store order.
    static const char* ColorName(TColorSetting color);
    // The value name of each game's path under "Games"; the store writes them
    // in the order of GamePathOrder.
    static const char* GamePathName(TGameType game);
    static const std::array<TGameType, gtUnknown>& GamePathOrder();

signals:
    // Any value changed.
    void Changed();
    // One of the ten colours changed (Changed is raised as well).
    void ColorsChanged();

private:
    static void Limit(TSettingsValues& values);

    TSettingsValues Values_;
};
