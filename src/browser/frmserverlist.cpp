#include "browser/frmserverlist.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include "browser/frmoptions.h"
#include "browser/gameicons.h"
#include "browser/masterrequests.h"
#include "browser/profilebar.h"
#include "browser/serverlistmodel.h"
#include "browser/serverlistrows.h"
#include "browser/serverlistview.h"
#include "browser/trayicon.h"
#include "core/dialogs.h"
#include "core/masterlist.h"
#include "core/querypacer.h"
#include "core/serverlistfile.h"
#include "core/serverresults.h"
#include "core/settings.h"
#include "core/settingsio.h"
#include "model/apppaths.h"
#include "model/networktext.h"
#include "protocols/hlinfoquery.h"
#include "protocols/hlplayerquery.h"
#include "protocols/hlrulequery.h"
#include "protocols/q2query.h"
#include "protocols/q3aquery.h"
#include "protocols/qwquery.h"
#include "protocols/t2pingquery.h"
#include "protocols/t2query.h"
#include "protocols/tribesquery.h"

namespace {

QColor ToQColor(TColor color)
{
    return QColor(color.Red(), color.Green(), color.Blue());
}

// Shows a server table (row 0 the captions) in a pane, one column per caption.
void FillTable(QTreeWidget& pane, const TServerTable& table)
{
    pane.setUpdatesEnabled(false);
    pane.clear();
    const QList<QByteArray> captions = table.isEmpty() ? QList<QByteArray>() : table.first();
    pane.setColumnCount(qMax(1, int(captions.size())));
    QStringList labels;
    for (const QByteArray& caption : captions) {
        labels << TextOfBytes(caption);
    }
    pane.setHeaderLabels(labels.isEmpty() ? QStringList{QString()} : labels);
    QList<QTreeWidgetItem*> items;
    for (qsizetype row = 1; row < table.size(); ++row) {
        QStringList cells;
        for (const QByteArray& cell : table[row]) {
            cells << TextOfBytes(cell);
        }
        items << new QTreeWidgetItem(cells);
    }
    pane.addTopLevelItems(items);
    for (int column = 0; column < pane.columnCount(); ++column) {
        pane.resizeColumnToContents(column);
    }
    pane.setUpdatesEnabled(true);
}

QTreeWidget* MakePane(const char* name, const QStringList& captions, QWidget* parent)
{
    auto* pane = new QTreeWidget(parent);
    pane->setObjectName(QLatin1String(name));
    pane->setRootIsDecorated(false);
    pane->setItemsExpandable(false);
    pane->setUniformRowHeights(true);
    pane->setAllColumnsShowFocus(true);
    pane->setSelectionMode(QAbstractItemView::SingleSelection);
    pane->setHeaderLabels(captions);
    pane->header()->setStretchLastSection(true);
    return pane;
}

} // namespace

TfrmServerList::TfrmServerList(TSettings& settings, TDialogs& dialogs, TSettingsStore& store,
                               QWidget* parent)
    : QMainWindow(parent), Settings_(settings), Dialogs_(dialogs), Store_(store),
      TemplatesDir_(TAppPaths::TemplatesDir())
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

    Model_ = new TServerListModel(Settings_, this);
    Pacer_ = new TQueryPacer(
        Settings_, [this](std::int32_t id) { DispatchId(id); }, this);
    connect(Pacer_, &TQueryPacer::Finished, this, [this] {
        lvServers->viewport()->update();
        CheckRoundFinished();
    });

    CreateEngines();
    Masters_ = new TMasterRequests(*this, Dialogs_);
    ListFile_ = std::make_unique<TServerListFile>();
    CreatePanes();
    CreateToolBar();
    CreateMenus();
    ApplyColors();
    connect(&Settings_, &TSettings::ColorsChanged, this, &TfrmServerList::ApplyColors);

    if (Settings_->ListRect.isValid()) {
        setGeometry(Settings_->ListRect);
    }
    ApplyListLayout();
    PresentTimer_.setSingleShot(true);
    connect(&PresentTimer_, &QTimer::timeout, this, &TfrmServerList::FlushPresentation);
    LastPresent_.start();

    // The program's other windows, in the order they are created, all kept
    // until the main window goes.
    frmOptions = new TfrmOptions(Settings_, Dialogs_, this);
    // The filter window lives in a later layer: main.cpp creates it right
    // after this window and hands it over with SetFilterWindow.
}

TfrmServerList::~TfrmServerList()
{
    // Children are deleted in creation order, the rows' model before the
    // engines: cut the engines off first, so that no late event reaches a
    // freed record.
    Pacer_->Stop();
    for (TBasicQuery* engine : findChildren<TBasicQuery*>(Qt::FindDirectChildrenOnly)) {
        engine->disconnect(this);
    }
}

// ---------------------------------------------------------------------------
// Construction

template <typename TEngine>
TEngine* TfrmServerList::AddEngine(const char* name, TGameType game, const QString& errorPrefix)
{
    auto* engine = new TEngine(this);
    engine->setObjectName(QLatin1String(name));
    // The components start with 15 requests and 2000 ms; a first query's
    // dispatch sets both from the settings.
    engine->SetMaxQueries(15);
    engine->SetTimeout(2000);
    if (game != gtUnknown) {
        FirstQuery_[game] = {engine, [engine](std::int32_t tag) { engine->Query(tag); }};
        connect(engine, &TBasicQuery::OnTimeout, this, &TfrmServerList::HandleQueryTimeout);
    }
    connect(engine, &TBasicQuery::OnError, this,
            [this, engine, errorPrefix, first = game != gtUnknown](int, const QString& message) {
                HandleQueryError(engine, errorPrefix, message, first);
            });
    return engine;
}

