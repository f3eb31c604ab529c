#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QMenu>
#include <QProgressBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

#include <algorithm>
#include <memory>

#include "browser/frmserverlist.h"
#include "browser/serverlistmodel.h"
#include "browser/serverlistview.h"
#include "core/serverquerier.h"
#include "core/settings.h"
#include "core/settingsstore.h"
#include "fakeudpserver.h"
#include "gamereplies.h"
#include "model/basicquery.h"
#include "paintprobe.h"
#include "windowfixture.h"

using TBehaviour = TFakeUdpServer::TBehaviour;
using TColumn = TServerListModel::TColumn;

namespace {

QColor Rgb(std::uint32_t bgr)
{
    const TColor color{bgr};
    return QColor(color.Red(), color.Green(), color.Blue());
}

} // namespace

class TestFrmServerList : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void newRows_data();
    void newRows();
    void replyFillsRowAndPanes();
    void everyGame_data();
    void everyGame();
    void followUpRetriesAreBounded();
    void replyTexts_data();
    void replyTexts();
    void retriesThenTimeOut_data();
    void retriesThenTimeOut();
    void buddyIcon_data();
    void buddyIcon();
    void rowColours_data();
    void rowColours();
    void engineSettings_data();
    void engineSettings();
    void querySelectedRetries();
    void replyAfterRemovalIsDropped();
    void replyAfterSortFindsItsRecord();
    void copyTexts();
    void favourites();
    void stats();
    void removeRows();
    void clearAsksFirst_data();
    void clearAsksFirst();
    void headerSorting();
    void queryAllDoesNotHoldTheLoop();
    void queryDelayIsTimed();
    void keysTipsAndMenu();
    void rowsPaintDuringTheRound();
    void followUpAfterTheRoundPaints();
    void overlappingRounds();
    void removeScatteredSelection();
    void cellsAndRecordChanges();

private:
    TFakeUdpServer& NewServer(const QByteArray& reply, TBehaviour behaviour = TBehaviour::Answer,
                              int delayMs = 0);
    int AddQ3(const TFakeUdpServer& server);
    void Select(const QList<int>& rows);
    QTreeView* List() const;
    QTreeWidget* Pane(const char* name) const;
    QStringList PaneRows(const char* name) const;
    QString Cell(int row, int column) const;
    QStringList Cells(int row) const;
    QColor RowColour(int row) const;
    void WaitForRound();
    // A range of rows the view was told to repaint, and when (on a probe's clock).
    struct TChange
    {
        qint64 At;
        int Top;
        int Bottom;
    };
    // Records every range of rows the view is told to repaint into Changes_.
    void RecordChanges(const TPaintProbe& probe);
    // The first time the view was told to repaint Row after the first From
    // changes recorded; nullptr when it was not.
    const TChange* ChangeAfter(int row, qsizetype from) const;
    bool ChangedSince(int row, qsizetype from) const { return ChangeAfter(row, from); }
    QList<TChange> Changes_;

    std::unique_ptr<TWindowFixture> X_;
    TSettings* Settings_ = nullptr;
    TScriptedDialogs* Dialogs_ = nullptr;
    TfrmServerList* Window_ = nullptr;
    std::vector<std::unique_ptr<TFakeUdpServer>> Servers_;
};

void TestFrmServerList::init()
{
    X_ = std::make_unique<TWindowFixture>();
    Settings_ = &X_->Settings;
    Dialogs_ = &X_->Dialogs;
    Settings_->Change([](TSettingsValues& values) {
        values.QueryTimeout = 100;
        values.Retry = 0;
    });
    Window_ = &X_->Build();
    QVERIFY(X_->Show());
}

void TestFrmServerList::cleanup()
{
    QCOMPARE(Dialogs_->Unanswered(), 0);
    X_.reset();
    Servers_.clear();
    Changes_.clear();
}

TFakeUdpServer& TestFrmServerList::NewServer(const QByteArray& reply, TBehaviour behaviour,
                                             int delayMs)
{
    auto server = std::make_unique<TFakeUdpServer>();
    server->SetReply(reply);
    server->SetBehaviour(behaviour, delayMs);
    Servers_.push_back(std::move(server));
    return *Servers_.back();
}

int TestFrmServerList::AddQ3(const TFakeUdpServer& server)
{
    return Window_->AddServer(server.Address(), server.Port(), gtQuake3);
}

QTreeView* TestFrmServerList::List() const
{
    return Window_->findChild<QTreeView*>(QStringLiteral("lvServers"));
}

QTreeWidget* TestFrmServerList::Pane(const char* name) const
{
    return Window_->findChild<QTreeWidget*>(QLatin1String(name));
}

