#pragma once

#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <memory>

#include "browser/serverbrowser.h"
#include "browser/serverlist.h"
#include "core/serverquerier.h"

class QMenu;
class QToolBar;
class TDialogs;
class TJoinPingCommands;
class TMasterRequests;
class TProfileBar;
class TResultPresenter;
class TServerDetails;
class TServerListFile;
class TServerListModel;
class TSettings;
class TSettingsStore;
class TStatusPresenter;
class TTrayIcon;

// The main window: the server list (TServerList: lvServers and its rows)
// with the players and rules of the selected server (TServerDetails), the
// tool bar (progress bar, TProfileBar), the status bar (TStatusPresenter),
// the menus and the list's pop-up menu. It lays these parts out and
// connects them; each does its own work:
// - TServerQuerier asks the servers (rounds, chains, retries, counts);
// - TResultPresenter shows what comes back in the rows, panes and bars;
// - TMasterRequests fills "&Import" and adds the servers masters list;
// - the lifecycle (frmserverlist_lifecycle.cpp) loads at the first show,
//   goes to the tray and saves at shutdown.
// Tool windows reach the list through TServerBrowser, which this window
// implements; main.cpp's factory creates and wires them.
class TfrmServerList : public QMainWindow, public TServerBrowser
{
    Q_OBJECT

public:
    // Settings are the live values; Store is the per-user settings store they
    // are loaded from and saved to, and where profiles and masters live.
    TfrmServerList(TSettings& settings, TDialogs& dialogs, TSettingsStore& store,
                   QWidget* parent = nullptr);
    ~TfrmServerList() override;

    // TServerBrowser: the rows are the list's (TServerList).
    int ServerCount() const override { return List_->Count(); }
    const TGenericServer* Server(int row) const override { return List_->Server(row); }
    int RowOf(std::int32_t id) const override { return List_->RowOf(id); }
    QString Cell(int row, int column) const override { return List_->Cell(row, column); }
    QList<int> SelectedRows() const override { return List_->SelectedRows(); }
    void SelectServer(int row) override { List_->Select(row); }
    int AddServer(const QString& host, int port, TGameType game) override
    {
        return List_->Add({{host, port, game}});
    }
    int AddServers(const QList<TServerAddress>& servers) override { return List_->Add(servers); }
    void RemoveServers(const QList<int>& rows) override { List_->Remove(rows); }
    void SetCell(int row, int column, const QString& text) override
    {
        List_->SetCell(row, column, text);
    }
    void ChangeServer(int row, const std::function<void(TGenericServer&)>& change) override
    {
        List_->Change(row, change);
    }
    void ShowStatus(const QString& text) override;
    QWidget* BrowserWidget() override { return this; }
    bool SaveServerList() override;
    void ShowInTray(bool flag) override;
    void CloseMainWindow() override { close(); }
    void CopyToClipboard(const QString& text) override;

    void RemoveServer(int index) { RemoveServers({index}); }
    void SetFavorite(int index, bool flag);
    // The rows as the list shows them, read-only: rows change through the
    // functions above.
    const TServerListModel& Model() const { return List_->Model(); }

    // Queries: a round over all rows or the selected ones, or one row at once.
    void QueryServer(int index) { List_->Query(index); }
    void QuerySelected() { List_->QuerySelected(); }
    void QueryAll() { List_->QueryAll(); }
    void ResetRetries() { List_->ResetRetries(); }
    void ResetProgress() { Querier_->ResetProgress(); }
    int SentCount() const { return Querier_->SentCount(); }
    int OutstandingCount() const { return Querier_->OutstandingCount(); }
    bool IsDispatching() const { return Querier_->IsDispatching(); }
    TBasicQuery* FirstQueryEngine(TGameType game) const { return Querier_->FirstComponent(game); }
    TServerQuerier& Querier() const { return *Querier_; }

    // The status text shown, or about to be shown.
    QString StatusText() const;
    static constexpr int FrameMs = 20;
    // Shows the players and rules of row Index, and follows that server.
    void ShowServerDetails(int index) { List_->ShowDetails(index); }

    // Commands of the menus
    void RemoveSelected();
    void ClearList();
    void ShowStats();
    void CopyAddress();
    void CopyServerInfo();
    void SetSelectedFavorite(bool flag);

    TProfileBar& ProfileBar() const { return *ProfileBar_; }
    TMasterRequests& Masters() const { return *Masters_; }
    TTrayIcon& Tray() const { return *Tray_; }
    // Joining, the ICMP ping and the maker's pages.
    TJoinPingCommands& JoinPing() const { return *JoinPing_; }
    TServerListFile& ListFile() const { return *ListFile_; }

    // Makes the menu item Name work: it is enabled and runs Action. The
    // factory that creates the other windows hooks their commands so.
    void BindCommand(const char* name, std::function<void()> action);

    // Program lifecycle (frmserverlist_lifecycle.cpp)
    // Shows the window at program start; when the store says to start in
    // the tray, only the tray icon.
    void ShowAtStart();
    // Reads the settings from the store, reports values it could not read,
    // and puts the window and the list's columns where they say.
    void LoadSettings();
    // Writes the settings to the store; a failure is reported and the
    // previous store file stays as it was.
    void SaveSettings();
    // Whether the first show has run the start-up steps.
    bool StartupDone() const { return StartupDone_; }
    // Appends the list file's servers; false when the file exists but cannot
    // be read (reported; it is then never replaced in this run).
    bool LoadServerList();
    // The masters step of LoadSettings: fills "&Import" from the masters key
    // of the store (the built-in masters when there is none) and returns the
    // names of values that are not a port; they are left out.
    QStringList LoadMasters();

signals:
    // The current round has no query left to dispatch or to wait for.
    void QueryRoundFinished();
    // At the first activation, when the news page is due (20 days or more
    // since "LastNews").
    void NewsDue();
    // The window has closed and its shutdown steps have run: the program
    // ends.
    void ShutDown();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void CreateMenus();
    void ApplyColors();
    void RunStartupSteps();
    void Shutdown();

    TSettings& Settings_;
    TDialogs& Dialogs_;
    TSettingsStore& Store_;

    TServerList* List_ = nullptr;
    TServerDetails* Details_ = nullptr;
    TStatusPresenter* Status_ = nullptr;
    QToolBar* ToolBar_ = nullptr;
    TProfileBar* ProfileBar_ = nullptr;
    TServerQuerier* Querier_ = nullptr;
    TResultPresenter* Results_ = nullptr;
    TMasterRequests* Masters_ = nullptr;
    TJoinPingCommands* JoinPing_ = nullptr;
    std::unique_ptr<TServerListFile> ListFile_;
    TTrayIcon* Tray_ = nullptr;
    QMenu* pmMenu = nullptr;
    QMenu* miListImport = nullptr;

    // Lifecycle
    bool StartInTray_ = false; // "OSTray", read when the window is created
    bool FirstShow_ = true;    // the start-up steps wait for the first show
    bool StartupDone_ = false;
    bool News_ = true; // the news check waits for the first activation
    bool ClosedDown_ = false;
    bool ListRead_ = false;
};