void TfrmServerList::CreateEngines()
{
    // Quake 3 errors are not shown; they still end the query.
    qQuake3 = AddEngine<TQ3AQuery>("qQuake3", gtQuake3, QString());
    connect(qQuake3, &TQ3AQuery::OnComplete, this,
            [this](const TQ3AServer& reply) { HandleQuakeReply(gtQuake3, reply); });

    const auto quake2 = [this](const char* name, TGameType game, const char* prefix) {
        auto* engine = AddEngine<TQ2Query>(name, game, QLatin1String(prefix));
        connect(engine, &TQ2Query::OnComplete, this,
                [this, game](const TQ2Server& reply) { HandleQuakeReply(game, reply); });
        return engine;
    };
    qSoF = quake2("qSoF", gtSoF, "SoF Error: ");
    qSin = quake2("qSin", gtSin, "Sin Error: ");
    qHeretic2 = quake2("qHeretic2", gtHeretic2, "Heretic 2 Error: ");
    qQuake2 = quake2("qQuake2", gtQuake2, "Q2 Error: ");
    qKingpin = quake2("qKingpin", gtKingpin, "Kingpin Error: ");

    qQuakeWorld = AddEngine<TQWQuery>("qQuakeWorld", gtQuakeWorld, QStringLiteral("QW Error: "));
    connect(qQuakeWorld, &TQWQuery::OnComplete, this, [this](const TQWServer& reply) {
        if (TGenericServer* server = RecordFor(reply.Info.Tag, gtQuakeWorld)) {
            ApplyQuakeWorldReply(*server, reply);
            RefreshServerRow(*server);
        }
    });

    qTribes = AddEngine<TTribesQuery>("qTribes", gtTribes, QStringLiteral("Tribes Error: "));
    connect(qTribes, &TTribesQuery::OnComplete, this, [this](const TTribesServer& reply) {
        if (TGenericServer* server = RecordFor(reply.Info.Tag, gtTribes)) {
            ApplyTribesReply(*server, reply);
            RefreshServerRow(*server);
        }
    });

    // Tribes 2: the ping reply counts in the progress and leads to the info query.
    qT2Ping = AddEngine<TT2PingQuery>("qT2Ping", gtTribes2, QStringLiteral("T2 Error: "));
    qT2 = AddEngine<TT2Query>("qT2", gtUnknown, QStringLiteral("T2 Error: "));
    connect(qT2Ping, &TT2PingQuery::OnComplete, this, [this](const TT2PingReply& reply) {
        TGenericServer* server = RecordFor(reply.Info.Tag, gtTribes2);
        if (!server) {
            return;
        }
        ApplyT2PingReply(*server, reply);
        server->Status = qsIdle;
        ShowStatus(QStringLiteral("Reply from ") + TextOfBytes(reply.HostName));
        FollowUps_.remove(server->Id);
        SendFollowUp(
            *qT2, [this](std::int32_t tag) { qT2->Query(tag); }, server->Info);
        RefreshServerRow(*server);
    });
    connect(qT2, &TT2Query::OnComplete, this, [this](const TT2Server& reply) {
        TGenericServer* server = RecordFor(reply.Info.Tag, gtTribes2);
        if (!server) {
            return;
        }
        FollowUps_.remove(server->Id);
        server->Status = qsIdle;
        ApplyT2InfoReply(*server, reply);
        RefreshServerRow(*server, false); // counted at the ping reply
    });
    connect(qT2, &TBasicQuery::OnTimeout, this, [this](const TBasicData& reply) {
        HandleFollowUpTimeout(
            gtTribes2, *qT2, [this](std::int32_t tag) { qT2->Query(tag); }, reply);
    });

    // Half-Life: details, then players, then rules; the details reply counts.
    qHLInfo = AddEngine<THLInfoQuery>("qHLInfo", gtHalfLife, QStringLiteral("HL-Info Error: "));
    qHLPlayer = AddEngine<THLPlayerQuery>("qHLPlayer", gtUnknown, QString());
    qHLRule = AddEngine<THLRuleQuery>("qHLRule", gtUnknown, QStringLiteral("HL-Rule Error: "));
    connect(qHLInfo, &THLInfoQuery::OnComplete, this, [this](const THLInfo& reply) {
        TGenericServer* server = RecordFor(reply.Info.Tag, gtHalfLife);
        if (!server) {
            return;
        }
        server->Status = qsIdle;
        ShowStatus(QStringLiteral("Reply from ") + TextOfBytes(reply.Name));
        ApplyHLInfoReply(*server, reply);
        FollowUps_.remove(server->Id);
        SendFollowUp(
            *qHLPlayer, [this](std::int32_t tag) { qHLPlayer->Query(tag); }, server->Info);
        RefreshServerRow(*server);
    });
    connect(qHLPlayer, &THLPlayerQuery::OnComplete, this, [this](const THLPlayers& reply) {
        TGenericServer* server = RecordFor(reply.Info.Tag, gtHalfLife);
        if (!server) {
            return;
        }
        ApplyHLPlayersReply(*server, reply);
        RefreshIcon(*server);
        FollowUps_.remove(server->Id);
        SendFollowUp(
            *qHLRule, [this](std::int32_t tag) { qHLRule->Query(tag); }, server->Info);
        if (server->Id == DetailsId_) {
            ShowServerDetails(Model_->RowOf(server->Id));
        }
    });
    connect(qHLRule, &THLRuleQuery::OnComplete, this, [this](const THLRules& reply) {
        TGenericServer* server = RecordFor(reply.Info.Tag, gtHalfLife);
        if (!server) {
            return;
        }
        FollowUps_.remove(server->Id);
        ApplyHLRulesReply(*server, reply);
        if (server->Id == DetailsId_) {
            ShowServerDetails(Model_->RowOf(server->Id));
        }
    });
    connect(qHLPlayer, &TBasicQuery::OnTimeout, this, [this](const TBasicData& reply) {
        HandleFollowUpTimeout(
            gtHalfLife, *qHLPlayer, [this](std::int32_t tag) { qHLPlayer->Query(tag); }, reply);
    });
    connect(qHLRule, &TBasicQuery::OnTimeout, this, [this](const TBasicData& reply) {
        HandleFollowUpTimeout(
            gtHalfLife, *qHLRule, [this](std::int32_t tag) { qHLRule->Query(tag); }, reply);
    });
}

