#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>

#include "core/processstart.h"

class TDialogs;

// What became of handing a document or a web address to the desktop.
enum class TOpenOutcome : std::uint8_t
{
    Opened,
    NoOpener,    // the desktop's opener (xdg-open) is not installed
    NoHandler,   // no application is associated with the type
    StartFailed, // the opener did not start; Start holds why
};

struct TOpenResult
{
    TOpenOutcome Outcome = TOpenOutcome::Opened;
    TStartResult Start;
};

// Starts a game, or opens a document or web page, the way the user's
// configuration names it, and tells in the status bar why when it cannot.
class TLauncher
{
public:
    using TStarter = std::function<TStartResult(
        const QString& program, const QStringList& arguments, const QString& workingFolder)>;
    using TOpener = std::function<TOpenResult(const QString& target, const QString& workingFolder)>;

    explicit TLauncher(TDialogs& dialogs);

    // Where failures are reported (the status bar).
    std::function<void(const QString&)> ShowStatus;
    // Starts a program detached; StartDetached unless a test replaces it.
    TStarter StartProcess;
    // Hands a document or web address to the desktop; OpenWithDesktop
    // unless a test replaces it.
    TOpener OpenDocument;
    // Where OpenWithDesktop reads the associations; the XDG folders of the
    // environment at each call unless set.
    std::optional<TDesktopFolders> DesktopFolders;

    // Starts Path with Parameters, split as a command line is split and
    // passed as arguments, in the folder of Path; a Windows program (".exe")
    // through Wine. A path that is no program, or a web address, opens with
    // the desktop's application for it. True when it started.
    bool LaunchProgram(const QString& path, const QString& parameters);

    // Opens Target with xdg-open, started through StartProcess, when the
    // desktop has an application for it.
    TOpenResult OpenWithDesktop(const QString& target, const QString& workingFolder);

    // The status text of a program that exists but needs Wine, which is
    // not installed.
    static QString WineMissingText(const QString& path);

private:
    bool Fail(const QString& text);
    bool Started(const QString& path, const QString& folderText, const TStartResult& result);
    bool Opened(const QString& path, const QString& folderText, const TOpenResult& result);

    TDialogs& Dialogs_;
};
