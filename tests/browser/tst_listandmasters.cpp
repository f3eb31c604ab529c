// The main window's server list file and master requests.
#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include <memory>

#include "browser/frmserverlist.h"
#include "browser/masterrequests.h"
#include "browser/serverlistmodel.h"
#include "core/masterlist.h"
#include "core/serverlistfile.h"
#include "core/settings.h"
#include "core/settingsio.h"
#include "core/settingsstore.h"
#include "fakeudpserver.h"
#include "gamereplies.h"
#include "masters/hlmaster.h"
#include "masters/hlsteammaster.h"
#include "masters/q3master.h"
#include "masters/q3multimaster.h"
#include "masters/t2master.h"
#include "masters/tribesmaster.h"
#include "testutil.h"
#include "windowfixture.h"
#include "wire/masterwire.h"

using TKind = TScriptedDialogs::TKind;

namespace {

const QByteArray kHeader = QByteArray(ServerListHeader) + "\r\n";

QByteArray Fields(const QList<QByteArray>& fields)
{
    return fields.join('\0');
}

QByteArray AddressOf(const TFakeUdpServer& server)
{
    return server.Address().toLatin1() + ':' + QByteArray::number(server.Port());
}

QList<TMasterServer> Listed(int count)
{
    QList<TMasterServer> servers;
    for (int i = 0; i < count; ++i) {
        servers.append({QStringLiteral("10.0.%1.%2").arg(i / 256).arg(i % 256), 20000 + i});
    }
    return servers;
}

// The datagrams a master of Game sends, at most MaxDatagram bytes each.
QList<QByteArray> Answer(TGameType game, const QList<TMasterServer>& servers,
                         qsizetype maxDatagram = 1400)
{
    switch (game) {
    case gtHalfLife:
        return EncodeHLMasterList(servers, maxDatagram);
    case gtQuake3:
        return EncodeQ3MasterList(servers, maxDatagram);
    case gtTribes:
        return EncodeTribesMasterList(servers, "Test Master", "Welcome", maxDatagram);
    default:
        return EncodeT2MasterList(servers, maxDatagram);
    }
}

} // namespace

class TestListAndMasters : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void loadAtFirstShow();
    void saveAtCloseAndLoadAgain();
    void unreadableOrUnwritableList();
    void startUpOrder();
    void closedBeforeFirstShowKeepsTheList();
    void importMenu();
    void answers_data();
    void answers();
    void noAnswer_data();
    void noAnswer();
    void unresolvableHostAndOtherGames();
    void largeAnswerIsAddedInSlices();
    void namesKeepTheirBytes();
    void listThatGivesNoServerIsKept();

private:
    void NewWindow();
    void Show();
    void AddMaster(const QString& game, const QString& host, int port);
    QAction* Item(int game, int master) const;
    QStringList Cells(int row) const;

    std::unique_ptr<TWindowFixture> X_;
    TSettings* Settings_ = nullptr;
    TScriptedDialogs* Dialogs_ = nullptr;
    TFileSettingsStore* Store_ = nullptr;
    TfrmServerList* Window_ = nullptr;
    std::unique_ptr<TFakeUdpServer> Master_;
    QString ListPath_;
};

void TestListAndMasters::init()
{
    X_ = std::make_unique<TWindowFixture>();
    Settings_ = &X_->Settings;
    Settings_->Change([](TSettingsValues& values) {
        values.QueryTimeout = 100;
        values.Retry = 0;
    });
    Dialogs_ = &X_->Dialogs;
    Store_ = &X_->OpenStore();
    Master_ = std::make_unique<TFakeUdpServer>();
    ListPath_ = TServerListFile::DefaultPath();
    NewWindow();
}

void TestListAndMasters::cleanup()
{
    X_.reset();
    Master_.reset();
}

void TestListAndMasters::NewWindow()
{
    Window_ = &X_->Build();
}

void TestListAndMasters::Show()
{
    QVERIFY(X_->Show());
}

