#pragma once

#include <memory>

class TDialogs;
class TSettings;
class TSettingsStore;
class TfrmAdd;
class TfrmFilter;
class TfrmFind;
class TfrmOptions;
class TfrmServerList;

// Every window of the program, created at start in the documented order and
// kept until exit. The main window owns the others; the factory wires them
// to it with signals and its menu commands (BindCommand), so that no window
// needs another window's header.
struct TProgramWindows
{
    std::unique_ptr<TfrmServerList> Main; // 1. the main window
    TfrmOptions* Options = nullptr;       // 2. "&Options"
    TfrmAdd* Add = nullptr;               // 3. "&Manual add"
    // 4. the update window (TfrmUpdate)
    TfrmFilter* Filter = nullptr; // 5. "&New filter"
    // 6. player search (TfrmSearch)
    // 7. news (TfrmNews)
    // 8. remote console (TfrmRemote)
    TfrmFind* Find = nullptr; // 9. "Find &Server"
    // 10. monitor (TfrmMonitor)
};

// Creates and wires every window over the live settings, the dialogs and
// the settings store (which the caller has loaded). The main window is not
// shown yet: ShowAtStart does that.
TProgramWindows CreateProgramWindows(TSettings& settings, TDialogs& dialogs, TSettingsStore& store);
