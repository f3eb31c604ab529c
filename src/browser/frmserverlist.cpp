#include "browser/frmserverlist.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenuBar>
#include <QProgressBar>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>

#include "browser/gameicons.h"
#include "browser/helpmenu.h"
#include "browser/masterrequests.h"
#include "browser/profilebar.h"
#include "browser/resultpresenter.h"
#include "browser/serverdetails.h"
#include "browser/serverlistmodel.h"
#include "browser/serverlistview.h"
#include "browser/statuspresenter.h"
#include "browser/trayicon.h"
#include "core/dialogs.h"
#include "core/serverlistfile.h"
#include "core/serverquerier.h"
#include "core/serverresults.h"
#include "core/settings.h"
#include "core/settingsio.h"
#include "model/apppaths.h"

TfrmServerList::TfrmServerList(TSettings& settings, TDialogs& dialogs, TSettingsStore& store,
                               QWidget* parent)
    : QMainWindow(parent), Settings_(settings), Dialogs_(dialogs), Store_(store),
      TemplatesDir_(TAppPaths::TemplatesDir()), ListFile_(std::make_unique<TServerListFile>())
{
    setObjectName(QStringLiteral("frmServerList"));
    setWindowTitle(QStringLiteral("Morvix"));
    setWindowIcon(TGameIcons::WindowIcon());
    resize(870, 606);
    Tray_ = new TTrayIcon(this);
    connect(Tray_, &TTrayIcon::RestoreRequested, this, [this] { ShowInTray(false); });
    connect(Tray_, &TTrayIcon::CloseRequested, this, &QWidget::close);
    // The settings are loaded at the first show; whether there is to be a
    // first show at start is read from the store at once.
    StartInTray_ = StoredStartInTray(Store_);

    // The list on the left, the players and rules on the right.
    Model_ = new TServerListModel(Settings_, this);
    lvServers = new TServerListView(Model_, this);
    Details_ = new TServerDetails(this);
    Details_->SetListFont(lvServers->font());
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("Splitter"));
    splitter->addWidget(lvServers);
    splitter->addWidget(Details_);
    splitter->setChildrenCollapsible(false);
    splitter->setHandleWidth(3);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    splitter->setSizes({870 - 318, 318});
    setCentralWidget(splitter);

    // The tool bar: the query progress, then the filter profiles.
    Status_ = new TStatusPresenter(this);
    setStatusBar(Status_->StatusBar());
    ToolBar_ = new QToolBar(QStringLiteral("Query"), this);
    ToolBar_->setObjectName(QStringLiteral("tbMain"));
    ToolBar_->setMovable(false);
    ToolBar_->setFloatable(false);
    ToolBar_->toggleViewAction()->setEnabled(false);
    ToolBar_->setAutoFillBackground(true);
    setContextMenuPolicy(Qt::NoContextMenu);
    ToolBar_->addWidget(Status_->ProgressBar());
    ToolBar_->addSeparator();
    ProfileBar_ = new TProfileBar(*this, Store_, Dialogs_, *ToolBar_);
    addToolBar(Qt::TopToolBarArea, ToolBar_);

    // Queries: the coordinator asks, the presenter shows.
    Querier_ = new TServerQuerier(
        [this](std::int32_t id, TQueryTarget& target) {
            const TGenericServer* server = Model_->Server(Model_->RowOf(id));
            if (!server) {
                return false;
            }
            target = {GameInfo(server->GameType), server->Info.Host, server->Info.Port};
            return true;
        },
        [this] {
            const TSettingsValues& values = Settings_.Values();
            return TQueryLimits{values.NoLimit ? 0 : values.MaxQueries,
                                std::uint32_t(values.QueryTimeout), values.Retry,
                                values.UseDelay ? values.QueryDelay : -1, true};
        },
        this);
    Results_ = new TResultPresenter(*Querier_, *Model_, Settings_, *Status_, *Details_, this);
    connect(Querier_, &TServerQuerier::RoundFinished, this, [this] {
        Results_->Flush();
        emit QueryRoundFinished();
    });
    // Whoever removes rows, their servers' queries stop counting.
    connect(Model_, &TServerListModel::ServersRemoved, this, &TfrmServerList::ServersRemoved);

    Masters_ = new TMasterRequests(*this, Dialogs_, this);
    CreateMenus();
    connect(lvServers, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (lvServers->selectionModel()->hasSelection()) {
            pmMenu->popup(lvServers->viewport()->mapToGlobal(pos));
        }
    });
    connect(lvServers, &QAbstractItemView::doubleClicked, this, &TfrmServerList::QuerySelected);
    connect(lvServers->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TfrmServerList::SelectionChanged);

    ApplyColors();
    connect(&Settings_, &TSettings::ColorsChanged, this, &TfrmServerList::ApplyColors);
    if (Settings_->ListRect.isValid()) {
        setGeometry(Settings_->ListRect);
    }
    lvServers->ApplyLayout(Settings_->ListLayout);
}

