#include <QJsonDocument>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include "core/masterlist.h"
#include "core/serverlistfile.h"
#include "core/settingsstore.h"
#include "simulator.h"
#include "testutil.h"

// Runs morvix-demo-setup as the demo does: its configuration folder is a
// temporary one, and the store it writes is read back with the program's
// own code.
class TestDemoSetup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void simulatorMasters();
    void mastersOfBothKinds();
    void refused_data();
    void refused();

private:
    int Run(const QStringList& arguments);

    std::unique_ptr<QTemporaryDir> Dir_;
    QString StorePath_;
    QString ListPath_;
    QByteArray Errors_;
};

void TestDemoSetup::init()
{
    Dir_ = std::make_unique<QTemporaryDir>();
    // This process looks for the store where the helper must write it.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(Dir_->filePath(QStringLiteral("config"))));
    StorePath_ = TFileSettingsStore::DefaultPath();
    QVERIFY(StorePath_.startsWith(Dir_->path()));
    ListPath_ = Dir_->filePath(QStringLiteral("program/morvix.dat"));
}

void TestDemoSetup::cleanup()
{
    Dir_.reset();
}

int TestDemoSetup::Run(const QStringList& arguments)
{
    QProcess helper;
    helper.setProgram(QStringLiteral(MORVIX_DEMO_SETUP));
    helper.setArguments(arguments);
    helper.start();
    if (!helper.waitForFinished(30000) || helper.exitStatus() != QProcess::NormalExit) {
        return -1;
    }
    Errors_ = helper.readAllStandardError();
    return helper.exitCode();
}

void TestDemoSetup::simulatorMasters()
{
    TSimConfig config;
    config.Servers = {{gtQuake3, 3},     {gtHalfLife, 2}, {gtTribes, 1}, {gtTribes2, 1},
                      {gtQuakeWorld, 2}, {gtKingpin, 1},  {gtSoF, 1}};
    TSimulator simulator(config);
    QString error;
    QVERIFY2(simulator.Start(error), qPrintable(error));
    const QString document = Dir_->filePath(QStringLiteral("sim.json"));
    QVERIFY(WriteFileBytes(document, QJsonDocument(simulator.BoundDocument()).toJson()));

    QCOMPARE(Run({QStringLiteral("--list"), ListPath_, document}), 0);

    // The "&Import" menu offers each game's simulated master, and a click
    // on it asks that master for that game.
    TFileSettingsStore store(StorePath_);
    QCOMPARE(store.Load(), TFileSettingsStore::TLoadResult::Loaded);
    const TMasterList list = ReadMasterList(store);
    QVERIFY(!list.BuiltIn);
    QVERIFY(list.InvalidValues.isEmpty());
    QCOMPARE(list.Games.size(), 4);
    for (const TMasterGame& game : list.Games) {
        QCOMPARE(game.Masters.size(), 1);
        const TMasterTarget target = MasterTargetOf(game.Name, MasterCaption(game.Masters[0]));
        QVERIFY2(target.Game != gtUnknown, qPrintable(game.Name));
        const TSimMaster* master = simulator.Master(GameInfo(target.Game)->Master);
        QVERIFY2(master, qPrintable(game.Name));
        QCOMPARE(target.Host, QStringLiteral("127.0.0.1"));
        QCOMPARE(target.Port, int(master->Port()));
    }

    // The list holds exactly the servers no master lists.
    TServerListFile file(ListPath_);
    QList<TServerListLine> lines;
    QCOMPARE(file.Read(lines), TServerListFile::TReadResult::Read);
    QSet<QString> listed;
    for (const TServerListLine& line : lines) {
        listed.insert(GameTypeName(line.GameType) + u' ' + QString::fromLatin1(line.Address));
    }
    QSet<QString> expected;
    for (const TSimServer* server : simulator.Servers()) {
        const TGameType game = server->State().Game;
        if (GameInfo(game)->Master == TMasterProtocol::None) {
            expected.insert(GameTypeName(game) + QStringLiteral(" 127.0.0.1:") +
                            QString::number(server->Port()));
        }
    }
    QCOMPARE(listed, expected);
    QCOMPARE(lines.size(), 4);
}

