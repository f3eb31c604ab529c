// The main window's life: its start-up steps at the first show, the news
// check at the first activation, the Help menu, the tray, and the shutdown
// steps when it closes.

#include "browser/frmserverlist.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QTimer>

#include <algorithm>

#include "browser/profilebar.h"
#include "browser/serverlistmodel.h"
#include "browser/trayicon.h"
#include "core/dialogs.h"
#include "core/makerweb.h"
#include "core/querypacer.h"
#include "core/settings.h"
#include "core/settingsio.h"
#include "core/settingsstore.h"

namespace {

// The stored rectangle fitted to the screen it is mostly on now; null when
// it is on none.
QRect OnScreen(const QRect& rect)
{
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
        screens << screen->availableGeometry();
    }
    return PlaceOnScreen(rect, screens);
}

} // namespace

void TfrmServerList::CreateHelpItems(QMenu* help)
{
    help->setToolTipsVisible(true);
    const bool hasAddress = !MakerWebAddress().isEmpty();
    const QString noAddress =
        QStringLiteral("This build of Morvix has no web site address (MORVIX_MAKER_URL).");
    const auto page = [&](const char* name, const QString& text, const QString& path) {
        QAction* action = help->addAction(text);
        action->setObjectName(QLatin1String(name));
        action->setEnabled(hasAddress && !path.isEmpty());
        if (!hasAddress) {
            action->setToolTip(noAddress);
        }
        if (!path.isEmpty()) {
            connect(action, &QAction::triggered, this, [this, path] { OpenMakerPage(path); });
        }
    };
    // The news page is shown by the news window.
    page("miHelpNews", QStringLiteral("Retrieve latest news"), QString());
    page("miHelpOnline", QStringLiteral("Morvix Online help"), QStringLiteral("/morvix/support"));
    page("miHelpHomepage", QStringLiteral("Morvix homepage"), QStringLiteral("/morvix"));
    help->addSeparator();
    QAction* credits = help->addAction(QStringLiteral("&Credits"));
    credits->setObjectName(QStringLiteral("miHelpCredits"));
    connect(credits, &QAction::triggered, this, [this] {
        Dialogs_.Information(
            QStringLiteral("Credits"),
            QStringLiteral("Morvix\n"
                           "A browser for the servers of classic multiplayer games.\n\n"
                           "Written by the Morvix developers, with thanks to everyone\n"
                           "who wrote down how these games talk to their servers.\n\n"
                           "The game and program icons are drawn by Morvix itself.\n"
                           "Built with Qt."));
    });
}

void TfrmServerList::OpenMakerPage(const QString& path)
{
    const QUrl url = MakerPage(path);
    if (!url.isValid() || !QDesktopServices::openUrl(url)) {
        ShowStatus(QStringLiteral("Unable to open ") + url.toString() +
                   QStringLiteral(". Is a web browser installed?"));
    }
}

// ---------------------------------------------------------------------------
// Start-up

void TfrmServerList::ShowAtStart()
{
    if (StartInTray_) {
        ShowInTray(true);
    } else {
        show();
    }
}

void TfrmServerList::RunStartupSteps()
{
    // Settings first: every later step reads them. A value the store could
    // not read is reported and the steps still run, so that nothing the
    // user had is left unloaded and then saved over at exit.
    LoadSettings();
    LoadProfiles();
    LoadServerList();
    if (Settings_->OSQueryALL) {
        QueryAll();
    }
    StartupDone_ = true;
}

void TfrmServerList::LoadSettings()
{
    QStringList mastersInvalid;
    QStringList invalid =
        ::LoadSettings(Store_, Settings_, [&] { mastersInvalid = LoadMasters(); });
    invalid += mastersInvalid;
    if (!invalid.isEmpty()) {
        // Told once the window is on the screen, over it.
        QTimer::singleShot(0, this, [this, message = InvalidDataTypeMessage(invalid)] {
            Dialogs_.Error(QStringLiteral("Morvix"), message);
        });
    }
    // The colours take effect now, whether or not the store had any.
    ApplyColors();
    if (const QRect place = OnScreen(Settings_->ListRect); place.isValid()) {
        setGeometry(place);
    }
    ApplyListLayout();
}

void TfrmServerList::SaveSettings()
{
    StoreListLayout();
    if (!::SaveSettings(Store_, Settings_.Values())) {
        Dialogs_.Error(QStringLiteral("Settings not saved"),
                       QStringLiteral("Morvix could not save its settings:\n%1\n"
                                      "The settings saved before are kept as they were.")
                           .arg(Store_.ErrorString()));
    }
}

bool TfrmServerList::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && News_) {
        News_ = false;
        if (IsNewsDue(Store_, QDateTime::currentDateTime())) {
            emit NewsDue();
        }
    }
    return QMainWindow::event(event);
}

// ---------------------------------------------------------------------------
// Tray

void TfrmServerList::ShowInTray(bool flag)
{
    if (flag) {
        if (!Tray_->Available()) {
            // Without a notification area there is no way back from a hidden
            // window: it is minimised instead.
            Tray_->SetVisible(false);
            showMinimized();
            return;
        }
        Tray_->SetVisible(true);
        hide();
        return;
    }
    Tray_->SetVisible(false);
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void TfrmServerList::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized() && Tray_->Available()) {
        // Minimising sends the program to the tray; once the window system
        // has finished minimising, the window is restored and hidden.
        QTimer::singleShot(0, this, [this] {
            if (isMinimized() && isVisible()) {
                setWindowState(windowState() & ~Qt::WindowMinimized);
                ShowInTray(true);
            }
        });
    }
}

// ---------------------------------------------------------------------------
// Shutdown

void TfrmServerList::Shutdown()
{
    if (ClosedDown_) {
        return;
    }
    ClosedDown_ = true;
    // The list first, always; it keeps a file it could not read at start.
    SaveServerList();
    // What was never loaded is not saved: a program closed from the tray
    // before its window was first shown would write defaults over the
    // user's settings.
    if (StartupDone_) {
        SaveSettings();
    }
    Pacer_->Stop();
    Forget(Model_->Clear());
    // The profiles leave the list; the stored ones stay.
    ProfileBar_->RemoveAllProfiles();
    Tray_->SetVisible(false);
    emit ShutDown();
}
