// Saves pictures of the options window's five pages and of the tray's menu,
// for looking at them:
//   xvfb-run -a build/tests/browser/shot_options FOLDER
// writes FOLDER/options-<page>.png and FOLDER/tray-menu.png.
#include <QApplication>
#include <QMenu>
#include <QTabWidget>
#include <QTimer>

#include "browser/frmoptions.h"
#include "browser/frmserverlist.h"
#include "browser/trayicon.h"
#include "core/settings.h"
#include "core/settingsstore.h"
#include "windowfixture.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    TWindowFixture fixture;
    fixture.Settings.Change([](TSettingsValues& values) {
        values.Buddies = {{"Sarge", true}, {"*[CLAN]*", false}, {"Doom?", true}};
        values.UseBuddyList = true;
        values.GamePaths[gtQuake3] = QStringLiteral("/opt/quake3/quake3.x86");
        values.GamePaths[gtHalfLife] = QStringLiteral("/home/player/.wine/drive_c/Sierra/hl.exe");
        values.Colors[csRuleBG] = TColor::FromRgb(0xF4, 0xF1, 0xE8);
    });
    TfrmServerList& window = fixture.Build();
    window.Tray().SetAvailability([] { return true; });
    TfrmOptions& options = *fixture.Windows.Options;
    auto* pages = options.findChild<QTabWidget*>(QStringLiteral("pcOptions"));

    int failures = 0;
    QTimer::singleShot(0, [&] {
        options.show();
        for (int page = 0; page < pages->count(); ++page) {
            pages->setCurrentIndex(page);
            const QString name = pages->currentWidget()->objectName().mid(2).toLower();
            if (!options.grab().save(folder + QStringLiteral("/options-%1.png").arg(name))) {
                ++failures;
            }
        }
        options.hide();
        QMenu* menu = window.Tray().Menu();
        menu->popup(QPoint(40, 40));
        if (!menu->grab().save(folder + QStringLiteral("/tray-menu.png"))) {
            ++failures;
        }
        menu->close();
        QApplication::quit();
    });
    QApplication::exec();
    return failures == 0 ? 0 : 1;
}