TfrmServerList::~TfrmServerList()
{
    // The rows' model goes before the coordinator: no late report may reach
    // a freed record.
    Querier_->disconnect(this);
    Querier_->disconnect(Results_);
    Model_->disconnect(this);
}

void TfrmServerList::CreateMenus()
{
    // Items whose windows come with later parts of the program stand
    // disabled until the factory binds them.
    const auto item = [this](QMenu* menu, const char* name, const QString& text,
                             const QKeySequence& shortcut = {}, std::function<void()> action = {}) {
        QAction* added = menu->addAction(text);
        added->setObjectName(QLatin1String(name));
        added->setShortcut(shortcut);
        added->setEnabled(bool(action));
        if (action) {
            connect(added, &QAction::triggered, this, std::move(action));
        }
        return added;
    };
    const auto menu = [this](QMenu* parent, const char* name, const QString& title) {
        QMenu* made = parent ? parent->addMenu(title) : menuBar()->addMenu(title);
        made->setObjectName(QLatin1String(name));
        return made;
    };

    QMenu* file = menu(nullptr, "miFile", QStringLiteral("&File"));
    item(file, "miFileOptions", QStringLiteral("&Options"));
    item(file, "miFileUpdate", QStringLiteral("&Check for updates..."));
    file->addSeparator();
    item(file, "miFileExit", QStringLiteral("E&xit"), {}, [this] { close(); });

    QMenu* list = menu(nullptr, "miList", QStringLiteral("&Serverlist"));
    // Filled from the masters at the first show (LoadMasters).
    miListImport = menu(list, "miListImport", QStringLiteral("&Import"));
    miListImport->setEnabled(false);
    item(list, "miListStats", QStringLiteral("&Stats"), {}, [this] { ShowStats(); });
    item(list, "miListNewFilter", QStringLiteral("&New filter"));
    list->addSeparator();
    item(list, "miListManualAdd", QStringLiteral("&Manual add"), QKeySequence(Qt::Key_Insert));
    item(list, "miListRemove", QStringLiteral("&Remove"), QKeySequence(Qt::Key_Delete),
         [this] { RemoveSelected(); });
    item(list, "miListClear", QStringLiteral("&Clear"), {}, [this] { ClearList(); });

    QMenu* query = menu(nullptr, "miQuery", QStringLiteral("&Query"));
    item(query, "miQueryAll", QStringLiteral("&All"), QKeySequence(Qt::CTRL | Qt::Key_A),
         [this] { QueryAll(); });
    item(query, "miQuerySelected", QStringLiteral("&Selected"), QKeySequence(Qt::CTRL | Qt::Key_S),
         [this] { QuerySelected(); });
    query->addSeparator();
    item(query, "miQueryPingAll", QStringLiteral("&ICMP Ping All"),
         QKeySequence(Qt::CTRL | Qt::Key_Q));
    item(query, "miQueryPingSelected", QStringLiteral("ICMP Ping Selected"),
         QKeySequence(Qt::CTRL | Qt::Key_W));
    item(query, "miQueryAbortPing", QStringLiteral("&Abort ping!"));

    QMenu* other = menu(nullptr, "miOther", QStringLiteral("&Other"));
    item(other, "miOtherFindPlayer", QStringLiteral("&Find Player"),
         QKeySequence(Qt::CTRL | Qt::Key_E));
    item(other, "miOtherFindServer", QStringLiteral("Find &Server"),
         QKeySequence(Qt::CTRL | Qt::Key_F));
    item(other, "miOtherMonitor", QStringLiteral("&Monitor server"));
    item(menu(other, "miOtherAdmin", QStringLiteral("Admin tools")), "miOtherRemote",
         QStringLiteral("&Remote console"));

    AddHelpItems(*menu(nullptr, "miHelp", QStringLiteral("&Help")), Dialogs_,
                 [this](const QString& text) { ShowStatus(text); });

    pmMenu = new QMenu(this);
    pmMenu->setObjectName(QStringLiteral("pmMenu"));
    item(pmMenu, "pmPing", QStringLiteral("&Ping"));
    item(pmMenu, "pmQuery", QStringLiteral("&Query"), {}, [this] { QuerySelected(); });
    item(pmMenu, "pmSaveHtml", QStringLiteral("&Save to HTML"));
    item(pmMenu, "pmMonitor", QStringLiteral("Monitor selected"));
    item(pmMenu, "pmJoin", QStringLiteral("&Join"));
    pmMenu->addSeparator();
    QMenu* copy = menu(pmMenu, "pmCopy", QStringLiteral("&Copy"));
    item(copy, "pmCopyAddress", QStringLiteral("&Address to Clipboard"), {},
         [this] { CopyAddress(); });
    item(copy, "pmCopyInfo", QStringLiteral("&Server info to Clipboard"), {},
         [this] { CopyServerInfo(); });
    QMenu* favorite = menu(pmMenu, "pmFavorite", QStringLiteral("&Toggle favorite"));
    item(favorite, "pmFavoriteOn", QStringLiteral("&On"), {},
         [this] { SetSelectedFavorite(true); });
    item(favorite, "pmFavoriteOff", QStringLiteral("&Off"), {},
         [this] { SetSelectedFavorite(false); });
}

