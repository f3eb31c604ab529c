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
#include "browser/joinpingcommands.h"
#include "browser/masterrequests.h"
#include "browser/profilebar.h"
#include "browser/resultpresenter.h"
#include "browser/serverdetails.h"
#include "browser/serverlist.h"
#include "browser/serverlistmodel.h"
#include "browser/serverlistview.h"
#include "browser/statuspresenter.h"
#include "browser/trayicon.h"
#include "core/dialogs.h"
#include "core/makerweb.h"
#include "core/serverlistfile.h"
#include "core/serverquerier.h"
#include "core/serverresults.h"
#include "core/settings.h"
#include "core/settingsio.h"

TfrmServerList::TfrmServerList(TSettings& settings, TDialogs& dialogs, TSettingsStore& store,
                               QWidget* parent)
    : QMainWindow(parent), Settings_(settings), Dialogs_(dialogs), Store_(store),
      ListFile_(std::make_unique<TServerListFile>())
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

    // Queries: the coordinator asks the list's servers, the presenter shows
    // what comes back.
    Querier_ = new TServerQuerier(
        [this](std::int32_t id, TQueryTarget& target) { return List_->Target(id, target); },
        [this] {
            const TSettingsValues& values = Settings_.Values();
            return TQueryLimits{values.NoLimit ? 0 : values.MaxQueries,
                                std::uint32_t(values.QueryTimeout), values.Retry,
                                values.UseDelay ? values.QueryDelay : -1, true};
        },
        this);
    Details_ = new TServerDetails(this);
    List_ = new TServerList(Settings_, *Querier_, *Details_, this);
    Details_->SetListFont(List_->View().font());
    Status_ = new TStatusPresenter(this);
    Results_ =
        new TResultPresenter(*Querier_, List_->Model(), Settings_, *Status_, *Details_, this);
    connect(Querier_, &TServerQuerier::RoundFinished, this, [this] {
        Results_->Flush();
        // Servers that answered into a full socket look dead: say why, once.
        if (const std::uint64_t dropped = Querier_->RoundDroppedReplies().value_or(0)) {
            ShowStatus(DroppedRepliesText(dropped));
        }
        emit QueryRoundFinished();
    });

    // The list on the left, the players and rules on the right.
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("Splitter"));
    splitter->addWidget(&List_->View());
    splitter->addWidget(Details_);
    splitter->setChildrenCollapsible(false);
    splitter->setHandleWidth(3);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    splitter->setSizes({870 - 318, 318});
    setCentralWidget(splitter);
    setStatusBar(Status_->StatusBar());

    // The tool bar: the query progress, then the filter profiles.
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

    Masters_ = new TMasterRequests(*this, Dialogs_, this);
    JoinPing_ = new TJoinPingCommands(*this, Settings_, Dialogs_, MakerWebAddress(), this);
    CreateMenus();
    TServerListView& view = List_->View();
    connect(&view, &QWidget::customContextMenuRequested, this, [this, &view](const QPoint& pos) {
        if (view.selectionModel()->hasSelection()) {
            pmMenu->popup(view.viewport()->mapToGlobal(pos));
        }
    });
    connect(&view, &QAbstractItemView::doubleClicked, this, &TfrmServerList::QuerySelected);

    ApplyColors();
    connect(&Settings_, &TSettings::ColorsChanged, this, &TfrmServerList::ApplyColors);
    if (Settings_->ListRect.isValid()) {
        setGeometry(Settings_->ListRect);
    }
    view.ApplyLayout(Settings_->ListLayout);
}

TfrmServerList::~TfrmServerList()
{
    // The list's rows go before the coordinator: no late report may reach
    // a freed record.
    Querier_->disconnect(this);
    Querier_->disconnect(Results_);
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
         QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { JoinPing_->PingAll(); });
    item(query, "miQueryPingSelected", QStringLiteral("ICMP Ping Selected"),
         QKeySequence(Qt::CTRL | Qt::Key_W), [this] { JoinPing_->PingSelected(); });
    item(query, "miQueryAbortPing", QStringLiteral("&Abort ping!"), {},
         [this] { JoinPing_->AbortPing(); });

    QMenu* other = menu(nullptr, "miOther", QStringLiteral("&Other"));
    item(other, "miOtherFindPlayer", QStringLiteral("&Find Player"),
         QKeySequence(Qt::CTRL | Qt::Key_E));
    item(other, "miOtherFindServer", QStringLiteral("Find &Server"),
         QKeySequence(Qt::CTRL | Qt::Key_F));
    item(other, "miOtherMonitor", QStringLiteral("&Monitor server"));
    item(menu(other, "miOtherAdmin", QStringLiteral("Admin tools")), "miOtherRemote",
         QStringLiteral("&Remote console"));

    AddHelpItems(*menu(nullptr, "miHelp", QStringLiteral("&Help")), Dialogs_,
                 !JoinPing_->MakerAddress().isEmpty(),
                 [this](const QString& path) { JoinPing_->OpenMakerPage(path); });

    pmMenu = new QMenu(this);
    pmMenu->setObjectName(QStringLiteral("pmMenu"));
    item(pmMenu, "pmPing", QStringLiteral("&Ping"), {}, [this] { JoinPing_->PingSelected(); });
    item(pmMenu, "pmQuery", QStringLiteral("&Query"), {}, [this] { QuerySelected(); });
    item(pmMenu, "pmSaveHtml", QStringLiteral("&Save to HTML"));
    item(pmMenu, "pmMonitor", QStringLiteral("Monitor selected"));
    item(pmMenu, "pmJoin", QStringLiteral("&Join"), {}, [this] { JoinPing_->JoinSelected(); });
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
    List_->View().ApplyColors(values);
    Details_->ApplyColors(values);
    const TColor bar = values.Colors[csToolbarsBG];
    QPalette palette = ToolBar_->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Window, QColor(bar.Red(), bar.Green(), bar.Blue()));
    }
    ToolBar_->setPalette(palette);
    ProfileBar_->ApplyColors(values);
    List_->Model().AllRowsChanged();
}

// ---------------------------------------------------------------------------
// Rows

void TfrmServerList::SetFavorite(int index, bool flag)
{
    List_->Change(index, [flag](TGenericServer& server) { server.Favorite = flag; });
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
    List_->Clear();
}

void TfrmServerList::CopyAddress()
{
    if (const TGenericServer* server = List_->FirstSelected()) {
        CopyToClipboard(AddressText(*server));
    }
}

void TfrmServerList::CopyServerInfo()
{
    int row = -1;
    if (const TGenericServer* server = List_->FirstSelected(&row)) {
        CopyToClipboard(
            ServerInfoText(*server, List_->Cell(row, colMap), List_->Cell(row, colGame)));
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
    for (int row = 0; row < List_->Count(); ++row) {
        players += List_->Server(row)->NumPlayers;
    }
    Dialogs_.Information(QStringLiteral("Serverlist Stats"),
                         QStringLiteral("There are ") + QString::number(List_->Count()) +
                             QStringLiteral(" servers in your list, with ") +
                             QString::number(players) + QStringLiteral(" visible players."));
}

void TfrmServerList::CopyToClipboard(const QString& text)
{
    QApplication::clipboard()->setText(text);
}
