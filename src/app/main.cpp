#include <QApplication>

#include "app/programwindows.h"
#include "browser/frmserverlist.h"
#include "browser/qtdialogs.h"
#include "core/settings.h"
#include "core/settingsio.h"
#include "core/settingsstore.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Morvix"));
    QApplication::setApplicationDisplayName(QStringLiteral("Morvix"));
    QApplication::setOrganizationName(QStringLiteral("Zelbo"));
    QGuiApplication::setDesktopFileName(QStringLiteral("morvix"));
    // The program lives on in the tray with no window open; it ends when the
    // main window closes.
    QApplication::setQuitOnLastWindowClosed(false);

    TSettings settings;
    TQtDialogs dialogs;
    TFileSettingsStore store(TFileSettingsStore::DefaultPath());
    LoadSettingsFile(store, dialogs);

    const TProgramWindows windows = CreateProgramWindows(settings, dialogs, store);
    dialogs.SetParent(windows.Main.get());
    QObject::connect(windows.Main.get(), &TfrmServerList::ShutDown, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    windows.Main->ShowAtStart();
    return QApplication::exec();
}