void TestListAndMasters::AddMaster(const QString& game, const QString& host, int port)
{
    WriteMasterList(*Store_, {{game, {{host, port}}}});
}

QAction* TestListAndMasters::Item(int game, int master) const
{
    auto* menu = Window_->findChild<QMenu*>(QStringLiteral("miMasterGame%1").arg(game));
    return menu ? menu->findChild<QAction*>(QStringLiteral("miMasterServ%1").arg(master)) : nullptr;
}

QStringList TestListAndMasters::Cells(int row) const
{
    QStringList cells;
    for (int column = 0; column < TServerListModel::ColumnCount; ++column) {
        cells << Window_->Model().Cell(row, column);
    }
    return cells;
}

void TestListAndMasters::loadAtFirstShow()
{
    QVERIFY(WriteFileBytes(ListPath_, kHeader));
    Show();
    QCOMPARE(Window_->ServerCount(), 0);
    QCOMPARE(Window_->StatusText(), QString()); // a header alone says nothing

    NewWindow();
    QVERIFY(
        WriteFileBytes(ListPath_, kHeader + Bytes("Quake 3\x00"
                                                  "192.168.1.20:27950\x00My Server\x00q3dm17\x00"
                                                  "3/16\x00"
                                                  "48\x00"
                                                  "baseq3\x00"
                                                  "1\r\n"
                                                  "Heretic 2\x00"
                                                  "10.0.0.9\x00QUERY TIME OUT\x00---\x00---\x00---"
                                                  "\x00\x00"
                                                  "0\r\n")));
    Show();
    QCOMPARE(Window_->StatusText(), QStringLiteral("Successfully loaded 2 servers from disk db."));
    QCOMPARE(Cells(0), (QStringList{"My Server", "q3dm17", "3/16", "48", "Quake 3 / baseq3",
                                    "192.168.1.20:27950"}));
    QCOMPARE(Cells(1), (QStringList{"QUERY TIME OUT", "---", "---", "---", "Heretic 2 / ",
                                    "10.0.0.9:28001"}));
    const TGenericServer& first = *Window_->Server(0);
    QCOMPARE(first.Info.Port, 27950);
    QCOMPARE(int(first.Info.Ping), 48);
    QCOMPARE(first.MaxPlayers, 16);
    QCOMPARE(first.Status, qsNew);
    QVERIFY(first.Favorite && first.NoReply);
    QCOMPARE(Window_->Server(1)->GameType, gtHeretic2);
    // The favourite in its colour at once, the other black as a new row.
    const TColor red = (*Settings_)->Colors[csFavorite];
    QCOMPARE(Window_->Model().index(0, 0).data(Qt::ForegroundRole).value<QColor>(),
             QColor(red.Red(), red.Green(), red.Blue()));
    QCOMPARE(Window_->Model().index(1, 0).data(Qt::ForegroundRole).value<QColor>(),
             QColor(Qt::black));
}

void TestListAndMasters::saveAtCloseAndLoadAgain()
{
    Master_->SetBehaviour(TFakeUdpServer::TBehaviour::Silent);
    Show();
    Window_->AddServer("10.0.0.1", 27960, gtQuake3);
    Window_->AddServer(Master_->Address(), Master_->Port(), gtTribes);
    Window_->AddServer("10.0.0.3", 27015, gtHalfLife);
    Window_->SetFavorite(2, true);
    Window_->QueryServer(1);
    QTRY_COMPARE_WITH_TIMEOUT(Cells(1).first(), QStringLiteral("QUERY TIME OUT"), 5000);
    // Rows are written in the list's order.
    Window_->findChild<QTreeView*>("lvServers")
        ->sortByColumn(TServerListModel::colAddress, Qt::DescendingOrder);
    QVERIFY(Window_->close());
    QCOMPARE(ReadFileBytes(ListPath_), kHeader + "Tribes" + QByteArray(1, '\0') +
                                           "127.0.0.1:" + QByteArray::number(Master_->Port()) +
                                           Bytes("\x00QUERY TIME OUT\x00---\x00---\x00---\x00\x00"
                                                 "0\r\n"
                                                 "Half-Life\x00"
                                                 "10.0.0.3:27015\x00Unknown\x00-\x00-\x00-\x00\x00"
                                                 "1\r\n"
                                                 "Quake 3\x00"
                                                 "10.0.0.1:27960\x00Unknown\x00-\x00-\x00-\x00\x00"
                                                 "0\r\n"));

    NewWindow();
    Show();
    QCOMPARE(Window_->ServerCount(), 3);
    QCOMPARE(Cells(0), (QStringList{"QUERY TIME OUT", "---", "---", "---", "Tribes / ",
                                    "127.0.0.1:" + QString::number(Master_->Port())}));
    QCOMPARE(Cells(1), (QStringList{"Unknown", "-", "-", "-", "Half-Life / ", "10.0.0.3:27015"}));
    QVERIFY(Window_->Server(1)->Favorite && !Window_->Server(2)->Favorite);
}