QStringList TestFrmServerList::PaneRows(const char* name) const
{
    QStringList rows;
    QTreeWidget* pane = Pane(name);
    for (int i = 0; i < pane->topLevelItemCount(); ++i) {
        QStringList cells;
        for (int column = 0; column < pane->columnCount(); ++column) {
            cells << pane->topLevelItem(i)->text(column);
        }
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

void TestFrmServerList::Select(const QList<int>& rows)
{
    QItemSelection selection;
    for (int row : rows) {
        const QModelIndex index = List()->model()->index(row, 0);
        selection.select(index, index);
    }
    List()->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect |
                                                    QItemSelectionModel::Rows);
}

QString TestFrmServerList::Cell(int row, int column) const
{
    return List()->model()->index(row, column).data().toString();
}

QStringList TestFrmServerList::Cells(int row) const
{
    QStringList cells;
    for (int column = 0; column < TServerListModel::ColumnCount; ++column) {
        cells << Cell(row, column);
    }
    return cells;
}

QColor TestFrmServerList::RowColour(int row) const
{
    return List()->model()->index(row, 0).data(Qt::ForegroundRole).value<QColor>();
}

void TestFrmServerList::WaitForRound()
{
    QTRY_VERIFY_WITH_TIMEOUT(Window_->SentCount() > 0 && Window_->OutstandingCount() == 0 &&
                                 !Window_->IsDispatching(),
                             5000);
}

void TestFrmServerList::RecordChanges(const TPaintProbe& probe)
{
    connect(List()->model(), &QAbstractItemModel::dataChanged, this,
            [this, &probe](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                Changes_.append({probe.Now(), topLeft.row(), bottomRight.row()});
            });
}

const TestFrmServerList::TChange* TestFrmServerList::ChangeAfter(int row, qsizetype from) const
{
    for (qsizetype i = from; i < Changes_.size(); ++i) {
        if (Changes_[i].Top <= row && row <= Changes_[i].Bottom) {
            return &Changes_[i];
        }
    }
    return nullptr;
}

void TestFrmServerList::newRows_data()
{
    QTest::addColumn<int>("game");
    QTest::addColumn<QString>("gameCell");
    QTest::addColumn<int>("icon");
    QTest::newRow("QuakeWorld") << int(gtQuakeWorld) << "QuakeWorld" << 0;
    QTest::newRow("Quake 2") << int(gtQuake2) << "Quake 2" << 1;
    QTest::newRow("Quake 3") << int(gtQuake3) << "Quake 3" << 2;
    QTest::newRow("Half-Life") << int(gtHalfLife) << "Half-Life" << 3;
    QTest::newRow("Tribes") << int(gtTribes) << "Tribes" << 4;
    QTest::newRow("Kingpin") << int(gtKingpin) << "Kingpin" << 5;
    QTest::newRow("Sin") << int(gtSin) << "Sin" << 6;
    QTest::newRow("Heretic 2") << int(gtHeretic2) << "Heretic 2" << 7;
    QTest::newRow("SoF") << int(gtSoF) << "SoF" << 8;
    QTest::newRow("Tribes 2") << int(gtTribes2) << "Tribes 2" << 9;
    QTest::newRow("unknown") << int(gtUnknown) << "Unknown" << -1;
}

void TestFrmServerList::newRows()
{
    QFETCH(int, game);
    QFETCH(QString, gameCell);
    QFETCH(int, icon);
    Window_->AddServer(QStringLiteral("10.1.2.3"), 27960, gtQuake3);
    const int row = Window_->AddServer(QStringLiteral("192.168.0.7"), 28001, TGameType(game));
    QCOMPARE(row, 1);
    QCOMPARE(Window_->ServerCount(), 2);
    QCOMPARE(Cells(row), (QStringList{"Unknown", "-", "-", "-", gameCell, "192.168.0.7:28001"}));
    QCOMPARE(Window_->Model().IconIndex(row), icon);
    QCOMPARE(List()->model()->index(row, 0).data(Qt::DecorationRole).isNull(), icon < 0);
    QCOMPARE(RowColour(row), QColor(Qt::black));
    const TGenericServer* server = Window_->Server(row);
    QCOMPARE(server->Status, qsNew);
    QCOMPARE(server->Name, QByteArray("Unknown"));
    QVERIFY(server->NoReply);
}

void TestFrmServerList::replyFillsRowAndPanes()
{
    TFakeUdpServer& fake = NewServer(
        Q3StatusReply("^1Red ^7Base", "q3dm17", 16, {"12 45 \"^1Fragger\"", "3 80 \"Camper\""}));
    const int row = AddQ3(fake);
    QSignalSpy finished(Window_, &TfrmServerList::QueryRoundFinished);
    Window_->QueryServer(row);
    QCOMPARE(Window_->Server(row)->Status, qsWorking);
    QCOMPARE(RowColour(row), Rgb(0x00FF0000));
    QTRY_COMPARE_WITH_TIMEOUT(Window_->Server(row)->Status, qsIdle, 5000);
    QCOMPARE(finished.count(), 1);

    QCOMPARE(Cell(row, TServerListModel::colName), QStringLiteral("Red Base"));
    QCOMPARE(Cell(row, TServerListModel::colMap), QStringLiteral("q3dm17"));
    QCOMPARE(Cell(row, TServerListModel::colPlayers), QStringLiteral("2/16"));
    QCOMPARE(Cell(row, TServerListModel::colPing),
             QString::number(Window_->Server(row)->Info.Ping));
    QCOMPARE(Cell(row, TServerListModel::colGame), QStringLiteral("Quake 3 / baseq3"));
    QCOMPARE(Cell(row, TServerListModel::colAddress),
             fake.Address() + ":" + QString::number(fake.Port()));
    QCOMPARE(Window_->StatusText(), QStringLiteral("Reply from Red Base"));
    QCOMPARE(RowColour(row), Rgb(0x00800000));
    QVERIFY(!Window_->Server(row)->NoReply);

    auto* progress = Window_->findChild<QProgressBar*>(QStringLiteral("pbQuery"));
    QCOMPARE(progress->maximum(), 1);
    QCOMPARE(progress->value(), 1);

    Select({row});
    QCOMPARE(PaneRows("lvPlayers"), (QStringList{"Fragger|12|45", "Camper|3|80"}));
    QCOMPARE(Pane("lvPlayers")->headerItem()->text(1), QStringLiteral("Frags"));
    QCOMPARE(PaneRows("lvRules"),
             (QStringList{"sv_hostname|^1Red ^7Base", "mapname|q3dm17", "sv_maxclients|16",
                          "gamename|baseq3", "version|Q3 1.32"}));

    // A server without a reply, or several selected, leave the panes as they are.
    const int fresh = Window_->AddServer(QStringLiteral("10.0.0.9"), 27960, gtQuake3);
    Select({fresh});
    QCOMPARE(PaneRows("lvPlayers").size(), 2);
    Select({fresh, row});
    QCOMPARE(PaneRows("lvPlayers").size(), 2);

    // A new reply of the selected server shows in the panes at once.
    Select({row});
    fake.SetReply(Q3StatusReply("Red Base", "q3dm6", 16, {"1 20 \"Newcomer\""}));
    Window_->QueryServer(row);
    QTRY_COMPARE_WITH_TIMEOUT(PaneRows("lvPlayers"), QStringList{"Newcomer|1|20"}, 5000);
}

void TestFrmServerList::everyGame_data()
{
    QTest::addColumn<int>("game");
    QTest::addColumn<QString>("map");
    QTest::addColumn<QString>("gameCell");
    QTest::addColumn<QString>("player");
    QTest::addColumn<int>("requests");
    QTest::addColumn<QString>("error"); // status text of a reply that is no reply
    const QString q2 = "Received data, but it is not a valid Quake 2 packet.";
    QTest::newRow("SoF") << int(gtSoF) << "m1"
                         << "SoF / mod"
                         << "Ace|3|40" << 1 << "SoF Error: " + q2;
    QTest::newRow("Sin") << int(gtSin) << "m1"
                         << "Sin / mod"
                         << "Ace|3|40" << 1 << "Sin Error: " + q2;
    QTest::newRow("Heretic 2") << int(gtHeretic2) << "m1"
                               << "Heretic 2 / mod"
                               << "Ace|3|40" << 1 << "Heretic 2 Error: " + q2;
    QTest::newRow("Quake 2") << int(gtQuake2) << "m1"
                             << "Quake 2 / mod"
                             << "Ace|3|40" << 1 << "Q2 Error: " + q2;
    QTest::newRow("Kingpin") << int(gtKingpin) << "m1"
                             << "Kingpin / mod"
                             << "Ace|3|40" << 1 << "Kingpin Error: " + q2;
    QTest::newRow("Quake 3") << int(gtQuake3) << "m1"
                             << "Quake 3 / baseq3"
                             << "Ace|3|40" << 1 << "";
    QTest::newRow("QuakeWorld")
        << int(gtQuakeWorld) << "m1"
        << "QuakeWorld / mod"
        << "Ace|3|40|12|base|4/11" << 1
        << "QW Error: Received data, but it is not a valid QuakeWorld packet.";
    QTest::newRow("Half-Life") << int(gtHalfLife) << "m1"
                               << "Half-Life / mod"
                               << "Ace|3|2" << 3
                               << "HL-Info Error: Received data, but it is not a valid "
                                  "Half-life packet.";
    QTest::newRow("Tribes") << int(gtTribes) << "m1 (Capture)"
                            << "Tribes / mod"
                            << "Ace|40" << 1
                            << "Tribes Error: Received data, but it is not a valid Tribes packet.";
    QTest::newRow("Tribes 2") << int(gtTribes2) << "m1 (Capture)"
                              << "Tribes 2 / mod"
                              << "Ace|Storm|3" << 2
                              << "T2 Error: Received data, but it is not a valid Tribes 2 packet.";
}

void TestFrmServerList::everyGame()
{
    QFETCH(int, game);
    QFETCH(QString, map);
    QFETCH(QString, gameCell);
    QFETCH(QString, player);
    QFETCH(int, requests);
    QFETCH(QString, error);
    TFakeUdpServer& fake = NewServer({});
    TScriptedGameServer script;
    script.Name = QByteArray(GameInfo(game)->DisplayName) + " server";
    script.Players = {"Ace"};
    fake.SetResponder([game, script](const QByteArray& request) {
        return GameReply(TGameType(game), request, script);
    });
    const int row = Window_->AddServer(fake.Address(), fake.Port(), TGameType(game));
    Select({row});
    Window_->QuerySelected();
    QTRY_COMPARE_WITH_TIMEOUT(fake.RequestCount(), requests, 5000);
    WaitForRound();
    // Every follow-up reply is in once the rules (or teams) are.
    QTRY_VERIFY_WITH_TIMEOUT(
        !Window_->Server(row)->Rules.isEmpty() && Window_->Server(row)->Status == qsIdle, 5000);
    QTest::qWait(0);
    const QString name = QString::fromLatin1(GameInfo(game)->DisplayName) + " server";
    QCOMPARE(Cells(row).mid(0, 3), (QStringList{name, map, "1/8"}));
    QCOMPARE(Cell(row, TServerListModel::colGame), gameCell);
    QCOMPARE(Window_->SentCount(), 1); // the follow-ups are not counted
    QCOMPARE(Window_->Model().IconIndex(row), GameInfo(game)->IconIndex);
    QCOMPARE(RowColour(row), Rgb(0x00800000));
    QTRY_COMPARE_WITH_TIMEOUT(PaneRows("lvPlayers"), QStringList{player}, 5000);
    QVERIFY(!PaneRows("lvRules").isEmpty());

    // A reply that is none of the game's: its component's error text, and
    // the round still ends.
    fake.SetResponder([](const QByteArray&) { return QList<QByteArray>{"\xFF\xFF\xFF\xFFjunk"}; });
    Window_->ShowStatus(QStringLiteral("before"));
    Window_->QuerySelected();
    WaitForRound();
    QCOMPARE(Window_->StatusText(), error.isEmpty() ? QStringLiteral("before") : error);
}

void TestFrmServerList::followUpRetriesAreBounded()
{
    // The details are answered, the players never: the players query is
    // sent again "Retry" times, then given up.
    Settings_->Change([](TSettingsValues& values) { values.Retry = 1; });
    TFakeUdpServer& fake = NewServer({});
    int players = 0;
    fake.SetResponder([&players](const QByteArray& request) {
        if (request.endsWith("players")) {
            ++players;
            return QList<QByteArray>{};
        }
        TScriptedGameServer script;
        script.Name = "Half-Life server";
        return GameReply(gtHalfLife, request, script);
    });
    const int row = Window_->AddServer(fake.Address(), fake.Port(), gtHalfLife);
    Window_->QueryServer(row);
    QTRY_COMPARE_WITH_TIMEOUT(Window_->StatusText(),
                              fake.Address() + ":" + QString::number(fake.Port()) + " timed out...",
                              10000);
    QCOMPARE(players, 2);
    // The row keeps what the details reply showed.
    QCOMPARE(Window_->Server(row)->Status, qsIdle);
    QCOMPARE(Cell(row, TServerListModel::colName), QStringLiteral("Half-Life server"));
    QCOMPARE(Window_->OutstandingCount(), 0);
}

void TestFrmServerList::replyTexts_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("allowFormat");
    QTest::addColumn<QList<QByteArray>>("players");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("playersCell");
    QTest::addColumn<QString>("shownName");   // the name in the rules pane
    QTest::addColumn<QString>("firstPlayer"); // the first name in the players pane
    const QByteArray raw("  Tab\tbed\xE9  ");
    QTest::newRow("name as sent") << raw << false << QList<QByteArray>{"1 2 \"a\""}
                                  << QString::fromLatin1(raw) << "1/8" << QString::fromLatin1(raw)
                                  << "a";
    QTest::newRow("formatted name") << raw << true << QList<QByteArray>{"1 2 \"a\""} << "Tabbed"
                                    << "1/8" << QString::fromLatin1(raw) << "a";
    QTest::newRow("no players") << QByteArray("Empty") << false << QList<QByteArray>{} << "Empty"
                                << "0/8"
                                << "Empty" << QString();
    // Bytes that are UTF-8 show as UTF-8, in the list and in both panes.
    const QByteArray vlad = "\xD0\x92\xD0\xBB\xD0\xB0\xD0\xB4";
    QTest::newRow("UTF-8") << vlad + "'s box" << false << QList<QByteArray>{"1 2 \"" + vlad + "\""}
                           << QStringLiteral("Влад's box") << "1/8" << QStringLiteral("Влад's box")
                           << QStringLiteral("Влад");
}