void TfrmServerList::CreatePanes()
{
    lvServers = new TServerListView(this);
    lvServers->setObjectName(QStringLiteral("lvServers"));
    lvServers->setModel(Model_);
    lvServers->setIconSize(QSize(16, 16));
    lvServers->setContextMenuPolicy(Qt::CustomContextMenu);
    lvServers->header()->setSortIndicator(-1, Qt::AscendingOrder);
    lvServers->setSortingEnabled(true);
    lvServers->setAlternatingRowColors(true);
    // The lists use a point smaller than the window's text, to fit a full
    // row into the list's width.
    QFont listFont = font();
    if (listFont.pointSizeF() > 8.0) {
        listFont.setPointSizeF(qMax(8.0, listFont.pointSizeF() - 1.0));
    }
    lvServers->setFont(listFont);
    QHeaderView* header = lvServers->header();
    header->setMinimumSectionSize(30);
    // Widths for typical contents; at the first show the name column gets
    // what the others leave (FitNameColumn).
    const QFontMetrics metrics(listFont);
    const auto fit = [&](const char* sample) {
        return metrics.horizontalAdvance(QLatin1String(sample)) + 12;
    };
    const int widths[] = {160,         fit("q3tourney2"),       fit("Players"),
                          fit("Ping"), fit("Quake 3 / baseq3"), fit("192.168.10.200:27960")};
    for (int column = 0; column < TServerListModel::ColumnCount; ++column) {
        header->resizeSection(column, widths[column]);
    }
    connect(lvServers, &QWidget::customContextMenuRequested, this,
            &TfrmServerList::ShowContextMenu);
    connect(lvServers, &QAbstractItemView::doubleClicked, this, &TfrmServerList::QuerySelected);
    connect(lvServers->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TfrmServerList::SelectionChanged);

    lvPlayers = MakePane(
        "lvPlayers",
        {QStringLiteral("Player name"), QStringLiteral("Frags"), QStringLiteral("Ping")}, this);
    lvPlayers->setFont(listFont);
    lvPlayers->header()->resizeSection(0, 150);
    lvPlayers->header()->resizeSection(1, 75);
    lvRules = MakePane("lvRules", {QStringLiteral("Key"), QStringLiteral("Value")}, this);
    lvRules->setFont(listFont);
    lvRules->header()->resizeSection(0, 140);

    RightPane_ = new QSplitter(Qt::Vertical, this);
    RightPane_->addWidget(lvPlayers);
    RightPane_->addWidget(lvRules);
    RightPane_->setChildrenCollapsible(false);
    RightPane_->setStretchFactor(0, 1);
    RightPane_->setSizes({606 - 153, 153});

    Splitter_ = new QSplitter(Qt::Horizontal, this);
    Splitter_->setObjectName(QStringLiteral("Splitter"));
    Splitter_->addWidget(lvServers);
    Splitter_->addWidget(RightPane_);
    Splitter_->setChildrenCollapsible(false);
    Splitter_->setHandleWidth(3);
    Splitter_->setStretchFactor(0, 1);
    Splitter_->setStretchFactor(1, 0);
    Splitter_->setSizes({870 - 318, 318});
    setCentralWidget(Splitter_);

    sbStatus = new QStatusBar(this);
    sbStatus->setObjectName(QStringLiteral("sbStatus"));
    sbStatus->setSizeGripEnabled(true);
    StatusCaption_ = new QLabel(QStringLiteral("Morvix status:"), sbStatus);
    StatusCaption_->setObjectName(QStringLiteral("StatusCaption"));
    StatusCaption_->setMinimumWidth(75);
    StatusText_ = new QLabel(sbStatus);
    StatusText_->setObjectName(QStringLiteral("StatusText"));
    StatusText_->setTextFormat(Qt::PlainText);
    StatusText_->setMinimumWidth(1);
    sbStatus->addWidget(StatusCaption_);
    sbStatus->addWidget(StatusText_, 1);
    setStatusBar(sbStatus);
}