void TfrmServerList::BindCommand(const char* name, std::function<void()> action)
{
    if (auto* item = findChild<QAction*>(QLatin1String(name))) {
        connect(item, &QAction::triggered, this, std::move(action));
        item->setEnabled(true);
    }
}

void TfrmServerList::ApplyColors()
{
    const TSettingsValues& values = Settings_.Values();
    lvServers->ApplyColors(values);
    Details_->ApplyColors(values);
    const TColor bar = values.Colors[csToolbarsBG];
    QPalette palette = ToolBar_->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Window, QColor(bar.Red(), bar.Green(), bar.Blue()));
    }
    ToolBar_->setPalette(palette);
    ProfileBar_->ApplyColors(values);
    Model_->AllRowsChanged();
}

// ---------------------------------------------------------------------------
// Rows

int TfrmServerList::ServerCount() const
{
    return Model_->rowCount();
}

const TGenericServer* TfrmServerList::Server(int row) const
{
    return Model_->Server(row);
}

int TfrmServerList::RowOf(std::int32_t id) const
{
    return Model_->RowOf(id);
}

QString TfrmServerList::Cell(int row, int column) const
{
    return Model_->Cell(row, column);
}

int TfrmServerList::AddServer(const QString& host, int port, TGameType game)
{
    return AddServers({{host, port, game}});
}

int TfrmServerList::AddServers(const QList<TServerAddress>& servers)
{
    std::vector<TServerListModel::TNewRow> rows;
    rows.reserve(std::size_t(servers.size()));
    for (const TServerAddress& address : servers) {
        rows.push_back({NewServerRecord(address.Host, address.Port, address.Game), std::nullopt});
    }
    return Model_->Append(std::move(rows));
}

std::unique_ptr<TGenericServer> TfrmServerList::NewServerRecord(const QString& host, int port,
                                                                TGameType game) const
{
    auto server = TGenericServer::Create(TemplatesDir_);
    server->Info.Host = host;
    server->Info.Port = port;
    server->GameType = game;
    server->Status = qsNew;
    server->Name = QByteArrayLiteral("Unknown");
    return server;
}

void TfrmServerList::RemoveServer(int index)
{
    RemoveServers({index});
}

void TfrmServerList::RemoveServers(const QList<int>& rows)
{
    // Every removed run of rows changes the selection; it is looked at once.
    Removing_ = true;
    Model_->Remove(rows);
    Removing_ = false;
    SelectionChanged();
}

void TfrmServerList::ServersRemoved(const QList<std::int32_t>& ids)
{
    Querier_->Forget(ids);
    if (ids.contains(Details_->ServerId())) {
        Details_->Follow(0);
    }
    if (Model_->rowCount() == 0) {
        Querier_->Stop();
    }
}

void TfrmServerList::SetCell(int row, int column, const QString& text)
{
    Model_->SetCell(row, column, text);
}

void TfrmServerList::ChangeServer(int row, const std::function<void(TGenericServer&)>& change)
{
    if (TGenericServer* server = Model_->Server(row)) {
        change(*server);
        Model_->RowChanged(row);
        if (server->Id == Details_->ServerId()) {
            Details_->Show(*server);
        }
    }
}

void TfrmServerList::SetFavorite(int index, bool flag)
{
    ChangeServer(index, [flag](TGenericServer& server) { server.Favorite = flag; });
}

