#include <QApplication>

#include "browser/frmserverlist.h"
#include "browser/qtdialogs.h"
#include "core/settings.h"
#include "core/settingsstore.h"

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
    dialogs.SetParent(&window);
    window.show();
    return QApplication::exec();
}