void TestFrmServerList::replyTexts()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, allowFormat);
    QFETCH(QList<QByteArray>, players);
    QFETCH(QString, caption);
    QFETCH(QString, playersCell);
    QFETCH(QString, shownName);
    QFETCH(QString, firstPlayer);
    Settings_->Change([&](TSettingsValues& values) { values.AllowFormat = allowFormat; });
    const int row = AddQ3(NewServer(Q3StatusReply(name, "dm", 8, players)));
    Window_->QueryServer(row);
    QTRY_COMPARE_WITH_TIMEOUT(Window_->Server(row)->Status, qsIdle, 5000);
    QCOMPARE(Cell(row, TServerListModel::colName), caption);
    QCOMPARE(Cell(row, TServerListModel::colPlayers), playersCell);
    // The record and the rules keep the name as the server sent it.
    QCOMPARE(Window_->Server(row)->Name, name);
    QCOMPARE(Window_->Server(row)->PlayerTable.size(), players.size() + 1);
    Select({row});
    QCOMPARE(PaneRows("lvRules").first(), "sv_hostname|" + shownName);
    QCOMPARE(Pane("lvPlayers")->topLevelItemCount(), players.size());
    QCOMPARE(Pane("lvPlayers")->columnCount(), 3);
    if (!firstPlayer.isEmpty()) {
        QCOMPARE(PaneRows("lvPlayers").first().section(u'|', 0, 0), firstPlayer);
    }
}

