// Saves pictures of the filter window's four tabs and of the main window
// with its profile tool bar, for looking at them:
//   xvfb-run -a build/tests/filters/shot_filters OUTPUT_FOLDER
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>

#include "browser/frmserverlist.h"
#include "core/settings.h"
#include "core/settingsstore.h"
#include "filters/frmfilter.h"
#include "windowfixture.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QString output = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(output);
    TWindowFixture fixture;
    TFileSettingsStore& store = fixture.OpenStore();
    SaveProfile(store, QStringLiteral("CTF servers with room, low ping"),
                {{ftName, foMatch, "*CTF*", 0}, {ftPing, foLess, {}, 100}});
    SaveProfile(store, QStringLiteral("Favourites"), {{ftFavorite, foTrue, {}, 0}});

    TfrmServerList& window = fixture.Build();
    for (TGameType game : {gtQuake3, gtHalfLife, gtTribes2}) {
        window.AddServer(QStringLiteral("192.0.2.10"), 27960, game);
    }
    TfrmFilter* filter = fixture.Windows.Filter;
    window.show();

    QTimer::singleShot(300, &window, [&] {
        window.grab().save(output + QStringLiteral("/serverlist-profiles.png"));
        filter->show();
        filter->findChild<QLineEdit*>(QStringLiteral("edProfileName"))
            ->setText(QStringLiteral("Small CTF servers"));
        filter->findChild<QTabWidget*>(QStringLiteral("pcFilter"))->setCurrentIndex(1);
        filter->findChild<QLineEdit*>(QStringLiteral("edPattern"))
            ->setText(QStringLiteral("*CTF*"));
        filter->AddStringFilter();
        filter->AddIntegerFilter();
        filter->AddBooleanFilter();
        QTimer::singleShot(200, &window, [&] {
            auto* tabs = filter->findChild<QTabWidget*>(QStringLiteral("pcFilter"));
            const char* const names[] = {"profile", "strings", "numbers", "booleans"};
            for (int tab = 0; tab < tabs->count(); ++tab) {
                tabs->setCurrentIndex(tab);
                filter->grab().save(output + QStringLiteral("/filter-%1.png").arg(names[tab]));
            }
            QApplication::quit();
        });
    });
    return QApplication::exec();
}