void TestListAndMasters::unreadableOrUnwritableList()
{
    // A folder where the file goes: it can be neither read nor replaced.
    Show();
    Window_->AddServer("10.0.0.1", 27960, gtQuake3);
    QVERIFY(QDir().mkpath(ListPath_));
    QVERIFY(Window_->close());
    QCOMPARE(Dialogs_->Shown().size(), 1);
    QCOMPARE(Dialogs_->Shown().first().Kind, TKind::Error);
    QVERIFY(Dialogs_->Shown().first().Text.contains(ListPath_));

    // Unreadable at start: reported, and the close does not try to replace it.
    NewWindow();
    Show();
    QTRY_COMPARE(Dialogs_->Shown().size(), 2);
    QVERIFY(Dialogs_->Shown().last().Text.contains(ListPath_));
    QVERIFY(Window_->close());
    QCOMPARE(Dialogs_->Shown().size(), 2);
    QVERIFY(QFileInfo(ListPath_).isDir());
}

void TestListAndMasters::startUpOrder()
{
    // The masters step of the settings, then the list, then "Query all".
    TFakeUdpServer server;
    server.SetReply(Q3StatusReply("Listed", "q3dm6", 16, {}));
    QVERIFY(WriteFileBytes(
        ListPath_,
        kHeader + Fields({"Quake 3", AddressOf(server), "Kept", "m", "-", "-", "", "1"}) + "\r\n"));
    Store_->SetValue(SettingsKey(), "OSQueryALL", TStoreValue::Flag(true));
    Store_->SetValue(MastersKey + "\\Quake 3", "bad", TStoreValue::FromText("x"));
    AddMaster("Quake 3", "good", 27950);
    Show();
    QCOMPARE(Item(0, 0)->text(), QStringLiteral("good:27950"));
    QCOMPARE(Window_->Server(0)->Name, QByteArray("Kept"));
    QTRY_COMPARE_WITH_TIMEOUT(Window_->Model().Cell(0, TServerListModel::colName),
                              QStringLiteral("Listed"), 5000);
    QTRY_COMPARE(Dialogs_->Shown().size(), 1);
    QCOMPARE(Dialogs_->Shown().first().Text, QStringLiteral("Invalid data type for 'bad'"));
}

void TestListAndMasters::closedBeforeFirstShowKeepsTheList()
{
    // Started in the tray and closed from there: the list was never read.
    const QByteArray list = kHeader + Fields({"Tribes", "10.0.0.1", "n", "m", "-", "-", "", "0"});
    QVERIFY(WriteFileBytes(ListPath_, list));
    QVERIFY(Window_->close());
    QCOMPARE(ReadFileBytes(ListPath_), list);
}

