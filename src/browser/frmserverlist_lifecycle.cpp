// The main window's life: its start-up steps at the first show, the news
// check at the first activation, the tray, the server list file and the
// shutdown steps when it closes.

#include "browser/frmserverlist.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <algorithm>

#include "browser/masterrequests.h"
#include "browser/profilebar.h"
#include "browser/serverlistmodel.h"
#include "browser/serverlistrows.h"
#include "browser/serverlistview.h"
#include "browser/trayicon.h"
#include "core/dialogs.h"
#include "core/masterlist.h"
#include "core/serverlistfile.h"
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

void TfrmServerList::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (FirstShow_) {
        FirstShow_ = false;
        RunStartupSteps();
        // After the layout has given the list its real width, and only while
        // the columns have their design widths rather than stored ones.
        QTimer::singleShot(0, this, [this] {
            if (Settings_->ListLayout.Sizes.size() != ColumnCount) {
                List_->View().FitNameColumn();
            }
        });
    }
}

void TfrmServerList::RunStartupSteps()
{
    // Settings first: every later step reads them. A value the store could
    // not read is reported and the steps still run, so that nothing the
    // user had is left unloaded and then saved over at exit.
    LoadSettings();
    ProfileBar_->LoadProfiles();
    LoadServerList();
    // The list comes back in the order it was saved in; the stored sort
    // column and direction order it now, as the header shows.
    List_->View().SortAgain();
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
    List_->View().ApplyLayout(Settings_->ListLayout);
}

QStringList TfrmServerList::LoadMasters()
{
    const TMasterList masters = ReadMasterList(Store_);
    Masters_->BuildMenu(*miListImport, masters.Games);
    Masters_->SetQ3Versions(masters.Q3Protocols);
    return masters.InvalidValues;
}

bool TfrmServerList::LoadServerList()
{
    QList<TServerListLine> lines;
    if (ListFile_->Read(lines) == TServerListFile::TReadResult::Failed) {
        // Told once the window is on the screen, over it.
        QTimer::singleShot(0, this, [this, message = ListFile_->ErrorString()] {
            Dialogs_.Error(QStringLiteral("Morvix"), message);
        });
        return false;
    }
    ListRead_ = true;
    if (!ListFile_->Notice().isEmpty()) {
        // A file moved or copied aside: told once the window is on the screen.
        QTimer::singleShot(0, this, [this, message = ListFile_->Notice()] {
            Dialogs_.Warning(QStringLiteral("Morvix"), message);
        });
    }
    List_->AddLoaded(lines);
    if (!lines.isEmpty()) {
        ShowStatus(QStringLiteral("Successfully loaded ") + QString::number(lines.size()) +
                   QStringLiteral(" servers from disk db."));
    }
    return true;
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

void TfrmServerList::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) {
        Shutdown();
    }
}

bool TfrmServerList::SaveServerList()
{
    ShowStatus(QStringLiteral("Saving servers..."));
    Masters_->AddPending();
    // A list that was never read this time (unreadable, or start-up stopped
    // early) would be replaced by the rows of this run alone.
    if (!ListRead_ && QFileInfo::exists(ListFile_->Path())) {
        ShowStatus(QStringLiteral("The server list was not saved: it could not be read at start."));
        return false;
    }
    if (!ListFile_->Write(ServerListLines(List_->Model()))) {
        Dialogs_.Error(QStringLiteral("Morvix"), ListFile_->ErrorString());
        return false;
    }
    return true;
}

void TfrmServerList::SaveSettings()
{
    Settings_.Change([this](TSettingsValues& values) {
        List_->View().SaveLayout(values.ListLayout);
        values.ListRect = geometry();
    });
    if (!::SaveSettings(Store_, Settings_.Values())) {
        Dialogs_.Error(QStringLiteral("Settings not saved"),
                       QStringLiteral("Morvix could not save its settings:\n%1\n"
                                      "The settings saved before are kept as they were.")
                           .arg(Store_.ErrorString()));
    }
}

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
    List_->Clear();
    // The profiles leave the list; the stored ones stay.
    ProfileBar_->RemoveAllProfiles();
    Tray_->SetVisible(false);
    emit ShutDown();
}
