#include "browser/helpmenu.h"

#include <QMenu>

#include "core/dialogs.h"

void AddHelpItems(QMenu& help, TDialogs& dialogs, bool hasWebSite,
                  const std::function<void(const QString& path)>& openPage)
{
    help.setToolTipsVisible(true);
    const bool hasAddress = hasWebSite;
    const QString noAddress =
        QStringLiteral("This build of Morvix has no web site address (MORVIX_MAKER_URL).");
    const auto page = [&](const char* name, const QString& text, const QString& path) {
        QAction* action = help.addAction(text);
        action->setObjectName(QLatin1String(name));
        action->setEnabled(hasAddress && !path.isEmpty());
        if (!hasAddress) {
            action->setToolTip(noAddress);
        }
        if (!path.isEmpty()) {
            QObject::connect(action, &QAction::triggered, &help,
                             [openPage, path] { openPage(path); });
        }
    };
    // The news page is shown by the news window.
    page("miHelpNews", QStringLiteral("Retrieve latest news"), QString());
    page("miHelpOnline", QStringLiteral("Morvix Online help"), QStringLiteral("/morvix/support"));
    page("miHelpHomepage", QStringLiteral("Morvix homepage"), QStringLiteral("/morvix"));
    help.addSeparator();
    QAction* credits = help.addAction(QStringLiteral("&Credits"));
    credits->setObjectName(QStringLiteral("miHelpCredits"));
    QObject::connect(credits, &QAction::triggered, &help, [&dialogs] {
        dialogs.Information(
            QStringLiteral("Credits"),
            QStringLiteral("Morvix\n"
                           "A browser for the servers of classic multiplayer games.\n\n"
                           "Written by the Morvix developers, with thanks to everyone\n"
                           "who wrote down how these games talk to their servers.\n\n"
                           "The game and program icons are drawn by Morvix itself.\n"
                           "Built with Qt."));
    });
}
