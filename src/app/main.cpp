#include <QApplication>

#include "app/programwindows.h"
#include "browser/frmserverlist.h"
#include "browser/qtdialogs.h"
#include "core/settings.h"
#include "core/settingsio.h"
#include "core/settingsstore.h"
#include "core/singleinstance.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // No display name: the platform would add it to every caption ("Options
    // — Morvix"), and the captions are the program's own texts.
    QApplication::setApplicationName(QStringLiteral("Morvix"));
    QApplication::setOrganizationName(QStringLiteral("Zelbo"));
    QGuiApplication::setDesktopFileName(QStringLiteral("morvix"));
    // The program lives on in the tray with no window open; it ends when the
    // main window closes.
    QApplication::setQuitOnLastWindowClosed(false);

    // One Morvix per settings file: a later start brings the running one to
    // the front and ends here.
    TSingleInstance instance(TFileSettingsStore::DefaultPath());
    if (!instance.Claim()) {
        return 0;
    }

    TSettings settings;
    TQtDialogs dialogs;
    TFileSettingsStore store(TFileSettingsStore::DefaultPath());
    LoadSettingsFile(store, dialogs);

    const TProgramWindows windows = CreateProgramWindows(settings, dialogs, store);
    TfrmServerList& window = *windows.Main;
    dialogs.SetParent(&window);
    QObject::connect(&window, &TfrmServerList::ShutDown, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    QObject::connect(&instance, &TSingleInstance::ActivationRequested, &window,
                     [&window] { window.ShowInTray(false); });
    window.ShowAtStart();
    return QApplication::exec();
}
