#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <memory>

#include "browser/frmserverlist.h"
#include "browser/masterrequests.h"
#include "browser/serverlistmodel.h"
#include "core/masterlist.h"
#include "core/settings.h"
#include "core/settingsstore.h"
#include "fakeudpserver.h"
#include "masters/hlmaster.h"
#include "masters/q3master.h"
#include "masters/t2master.h"
#include "masters/tribesmaster.h"
#include "scripteddialogs.h"
#include "tempappfolder.h"
#include "wire/masterwire.h"

using TKind = TScriptedDialogs::TKind;

namespace {

QList<TMasterServer> Listed(int count)
{
    QList<TMasterServer> servers;
    for (int i = 0; i < count; ++i) {
        servers.append(
            {QStringLiteral("10.%1.%2.%3").arg(i / 65536).arg(i / 256 % 256).arg(i % 256),
             20000 + i});
    }
    return servers;
}

// The datagrams a master of Game sends for Servers, at most MaxDatagram bytes each.
QList<QByteArray> Answer(TGameType game, const QList<TMasterServer>& servers, qsizetype maxDatagram)
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

class TestMasterRequests : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void menuFromStore();
    void builtInMenuWithoutKey();
    void answers_data();
    void answers();
    void silence_data();
    void silence();
    void unresolvableHost();
    void gameWithoutMasterProtocol();
    void askingTwiceDoublesTheRows();
    void largeAnswerIsAddedInSlices();
    void selectionError();

private:
    void AddMaster(const QString& game, const QString& host, int port);
    void Show();
    QAction* Item(int game, int master) const;
    TMaster& Component(TGameType game) const;

    std::unique_ptr<TTempAppFolder> Folder_;
    std::unique_ptr<TSettings> Settings_;
    std::unique_ptr<TScriptedDialogs> Dialogs_;
    std::unique_ptr<TFileSettingsStore> Store_;
    std::unique_ptr<TfrmServerList> Window_;
    std::unique_ptr<TFakeUdpServer> Master_;
};

void TestMasterRequests::init()
{
    Folder_ = std::make_unique<TTempAppFolder>();
    Settings_ = std::make_unique<TSettings>();
    Dialogs_ = std::make_unique<TScriptedDialogs>();
    Store_ = std::make_unique<TFileSettingsStore>(TFileSettingsStore::DefaultPath());
    Window_ = std::make_unique<TfrmServerList>(*Settings_, *Dialogs_, *Store_);
    Master_ = std::make_unique<TFakeUdpServer>();
}

void TestMasterRequests::cleanup()
{
    Window_.reset();
    Master_.reset();
    Store_.reset();
    Dialogs_.reset();
    Settings_.reset();
    Folder_.reset();
}

void TestMasterRequests::AddMaster(const QString& game, const QString& host, int port)
{
    Store_->SetValue(MastersKey + QLatin1Char('\\') + game, host, TStoreValue::Integer(port));
}

void TestMasterRequests::Show()
{
    Window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(Window_.get()));
}

QAction* TestMasterRequests::Item(int game, int master) const
{
    auto* menu = Window_->findChild<QMenu*>(QStringLiteral("miMasterGame%1").arg(game));
    return menu ? menu->findChild<QAction*>(QStringLiteral("miMasterServ%1").arg(master)) : nullptr;
}

TMaster& TestMasterRequests::Component(TGameType game) const
{
    TMasterRequests& masters = Window_->Masters();
    switch (game) {
    case gtHalfLife:
        return masters.HLMaster();
    case gtQuake3:
        return masters.Q3Master();
    case gtTribes:
        return masters.TribesMaster();
    default:
        return masters.T2Master();
    }
}

void TestMasterRequests::menuFromStore()
{
    AddMaster("Tribes", "t1.example.net", 28000);
    AddMaster("Half-Life", "hl.example.net", 27010);
    AddMaster("Tribes", "10.0.0.1", 28001);
    Show();
    auto* import = Window_->findChild<QMenu*>(QStringLiteral("miListImport"));
    QVERIFY(import->isEnabled());
    QStringList shown;
    for (QAction* game : import->actions()) {
        QStringList items;
        for (QAction* item : game->menu()->actions()) {
            items << item->objectName() + '=' + item->text();
        }
        shown << game->menu()->objectName() + '=' + game->text() + ": " + items.join(", ");
    }
    QCOMPARE(shown, (QStringList{"miMasterGame0=Tribes: miMasterServ0=t1.example.net:28000, "
                                 "miMasterServ1=10.0.0.1:28001",
                                 "miMasterGame1=Half-Life: miMasterServ0=hl.example.net:27010"}));
    // The store is read, never written.
    QCOMPARE(Store_->ValueNames(MastersKey + "\\Tribes").size(), 2);
}

