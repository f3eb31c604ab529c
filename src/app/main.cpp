#include <QApplication>

#include "browser/frmserverlist.h"
#include "browser/qtdialogs.h"
#include "core/settings.h"
#include "core/settingsstore.h"
#include "filters/frmfilter.h"

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
    window.SetFilterWindow(new TfrmFilter(store, dialogs, &window));
    dialogs.SetParent(&window);
    window.show();
    return QApplication::exec();
}