void TestListAndMasters::importMenu()
{
    Show();
    // Without a masters key: the built-in masters, not written to the store.
    QCOMPARE(qobject_cast<QMenu*>(Item(0, 0)->parent())->title(), BuiltInMasters()[0].Name);
    QCOMPARE(Item(0, 0)->text(), MasterCaption(BuiltInMasters()[0].Masters[0]));
    QVERIFY(!Store_->KeyExists(MastersKey));

    NewWindow();
    AddMaster("Tribes", "t1.example.net", 28000);
    AddMaster("Half-Life", "hl.example.net", 27010);
    AddMaster("Tribes", "10.0.0.1", 28001);
    Show();
    QStringList shown;
    for (QAction* game : Window_->findChild<QMenu*>("miListImport")->actions()) {
        shown << game->menu()->objectName() + '=' + game->text();
        for (QAction* item : game->menu()->actions()) {
            shown << item->objectName() + '=' + item->text();
        }
    }
    QCOMPARE(shown, (QStringList{"miMasterGame0=Tribes", "miMasterServ0=t1.example.net:28000",
                                 "miMasterServ1=10.0.0.1:28001", "miMasterGame1=Half-Life",
                                 "miMasterServ0=hl.example.net:27010"}));
}

void TestListAndMasters::answers_data()
{
    QTest::addColumn<QString>("game");
    QTest::addColumn<int>("datagramSize");
    QTest::addColumn<bool>("oddFirst");
    QTest::addColumn<QString>("named"); // how the status texts name the game
    const struct
    {
        const char* Game;
        const char* Named;
        int Small; // a datagram size that splits the answer
    } games[] = {{"Half-Life", "Half-life", 24},
                 {"Quake 3", "Quake 3", 50},
                 {"Tribes", "Starsiege: Tribes", 40},
                 {"Tribes 2", "Tribes II", 28}};
    for (const auto& game : games) {
        QTest::addRow("%s, one datagram", game.Game) << game.Game << 1400 << false << game.Named;
        QTest::addRow("%s, many", game.Game) << game.Game << game.Small << false << game.Named;
        // An odd first datagram is reported; the answer after it still counts.
        QTest::addRow("%s, odd first", game.Game) << game.Game << 1400 << true << game.Named;
    }
}

void TestListAndMasters::answers()
{
    QFETCH(QString, game);
    QFETCH(int, datagramSize);
    QFETCH(bool, oddFirst);
    QFETCH(QString, named);
    const TGameType type = GameTypeFromName(game);
    const QList<TMasterServer> listed = Listed(40);
    QList<QByteArray> replies = Answer(type, listed, datagramSize);
    QVERIFY(replies.size() == 1 || replies.size() > 3);
    if (oddFirst) {
        replies.prepend("garbage that is no answer");
    }
    Master_->SetReplies(replies);
    AddMaster(game, Master_->Address(), Master_->Port());
    Show();
    Item(0, 0)->trigger();
    QCOMPARE(
        Window_->StatusText(),
        QStringLiteral("Asking 127.0.0.1:%1 for %2 servers...").arg(Master_->Port()).arg(named));
    QTRY_COMPARE_WITH_TIMEOUT(Window_->ServerCount(), 40, 5000);
    if (oddFirst && type == gtQuake3) {
        // Every version's answer starts with the odd datagram, the last one's too.
        QTRY_COMPARE(Window_->StatusText(), QStringLiteral("Received an odd packet from the Quake "
                                                           "3 Master server. Aborted request."));
    } else {
        QTRY_COMPARE(Window_->StatusText(), QStringLiteral("Received 40 %1 servers.").arg(named));
    }
    // A Quake 3 master is asked once per protocol version; the list is the
    // union, so the counts do not double.
    const QList<QByteArray> requests =
        type == gtHalfLife ? QList<QByteArray>{THLMaster::Packet()}
        : type == gtQuake3
            ? QList<QByteArray>{TQ3Master::Packet(48), TQ3Master::Packet(68), TQ3Master::Packet(71)}
        : type == gtTribes ? QList<QByteArray>{TTribesMaster::Packet()}
                           : QList<QByteArray>{TT2Master::Packet()};
    QTRY_COMPARE(Master_->Requests(), requests);
    QCOMPARE(Window_->ServerCount(), 40);
    for (int row : {0, 39}) {
        const TGenericServer& server = *Window_->Server(row);
        QCOMPARE(server.GameType, type);
        QCOMPARE(AddressText(server), listed[row].IP + ':' + QString::number(listed[row].Port));
        QCOMPARE(server.Status, qsNew);
    }
    QCOMPARE(Window_->SentCount(), 0); // listed servers are not queried
    QCOMPARE(Dialogs_->Shown().size(), 0);
}

