#include <QApplication>

#include "browser/frmserverlist.h"
#include "browser/qtdialogs.h"
#include "core/settings.h"
#include "core/settingsstore.h"
#include "tools/frmadd.h"
#include "tools/frmfind.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Morvix"));
    QApplication::setApplicationDisplayName(QStringLiteral("Morvix"));
    QApplication::setOrganizationName(QStringLiteral("Zelbo"));

    TSettings settings;
    TQtDialogs dialogs;
    TFileSettingsStore store(TFileSettingsStore::DefaultPath());
    TfrmServerList window(settings, dialogs, store);
    // Tool windows belong to the main window and live as long as it does.
    new TfrmAdd(window, settings, dialogs);
    new TfrmFind(window, dialogs);
    dialogs.SetParent(&window);
    window.show();
    return QApplication::exec();
}