void TestFrmServerList::retriesThenTimeOut_data()
{
    QTest::addColumn<int>("retries");
    QTest::newRow("no retry") << 0;
    QTest::newRow("one retry") << 1;
    QTest::newRow("two retries") << 2;
}

void TestFrmServerList::retriesThenTimeOut()
{
    QFETCH(int, retries);
    Settings_->Change([&](TSettingsValues& values) { values.Retry = retries; });
    TFakeUdpServer& fake = NewServer({}, TBehaviour::Silent);
    const int row = AddQ3(fake);
    Select({row});
    Window_->QuerySelected();
    QTRY_COMPARE_WITH_TIMEOUT(Window_->Server(row)->Status, qsTimeout, 5000);

    QCOMPARE(fake.RequestCount(), retries + 1);
    QCOMPARE(Window_->SentCount(), retries + 1);
    QCOMPARE(Window_->OutstandingCount(), 0);
    auto* progress = Window_->findChild<QProgressBar*>(QStringLiteral("pbQuery"));
    QCOMPARE(progress->value(), progress->maximum());
    QCOMPARE(progress->maximum(), retries + 1);

    const QString address = fake.Address() + ":" + QString::number(fake.Port());
    QCOMPARE(Window_->StatusText(), address + " timed out...");
    QCOMPARE(Cells(row), (QStringList{"QUERY TIME OUT", "---", "---", "---", "---", address}));
    const TGenericServer* server = Window_->Server(row);
    QVERIFY(server->NoReply);
    QCOMPARE(server->Name, QByteArray("QUERY TIME OUT"));
    QCOMPARE(server->Info.Ping, 100u);
    QCOMPARE(server->RetryCount, retries);
    QCOMPARE(RowColour(row), Rgb(0x00000080));
    QCOMPARE(Window_->Model().IconIndex(row), 2);
}

void TestFrmServerList::buddyIcon_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<int>("icon");
    QTest::newRow("buddy playing") << true << QByteArray("Sar*") << 12;
    QTest::newRow("matches a score") << true << QByteArray("4?") << 12;
    QTest::newRow("nobody matches") << true << QByteArray("Visor") << 2;
    QTest::newRow("search off") << false << QByteArray("Sar*") << 2;
}

void TestFrmServerList::buddyIcon()
{
    QFETCH(bool, enabled);
    QFETCH(QByteArray, pattern);
    QFETCH(int, icon);
    Settings_->Change([&](TSettingsValues& values) {
        values.UseBuddyList = enabled;
        values.Buddies = {{pattern, true}};
    });
    const int row = AddQ3(NewServer(Q3StatusReply("B", "m", 8, {"45 10 \"Sarge\""})));
    Window_->QueryServer(row);
    QTRY_COMPARE_WITH_TIMEOUT(Window_->Server(row)->Status, qsIdle, 5000);
    QCOMPARE(Window_->Model().IconIndex(row), icon);
}

void TestFrmServerList::rowColours_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("favorite");
    QTest::addColumn<int>("setting"); // -1: black
    QTest::newRow("new") << int(qsNew) << false << -1;
    QTest::newRow("working") << int(qsWorking) << false << int(csWorking);
    QTest::newRow("idle") << int(qsIdle) << false << int(csIdle);
    QTest::newRow("timed out") << int(qsTimeout) << false << int(csTimeout);
    QTest::newRow("favourite new") << int(qsNew) << true << int(csFavorite);
    QTest::newRow("favourite timed out") << int(qsTimeout) << true << int(csFavorite);
}

void TestFrmServerList::rowColours()
{
    QFETCH(int, status);
    QFETCH(bool, favorite);
    QFETCH(int, setting);
    // Colours of our own, so that no default can pass by chance.
    Settings_->Change([](TSettingsValues& values) {
        for (int i = 0; i < ColorSettingCount; ++i) {
            values.Colors[i] = TColor::FromRgb(10 * i + 1, 20, 30 + i);
        }
    });
    const int row = Window_->AddServer(QStringLiteral("10.0.0.1"), 1, gtQuake3);
    Window_->ChangeServer(row,
                          [&](TGenericServer& server) { server.Status = TQueryStatus(status); });
    Window_->SetFavorite(row, favorite);
    const QColor expected =
        setting < 0 ? QColor(Qt::black) : Rgb(Settings_->Values().Colors[setting].Value);
    QCOMPARE(RowColour(row), expected);

    // A changed colour shows at the next paint, without touching the row.
    if (setting >= 0) {
        Settings_->Change(
            [&](TSettingsValues& values) { values.Colors[setting] = TColor::FromRgb(1, 2, 3); });
        QCOMPARE(RowColour(row), QColor(1, 2, 3));
    }
    // A selected row is drawn in white.
    QCOMPARE(List()->palette().color(QPalette::Active, QPalette::HighlightedText),
             QColor(Qt::white));
}

void TestFrmServerList::engineSettings_data()
{
    QTest::addColumn<bool>("noLimit");
    QTest::addColumn<int>("maxQueries");
    QTest::newRow("limit") << false << 7;
    QTest::newRow("no limit") << true << 0;
}