void TestListAndMasters::noAnswer_data()
{
    QTest::addColumn<QString>("game");
    QTest::addColumn<QByteArray>("reply"); // empty: silence
    QTest::addColumn<QString>("status");
    const QString odd = "Received an odd packet from the %1 Master server. Aborted request.";
    const char* games[][2] = {{"Half-Life", "Half-life"},
                              {"Quake 3", "Quake 3"},
                              {"Tribes", "Tribes"},
                              {"Tribes 2", "Tribes II"}};
    for (const auto& game : games) {
        QTest::addRow("%s, silent", game[0])
            << game[0] << QByteArray() << QStringLiteral("Master server did not respond!");
        QTest::addRow("%s, odd packet", game[0])
            << game[0] << QByteArray("\x01 odd") << odd.arg(game[1]);
    }
}

void TestListAndMasters::noAnswer()
{
    QFETCH(QString, game);
    QFETCH(QByteArray, reply);
    QFETCH(QString, status);
    if (reply.isEmpty()) {
        Master_->SetBehaviour(TFakeUdpServer::TBehaviour::Silent);
    }
    Master_->SetReply(reply);
    AddMaster(game, Master_->Address(), Master_->Port());
    Show();
    TMasterRequests& masters = Window_->Masters();
    for (TMaster* component :
         std::initializer_list<TMaster*>{&masters.HLMaster(), &masters.Q3Master(),
                                         &masters.TribesMaster(), &masters.T2Master()}) {
        component->SetTimeout(150);
    }
    Item(0, 0)->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(Window_->StatusText(), status, 5000);
    QCOMPARE(Window_->ServerCount(), 0);
}