void TestMasterRequests::builtInMenuWithoutKey()
{
    Show();
    QStringList games;
    for (int i = 0; Item(i, 0); ++i) {
        games << qobject_cast<QMenu*>(Item(i, 0)->parent())->title();
    }
    QCOMPARE(games.size(), BuiltInMasters().size());
    for (int i = 0; i < games.size(); ++i) {
        QCOMPARE(games[i], BuiltInMasters()[i].Name);
        QCOMPARE(Item(i, 0)->text(), MasterCaption(BuiltInMasters()[i].Masters.first()));
    }
    QVERIFY(!Store_->KeyExists(MastersKey));
}

void TestMasterRequests::answers_data()
{
    QTest::addColumn<QString>("game");
    QTest::addColumn<int>("servers");
    QTest::addColumn<int>("datagramSize"); // 0: one datagram
    QTest::addColumn<bool>("oddFirst");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("rows");
    const struct
    {
        const char* Game;
        const char* Received;
        const char* Odd;
        int Small; // a datagram size that splits the answer
    } games[] = {
        {"Half-Life", "Half-life", "Half-life", 6 + 6 * 3},
        {"Quake 3", "Quake 3", "Quake 3", 22 + 7 * 3 + 7},
        {"Tribes", "Starsiege: Tribes", "Tribes", 40},
        {"Tribes 2", "Tribes II", "Tribes II", 10 + 6 * 3},
    };
    for (const auto& game : games) {
        const QString received = QStringLiteral("Received %1 ") + game.Received + " servers.";
        QTest::addRow("%s, one datagram", game.Game)
            << game.Game << 5 << 0 << false << received.arg(5) << 5;
        QTest::addRow("%s, many datagrams", game.Game)
            << game.Game << 40 << game.Small << false << received.arg(40) << 40;
        QTest::addRow("%s, odd packet first", game.Game)
            << game.Game << 5 << 0 << true << received.arg(5) << 5;
    }
}

void TestMasterRequests::answers()
{
    QFETCH(QString, game);
    QFETCH(int, servers);
    QFETCH(int, datagramSize);
    QFETCH(bool, oddFirst);
    QFETCH(QString, status);
    QFETCH(int, rows);
    const TGameType type = GameTypeFromName(game);
    const QList<TMasterServer> listed = Listed(servers);
    QList<QByteArray> replies = Answer(type, listed, datagramSize ? datagramSize : 1400);
    QVERIFY(datagramSize == 0 ? replies.size() == 1 : replies.size() > 3);
    if (oddFirst) {
        // An odd first datagram is reported, and the answer after it still counts.
        replies.prepend("garbage that is no answer");
    }
    Master_->SetReplies(replies);
    AddMaster(game, Master_->Address(), Master_->Port());
    Show();

    Item(0, 0)->trigger();
    QCOMPARE(Window_->StatusText(), QStringLiteral("Asking 127.0.0.1:%1 for %2 servers...")
                                        .arg(Master_->Port())
                                        .arg(status.section(' ', 2, -2)));
    QTRY_COMPARE_WITH_TIMEOUT(Window_->ServerCount(), rows, 5000);
    QTRY_COMPARE(Window_->StatusText(), status);
    QCOMPARE(Master_->Requests(), QList<QByteArray>{type == gtHalfLife ? THLMaster::Packet()
                                                    : type == gtQuake3 ? TQ3Master::Packet(48)
                                                    : type == gtTribes ? TTribesMaster::Packet()
                                                                       : TT2Master::Packet()});
    for (int row = 0; row < rows; ++row) {
        const TGenericServer* server = Window_->Server(row);
        QCOMPARE(server->GameType, type);
        QCOMPARE(server->Info.Host, listed[row].IP);
        QCOMPARE(server->Info.Port, listed[row].Port);
        QCOMPARE(server->Status, qsNew);
        QCOMPARE(server->Name, QByteArray("Unknown"));
    }
    QCOMPARE(Window_->Masters().ReceivedCount(), rows);
    QCOMPARE(Window_->SentCount(), 0); // listed servers are not queried
    QCOMPARE(Dialogs_->Shown().size(), 0);
}

void TestMasterRequests::silence_data()
{
    QTest::addColumn<QString>("game");
    QTest::addColumn<bool>("odd");
    QTest::addColumn<QString>("status");
    for (const char* game : {"Half-Life", "Quake 3", "Tribes", "Tribes 2"}) {
        QTest::addRow("%s, silent", game) << game << false << "Master server did not respond!";
    }
    QTest::newRow("Half-Life, only an odd packet")
        << "Half-Life" << true
        << "Received an odd packet from the Half-life Master server. Aborted request.";
    QTest::newRow("Quake 3, only an odd packet")
        << "Quake 3" << true
        << "Received an odd packet from the Quake 3 Master server. Aborted request.";
    QTest::newRow("Tribes, only an odd packet")
        << "Tribes" << true
        << "Received an odd packet from the Tribes Master server. Aborted request.";
    QTest::newRow("Tribes 2, only an odd packet")
        << "Tribes 2" << true
        << "Received an odd packet from the Tribes II Master server. Aborted request.";
}