void TfrmServerList::CreateToolBar()
{
    ToolBar_ = new QToolBar(QStringLiteral("Query"), this);
    ToolBar_->setObjectName(QStringLiteral("tbMain"));
    ToolBar_->setMovable(false);
    ToolBar_->setFloatable(false);
    ToolBar_->toggleViewAction()->setEnabled(false);
    setContextMenuPolicy(Qt::NoContextMenu);

    pbQuery = new QProgressBar(ToolBar_);
    pbQuery->setObjectName(QStringLiteral("pbQuery"));
    pbQuery->setFixedWidth(150);
    pbQuery->setRange(0, 100);
    pbQuery->setValue(0);
    pbQuery->setTextVisible(false);
    ToolBar_->addWidget(pbQuery);
    ToolBar_->addSeparator();

    // The profile controls work once filter profiles exist; until then they
    // stand disabled.
    cbProfileList = new QComboBox(ToolBar_);
    cbProfileList->setObjectName(QStringLiteral("cbProfileList"));
    cbProfileList->setFixedWidth(345);
    cbProfileList->setEnabled(false);
    ToolBar_->addWidget(cbProfileList);
    sbApplyProfile = new QToolButton(ToolBar_);
    sbApplyProfile->setObjectName(QStringLiteral("sbApplyProfile"));
    sbApplyProfile->setText(QStringLiteral("&Apply profile"));
    sbApplyProfile->setEnabled(false);
    ToolBar_->addWidget(sbApplyProfile);
    sbRemoveProfile = new QToolButton(ToolBar_);
    sbRemoveProfile->setObjectName(QStringLiteral("sbRemoveProfile"));
    sbRemoveProfile->setText(QStringLiteral("&Remove profile"));
    sbRemoveProfile->setEnabled(false);
    ToolBar_->addWidget(sbRemoveProfile);
    cbInvert = new QCheckBox(QStringLiteral("Invert profile"), ToolBar_);
    cbInvert->setObjectName(QStringLiteral("cbInvert"));
    cbInvert->setEnabled(false);
    ToolBar_->addWidget(cbInvert);
    addToolBar(Qt::TopToolBarArea, ToolBar_);
    ProfileBar_ = new TProfileBar(*this, Store_, Dialogs_, cbProfileList, sbApplyProfile,
                                  sbRemoveProfile, cbInvert);
}

void TfrmServerList::CreateMenus()
{
    // Items whose windows come with later parts of the program stand disabled.
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

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("miFile"));
    item(file, "miFileOptions", QStringLiteral("&Options"), {}, [this] { frmOptions->exec(); });
    item(file, "miFileUpdate", QStringLiteral("&Check for updates..."));
    file->addSeparator();
    item(file, "miFileExit", QStringLiteral("E&xit"), {}, [this] { close(); });

    QMenu* list = menuBar()->addMenu(QStringLiteral("&Serverlist"));
    list->setObjectName(QStringLiteral("miList"));
    // Filled from the masters at first show (LoadMasters).
    miListImport = list->addMenu(QStringLiteral("&Import"));
    miListImport->setObjectName(QStringLiteral("miListImport"));
    miListImport->setEnabled(false);
    item(list, "miListStats", QStringLiteral("&Stats"), {}, [this] { ShowStats(); });
    miListNewFilter = item(list, "miListNewFilter", QStringLiteral("&New filter"), {}, [this] {
        // Modal, without a nested event loop: the profiles are listed again
        // when the window finishes.
        if (FilterWindow_) {
            FilterWindow_->setWindowModality(Qt::ApplicationModal);
            FilterWindow_->show();
        }
    });
    miListNewFilter->setEnabled(false);
    list->addSeparator();
    item(list, "miListManualAdd", QStringLiteral("&Manual add"), QKeySequence(Qt::Key_Insert));
    item(list, "miListRemove", QStringLiteral("&Remove"), QKeySequence(Qt::Key_Delete),
         [this] { RemoveSelected(); });
    item(list, "miListClear", QStringLiteral("&Clear"), {}, [this] { ClearList(); });

    QMenu* query = menuBar()->addMenu(QStringLiteral("&Query"));
    query->setObjectName(QStringLiteral("miQuery"));
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

    QMenu* other = menuBar()->addMenu(QStringLiteral("&Other"));
    other->setObjectName(QStringLiteral("miOther"));
    item(other, "miOtherFindPlayer", QStringLiteral("&Find Player"),
         QKeySequence(Qt::CTRL | Qt::Key_E));
    item(other, "miOtherFindServer", QStringLiteral("Find &Server"),
         QKeySequence(Qt::CTRL | Qt::Key_F));
    item(other, "miOtherMonitor", QStringLiteral("&Monitor server"));
    QMenu* admin = other->addMenu(QStringLiteral("Admin tools"));
    admin->setObjectName(QStringLiteral("miOtherAdmin"));
    item(admin, "miOtherRemote", QStringLiteral("&Remote console"));

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("miHelp"));
    CreateHelpItems(help);

    pmMenu = new QMenu(this);
    pmMenu->setObjectName(QStringLiteral("pmMenu"));
    item(pmMenu, "pmPing", QStringLiteral("&Ping"));
    item(pmMenu, "pmQuery", QStringLiteral("&Query"), {}, [this] { QuerySelected(); });
    item(pmMenu, "pmSaveHtml", QStringLiteral("&Save to HTML"));
    item(pmMenu, "pmMonitor", QStringLiteral("Monitor selected"));
    item(pmMenu, "pmJoin", QStringLiteral("&Join"));
    pmMenu->addSeparator();
    QMenu* copy = pmMenu->addMenu(QStringLiteral("&Copy"));
    copy->setObjectName(QStringLiteral("pmCopy"));
    item(copy, "pmCopyAddress", QStringLiteral("&Address to Clipboard"), {},
         [this] { CopyAddress(); });
    item(copy, "pmCopyInfo", QStringLiteral("&Server info to Clipboard"), {},
         [this] { CopyServerInfo(); });
    QMenu* favorite = pmMenu->addMenu(QStringLiteral("&Toggle favorite"));
    favorite->setObjectName(QStringLiteral("pmFavorite"));
    item(favorite, "pmFavoriteOn", QStringLiteral("&On"), {},
         [this] { SetSelectedFavorite(true); });
    item(favorite, "pmFavoriteOff", QStringLiteral("&Off"), {},
         [this] { SetSelectedFavorite(false); });
}

