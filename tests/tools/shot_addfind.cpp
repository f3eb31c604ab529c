// Pictures of the add and find windows and of the "&Import" menu, for
// looking at them (not a test):
//   xvfb-run -a build/tests/tools/shot_addfind OUTPUT_FOLDER
// writes add.png, find.png, help.png and import.png (the whole screen with
// the menu open).
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>

#include "browser/frmserverlist.h"
#include "browser/qtdialogs.h"
#include "core/settings.h"
#include "core/settingsstore.h"
#include "tools/frmadd.h"
#include "tools/frmfind.h"
#include "windowfixture.h"

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
    TWindowFixture fixture;
    fixture.Settings.Change([](TSettingsValues& values) { values.DefaultGameType = 2; });
    TfrmServerList& window = fixture.Build();
    TfrmAdd* add = fixture.Windows.Add;
    TfrmFind* find = fixture.Windows.Find;
    window.move(0, 0);
    window.show();
    for (const char* name : {"Rocket Arena", "Frag Central [CTF]", "Dust Bowl 24/7"}) {
        window.ChangeServer(window.AddServer(QStringLiteral("10.0.0.1"), 27960, gtQuake3),
                            [name](TGenericServer& server) { server.Name = name; });
    }
    Wait(200);

    add->Open();
    add->findChild<QLineEdit*>(QStringLiteral("editHostname"))
        ->setText(QStringLiteral("q3.example.org:27961"));
    Wait(200);
    add->grab().save(folder + QStringLiteral("/add.png"));
    add->close();

    find->Open();
    find->findChild<QLineEdit*>(QStringLiteral("editFind"))->setText(QStringLiteral("arena"));
    Wait(200);
    find->grab().save(folder + QStringLiteral("/find.png"));
    find->close();

    // The help as the real dialogs show it.
    TQtDialogs real(&window);
    QTimer::singleShot(300, [&folder] {
        QWidget* box = QApplication::activeModalWidget();
        box->grab().save(folder + QStringLiteral("/help.png"));
        box->close();
    });
    real.Information(QStringLiteral("Morvix"), TfrmAdd::HelpText);

    // The Serverlist menu with Import and its first game open.
    auto* list = window.findChild<QMenu*>(QStringLiteral("miList"));
    auto* import = window.findChild<QMenu*>(QStringLiteral("miListImport"));
    auto* game = window.findChild<QMenu*>(QStringLiteral("miMasterGame2"));
    window.menuBar()->setActiveAction(list->menuAction());
    Wait(200);
    list->setActiveAction(import->menuAction());
    import->popup(list->geometry().topRight() +
                  QPoint(0, list->actionGeometry(import->menuAction()).top()));
    Wait(200);
    import->setActiveAction(game->menuAction());
    game->popup(import->geometry().topRight() +
                QPoint(0, import->actionGeometry(game->menuAction()).top()));
    Wait(300);
    QGuiApplication::primaryScreen()
        ->grabWindow(0, 0, 0, 900, 400)
        .save(folder + QStringLiteral("/import.png"));
    return 0;
}
