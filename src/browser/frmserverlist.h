#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "model/basicquery.h"
#include "model/genericserver.h"

class QAction;
class QCheckBox;
class QComboBox;
class QDialog;
class QLabel;
class QMenu;
class QProgressBar;
class QSplitter;
class QToolBar;
class QToolButton;
class QTreeWidget;
class TDialogs;
class TMasterRequests;
class TServerListFile;
class THLInfoQuery;
class THLPlayerQuery;
class THLRuleQuery;
class TQ2Query;
class TQ3AQuery;
class TQWQuery;
class TT2PingQuery;
class TT2Query;
class TTribesQuery;
class TQueryPacer;
class TProfileBar;
class TServerListModel;
class TServerListView;
class TSettings;
class TSettingsStore;
class TTrayIcon;
class TfrmOptions;

// The main window: the server list with its queries, the players and rules
// of the selected server, and the commands that act on rows.
//
// Every row owns one TGenericServer. A query carries the record's Id as its
// tag, and each result handler finds the record by that Id, so a reply
// reaches its own server even after rows were removed or sorted, and is
// dropped when its server left the list. A round of queries (all, or the
// selected rows) is paced by a timer-driven dispatcher, so the window keeps
// answering while thousands of servers are queried.
class TfrmServerList : public QMainWindow
{
    Q_OBJECT

public:
    // Settings are the live values; Store is the per-user settings store they
    // are loaded from and saved to, and where profiles and masters live.
    TfrmServerList(TSettings& settings, TDialogs& dialogs, TSettingsStore& store,
                   QWidget* parent = nullptr);
    ~TfrmServerList() override;

    // Rows
    // Appends an unqueried server and returns its row.
    int AddServer(const QString& host, int port, TGameType gameType);
    // The record of a new, unqueried server, not yet in the list.
    std::unique_ptr<TGenericServer> NewServerRecord(const QString& host, int port,
                                                    TGameType gameType) const;
    // Frees the record of row Index and deletes the row.
    void RemoveServer(int index);
    // Removes the given rows (any order) in one batch, freeing their records.
    void RemoveServers(const QList<int>& rows);
    int ServerCount() const;
    TGenericServer* Server(int index) const;
    // The rows currently selected, in ascending order.
    QList<int> SelectedRows() const;
    void SetFavorite(int index, bool flag);
    // Selects row Index alone, makes it the current row and gives the list
    // the focus.
    void SelectServer(int index);
    TServerListModel& Model() const { return *Model_; }
    TSettingsStore& Store() const { return Store_; }

    // Queries
    // Sends the first query of row Index's game at once.
    void QueryServer(int index);
    void QuerySelected();
    void QueryAll();
    void ResetRetries();
    void ResetProgress();
    void UpdateProgress();
    int SentCount() const { return SentCount_; }
    int OutstandingCount() const { return OutstandingCount_; }
    // Whether servers of the current round still wait to be dispatched.
    bool IsDispatching() const;
    // The engine that receives the first query of a game's servers.
    TBasicQuery* FirstQueryEngine(TGameType game) const;

    // Presentation
    // Shows Text in the status bar. It is painted at once, or, when the bar
    // was painted less than FrameMs ago, at the end of that frame; the
    // progress bar likewise.
    void ShowStatus(const QString& text);
    // The text the status bar shows, or is about to show.
    QString StatusText() const;
    static constexpr int FrameMs = 20;
    void ShowServerDetails(int index);
    void CopyToClipboard(const QString& text);
    static int SplitHostPort(QString& text, int defaultPort);
    static int GameImageIndex(const TGenericServer& server, bool buddyPresent);

    // Commands of the menus
    void RemoveSelected();
    void ClearList();
    void ShowStats();
    void CopyAddress();
    void CopyServerInfo();
    void SetSelectedFavorite(bool flag);

    // Filter profiles of the tool bar
    // Lists the stored profiles in cbProfileList afresh.
    void LoadProfiles();
    // Removes a profile from the list, and from the store when asked to.
    void RemoveProfile(int index, bool deleteFromStore);
    // The filter window that "&New filter" shows modally; the profiles are
    // listed again when it closes. Without one the menu item stands disabled.
    void SetFilterWindow(QDialog* window);

    // Copies the list's column widths, order and sort state to the settings,
    // and back.
    void StoreListLayout();
    void ApplyListLayout();

    // Program lifecycle (frmserverlist_lifecycle.cpp)
    // Shows the window at program start; when the store says to start in
    // the tray, only the tray icon.
    void ShowAtStart();
    // Flag true: the tray icon comes on and the window hides (minimises,
    // when the desktop has no notification area); false: back from the tray.
    void ShowInTray(bool flag);
    // Reads the settings from the store, reports values it could not read,
    // and puts the window where they say.
    void LoadSettings();
    // Writes the settings to the store; a failure is reported and the
    // previous store file stays as it was.
    void SaveSettings();
    // Whether the first show has run the start-up steps.
    bool StartupDone() const { return StartupDone_; }
    TfrmOptions& Options() const { return *frmOptions; }
    TTrayIcon& Tray() const { return *Tray_; }

    // Makes the menu item Name work: it is enabled and runs Action. Windows
    // built after this one hook their commands in this way.
    void BindCommand(const char* name, std::function<void()> action);

    // The server list file. LoadServerList appends its servers; false when
    // the file exists but cannot be read (reported). SaveServerList writes
    // every row; false when nothing was written (reported). A file that could
    // not be read at start-up is never replaced.
    bool LoadServerList();
    bool SaveServerList();
    TServerListFile& ListFile() const { return *ListFile_; }