void TfrmServerList::ApplyColors()
{
    const auto& colors = Settings_->Colors;
    // Disabled controls keep the style's own greyed text.
    const auto paint = [](QWidget* widget, QPalette::ColorRole role, const QColor& color) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Active, role, color);
        palette.setColor(QPalette::Inactive, role, color);
        if (role == QPalette::Base || role == QPalette::Window || role == QPalette::Button ||
            role == QPalette::AlternateBase) {
            palette.setColor(QPalette::Disabled, role, color);
        }
        widget->setPalette(palette);
    };
    const QColor listBase = ToQColor(colors[csListBG]);
    paint(lvServers, QPalette::Base, listBase);
    // Every other row a shade apart, for reading across wide rows.
    paint(lvServers, QPalette::AlternateBase,
          listBase.lightness() > 128 ? listBase.darker(104) : listBase.lighter(115));
    // Selected rows are drawn in white, whatever their status.
    paint(lvServers, QPalette::HighlightedText, Qt::white);
    paint(lvPlayers, QPalette::Base, ToQColor(colors[csPlayerBG]));
    paint(lvPlayers, QPalette::Text, ToQColor(colors[csOtherFont]));
    paint(lvRules, QPalette::Base, ToQColor(colors[csRuleBG]));
    paint(lvRules, QPalette::Text, ToQColor(colors[csOtherFont]));
    ToolBar_->setAutoFillBackground(true);
    paint(ToolBar_, QPalette::Window, ToQColor(colors[csToolbarsBG]));
    paint(cbProfileList, QPalette::Base, ToQColor(colors[csToolbarsBG]));
    paint(cbProfileList, QPalette::Button, ToQColor(colors[csToolbarsBG]));
    const QColor toolbarFont = ToQColor(colors[csToolbarFont]);
    // Disabled profile controls stay readable on any tool bar colour: their
    // text is half-way between the text colour and the background.
    const QColor toolbarBack = ToQColor(colors[csToolbarsBG]);
    const QColor greyed((toolbarFont.red() + toolbarBack.red()) / 2,
                        (toolbarFont.green() + toolbarBack.green()) / 2,
                        (toolbarFont.blue() + toolbarBack.blue()) / 2);
    for (QWidget* widget : std::initializer_list<QWidget*>{cbProfileList, sbApplyProfile,
                                                           sbRemoveProfile, cbInvert}) {
        QPalette palette = widget->palette();
        for (QPalette::ColorRole role :
             {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
            palette.setColor(QPalette::Active, role, toolbarFont);
            palette.setColor(QPalette::Inactive, role, toolbarFont);
            palette.setColor(QPalette::Disabled, role, greyed);
        }
        widget->setPalette(palette);
    }
    Model_->AllRowsChanged();
}

// ---------------------------------------------------------------------------
// Rows

int TfrmServerList::AddServer(const QString& host, int port, TGameType gameType)
{
    return Model_->Append(NewServerRecord(host, port, gameType));
}

std::unique_ptr<TGenericServer> TfrmServerList::NewServerRecord(const QString& host, int port,
                                                                TGameType gameType) const
{
    auto server = TGenericServer::Create(TemplatesDir_);
    server->Info.Host = host;
    server->Info.Port = port;
    server->GameType = gameType;
    server->Status = qsNew;
    server->Name = QByteArrayLiteral("Unknown");
    return server;
}

void TfrmServerList::RemoveServer(int index)
{
    if (index >= 0 && index < Model_->rowCount()) {
        Forget(Model_->Remove({index}));
    }
}

void TfrmServerList::RemoveServers(const QList<int>& rows)
{
    if (!rows.isEmpty()) {
        Forget(Model_->Remove(rows));
    }
}

// ---------------------------------------------------------------------------
// Filter profiles

void TfrmServerList::LoadProfiles()
{
    ProfileBar_->LoadProfiles();
}

void TfrmServerList::RemoveProfile(int index, bool deleteFromStore)
{
    ProfileBar_->RemoveProfile(index, deleteFromStore);
}

void TfrmServerList::SetFilterWindow(QDialog* window)
{
    if (FilterWindow_) {
        FilterWindow_->disconnect(this);
    }
    FilterWindow_ = window;
    miListNewFilter->setEnabled(window != nullptr);
    if (window) {
        connect(window, &QDialog::finished, this, &TfrmServerList::LoadProfiles);
    }
}

int TfrmServerList::ServerCount() const
{
    return Model_->rowCount();
}

