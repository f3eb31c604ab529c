#include "app/programwindows.h"

#include <QAction>

#include <memory>

#include "browser/frmoptions.h"
#include "browser/frmserverlist.h"
#include "browser/joinpingcommands.h"
#include "browser/profilebar.h"
#include "core/joinserver.h"
#include "core/joinstats.h"
#include "core/makerweb.h"
#include "core/savehtmlcommand.h"
#include "filters/frmfilter.h"
#include "tools/frmadd.h"
#include "tools/frmfind.h"
#include "tools/frmmonitor.h"
#include "tools/frmnews.h"
#include "tools/frmremote.h"
#include "tools/frmsearch.h"
#include "update/frmupdate.h"

TProgramWindows CreateProgramWindows(TSettings& settings, TDialogs& dialogs, TSettingsStore& store)
{
    TProgramWindows windows;
    windows.Main = std::make_unique<TfrmServerList>(settings, dialogs, store);
    TfrmServerList& main = *windows.Main;

    // 2. Options: modal, as it edits the live settings that everything reads.
    windows.Options = new TfrmOptions(settings, dialogs, &main);
    main.BindCommand("miFileOptions", [options = windows.Options] { options->exec(); });
    windows.Options->SetStatsAvailable(main.JoinPing().Stats().Available(),
                                       TJoinStats::UnavailableTip());

    // 3. Manual add.
    windows.Add = new TfrmAdd(main, settings, dialogs);
    main.BindCommand("miListManualAdd", [add = windows.Add] { add->Open(); });

    // 4. Update window. "&Check for updates..." stands disabled (Morvix
    // fetches no updates), so it is connected without BindCommand, which
    // would enable it.
    windows.Update = new TfrmUpdate(&main, dialogs);
    if (auto* item = main.findChild<QAction*>(QStringLiteral("miFileUpdate"))) {
        QObject::connect(item, &QAction::triggered, windows.Update, &TfrmUpdate::CheckForUpdates);
    }

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
    windows.Search = new TfrmSearch(main, settings, dialogs);
    main.BindCommand("miOtherFindPlayer", [search = windows.Search] { search->Open(); });
    // 7. News: the web engine starts at the first opening, not here. Without
    // a news address the item stays disabled with the tip that says why.
    windows.News =
        new TfrmNews(&main, store, NewsPage(), NewsBrowserModule(NewsBrowserModulePath()));
    QObject::connect(&main, &TfrmServerList::NewsDue, windows.News, &TfrmNews::OpenDueNews);
    if (!windows.News->NewsAddress().isEmpty()) {
        main.BindCommand("miHelpNews", [news = windows.News] { news->RetrieveLatestNews(); });
    }
    // 8. Remote console: its socket is open from the start, so a server's
    // log reaches it while the window is hidden.
    windows.Remote = new TfrmRemote(main, settings, dialogs);
    main.BindCommand("miOtherRemote", [remote = windows.Remote] { remote->Open(); });

    // 9. Find server.
    windows.Find = new TfrmFind(main, dialogs);
    main.BindCommand("miOtherFindServer", [find = windows.Find] { find->Open(); });

    // 10. Monitor: "&Monitor server" and "Monitor selected". Its alert joins
    // through the main window's join, as the pop-up "&Join" does.
    windows.Monitor = new TfrmMonitor(main, dialogs);
    windows.Monitor->SetJoinGame([&main](const TGenericServer& server) {
        main.JoinPing().Join().JoinServer(server, QString());
    });
    main.BindCommand("miOtherMonitor", [monitor = windows.Monitor] { monitor->MonitorSelected(); });
    main.BindCommand("pmMonitor", [monitor = windows.Monitor] { monitor->MonitorSelected(); });

    // The list's pop-up "&Save to HTML": the selected row's record (the
    // first one when several are selected).
    auto saveHtml = std::make_shared<TSaveHtmlCommand>(
        dialogs, [&main](const QString& text) { main.ShowStatus(text); });
    main.BindCommand("pmSaveHtml", [saveHtml, &main] {
        const QList<int> rows = main.SelectedRows();
        saveHtml->Run(rows.isEmpty() ? nullptr : main.Server(rows.front()));
    });
    return windows;
}