// A game with a master of each kind has one menu holding both; the store
// names masters by host, so the second goes by the machine's other name.
void TestDemoSetup::mastersOfBothKinds()
{
    TSimConfig config;
    config.Servers = {{gtHalfLife, 2}};
    config.HLSteamMaster = true;
    TSimulator simulator(config);
    QString error;
    QVERIFY2(simulator.Start(error), qPrintable(error));
    const QString document = Dir_->filePath(QStringLiteral("sim.json"));
    QVERIFY(WriteFileBytes(document, QJsonDocument(simulator.BoundDocument()).toJson()));
    QCOMPARE(Run({QStringLiteral("--list"), ListPath_, document}), 0);

    TFileSettingsStore store(StorePath_);
    QCOMPARE(store.Load(), TFileSettingsStore::TLoadResult::Loaded);
    QStringList masters;
    int halfLife = 0;
    for (const TMasterGame& game : ReadMasterList(store).Games) {
        if (GameTypeFromName(game.Name) != gtHalfLife) {
            continue;
        }
        ++halfLife;
        for (const TMasterEntry& master : game.Masters) {
            masters << MasterCaption(master);
        }
    }
    QCOMPARE(halfLife, 1);
    QCOMPARE(masters,
             (QStringList{"127.0.0.1:" +
                              QString::number(simulator.Master(TMasterProtocol::HalfLife)->Port()),
                          "localhost:" + QString::number(simulator.HLSteamMaster()->Port())}));
}

void TestDemoSetup::refused_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QByteArray>("store"); // an existing store file, or none
    QTest::addColumn<QByteArray>("list");  // an existing list file, or none
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");

    const QByteArray good = R"({"masters": [{"game": "q3", "host": "127.0.0.1", "port": 27950}],
        "servers": [{"game": "qw", "host": "127.0.0.1", "port": 27500}]})";
    QTest::newRow("not JSON") << QByteArray("{\"masters\": [") << QByteArray() << QByteArray() << 1
                              << "not a JSON document";
    QTest::newRow("no masters") << QByteArray(R"({"servers": []})") << QByteArray() << QByteArray()
                                << 1 << "no masters";
    QTest::newRow("master of a game without one")
        << QByteArray(R"({"masters": [{"game": "q2", "host": "127.0.0.1", "port": 27900}]})")
        << QByteArray() << QByteArray() << 1 << "a master entry";
    QTest::newRow("port out of range")
        << QByteArray(R"({"masters": [{"game": "q3", "host": "127.0.0.1", "port": 70000}]})")
        << QByteArray() << QByteArray() << 1 << "a master entry";
    QTest::newRow("server of no game") << QByteArray(good).replace("\"qw\"", "\"doom\"")
                                       << QByteArray() << QByteArray() << 1 << "a server entry";
    QTest::newRow("the user's store")
        << good << QByteArray("{\"mine\": 1}") << QByteArray() << 1 << "exists already";
    QTest::newRow("the user's list")
        << good << QByteArray() << QByteArray("# ServerDB\r\n") << 1 << "exists already";
}

// Nothing is written, and files that were there stay as they were.
void TestDemoSetup::refused()
{
    QFETCH(QByteArray, document);
    QFETCH(QByteArray, store);
    QFETCH(QByteArray, list);
    QFETCH(int, status);
    QFETCH(QString, message);
    const QString documentPath = Dir_->filePath(QStringLiteral("sim.json"));
    QVERIFY(WriteFileBytes(documentPath, document));
    QVERIFY(store.isNull() || WriteFileBytes(StorePath_, store));
    QVERIFY(list.isNull() || WriteFileBytes(ListPath_, list));

    QCOMPARE(Run({QStringLiteral("--list"), ListPath_, documentPath}), status);
    QVERIFY2(QString::fromLocal8Bit(Errors_).contains(message), Errors_.constData());
    QCOMPARE(QFileInfo::exists(StorePath_), !store.isNull());
    QCOMPARE(ReadFileBytes(StorePath_), store);
    QCOMPARE(QFileInfo::exists(ListPath_), !list.isNull());
    QCOMPARE(ReadFileBytes(ListPath_), list);
}

QTEST_GUILESS_MAIN(TestDemoSetup)
#include "tst_demosetup.moc"