QList<int> TfrmServerList::SelectedRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : lvServers->selectionModel()->selectedRows()) {
        rows.append(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TfrmServerList::SelectServer(int row)
{
    const QModelIndex at = Model_->index(row, 0);
    if (!at.isValid()) {
        return;
    }
    lvServers->selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
    lvServers->scrollTo(at);
    lvServers->setFocus();
}

void TfrmServerList::SelectionChanged()
{
    if (Removing_) {
        return;
    }
    // Exactly one row selected: one range of one row. Counted on the ranges,
    // so that a selection of thousands of rows costs no list of them.
    const QItemSelection selection = lvServers->selectionModel()->selection();
    const bool one = selection.size() == 1 && selection.first().height() == 1;
    const TGenericServer* server = one ? Model_->Server(selection.first().top()) : nullptr;
    Details_->Follow(server ? server->Id : 0);
    if (server) {
        Details_->Show(*server);
    }
}

void TfrmServerList::ShowServerDetails(int index)
{
    if (const TGenericServer* server = Model_->Server(index); server && !server->NoReply) {
        Details_->Follow(server->Id);
        Details_->Show(*server);
    }
}

const TGenericServer* TfrmServerList::FirstSelected(int* row) const
{
    const QList<int> rows = SelectedRows();
    if (rows.isEmpty()) {
        return nullptr;
    }
    if (row) {
        *row = rows.first();
    }
    return Model_->Server(rows.first());
}

// ---------------------------------------------------------------------------
// Queries

void TfrmServerList::QueryServer(int index)
{
    if (const TGenericServer* server = Model_->Server(index)) {
        Querier_->Query(server->Id);
    }
}

void TfrmServerList::QueryAll()
{
    ResetRetries();
    QList<std::int32_t> ids;
    ids.reserve(Model_->rowCount());
    for (int row = 0; row < Model_->rowCount(); ++row) {
        ids.append(Model_->Server(row)->Id);
    }
    Querier_->StartRound(std::move(ids));
}

void TfrmServerList::QuerySelected()
{
    const QList<int> rows = SelectedRows();
    if (rows.size() <= 1) {
        // A single server joins a round that is still being dispatched
        // instead of cutting it short, and keeps its retries.
        if (!Querier_->IsDispatching()) {
            ResetProgress();
        }
        if (!rows.isEmpty()) {
            QueryServer(rows.first());
        }
        return;
    }
    ResetRetries();
    QList<std::int32_t> ids;
    ids.reserve(rows.size());
    for (auto it = rows.crbegin(); it != rows.crend(); ++it) {
        ids.append(Model_->Server(*it)->Id);
    }
    Querier_->StartRound(std::move(ids));
}

void TfrmServerList::ResetRetries()
{
    Querier_->ResetRetries();
    for (int row = 0; row < Model_->rowCount(); ++row) {
        Model_->Server(row)->RetryCount = 0;
    }
}

void TfrmServerList::ResetProgress()
{
    Querier_->ResetProgress();
}

int TfrmServerList::SentCount() const
{
    return Querier_->SentCount();
}

int TfrmServerList::OutstandingCount() const
{
    return Querier_->OutstandingCount();
}

bool TfrmServerList::IsDispatching() const
{
    return Querier_->IsDispatching();
}

TBasicQuery* TfrmServerList::FirstQueryEngine(TGameType game) const
{
    return Querier_->FirstComponent(game);
}

void TfrmServerList::ShowStatus(const QString& text)
{
    Status_->ShowStatus(text);
}

QString TfrmServerList::StatusText() const
{
    return Status_->Text();
}

// ---------------------------------------------------------------------------
// Commands of the menus

void TfrmServerList::RemoveSelected()
{
    RemoveServers(SelectedRows());
}

void TfrmServerList::ClearList()
{
    if (!Dialogs_.Question(QStringLiteral("Confirmation"),
                           QStringLiteral("Do you really want to clear the entire serverlist?"))) {
        return;
    }
    Model_->Clear();
}

void TfrmServerList::CopyAddress()
{
    if (const TGenericServer* server = FirstSelected()) {
        CopyToClipboard(AddressText(*server));
    }
}

void TfrmServerList::CopyServerInfo()
{
    int row = -1;
    if (const TGenericServer* server = FirstSelected(&row)) {
        CopyToClipboard(
            ServerInfoText(*server, Model_->Cell(row, colMap), Model_->Cell(row, colGame)));
    }
}

void TfrmServerList::SetSelectedFavorite(bool flag)
{
    const QList<int> rows = SelectedRows();
    for (auto it = rows.crbegin(); it != rows.crend(); ++it) {
        SetFavorite(*it, flag);
    }
}

void TfrmServerList::ShowStats()
{
    qint64 players = 0;
    for (int row = 0; row < Model_->rowCount(); ++row) {
        players += Model_->Server(row)->NumPlayers;
    }
    Dialogs_.Information(QStringLiteral("Serverlist Stats"),
                         QStringLiteral("There are ") + QString::number(Model_->rowCount()) +
                             QStringLiteral(" servers in your list, with ") +
                             QString::number(players) + QStringLiteral(" visible players."));
}

void TfrmServerList::CopyToClipboard(const QString& text)
{
    QApplication::clipboard()->setText(text);
}