void TestFrmServerList::engineSettings()
{
    QFETCH(bool, noLimit);
    QFETCH(int, maxQueries);
    Settings_->Change([&](TSettingsValues& values) {
        values.NoLimit = noLimit;
        values.MaxQueries = 7;
        values.QueryTimeout = 1234;
    });
    const int row = AddQ3(NewServer(Q3StatusReply("S", "m", 2)));
    Window_->QueryServer(row);
    TBasicQuery* engine = Window_->FirstQueryEngine(gtQuake3);
    QCOMPARE(engine->MaxQueries(), maxQueries);
    QCOMPARE(engine->Timeout(), 1234u);
    QCOMPARE(engine, Window_->findChild<TBasicQuery*>(QStringLiteral("qQuake3")));

    // A server of no known game is marked as being queried but never sent.
    const int unknown = Window_->AddServer(QStringLiteral("127.0.0.1"), 1, gtUnknown);
    Window_->ResetProgress();
    Window_->QueryServer(unknown);
    QCOMPARE(Window_->Server(unknown)->Status, qsWorking);
    QCOMPARE(Window_->SentCount(), 0);
}

void TestFrmServerList::querySelectedRetries()
{
    Settings_->Change([](TSettingsValues& values) { values.Retry = 1; });
    TFakeUdpServer& a = NewServer({}, TBehaviour::Silent);
    TFakeUdpServer& b = NewServer({}, TBehaviour::Silent);
    const int first = AddQ3(a);
    const int second = AddQ3(b);
    Window_->QueryAll();
    WaitForRound();
    QCOMPARE(Window_->Server(first)->RetryCount, 1);
    QCOMPARE(Window_->Server(second)->RetryCount, 1);
    QCOMPARE(a.RequestCount(), 2);

    // One selected row keeps its retries: it is given up after one request.
    Select({first});
    Window_->QuerySelected();
    WaitForRound();
    QCOMPARE(a.RequestCount(), 3);
    QCOMPARE(Window_->Server(first)->RetryCount, 1);

    // Two selected rows start over, every row of the list with them.
    Select({first, second});
    Window_->QuerySelected();
    QCOMPARE(Window_->Server(first)->RetryCount, 0);
    QCOMPARE(Window_->Server(second)->RetryCount, 0);
    WaitForRound();
    QCOMPARE(a.RequestCount(), 5);
    QCOMPARE(b.RequestCount(), 4);
}

void TestFrmServerList::replyAfterRemovalIsDropped()
{
    // The first server answers late; its row is removed meanwhile, so that
    // the second server's row moves into its place.
    TFakeUdpServer& late = NewServer(Q3StatusReply("Late", "gone", 4), TBehaviour::AnswerLate, 150);
    TFakeUdpServer& other = NewServer(Q3StatusReply("Other", "m2", 4), TBehaviour::Silent);
    Settings_->Change([](TSettingsValues& values) { values.QueryTimeout = 1000; });
    AddQ3(late);
    AddQ3(other);
    Window_->QueryAll();
    QTRY_COMPARE_WITH_TIMEOUT(late.RequestCount(), 1, 5000);
    QCOMPARE(Window_->OutstandingCount(), 2);
    Window_->RemoveServer(0);
    // The removed server's query no longer counts.
    QCOMPARE(Window_->OutstandingCount(), 1);
    // The late reply is read and matched (its request leaves the engine),
    // and it touches no row: the row now at its index belongs to another server.
    QTRY_COMPARE_WITH_TIMEOUT(Window_->FirstQueryEngine(gtQuake3)->CurrentQueries(), 1, 5000);
    QCOMPARE(Window_->Server(0)->Status, qsWorking);
    QCOMPARE(Window_->Server(0)->Name, QByteArray("Unknown"));
    QCOMPARE(Cell(0, TServerListModel::colMap), QStringLiteral("-"));
    // Now the other server answers for itself.
    other.SetBehaviour(TBehaviour::Answer);
    other.SendToLastClient(Q3StatusReply("Other", "m2", 4));
    QTRY_COMPARE_WITH_TIMEOUT(Window_->Server(0)->Status, qsIdle, 5000);
    QCOMPARE(Window_->Server(0)->Name, QByteArray("Other"));
    QCOMPARE(Cell(0, TServerListModel::colMap), QStringLiteral("m2"));
    QCOMPARE(Window_->ServerCount(), 1);
    WaitForRound();
}

void TestFrmServerList::replyAfterSortFindsItsRecord()
{
    // Three servers answer late in reverse order of their rows; the list is
    // sorted by address in between, which moves every row.
    Settings_->Change([](TSettingsValues& values) { values.QueryTimeout = 2000; });
    QList<int> ports;
    for (int i = 0; i < 3; ++i) {
        TFakeUdpServer& fake = NewServer(Q3StatusReply("Server " + QByteArray::number(i), "m", 4),
                                         TBehaviour::AnswerLate, 300 - 100 * i);
        ports << fake.Port();
        AddQ3(fake);
    }
    Window_->QueryAll();
    List()->sortByColumn(TServerListModel::colAddress, Qt::DescendingOrder);
    List()->sortByColumn(TServerListModel::colPing, Qt::AscendingOrder);
    List()->sortByColumn(TServerListModel::colAddress, Qt::DescendingOrder);
    WaitForRound();
    for (int row = 0; row < 3; ++row) {
        const TGenericServer* server = Window_->Server(row);
        const int i = int(ports.indexOf(server->Info.Port));
        QCOMPARE(server->Name, "Server " + QByteArray::number(i));
        QCOMPARE(Cell(row, TServerListModel::colName), "Server " + QString::number(i));
    }
}

void TestFrmServerList::copyTexts()
{
    TFakeUdpServer& fake = NewServer(Q3StatusReply("Copy %1 me", "q3dm7", 10, {"1 2 \"p\""}));
    AddQ3(NewServer({}, TBehaviour::Silent));
    const int row = AddQ3(fake);
    Window_->QueryServer(row);
    QTRY_COMPARE_WITH_TIMEOUT(Window_->Server(row)->Status, qsIdle, 5000);
    const QString address = "127.0.0.1:" + QString::number(fake.Port());
    const QString ping = QString::number(Window_->Server(row)->Info.Ping);

    Select({row});
    Window_->CopyAddress();
    QCOMPARE(QApplication::clipboard()->text(), address);
    Window_->CopyServerInfo();
    QCOMPARE(QApplication::clipboard()->text(), "Copy %1 me      q3dm7      1/10   " + ping +
                                                    "      Quake 3 / baseq3      " + address);

    // Several selected: the first of them.
    Select({0, row});
    Window_->CopyAddress();
    QCOMPARE(QApplication::clipboard()->text(), AddressText(*Window_->Server(0)));
}