    // The masters step of LoadSettings: fills "&Import" from the masters key
    // of the store (the built-in masters when there is none) and returns the
    // names of values that are not a port; they are left out.
    QStringList LoadMasters();
    TMasterRequests& Masters() const { return *Masters_; }

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
    struct TEngineSlot
    {
        TBasicQuery* Engine = nullptr;
        std::function<void(std::int32_t)> Query;
    };

    void CreateEngines();
    template <typename TEngine>
    TEngine* AddEngine(const char* name, TGameType game, const QString& errorPrefix);
    void CreateMenus();
    void CreateToolBar();
    void CreatePanes();
    void ApplyColors();
    void FitNameColumn();
    void CreateHelpItems(QMenu* help);
    void OpenMakerPage(const QString& path);
    void RunStartupSteps();
    void Shutdown();

    // The record of a reply, when its row still exists and runs Game.
    TGenericServer* RecordFor(std::int32_t id, TGameType game) const;
    void DispatchId(std::int32_t id);
    void CountQuery(std::int32_t id);
    void FinishQuery(std::int32_t id);
    void Forget(const QList<std::int32_t>& ids);
    void CheckRoundFinished();
    void Present();
    void FlushPresentation();

    template <typename TQuakeReply> void HandleQuakeReply(TGameType game, const TQuakeReply& reply);
    void RefreshServerRow(TGenericServer& server, bool countDown = true);
    void RefreshIcon(TGenericServer& server);
    void HandleQueryTimeout(const TBasicData& reply);
    void SendFollowUp(TBasicQuery& engine, const std::function<void(std::int32_t)>& query,
                      const TBasicData& to);
    void HandleFollowUpTimeout(TGameType game, TBasicQuery& engine,
                               const std::function<void(std::int32_t)>& query,
                               const TBasicData& reply);
    void HandleQueryError(TBasicQuery* engine, const QString& prefix, const QString& message,
                          bool firstQuery);
    void SelectionChanged();
    void ShowContextMenu(const QPoint& pos);
    TGenericServer* FirstSelected(int* row = nullptr) const;

    TSettings& Settings_;
    TDialogs& Dialogs_;
    TSettingsStore& Store_;
    QString TemplatesDir_;

    TServerListModel* Model_ = nullptr;
    TServerListView* lvServers = nullptr;
    QTreeWidget* lvPlayers = nullptr;
    QTreeWidget* lvRules = nullptr;
    QSplitter* Splitter_ = nullptr;
    QSplitter* RightPane_ = nullptr;
    QToolBar* ToolBar_ = nullptr;
    QProgressBar* pbQuery = nullptr;
    QComboBox* cbProfileList = nullptr;
    QToolButton* sbApplyProfile = nullptr;
    QToolButton* sbRemoveProfile = nullptr;
    QCheckBox* cbInvert = nullptr;
    TProfileBar* ProfileBar_ = nullptr;
    QPointer<QDialog> FilterWindow_;
    QAction* miListNewFilter = nullptr;
    QStatusBar* sbStatus = nullptr;
    QLabel* StatusCaption_ = nullptr;
    QLabel* StatusText_ = nullptr;
    QMenu* pmMenu = nullptr;
    QMenu* miListImport = nullptr;
    TfrmOptions* frmOptions = nullptr;
    TTrayIcon* Tray_ = nullptr;

    // One component per game protocol; the Half-Life and Tribes 2 follow-ups
    // (qHLPlayer, qHLRule, qT2) are chained from the first reply.
    TQ3AQuery* qQuake3 = nullptr;
    TQ2Query* qQuake2 = nullptr;
    TQ2Query* qKingpin = nullptr;
    TQ2Query* qHeretic2 = nullptr;
    TQ2Query* qSin = nullptr;
    TQ2Query* qSoF = nullptr;
    TQWQuery* qQuakeWorld = nullptr;
    THLInfoQuery* qHLInfo = nullptr;
    THLPlayerQuery* qHLPlayer = nullptr;
    THLRuleQuery* qHLRule = nullptr;
    TTribesQuery* qTribes = nullptr;
    TT2PingQuery* qT2Ping = nullptr;
    TT2Query* qT2 = nullptr;
    std::array<TEngineSlot, gtUnknown> FirstQuery_{};

    TQueryPacer* Pacer_ = nullptr;
    int SentCount_ = 0;
    int OutstandingCount_ = 0;
    // Queries of the current round still counted as outstanding, per record.
    QHash<std::int32_t, int> Counted_;
    // Re-sends of the current follow-up query, per record.
    QHash<std::int32_t, int> FollowUps_;
    // The record whose players and rules the panes show, while it is the
    // only selected one; 0 for none.
    std::int32_t DetailsId_ = 0;
    QString Status_;
    bool StatusPending_ = false;
    QTimer PresentTimer_;
    QElapsedTimer LastPresent_;
    bool Shown_ = false;

    // Lifecycle
    bool StartInTray_ = false; // "OSTray", read when the window is created
    bool FirstShow_ = true;    // the start-up steps wait for the first show
    bool StartupDone_ = false;
    bool News_ = true; // the news check waits for the first activation
    bool ClosedDown_ = false;

    std::unique_ptr<TServerListFile> ListFile_;
    bool ListRead_ = false;
    TMasterRequests* Masters_ = nullptr;
};