// A master that cannot be resolved is reported and changes nothing: the
// count of the answer before it stands, and the next master answers.
void TestListAndMasters::unresolvableHostAndOtherGames()
{
    AddMaster("Quake 3", Master_->Address(), Master_->Port());
    AddMaster("Quake 3", "no-such-master.invalid", 27950);
    AddMaster("QUAKE 2", Master_->Address(), Master_->Port());
    Master_->SetReplies(Answer(gtQuake3, Listed(3)));
    Show();
    Item(1, 0)->trigger();
    QCOMPARE(Window_->StatusText(),
             QStringLiteral("Morvix does not support Master Requests for that game. Aborting ..."));

    TMasterRequests& masters = Window_->Masters();
    // The answer to every protocol version is in before the next import.
    auto* q3 = masters.findChild<TQ3MultiMaster*>(QStringLiteral("Q3Master"));
    QVERIFY(q3);
    QSignalSpy listed(q3, &TQ3MultiMaster::OnListEnd);
    Item(0, 0)->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(Window_->ServerCount(), 3, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(listed.size(), 1, 5000);
    QCOMPARE(masters.ReceivedCount(), 3);
    // One request per protocol version; the unsupported game sent nothing.
    QCOMPARE(Master_->RequestCount(), DefaultQ3Protocols.size());

    Item(0, 1)->trigger();
    const QString asking = "Asking no-such-master.invalid:27950 for Quake 3 servers...";
    QCOMPARE(Window_->StatusText(), asking);
    QTRY_COMPARE_WITH_TIMEOUT(Dialogs_->Shown().size(), 1, 15000);
    QCOMPARE(Dialogs_->Shown().first().Kind, TKind::Error);
    QCOMPARE(Dialogs_->Shown().first().Text, QStringLiteral("Host Lookup Canceled"));
    QCOMPARE(Window_->StatusText(), asking);
    QCOMPARE(Window_->ServerCount(), 3);
    QCOMPARE(masters.ReceivedCount(), 3);

    // The next request that leaves starts the count again.
    Item(0, 0)->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(Window_->ServerCount(), 6, 5000);
    QTRY_COMPARE(Window_->StatusText(), QStringLiteral("Received 3 Quake 3 servers."));
    QCOMPARE(masters.ReceivedCount(), 3);
}

// Names are shown as the text rule says and written back byte for byte.
void TestListAndMasters::namesKeepTheirBytes()
{
    const QByteArray utf8 = "\xD0\x92\xD0\xBB\xD0\xB0\xD0\xB4's CTF";
    const QByteArray latin1 = "caf\xE9";
    const QByteArray contents =
        kHeader + Fields({"Quake 3", "10.0.0.2:27960", latin1, utf8, "2/8", "30", "", "0"}) +
        "\r\n" + Fields({"Quake 3", "10.0.0.1:27960", utf8, latin1, "1/8", "20", "baseq3", "0"}) +
        "\r\n";
    QVERIFY(WriteFileBytes(ListPath_, contents));
    // In the order the start-up sort by name keeps, so the file comes back
    // as it was.
    Show();
    QCOMPARE(Cells(0).mid(0, 2),
             (QStringList{QStringLiteral("café"), QStringLiteral("Влад's CTF")}));
    QCOMPARE(Cells(1).mid(0, 2),
             (QStringList{QStringLiteral("Влад's CTF"), QStringLiteral("café")}));
    QVERIFY(Window_->close());
    QCOMPARE(ReadFileBytes(ListPath_), contents);
}

// A list file that holds something but gives no server (line ends of
// another system) is moved aside and reported, not replaced at exit by an
// empty list.
void TestListAndMasters::listThatGivesNoServerIsKept()
{
    const QByteArray contents =
        QByteArray(ServerListHeader) + '\r' +
        Fields({"Quake 3", "10.0.0.1:27960", "Box", "q3dm17", "1/8", "20", "baseq3", "0"}) + '\r';
    QVERIFY(WriteFileBytes(ListPath_, contents));
    Show();
    QTRY_COMPARE(Dialogs_->Shown().size(), 1);
    QCOMPARE(Dialogs_->Shown().first().Kind, TKind::Warning);
    const QStringList aside = QDir(QFileInfo(ListPath_).absolutePath())
                                  .entryList({QFileInfo(ListPath_).fileName() + ".unread-*"});
    QCOMPARE(aside.size(), 1);
    QVERIFY2(Dialogs_->Shown().first().Text.contains(aside.first()),
             qPrintable(Dialogs_->Shown().first().Text));
    Window_->AddServer("10.0.0.5", 27960, gtQuake3);
    QVERIFY(Window_->close());
    QCOMPARE(ReadFileBytes(QFileInfo(ListPath_).absolutePath() + '/' + aside.first()), contents);
    QVERIFY(ReadFileBytes(ListPath_).contains("10.0.0.5:27960"));
}

void TestListAndMasters::largeAnswerIsAddedInSlices()
{
    const int servers = 10000;
    Master_->SetReplies(Answer(gtHalfLife, Listed(servers)));
    AddMaster("Half-Life", Master_->Address(), Master_->Port());
    Show();
    QList<int> counts;
    connect(&Window_->Model(), &QAbstractItemModel::rowsInserted, this,
            [&] { counts << Window_->Masters().ReceivedCount(); });
    Item(0, 0)->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(Window_->ServerCount(), servers, 10000);
    QTRY_COMPARE(Window_->StatusText(), QStringLiteral("Received 10000 Half-life servers."));
    // Batches, one per turn of the event loop: never one insertion per
    // server, never all in one, and the count runs with them.
    QVERIFY2(counts.size() >= servers / TMasterRequests::SliceCount &&
                 counts.size() <= servers / 10,
             qPrintable(QString::number(counts.size())));
    QVERIFY(std::is_sorted(counts.begin(), counts.end()));
    QCOMPARE(Window_->Server(servers - 1)->Info.Port, 20000 + servers - 1);
}

QTEST_MAIN(TestListAndMasters)
#include "tst_listandmasters.moc"