void TestMasterRequests::silence()
{
    QFETCH(QString, game);
    QFETCH(bool, odd);
    QFETCH(QString, status);
    if (odd) {
        Master_->SetReply("\x01\x02 odd");
    } else {
        Master_->SetBehaviour(TFakeUdpServer::TBehaviour::Silent);
    }
    AddMaster(game, Master_->Address(), Master_->Port());
    Show();
    Component(GameTypeFromName(game)).SetTimeout(150);
    Item(0, 0)->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(Window_->StatusText(), status, 5000);
    QCOMPARE(Window_->ServerCount(), 0);
    QCOMPARE(Master_->RequestCount(), 1);
}

void TestMasterRequests::unresolvableHost()
{
    AddMaster("Quake 3", "no-such-master.invalid", 27950);
    AddMaster("Quake 3", Master_->Address(), Master_->Port());
    Master_->SetReplies(Answer(gtQuake3, Listed(3), 1400));
    Show();
    Item(0, 0)->trigger();
    const QString asking = "Asking no-such-master.invalid:27950 for Quake 3 servers...";
    QCOMPARE(Window_->StatusText(), asking);
    QTRY_COMPARE_WITH_TIMEOUT(Dialogs_->Shown().size(), 1, 15000);
    QCOMPARE(Dialogs_->Shown().first().Kind, TKind::Error);
    QCOMPARE(Dialogs_->Shown().first().Text, QStringLiteral("Host Lookup Canceled"));
    QCOMPARE(Window_->StatusText(), asking);
    QCOMPARE(Window_->ServerCount(), 0);

    // The program carries on: the next master answers.
    Item(0, 1)->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(Window_->ServerCount(), 3, 5000);
    QTRY_COMPARE(Window_->StatusText(), QStringLiteral("Received 3 Quake 3 servers."));
}

void TestMasterRequests::gameWithoutMasterProtocol()
{
    AddMaster("QUAKE 2", Master_->Address(), Master_->Port());
    Show();
    Window_->ShowStatus("before");
    Item(0, 0)->trigger();
    QCOMPARE(Window_->StatusText(),
             QStringLiteral("Morvix does not support Master Requests for that game. Aborting ..."));
    QTest::qWait(0);
    QCOMPARE(Master_->RequestCount(), 0);
}

void TestMasterRequests::askingTwiceDoublesTheRows()
{
    Master_->SetReplies(Answer(gtTribes, Listed(30), 100));
    AddMaster("tribes", Master_->Address(), Master_->Port());
    Show();
    QList<int> counts;
    connect(&Window_->Model(), &QAbstractItemModel::rowsInserted, this,
            [&] { counts << Window_->Masters().ReceivedCount(); });
    Item(0, 0)->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(Window_->ServerCount(), 30, 5000);
    counts.clear();
    Item(0, 0)->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(Window_->ServerCount(), 60, 5000);
    QTRY_COMPARE(Window_->StatusText(), QStringLiteral("Received 30 Starsiege: Tribes servers."));
    // The count starts again with the second answer.
    QVERIFY(!counts.isEmpty());
    QVERIFY(counts.first() >= 1);
    QCOMPARE(counts.last(), 30);
    QCOMPARE(Window_->Server(30)->Info.Host, Window_->Server(0)->Info.Host);
}

void TestMasterRequests::largeAnswerIsAddedInSlices()
{
    const int servers = 10000;
    Master_->SetReplies(Answer(gtHalfLife, Listed(servers), 1400));
    AddMaster("Half-Life", Master_->Address(), Master_->Port());
    Show();
    QList<int> counts;
    connect(&Window_->Model(), &QAbstractItemModel::rowsInserted, this,
            [&] { counts << Window_->Masters().ReceivedCount(); });
    Item(0, 0)->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(Window_->ServerCount(), servers, 10000);
    QTRY_COMPARE(Window_->StatusText(), QStringLiteral("Received 10000 Half-life servers."));
    // The rows come in batches, one per turn of the event loop: never one
    // insertion per server, never all in one, and the count runs with them.
    QVERIFY2(counts.size() >= servers / TMasterRequests::SliceCount,
             qPrintable(QString::number(counts.size())));
    QVERIFY2(counts.size() <= servers / 10, qPrintable(QString::number(counts.size())));
    QVERIFY(std::is_sorted(counts.begin(), counts.end()));
    QCOMPARE(counts.last(), servers);
    QCOMPARE(Window_->Server(servers - 1)->Info.Port, 20000 + servers - 1);
}

void TestMasterRequests::selectionError()
{
    Show();
    QObject notAnItem;
    Window_->Masters().OnMasterClick(&notAnItem);
    QCOMPARE(Dialogs_->Shown().size(), 1);
    QCOMPARE(Dialogs_->Shown().first().Text, QStringLiteral("Master Selection error."));
}

QTEST_MAIN(TestMasterRequests)
#include "tst_masterrequests.moc"
