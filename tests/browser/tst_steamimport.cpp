// Half-Life servers of today through the window: a Steam-kind master of the
// simulator fills the list from the Import menu, and the rows answer.
#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include <memory>

#include "browser/frmserverlist.h"
#include "browser/serverlistmodel.h"
#include "core/masterlist.h"
#include "core/settings.h"
#include "core/settingsstore.h"
#include "paintprobe.h"
#include "simulator.h"
#include "windowfixture.h"

class TestSteamImport : public QObject
{
    Q_OBJECT

private slots:
    void importedRowsAnswer_data();
    void importedRowsAnswer();
};

void TestSteamImport::importedRowsAnswer_data()
{
    QTest::addColumn<QString>("masterKind"); // the simulator's --hl-master
    QTest::addColumn<QString>("forms");      // the simulator's --hl-form
    QTest::addColumn<int>("pageSize");
    QTest::newRow("Steam master, Steam servers") << "steam"
                                                 << "steam" << 231;
    // Pages of 7 servers: the list comes in several requests.
    QTest::newRow("Steam master paged, every form in turn") << "steam"
                                                            << "mixed" << 7;
    QTest::newRow("documented master, Steam servers") << "old"
                                                      << "steam" << 231;
}

void TestSteamImport::importedRowsAnswer()
{
    QFETCH(QString, masterKind);
    QFETCH(QString, forms);
    QFETCH(int, pageSize);
    constexpr int count = 24;
    TSimConfig config;
    QString error;
    bool help = false;
    QVERIFY(ParseSimArguments({"--games", "hl", "--servers", QString::number(count), "--hl-master",
                               masterKind, "--hl-form", forms, "--hl-master-page",
                               QString::number(pageSize)},
                              config, error, help));
    TSimulator simulator(config);
    QVERIFY2(simulator.Start(error), qPrintable(error));
    const bool steam = masterKind == u"steam";
    const TSimMaster* master =
        steam ? simulator.HLSteamMaster() : simulator.Master(TMasterProtocol::HalfLife);
    QVERIFY(master);

    TWindowFixture x;
    x.Settings.Change([](TSettingsValues& values) {
        values.QueryTimeout = 250;
        values.Retry = 0;
    });
    TFileSettingsStore& store = x.OpenStore();
    WriteMasterList(
        store,
        {{"Half-Life",
          {{"127.0.0.1", master->Port(), steam ? TMasterKind::Steam : TMasterKind::Documented}}}});
    TfrmServerList& window = x.Build();
    QVERIFY(x.Show());

    auto* menu = window.findChild<QMenu*>(QStringLiteral("miMasterGame0"));
    QVERIFY(menu);
    auto* item = menu->findChild<QAction*>(QStringLiteral("miMasterServ0"));
    QVERIFY(item);
    QCOMPARE(item->text(), QStringLiteral("127.0.0.1:%1").arg(master->Port()));
    item->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(window.ServerCount(), count, 10000);
    QTRY_COMPARE(window.StatusText(), QStringLiteral("Received %1 Half-life servers.").arg(count));

    auto* view = window.findChild<QTreeView*>(QStringLiteral("lvServers"));
    QVERIFY(view);
    TPaintProbe paints(view->viewport());
    const int paintedBefore = paints.Count();
    QSignalSpy finished(&window, &TfrmServerList::QueryRoundFinished);
    window.QueryAll();
    QVERIFY(finished.wait(20000));

    QHash<int, const TSimServer*> byPort;
    for (const TSimServer* server : simulator.ServersOf(gtHalfLife)) {
        byPort.insert(server->Port(), server);
    }
    for (int row = 0; row < count; ++row) {
        const TGenericServer& record = *window.Server(row);
        const TSimServer* server = byPort.value(record.Info.Port);
        QVERIFY2(server, qPrintable(QString::number(record.Info.Port)));
        QCOMPARE(record.Status, qsIdle);
        const THLInfo& info = server->State().HLInfo;
        QCOMPARE(record.Name, info.Name);
        QCOMPARE(record.NumPlayers, int(info.NumPlayers));
        QCOMPARE(record.MaxPlayers, int(info.MaxPlayers));
        // The rules of either form reach the record too; they follow the
        // round's counted replies.
        QTRY_VERIFY(!window.Server(row)->Rules.isEmpty());
        QCOMPARE(window.Model().Cell(row, colName), QString::fromLatin1(info.Name));
        QCOMPARE(window.Model().Cell(row, colMap), QString::fromLatin1(info.Map));
    }
    // What the user sees: the view was repainted with the answers.
    QTRY_VERIFY(paints.Count() > paintedBefore);
}

QTEST_MAIN(TestSteamImport)
#include "tst_steamimport.moc"