void TestFrmServerList::favourites()
{
    for (int i = 0; i < 3; ++i) {
        Window_->AddServer(QStringLiteral("10.0.0.1"), 100 + i, gtQuake3);
    }
    Select({0, 2});
    Window_->SetSelectedFavorite(true);
    QCOMPARE((QList<bool>{Window_->Server(0)->Favorite, Window_->Server(1)->Favorite,
                          Window_->Server(2)->Favorite}),
             (QList<bool>{true, false, true}));
    QCOMPARE(RowColour(2), Rgb(0x000000FF));
    Select({2});
    Window_->SetSelectedFavorite(false);
    QCOMPARE(Window_->Server(2)->Favorite, false);
    QCOMPARE(RowColour(2), QColor(Qt::black));
}

void TestFrmServerList::stats()
{
    const int row = AddQ3(NewServer(Q3StatusReply("S", "m", 8, {"1 2 \"a\"", "3 4 \"b\""})));
    Window_->AddServer(QStringLiteral("10.0.0.2"), 2, gtHalfLife);
    Window_->QueryServer(row);
    QTRY_COMPARE_WITH_TIMEOUT(Window_->Server(row)->Status, qsIdle, 5000);
    Window_->ShowStats();
    QCOMPARE(Dialogs_->Shown().size(), 1);
    const TScriptedDialogs::TShown& shown = Dialogs_->Shown().first();
    QCOMPARE(shown.Kind, TScriptedDialogs::TKind::Information);
    QCOMPARE(shown.Title, QStringLiteral("Serverlist Stats"));
    QCOMPARE(shown.Text,
             QStringLiteral("There are 2 servers in your list, with 2 visible players."));
}

void TestFrmServerList::removeRows()
{
    for (int i = 0; i < 6; ++i) {
        Window_->AddServer(QStringLiteral("10.0.0.1"), i, gtQuake3);
    }
    const auto ports = [this] {
        QList<int> list;
        for (int row = 0; row < Window_->ServerCount(); ++row) {
            list << Window_->Server(row)->Info.Port;
        }
        return list;
    };
    Window_->RemoveSelected(); // nothing selected
    QCOMPARE(Window_->ServerCount(), 6);
    Select({1});
    Window_->RemoveSelected();
    QCOMPARE(ports(), (QList<int>{0, 2, 3, 4, 5}));
    Select({0, 2, 3});
    List()->setFocus();
    QTest::keyClick(List(), Qt::Key_Delete);
    QCOMPARE(ports(), (QList<int>{2, 5}));
    Window_->RemoveServer(7);
    QCOMPARE(Window_->ServerCount(), 2);
}

void TestFrmServerList::clearAsksFirst_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("no") << false;
    QTest::newRow("yes") << true;
}

void TestFrmServerList::clearAsksFirst()
{
    QFETCH(bool, yes);
    TFakeUdpServer& fake = NewServer({}, TBehaviour::Silent);
    for (int i = 0; i < 3; ++i) {
        AddQ3(fake);
    }
    Settings_->Change([](TSettingsValues& values) { values.QueryTimeout = 1000; });
    Window_->QueryAll();
    Dialogs_->AnswerQuestion(yes);
    Window_->ClearList();
    QCOMPARE(Dialogs_->Shown().size(), 1);
    QCOMPARE(Dialogs_->Shown().first().Kind, TScriptedDialogs::TKind::Question);
    QCOMPARE(Dialogs_->Shown().first().Title, QStringLiteral("Confirmation"));
    QCOMPARE(Dialogs_->Shown().first().Text,
             QStringLiteral("Do you really want to clear the entire serverlist?"));
    QCOMPARE(Window_->ServerCount(), yes ? 0 : 3);
    // Cleared, the round waits for nothing; the time-outs that follow find no record.
    QCOMPARE(Window_->OutstandingCount(), yes ? 0 : 3);
    if (yes) {
        QTRY_COMPARE_WITH_TIMEOUT(Window_->FirstQueryEngine(gtQuake3)->CurrentQueries(), 0, 5000);
        QCOMPARE(Window_->ServerCount(), 0);
    }
}

void TestFrmServerList::headerSorting()
{
    const QList<QPair<QString, QString>> rows = {
        {"B", "25"}, {"b", "-"}, {"A", "100"}, {"c", "---"}, {"a", "3"}};
    for (const auto& [name, ping] : rows) {
        const int row = Window_->AddServer(QStringLiteral("10.0.0.1"), 1, gtQuake3);
        Window_->ChangeServer(row, [&](TGenericServer& server) {
            server.Name = name.toLatin1();
            server.Info.Ping = ping.toUInt();
        });
        Window_->SetCell(row, TServerListModel::colName, name);
        Window_->SetCell(row, TServerListModel::colPing, ping);
    }
    QHeaderView* header = List()->header();
    const auto column = [this](int which) {
        QStringList texts;
        for (int row = 0; row < Window_->ServerCount(); ++row) {
            texts << Cell(row, which);
        }
        return texts;
    };
    const QPoint pingHeader(header->sectionViewportPosition(TServerListModel::colPing) + 5, 5);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, pingHeader);
    // "-" and "---" count as 0 and keep their order among themselves.
    QCOMPARE(column(TServerListModel::colPing), (QStringList{"-", "---", "3", "25", "100"}));
    QCOMPARE(header->sortIndicatorSection(), int(TServerListModel::colPing));
    QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, pingHeader);
    QCOMPARE(column(TServerListModel::colPing), (QStringList{"100", "25", "3", "-", "---"}));

    // A changed row stays where it is until the next click.
    Window_->SetCell(0, TServerListModel::colName, "zz");
    Window_->SetCell(0, TServerListModel::colPing, "0");
    QCOMPARE(column(TServerListModel::colPing).first(), QStringLiteral("0"));

    const QPoint nameHeader(header->sectionViewportPosition(TServerListModel::colName) + 5, 5);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, nameHeader);
    QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
    // In the user's locale and case-sensitive: each capital was added before
    // its small letter, so a sort that ignored case would keep them so and
    // break the order below.
    const QStringList names = column(TServerListModel::colName);
    for (qsizetype i = 1; i < names.size(); ++i) {
        QVERIFY2(names[i - 1].localeAwareCompare(names[i]) <= 0, qPrintable(names.join(',')));
    }
}