TGenericServer* TfrmServerList::Server(int index) const
{
    return Model_->Server(index);
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

void TfrmServerList::SetFavorite(int index, bool flag)
{
    if (TGenericServer* server = Model_->Server(index)) {
        server->Favorite = flag;
        Model_->RowChanged(index);
    }
}

void TfrmServerList::SelectServer(int index)
{
    const QModelIndex at = Model_->index(index, 0);
    if (!at.isValid()) {
        return;
    }
    lvServers->selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
    lvServers->scrollTo(at);
    lvServers->setFocus();
}

void TfrmServerList::RemoveSelected()
{
    const QList<int> rows = SelectedRows();
    if (rows.size() == 1) {
        RemoveServer(rows.first());
    } else if (!rows.isEmpty()) {
        Forget(Model_->Remove(rows));
    }
}

void TfrmServerList::ClearList()
{
    if (!Dialogs_.Question(QStringLiteral("Confirmation"),
                           QStringLiteral("Do you really want to clear the entire serverlist?"))) {
        return;
    }
    Pacer_->Stop();
    Forget(Model_->Clear());
}

TGenericServer* TfrmServerList::FirstSelected(int* row) const
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
        CopyToClipboard(ServerInfoText(*server, Model_->Cell(row, TServerListModel::colMap),
                                       Model_->Cell(row, TServerListModel::colGame)));
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
        if (const TGenericServer* server = Model_->Server(row)) {
            players += server->NumPlayers;
        }
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

int TfrmServerList::SplitHostPort(QString& text, int defaultPort)
{
    return ::SplitHostPort(text, defaultPort);
}

int TfrmServerList::GameImageIndex(const TGenericServer& server, bool buddyPresent)
{
    return ::GameImageIndex(server, buddyPresent);
}

// ---------------------------------------------------------------------------
// Queries

TBasicQuery* TfrmServerList::FirstQueryEngine(TGameType game) const
{
    return game < gtUnknown ? FirstQuery_[game].Engine : nullptr;
}

bool TfrmServerList::IsDispatching() const
{
    return Pacer_->IsActive();
}

void TfrmServerList::QueryServer(int index)
{
    TGenericServer* server = Model_->Server(index);
    if (!server) {
        return;
    }
    server->Status = qsWorking;
    Model_->RowChanged(index);
    const TEngineSlot* slot =
        server->GameType < gtUnknown ? &FirstQuery_[server->GameType] : nullptr;
    if (!slot || !slot->Engine) {
        // A server of no known game is marked but never sent, and not counted.
        UpdateProgress();
        return;
    }
    TBasicQuery& engine = *slot->Engine;
    engine.SetMaxQueries(Settings_->NoLimit ? 0 : Settings_->MaxQueries);
    engine.SetTimeout(std::uint32_t(Settings_->QueryTimeout));
    engine.SetHostname(server->Info.Host);
    engine.SetPort(server->Info.Port);
    FollowUps_.remove(server->Id);
    slot->Query(server->Id);
    CountQuery(server->Id);
}

void TfrmServerList::DispatchId(std::int32_t id)
{
    const int row = Model_->RowOf(id);
    if (row >= 0) {
        QueryServer(row);
    }
}

void TfrmServerList::QueryAll()
{
    ResetRetries();
    ResetProgress();
    QList<std::int32_t> ids;
    ids.reserve(Model_->rowCount());
    for (int row = 0; row < Model_->rowCount(); ++row) {
        ids.append(Model_->Server(row)->Id);
    }
    Pacer_->Start(std::move(ids));
}

void TfrmServerList::QuerySelected()
{
    const QList<int> rows = SelectedRows();
    if (rows.size() <= 1) {
        // A single server joins a round that is still being dispatched
        // instead of cutting it short.
        if (!Pacer_->IsActive()) {
            ResetProgress();
        }
        if (!rows.isEmpty()) {
            QueryServer(rows.first());
        }
        return;
    }
    ResetProgress();
    ResetRetries();
    QList<std::int32_t> ids;
    ids.reserve(rows.size());
    for (auto it = rows.crbegin(); it != rows.crend(); ++it) {
        ids.append(Model_->Server(*it)->Id);
    }
    Pacer_->Start(std::move(ids));
}

void TfrmServerList::ResetRetries()
{
    for (int row = 0; row < Model_->rowCount(); ++row) {
        Model_->Server(row)->RetryCount = 0;
    }
}

void TfrmServerList::ResetProgress()
{
    SentCount_ = 0;
    OutstandingCount_ = 0;
    // Queries still under way from an earlier round no longer count.
    Counted_.clear();
    UpdateProgress();
}

void TfrmServerList::UpdateProgress()
{
    Present();
}

void TfrmServerList::CountQuery(std::int32_t id)
{
    ++Counted_[id];
    ++SentCount_;
    ++OutstandingCount_;
    UpdateProgress();
}

void TfrmServerList::FinishQuery(std::int32_t id)
{
    const auto counted = Counted_.find(id);
    if (counted == Counted_.end()) {
        return; // not part of this round
    }
    if (--*counted == 0) {
        Counted_.erase(counted);
    }
    --OutstandingCount_;
    UpdateProgress();
    CheckRoundFinished();
}

void TfrmServerList::Forget(const QList<std::int32_t>& ids)
{
    // Queries of removed servers are given up: the round no longer waits for them.
    for (std::int32_t id : ids) {
        OutstandingCount_ -= Counted_.take(id);
        FollowUps_.remove(id);
        if (id == DetailsId_) {
            DetailsId_ = 0;
        }
    }
    if (Model_->rowCount() == 0) {
        Pacer_->Stop();
    }
    UpdateProgress();
    CheckRoundFinished();
}

void TfrmServerList::CheckRoundFinished()
{
    if (OutstandingCount_ == 0 && !Pacer_->IsActive() && SentCount_ > 0) {
        FlushPresentation();
        Model_->FlushChanges();
        emit QueryRoundFinished();
    }
}

// ---------------------------------------------------------------------------
// Results

TGenericServer* TfrmServerList::RecordFor(std::int32_t id, TGameType game) const
{
    TGenericServer* server = Model_->Server(Model_->RowOf(id));
    return server && server->GameType == game ? server : nullptr;
}

template <typename TQuakeReply>
void TfrmServerList::HandleQuakeReply(TGameType game, const TQuakeReply& reply)
{
    TGenericServer* server = RecordFor(reply.Info.Tag, game);
    if (!server) {
        return;
    }
    ApplyQuakeReply(*server, reply);
    RefreshServerRow(*server);
}

void TfrmServerList::RefreshServerRow(TGenericServer& server, bool countDown)
{
    ShowStatus(QStringLiteral("Reply from ") + TextOfBytes(server.Name));
    server.Status = qsIdle;
    server.NoReply = false;
    RefreshIcon(server);
    const int row = Model_->RowOf(server.Id);
    Model_->SetTexts(row, ReplyRowTexts(server, Settings_->AllowFormat));
    if (server.Id == DetailsId_) {
        ShowServerDetails(row);
    }
    if (countDown) {
        FinishQuery(server.Id);
    }
}

void TfrmServerList::RefreshIcon(TGenericServer& server)
{
    const bool buddy =
        Settings_->UseBuddyList && HasBuddy(server.PlayerTable, Settings_->Buddies, true);
    Model_->SetIcon(Model_->RowOf(server.Id), ::GameImageIndex(server, buddy));
}

void TfrmServerList::HandleQueryTimeout(const TBasicData& reply)
{
    const int row = Model_->RowOf(reply.Tag);
    TGenericServer* server = Model_->Server(row);
    if (!server) {
        return;
    }
    if (Settings_->Retry > server->RetryCount) {
        ++server->RetryCount;
        // Sent again before the time-out is counted, so that the round is
        // never seen to end in between.
        QueryServer(row);
        FinishQuery(server->Id);
        return;
    }
    FinishQuery(server->Id);
    ShowStatus(reply.Host + QLatin1Char(':') + QString::number(reply.Port) +
               QStringLiteral(" timed out..."));
    ApplyFinalTimeout(*server, reply);
    Model_->SetTexts(row, TimeoutRowTexts());
}

void TfrmServerList::SendFollowUp(TBasicQuery& engine,
                                  const std::function<void(std::int32_t)>& query,
                                  const TBasicData& to)
{
    // The follow-up components keep their own 15 requests and 2000 ms.
    engine.SetHostname(to.Host);
    engine.SetPort(to.Port);
    query(to.Tag);
}

void TfrmServerList::HandleFollowUpTimeout(TGameType game, TBasicQuery& engine,
                                           const std::function<void(std::int32_t)>& query,
                                           const TBasicData& reply)
{
    // Sent again at most "Retry" times, and only while the server is listed.
    const TGenericServer* server = RecordFor(reply.Tag, game);
    if (!server) {
        return;
    }
    int& sent = FollowUps_[server->Id];
    if (sent < Settings_->Retry) {
        ++sent;
        SendFollowUp(engine, query, reply);
        return;
    }
    FollowUps_.remove(server->Id);
    ShowStatus(reply.Host + QLatin1Char(':') + QString::number(reply.Port) +
               QStringLiteral(" timed out..."));
}

void TfrmServerList::HandleQueryError(TBasicQuery* engine, const QString& prefix,
                                      const QString& message, bool firstQuery)
{
    if (!prefix.isEmpty()) {
        ShowStatus(prefix + message);
    }
    // A reply that cannot be decoded ends its query: the round no longer
    // waits for it. An unreadable datagram (no reply in progress) has
    // already ended as a time-out.
    if (firstQuery && engine->ReplyInProgress()) {
        FinishQuery(engine->ReplyInProgress()->Tag);
    }
}

// ---------------------------------------------------------------------------
// Presentation

void TfrmServerList::ShowStatus(const QString& text)
{
    Status_ = text;
    StatusPending_ = true;
    Present();
}

void TfrmServerList::Present()
{
    // The status text and the progress show at once by a repaint, never by
    // running the event loop. During a round thousands of replies each bring
    // a text and a step of the bar; painting more often than a screen
    // refreshes shows nothing more and cost most of the round's time, so
    // within one frame of the last paint the newest state waits for the
    // frame's end.
    if (LastPresent_.elapsed() >= FrameMs) {
        FlushPresentation();
    } else if (!PresentTimer_.isActive()) {
        PresentTimer_.start(FrameMs - int(LastPresent_.elapsed()));
    }
}

void TfrmServerList::FlushPresentation()
{
    PresentTimer_.stop();
    LastPresent_.restart();
    // An empty range would turn Qt's bar into a busy indicator; with nothing
    // sent the bar simply stands empty.
    pbQuery->setRange(0, qMax(1, SentCount_));
    pbQuery->setValue(SentCount_ - OutstandingCount_);
    if (StatusPending_) {
        StatusPending_ = false;
        StatusText_->setText(Status_);
        sbStatus->repaint();
    }
}

QString TfrmServerList::StatusText() const
{
    return Status_;
}

void TfrmServerList::ShowServerDetails(int index)
{
    const TGenericServer* server = Model_->Server(index);
    if (!server || server->NoReply) {
        return;
    }
    DetailsId_ = server->Id;
    FillTable(*lvPlayers, server->PlayerTable);

    lvRules->setUpdatesEnabled(false);
    lvRules->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(server->Rules.size());
    for (const TRule& rule : server->Rules) {
        items << new QTreeWidgetItem(QStringList{TextOfBytes(rule.Name), TextOfBytes(rule.Value)});
    }
    lvRules->addTopLevelItems(items);
    lvRules->setUpdatesEnabled(true);
}

void TfrmServerList::SelectionChanged()
{
    const QList<int> rows = SelectedRows();
    if (rows.size() != 1) {
        DetailsId_ = 0;
        return;
    }
    const TGenericServer* server = Model_->Server(rows.first());
    DetailsId_ = server ? server->Id : 0;
    ShowServerDetails(rows.first());
}

void TfrmServerList::ShowContextMenu(const QPoint& pos)
{
    if (lvServers->selectionModel()->hasSelection()) {
        pmMenu->popup(lvServers->viewport()->mapToGlobal(pos));
    }
}

// ---------------------------------------------------------------------------
// Layout

void TfrmServerList::StoreListLayout()
{
    const QHeaderView* header = lvServers->header();
    Settings_.Change([&](TSettingsValues& values) {
        TListLayout& layout = values.ListLayout;
        layout.Sizes.clear();
        layout.Order.clear();
        for (int column = 0; column < TServerListModel::ColumnCount; ++column) {
            layout.Sizes.append(header->sectionSize(column));
            layout.Order.append(header->logicalIndex(column));
        }
        if (Model_->SortColumn() >= 0) {
            layout.SortCol = Model_->SortColumn();
            layout.Ascending = Model_->SortOrder() == Qt::AscendingOrder;
        }
        values.ListRect = geometry();
    });
}

void TfrmServerList::ApplyListLayout()
{
    const TListLayout& layout = Settings_->ListLayout;
    QHeaderView* header = lvServers->header();
    const int columns = TServerListModel::ColumnCount;
    if (layout.Sizes.size() == columns) {
        for (int column = 0; column < columns; ++column) {
            if (layout.Sizes[column] > 0) {
                header->resizeSection(column, layout.Sizes[column]);
            }
        }
    }
    // Only a complete permutation of the columns is taken.
    QList<int> order = layout.Order;
    std::sort(order.begin(), order.end());
    bool complete = order.size() == columns;
    for (int i = 0; complete && i < columns; ++i) {
        complete = order[i] == i;
    }
    if (complete) {
        for (int visual = 0; visual < columns; ++visual) {
            header->moveSection(header->visualIndex(layout.Order[visual]), visual);
        }
    }
    if (Model_->rowCount() > 0 && layout.SortCol >= 0 && layout.SortCol < columns) {
        lvServers->sortByColumn(layout.SortCol,
                                layout.Ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    }
}

void TfrmServerList::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (FirstShow_) {
        FirstShow_ = false;
        RunStartupSteps();
    }
    if (!Shown_) {
        Shown_ = true;
        // After the layout has given the list its real width.
        QTimer::singleShot(0, this, &TfrmServerList::FitNameColumn);
    }
}

void TfrmServerList::FitNameColumn()
{
    // Only while the columns have their design widths, not a stored layout.
    if (Settings_->ListLayout.Sizes.size() == TServerListModel::ColumnCount) {
        return;
    }
    QHeaderView* header = lvServers->header();
    int others = 0;
    for (int column = 0; column < TServerListModel::ColumnCount; ++column) {
        if (column != TServerListModel::colName) {
            others += header->sectionSize(column);
        }
    }
    const int room = lvServers->viewport()->width() -
                     lvServers->style()->pixelMetric(QStyle::PM_ScrollBarExtent) - others;
    header->resizeSection(TServerListModel::colName, qMax(120, room));
}

void TfrmServerList::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) {
        Shutdown();
    }
}

// ---------------------------------------------------------------------------
// Server list file and masters

void TfrmServerList::BindCommand(const char* name, std::function<void()> action)
{
    if (auto* item = findChild<QAction*>(QLatin1String(name))) {
        connect(item, &QAction::triggered, this, std::move(action));
        item->setEnabled(true);
    }
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
    Model_->Append(LoadedRows(lines, [this](const QString& host, int port, TGameType game) {
        return NewServerRecord(host, port, game);
    }));
    if (!lines.isEmpty()) {
        ShowStatus(QStringLiteral("Successfully loaded ") + QString::number(lines.size()) +
                   QStringLiteral(" servers from disk db."));
    }
    return true;
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
    if (!ListFile_->Write(ServerListLines(*Model_))) {
        Dialogs_.Error(QStringLiteral("Morvix"), ListFile_->ErrorString());
        return false;
    }
    return true;
}

QStringList TfrmServerList::LoadMasters()
{
    const TMasterList masters = ReadMasterList(Store_);
    Masters_->BuildMenu(*miListImport, masters.Games);
    return masters.InvalidValues;
}
