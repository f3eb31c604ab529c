#pragma once

#include <memory>

class TDialogs;
class TSettings;
class TSettingsStore;
class TfrmAdd;
class TfrmFilter;
class TfrmFind;
class TfrmNews;
class TfrmSearch;
class TfrmRemote;
class TfrmMonitor;
class TfrmOptions;
class TfrmServerList;
class TfrmUpdate;

// Every window of the program, created at start in the documented order and
// kept until exit. The main window owns the others; the factory wires them
// to it with signals and its menu commands (BindCommand), so that no window
// needs another window's header.
struct TProgramWindows
{
    std::unique_ptr<TfrmServerList> Main; // 1. the main window
    TfrmOptions* Options = nullptr;       // 2. "&Options"
    TfrmAdd* Add = nullptr;               // 3. "&Manual add"
    TfrmUpdate* Update = nullptr;         // 4. "Morvix WebUpdate"
    TfrmFilter* Filter = nullptr;         // 5. "&New filter"
    TfrmSearch* Search = nullptr;         // 6. "&Find Player"
    TfrmNews* News = nullptr;             // 7. the news page
    TfrmRemote* Remote = nullptr;         // 8. "&Remote console"
    TfrmFind* Find = nullptr;             // 9. "Find &Server"
    TfrmMonitor* Monitor = nullptr;       // 10. "&Monitor server", "Monitor selected"
};

// Creates and wires every window over the live settings, the dialogs and
// the settings store (which the caller has loaded). The main window is not
// shown yet: ShowAtStart does that.
TProgramWindows CreateProgramWindows(TSettings& settings, TDialogs& dialogs, TSettingsStore& store);
