#pragma once

#include <QString>

#include <functional>

class TDialogs;
class TGenericServer;
class TJoinStats;
class TLauncher;
class TSettings;

// The command line that makes a game connect to a server, or why there is
// none.
struct TJoinCommand
{
    QString Parameters;
    QString Error; // a status text; empty when Parameters hold

    bool operator==(const TJoinCommand&) const = default;
};

// The parameters that connect Server's game to it. Only Tribes carries the
// password. A text that holds blanks or quotes is quoted so that it stays
// one argument when the parameters are split.
TJoinCommand JoinParameters(const TGenericServer& server, const QString& password);

// Whether a server's game folder name may go on the game's command line:
// letters, digits, "_", "-" and ".", not starting with "-" and not dots
// alone.
bool IsPlainGameFolder(QByteArrayView name);

// Text as one argument of a command line split by QProcess::splitCommand.
QString CommandLineArgument(const QString& text);

// What joining does outside the launch itself; each is left out when unset.
struct TJoinHooks
{
    std::function<void(const QString&)> ShowStatus;
    std::function<void(const QString&)> CopyToClipboard;
    std::function<void()> SaveServerList;
    // The main window closes: the program's shutdown.
    std::function<void()> CloseProgram;
    std::function<void(bool)> ShowInTray;
};

// Joining a server: confirmation, clipboard, the game's start, the join
// report, saving the list and what becomes of the window, each as the
// settings say at that moment.
class TServerJoin
{
public:
    TServerJoin(const TSettings& settings, TDialogs& dialogs, TLauncher& launcher,
                TJoinStats* stats);

    TJoinHooks Hooks;

    // The pop-up "&Join": asks for the password when the server has one,
    // then joins. True when the game started.
    bool JoinWithPrompt(const TGenericServer& server);
    // Joins with Password (the monitor passes none). True when the game
    // started.
    bool JoinServer(const TGenericServer& server, const QString& password);

private:
    void Status(const QString& text) const;

    const TSettings& Settings_;
    TDialogs& Dialogs_;
    TLauncher& Launcher_;
    TJoinStats* Stats_;
};
