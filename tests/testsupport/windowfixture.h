#pragma once

#include <QString>

#include <memory>

#include "app/programwindows.h"
#include "core/settings.h"
#include "core/settingsstore.h"
#include "scripteddialogs.h"
#include "tempappfolder.h"

class TfrmServerList;

// The program's windows as main() makes them, for window tests, pictures
// and benchmarks: every folder of the program below a temporary folder,
// fresh live settings, scripted dialogs, the settings store in that folder,
// and the windows from CreateProgramWindows. Settings changed before Build
// stand unless the store names them.
class TWindowFixture
{
public:
    TWindowFixture();
    ~TWindowFixture();
    TWindowFixture(const TWindowFixture&) = delete;
    TWindowFixture& operator=(const TWindowFixture&) = delete;

    // Opens the settings store at Path (its usual place when empty) and
    // loads it as main() does: a damaged file is reported through Dialogs.
    TFileSettingsStore& OpenStore(const QString& path = {});
    // Creates the windows over the store (opened first when it is not yet),
    // in place of any made before.
    TfrmServerList& Build();
    // Builds when that has not happened yet, shows the main window (running
    // its start-up steps) and waits until it is on the screen.
    bool Show();
    // The next start of the program in the same folder: the windows go, the
    // settings are the defaults again, the store is read anew and the
    // windows are made again (not shown).
    TfrmServerList& Restart();

    TfrmServerList& Main() const { return *Windows.Main; }

    TTempAppFolder Folder; // first made, last gone: every path points below it
    TSettings Settings;
    TScriptedDialogs Dialogs;
    std::unique_ptr<TFileSettingsStore> Store;
    TProgramWindows Windows;
};
