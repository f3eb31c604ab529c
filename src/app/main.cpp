#include <QAction>
#include <QApplication>

#include "browser/frmserverlist.h"
#include "browser/qtdialogs.h"
#include "core/makerweb.h"
#include "core/settings.h"
#include "core/settingsio.h"
#include "core/settingsstore.h"
#include "filters/frmfilter.h"
#include "tools/frmadd.h"
#include "tools/frmfind.h"
#include "tools/frmnews.h"
#include "update/frmupdate.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Morvix"));
    // No display name: Qt would add " — Morvix" to every caption that does
    // not end in it ("Morvix - Weekly — Morvix").
    QApplication::setOrganizationName(QStringLiteral("Zelbo"));
    QGuiApplication::setDesktopFileName(QStringLiteral("morvix"));
    // The program lives on in the tray with no window open; it ends when the
    // main window closes.
    QApplication::setQuitOnLastWindowClosed(false);

    TSettings settings;
    TQtDialogs dialogs;
    TFileSettingsStore store(TFileSettingsStore::DefaultPath());
    LoadSettingsFile(store, dialogs);

    TfrmServerList window(settings, dialogs, store);
    // Tool windows belong to the main window and live as long as it does,
    // created in the program's documented order.
    new TfrmAdd(window, settings, dialogs);
    auto* update = new TfrmUpdate(&window, dialogs);
    // The item stands disabled: Morvix fetches no updates.
    QObject::connect(window.findChild<QAction*>(QStringLiteral("miFileUpdate")),
                     &QAction::triggered, update, &TfrmUpdate::CheckForUpdates);
    window.SetFilterWindow(new TfrmFilter(store, dialogs, &window));
    auto* news =
        new TfrmNews(&window, store, NewsPage(), NewsBrowserModule(NewsBrowserModulePath()));
    QObject::connect(&window, &TfrmServerList::NewsDue, news, &TfrmNews::OpenDueNews);
    if (!news->NewsAddress().isEmpty()) {
        window.BindCommand("miHelpNews", [news] { news->RetrieveLatestNews(); });
    }
    new TfrmFind(window, dialogs);
    dialogs.SetParent(&window);
    QObject::connect(&window, &TfrmServerList::ShutDown, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    window.ShowAtStart();
    return QApplication::exec();
}
