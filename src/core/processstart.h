#pragma once

#include <QString>
#include <QStringList>

// How starting a process went.
struct TStartResult
{
    int Error = 0;         // 0 when the program runs; otherwise the errno of the failed step
    bool InFolder = false; // the failed step was entering the working folder

    bool operator==(const TStartResult&) const = default;
};

// Starts Program (a path to an executable file) with Arguments, as they
// are, in WorkingFolder (Morvix's own when empty). No shell is involved. The
// program runs in a session of its own, is no child of Morvix and outlives
// it. Returns once the program runs or has failed to start, with the errno.
TStartResult StartDetached(const QString& program, const QStringList& arguments,
                           const QString& workingFolder);

// Where the desktop keeps its associations.
struct TDesktopFolders
{
    QStringList Config;       // folders of mimeapps.list, the user's first
    QStringList Applications; // folders of desktop entries, the user's first

    // The XDG folders of the environment ($XDG_CONFIG_HOME, $XDG_CONFIG_DIRS,
    // $XDG_DATA_HOME/applications, $XDG_DATA_DIRS/applications).
    static TDesktopFolders FromEnvironment();
};

// Whether the desktop has an application for a document or a web address:
// a desktop entry associated with the file's MIME type (or a type it
// derives from) or with the address's scheme, as the freedesktop.org
// associations give it (mimeapps.list, the entries' MimeType); for web
// pages a browser named by $BROWSER or installed under a usual name counts
// as well.
bool HasDefaultHandler(const QString& target,
                       const TDesktopFolders& folders = TDesktopFolders::FromEnvironment());

// Whether Text is a web address ("https://...", "mailto:...") rather than a
// path.
bool IsWebAddress(const QString& text);