void TestFrmServerList::queryAllDoesNotHoldTheLoop()
{
    TFakeUdpServer& fake = NewServer(Q3StatusReply("Many", "m", 4));
    const int count = 600;
    for (int i = 0; i < count; ++i) {
        AddQ3(fake);
    }
    Settings_->Change([](TSettingsValues& values) {
        values.NoLimit = true;
        values.QueryTimeout = 3000;
    });
    Window_->QueryAll();
    // The call returns after a first slice; the rest follows on later turns.
    QVERIFY(Window_->IsDispatching());
    QVERIFY(Window_->SentCount() < count);
    WaitForRound();
    QCOMPARE(Window_->SentCount(), count);
    for (int row = 0; row < count; ++row) {
        QCOMPARE(Window_->Server(row)->Status, qsIdle);
    }
}

void TestFrmServerList::queryDelayIsTimed()
{
    Settings_->Change([](TSettingsValues& values) {
        values.UseDelay = true;
        values.QueryDelay = 60;
    });
    TFakeUdpServer& fake = NewServer(Q3StatusReply("D", "m", 4));
    for (int i = 0; i < 3; ++i) {
        AddQ3(fake);
    }
    QElapsedTimer clock;
    clock.start();
    Window_->QueryAll();
    // Nothing goes out before the first delay, and the window answers meanwhile.
    QCOMPARE(Window_->SentCount(), 0);
    WaitForRound();
    QVERIFY2(clock.elapsed() >= 3 * 60 - 5, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(fake.RequestCount(), 3);
}

void TestFrmServerList::keysTipsAndMenu()
{
    TFakeUdpServer& fake = NewServer(Q3StatusReply("K", "m", 4));
    AddQ3(fake);
    List()->setFocus();
    // Ctrl+A queries all rather than selecting all rows.
    QTest::keyClick(List(), Qt::Key_A, Qt::ControlModifier);
    QTRY_COMPARE_WITH_TIMEOUT(fake.RequestCount(), 1, 5000);
    Select({0});
    QTest::keyClick(List(), Qt::Key_S, Qt::ControlModifier);
    QTRY_COMPARE_WITH_TIMEOUT(fake.RequestCount(), 2, 5000);

    // A long cell shows a tip only while its column is too narrow for it.
    const int row = Window_->AddServer(QStringLiteral("192.168.100.200"), 27960, gtQuake3);
    auto* view = Window_->findChild<TServerListView*>(QStringLiteral("lvServers"));
    const QModelIndex address = view->model()->index(row, TServerListModel::colAddress);
    view->header()->resizeSection(TServerListModel::colAddress, 30);
    QVERIFY(view->IsElided(address));
    view->header()->resizeSection(TServerListModel::colAddress, 400);
    QVERIFY(!view->IsElided(address));

    // The pop-up menu opens only over a selection.
    auto* menu = Window_->findChild<QMenu*>(QStringLiteral("pmMenu"));
    view->selectionModel()->clear();
    emit view->customContextMenuRequested(QPoint(5, 5));
    QVERIFY(!menu->isVisible());
    Select({row});
    emit view->customContextMenuRequested(QPoint(5, 5));
    QVERIFY(menu->isVisible());
    menu->close();
}

void TestFrmServerList::rowsPaintDuringTheRound()
{
    // One server answers late and keeps the round open; the others answer at
    // once and must show before the round ends, as the user sees them.
    Settings_->Change([](TSettingsValues& values) { values.QueryTimeout = 5000; });
    AddQ3(NewServer(Q3StatusReply("Late", "m", 4), TBehaviour::AnswerLate, 1500));
    QList<int> quick;
    for (int i = 0; i < 4; ++i) {
        quick << AddQ3(NewServer(Q3StatusReply("Quick " + QByteArray::number(i), "q3dm1", 8)));
    }
    TPaintProbe paints(List()->viewport());
    RecordChanges(paints);
    // Per answered server, when it answered and how many repaints the view
    // had been told of by then.
    QHash<std::int32_t, QPair<qint64, qsizetype>> answered;
    connect(&Window_->Querier(), &TServerQuerier::Answered, this, [&](std::int32_t id) {
        answered.insert(id, {paints.Now(), Changes_.size()});
    });
    const auto shown = [&](int row) {
        const std::int32_t id = Window_->Server(row)->Id;
        return answered.contains(id) && ChangedSince(row, answered[id].second);
    };

    Window_->QueryAll();
    QTRY_VERIFY_WITH_TIMEOUT(std::all_of(quick.begin(), quick.end(), shown), 1000);
    QCOMPARE(Window_->OutstandingCount(), 1); // the round still waits
    const qint64 told = Changes_.last().At;
    QTRY_VERIFY_WITH_TIMEOUT(paints.LastMs() >= told, 1000);
    QCOMPARE(Window_->OutstandingCount(), 1);
    for (int row : quick) {
        // What that paint drew: the answered row in navy with its texts.
        QCOMPARE(RowColour(row), Rgb(0x00800000));
        QCOMPARE(Cell(row, TServerListModel::colMap), QStringLiteral("q3dm1"));
        const auto [at, seen] = answered[Window_->Server(row)->Id];
        const qint64 latency = ChangeAfter(row, seen)->At - at;
        QVERIFY2(latency < 500, qPrintable(QString::number(latency)));
    }

    WaitForRound();
    QTRY_VERIFY_WITH_TIMEOUT(shown(0), 1000);
    // Repaints are coalesced: at most one per 20 ms frame, and one at the end.
    QVERIFY2(Changes_.size() <= paints.Now() / TfrmServerList::FrameMs + 2,
             qPrintable(QString::number(Changes_.size())));
}

void TestFrmServerList::followUpAfterTheRoundPaints()
{
    // A Tribes 2 server answers its ping at once, its info only after the
    // round has ended: the info must still reach the screen.
    TScriptedGameServer script;
    script.Name = "Tribes 2 server";
    script.Players = {"Ace"};
    QByteArray infoRequest;
    TFakeUdpServer& fake = NewServer({});
    fake.SetResponder([&](const QByteArray& request) {
        if (request.startsWith('\x12')) {
            infoRequest = request;
            return QList<QByteArray>{};
        }
        return GameReply(gtTribes2, request, script);
    });
    const int row = Window_->AddServer(fake.Address(), fake.Port(), gtTribes2);
    TPaintProbe paints(List()->viewport());
    RecordChanges(paints);
    QSignalSpy finished(Window_, &TfrmServerList::QueryRoundFinished);
    Window_->QueryServer(row);
    QVERIFY(finished.wait(5000));
    QTRY_VERIFY_WITH_TIMEOUT(!infoRequest.isEmpty(), 5000);
    // The ping reply names no map yet.
    QCOMPARE(Cell(row, TServerListModel::colMap), QString());

    const qsizetype seen = Changes_.size();
    fake.SendToLastClient(GameReply(gtTribes2, infoRequest, script).first());
    QTRY_VERIFY_WITH_TIMEOUT(ChangedSince(row, seen), 1000);
    QTRY_VERIFY_WITH_TIMEOUT(paints.LastMs() >= Changes_.last().At, 1000);
    QCOMPARE(Cell(row, TServerListModel::colMap), QStringLiteral("m1 (Capture)"));
    QCOMPARE(Cell(row, TServerListModel::colPlayers), QStringLiteral("1/8"));
}

void TestFrmServerList::overlappingRounds()
{
    // "Query all" twice on a server that answers late: the first answer
    // belongs to the first round, and the second round waits for its own.
    Settings_->Change([](TSettingsValues& values) { values.QueryTimeout = 2000; });
    const int row = AddQ3(NewServer(Q3StatusReply("Twice", "m", 4), TBehaviour::AnswerLate, 150));
    QList<int> outstandingAtAnswer;
    connect(&Window_->Querier(), &TServerQuerier::Answered, this,
            [&] { outstandingAtAnswer << Window_->OutstandingCount(); });
    QSignalSpy finished(Window_, &TfrmServerList::QueryRoundFinished);
    Window_->QueryAll();
    Window_->QueryAll();
    QTRY_COMPARE_WITH_TIMEOUT(outstandingAtAnswer.size(), 2, 5000);
    QCOMPARE(outstandingAtAnswer, (QList<int>{1, 0}));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(Window_->Server(row)->Status, qsIdle);
}

void TestFrmServerList::removeScatteredSelection()
{
    // Every other row of 4,000 selected, then removed: one selection range
    // per row, and as many runs of rows for the model.
    const int count = 4000;
    QList<TServerAddress> servers;
    for (int i = 0; i < count; ++i) {
        servers.append({QStringLiteral("10.0.%1.%2").arg(i / 250).arg(i % 250), 1 + i, gtQuake3});
    }
    Window_->AddServers(servers);
    QList<int> rows;
    for (int row = 0; row < count; row += 2) {
        rows << row;
    }
    Select(rows);
    QElapsedTimer clock;
    clock.start();
    Window_->RemoveSelected();
    const qint64 ms = clock.elapsed();
    QCOMPARE(Window_->ServerCount(), count / 2);
    for (int row = 0; row < Window_->ServerCount(); ++row) {
        QCOMPARE(Window_->Server(row)->Info.Port, 2 + 2 * row);
    }
    QVERIFY(!List()->selectionModel()->hasSelection());
    QVERIFY2(ms < 1000, qPrintable(QString::number(ms) + " ms"));

    // Removing other scattered rows (every third, in more runs than are
    // announced one by one) keeps the selection and current row of the
    // rest, by their records.
    QList<int> selected;
    for (int row = 1; row < Window_->ServerCount(); row += 3) {
        selected << row;
    }
    Select(selected);
    const std::int32_t current = Window_->Server(selected.last())->Id;
    List()->selectionModel()->setCurrentIndex(List()->model()->index(selected.last(), 0),
                                              QItemSelectionModel::NoUpdate);
    QList<int> removed;
    QList<std::int32_t> keptIds;
    for (int row = 0; row < Window_->ServerCount(); ++row) {
        if (row % 3 == 0) {
            removed << row;
        } else if (row % 3 == 1) {
            keptIds << Window_->Server(row)->Id;
        }
    }
    QVERIFY(removed.size() > TServerListModel::RemoveRunsAtMost);
    Window_->RemoveServers(removed);
    QList<std::int32_t> selectedIds;
    for (int row : Window_->SelectedRows()) {
        selectedIds << Window_->Server(row)->Id;
    }
    QCOMPARE(selectedIds, keptIds);
    QCOMPARE(Window_->Server(List()->currentIndex().row())->Id, current);
}

void TestFrmServerList::cellsAndRecordChanges()
{
    // What a ping sweep does to a row: texts of its own in the cells, the
    // record left alone; or a round trip into the record and its cell.
    TFakeUdpServer& fake = NewServer(Q3StatusReply("Pinged", "q3dm2", 8));
    const int row = AddQ3(fake);
    Window_->QueryServer(row);
    WaitForRound();
    TPaintProbe paints(List()->viewport());
    RecordChanges(paints);

    Window_->SetCell(row, TServerListModel::colName, QStringLiteral("NO PING REPLY"));
    for (int column :
         {TServerListModel::colMap, TServerListModel::colPlayers, TServerListModel::colPing}) {
        Window_->SetCell(row, column, QStringLiteral("---"));
    }
    QTRY_VERIFY_WITH_TIMEOUT(ChangedSince(row, 0), 1000);
    QCOMPARE(Cells(row).mid(0, 4), (QStringList{"NO PING REPLY", "---", "---", "---"}));
    QCOMPARE(Window_->Server(row)->Name, QByteArray("Pinged"));
    QCOMPARE(Window_->Server(row)->Map, QByteArray("q3dm2"));

    const qsizetype seen = Changes_.size();
    Window_->ChangeServer(row, [](TGenericServer& server) { server.Info.Ping = 42; });
    Window_->SetCell(row, TServerListModel::colPing, QStringLiteral("42"));
    QTRY_VERIFY_WITH_TIMEOUT(ChangedSince(row, seen), 1000);
    QCOMPARE(Window_->Server(row)->Info.Ping, 42u);
    QCOMPARE(Cell(row, TServerListModel::colPing), QStringLiteral("42"));

    // The next reply writes every cell anew.
    Window_->QueryServer(row);
    WaitForRound();
    QCOMPARE(Cell(row, TServerListModel::colName), QStringLiteral("Pinged"));
    QCOMPARE(Cell(row, TServerListModel::colMap), QStringLiteral("q3dm2"));
}

QTEST_MAIN(TestFrmServerList)
#include "tst_frmserverlist.moc"
