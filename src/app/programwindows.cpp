#include "app/programwindows.h"

#include <QAction>

#include "browser/frmoptions.h"
#include "browser/frmserverlist.h"
#include "browser/profilebar.h"
#include "core/joinserver.h"
#include "core/joinstats.h"
#include "core/launcher.h"
#include "filters/frmfilter.h"
#include "tools/frmadd.h"
#include "tools/frmfind.h"
#include "tools/frmmonitor.h"

TProgramWindows CreateProgramWindows(TSettings& settings, TDialogs& dialogs, TSettingsStore& store)
{
    TProgramWindows windows;
    windows.Main = std::make_unique<TfrmServerList>(settings, dialogs, store);
    TfrmServerList& main = *windows.Main;

    // 2. Options: modal, as it edits the live settings that everything reads.
    windows.Options = new TfrmOptions(settings, dialogs, &main);
    main.BindCommand("miFileOptions", [options = windows.Options] { options->exec(); });

    // 3. Manual add.
    windows.Add = new TfrmAdd(main, settings, dialogs);
    main.BindCommand("miListManualAdd", [add = windows.Add] { add->Open(); });

    // 4. Update window: "&Check for updates..." and the updater.

    // 5. Filter window: application-modal without a nested event loop; the
    // profiles are listed again when it finishes.
    windows.Filter = new TfrmFilter(store, dialogs, &main);
    main.BindCommand("miListNewFilter", [filter = windows.Filter] {
        filter->setWindowModality(Qt::ApplicationModal);
        filter->show();
    });
    QObject::connect(windows.Filter, &QDialog::finished, &main.ProfileBar(),
                     &TProfileBar::LoadProfiles);

    // 6. Player search: "&Find Player".
    // 7. News: "Retrieve latest news" and TfrmServerList::NewsDue.
    // 8. Remote console: "&Remote console".

    // 9. Find server.
    windows.Find = new TfrmFind(main, dialogs);
    main.BindCommand("miOtherFindServer", [find = windows.Find] { find->Open(); });

    // 10. Monitor: "&Monitor server" and "Monitor selected". Its alert joins
    // through a launcher of its own, with the main window's hooks.
    windows.Monitor = new TfrmMonitor(main, dialogs);
    {
        auto* stats = new TJoinStats(windows.Monitor);
        auto launcher = std::make_shared<TLauncher>(dialogs);
        launcher->ShowStatus = [&main](const QString& text) { main.ShowStatus(text); };
        auto join = std::make_shared<TServerJoin>(settings, dialogs, *launcher, stats);
        join->Hooks.ShowStatus = launcher->ShowStatus;
        join->Hooks.CopyToClipboard = [&main](const QString& text) { main.CopyToClipboard(text); };
        join->Hooks.SaveServerList = [&main] { main.SaveServerList(); };
        join->Hooks.CloseProgram = [&main] { main.CloseMainWindow(); };
        join->Hooks.ShowInTray = [&main](bool flag) { main.ShowInTray(flag); };
        windows.Monitor->SetJoinGame([launcher, join](const TGenericServer& server) {
            join->JoinServer(server, QString());
        });
    }
    main.BindCommand("miOtherMonitor", [monitor = windows.Monitor] { monitor->MonitorSelected(); });
    main.BindCommand("pmMonitor", [monitor = windows.Monitor] { monitor->MonitorSelected(); });
    return windows;
}
