#include "app/programwindows.h"

#include <QAction>

#include "browser/frmoptions.h"
#include "browser/frmserverlist.h"
#include "browser/profilebar.h"
#include "filters/frmfilter.h"
#include "tools/frmadd.h"
#include "tools/frmfind.h"

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

    // 10. Monitor: "&Monitor server" and "Monitor selected".
    return windows;
}
