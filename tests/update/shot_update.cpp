// Pictures of the update window and of the File menu with its disabled
// "&Check for updates..." item, for looking at them (not a test):
//   xvfb-run -a build/tests/update/shot_update OUTPUT_FOLDER
// writes update.png (as "&Check for updates..." would show it),
// update-checked.png (after "Check for updates >>") and file-menu.png.
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "browser/frmserverlist.h"
#include "core/settings.h"
#include "core/settingsstore.h"
#include "scripteddialogs.h"
#include "tempappfolder.h"
#include "update/frmupdate.h"

namespace {

void Wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    TTempAppFolder paths;

    TSettings settings;
    TScriptedDialogs dialogs;
    TFileSettingsStore store(TFileSettingsStore::DefaultPath());
    TfrmServerList window(settings, dialogs, store);
    auto* update = new TfrmUpdate(&window, dialogs);
    window.move(0, 0);
    window.show();
    Wait(200);

    update->CheckForUpdates();
    Wait(300);
    update->grab().save(folder + QStringLiteral("/update.png"));
    update->findChild<QPushButton*>(QStringLiteral("sbCheckNow"))->click();
    Wait(200);
    update->grab().save(folder + QStringLiteral("/update-checked.png"));
    update->reject();

    auto* file = window.findChild<QMenu*>(QStringLiteral("miFile"));
    window.menuBar()->setActiveAction(file->menuAction());
    Wait(300);
    QGuiApplication::primaryScreen()
        ->grabWindow(0, 0, 0, 400, 200)
        .save(folder + QStringLiteral("/file-menu.png"));
    return 0;
}
