#include <QEventLoop>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>

#include <memory>

#include "core/servermonitor.h"
#include "fakeudpserver.h"
#include "gamereplies.h"
#include "model/basicquery.h"
#include "scripteddialogs.h"
#include "simulator.h"
#include "tempappfolder.h"

using TBehaviour = TFakeUdpServer::TBehaviour;

namespace {

// What the loopback server says at one query: its map and player count.
struct TState
{
    QByteArray Map;
    int Players = 0;
    int Max = 16;
};

// Quake 3 replies that change from query to query: the n-th request gets
// the n-th state (the last one again after the end) under the name "s<n>".
void Script(TFakeUdpServer& server, const QList<TState>& states)
{
    server.SetResponder([&server, states](const QByteArray&) {
        const int count = server.RequestCount();
        const int n = std::min<int>(count, int(states.size())) - 1;
        QList<QByteArray> lines;
        for (int i = 0; i < states[n].Players; ++i) {
            lines << "1 40 \"p" + QByteArray::number(i) + '"';
        }
        return QList<QByteArray>{Q3StatusReply("s" + QByteArray::number(count - 1), states[n].Map,
                                               states[n].Max, lines)};
    });
}

// Dialogs that note the message in a shared log; a message may also run
// the event loop while it is "shown", as a real modal box does.
class TLoggingDialogs : public TScriptedDialogs
{
public:
    QStringList* Log = nullptr;
    std::function<void()> WhileShown;

    void Information(const QString& title, const QString& text) override
    {
        TScriptedDialogs::Information(title, text);
        if (Log) {
            *Log << QStringLiteral("message");
        }
        if (WhileShown) {
            WhileShown();
        }
    }
};

} // namespace

Q_DECLARE_METATYPE(TMonitorCondition)
Q_DECLARE_METATYPE(TGameType)

class TestServerMonitor : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void conditions_data();
    void conditions();
    void alertOrder_data();
    void alertOrder();
    void stopEndsTheWatch();
    void replyAfterStopRaisesNothing();
    void deadServerLeavesHeartbeatStill();
    void messageBoxLeavesEveryReplyRouted();
    void tribes2HasNoName();
    void everyGameOfTheSimulator_data();
    void everyGameOfTheSimulator();

private:
    void Watch(TMonitorOptions options);

    std::unique_ptr<TTempAppFolder> Folder_;
    std::unique_ptr<TLoggingDialogs> Dialogs_;
    std::unique_ptr<TFakeUdpServer> Server_;
    std::unique_ptr<TServerMonitor> Monitor_;
};

void TestServerMonitor::init()
{
    Folder_ = std::make_unique<TTempAppFolder>();
    Dialogs_ = std::make_unique<TLoggingDialogs>();
    Server_ = std::make_unique<TFakeUdpServer>();
    Monitor_ = std::make_unique<TServerMonitor>(*Dialogs_);
    Monitor_->SetServer(Server_->Address(), Server_->Port(), gtQuake3);
}

void TestServerMonitor::cleanup()
{
    Monitor_.reset();
    Server_.reset();
    Dialogs_.reset();
    Folder_.reset();
}

void TestServerMonitor::Watch(TMonitorOptions options)
{
    options.UpdateCycleMs = 100;
    options.ShowMessage = true;
    Monitor_->Options = options;
    Monitor_->Start();
}

void TestServerMonitor::conditions_data()
{
    QTest::addColumn<TMonitorOptions>("options");
    QTest::addColumn<QList<TState>>("states");
    // The reply that alerts; -1: none of them.
    QTest::addColumn<int>("alertAt");

    TMonitorOptions map;
    map.Condition = TMonitorCondition::MapChange;
    QTest::newRow("map change is case-sensitive")
        << map << QList<TState>{{"q3dm1"}, {"q3dm1"}, {"Q3DM1"}} << 2;
    QTest::newRow("first reply has no map before it")
        << map << QList<TState>{{"q3dm1"}, {"q3dm1"}, {"q3dm1"}, {"q3dm1"}} << -1;

    TMonitorOptions slot;
    QTest::newRow("a slot opens") << slot << QList<TState>{{"m", 16}, {"m", 16}, {"m", 15}} << 2;

    TMonitorOptions own;
    own.Condition = TMonitorCondition::Matches;
    QTest::newRow("no sub-condition: first reply") << own << QList<TState>{{"m", 16}} << 0;

    TMonitorOptions between = own;
    between.UsePlayerCount = between.UseMoreThan = between.UseLessThan = true;
    between.MoreThan = 10;
    between.LessThan = 12;
    QTest::newRow("more than 10 and less than 12")
        << between << QList<TState>{{"m", 10}, {"m", 12}, {"m", 11}} << 2;

    TMonitorOptions moreThan = own;
    moreThan.UsePlayerCount = moreThan.UseMoreThan = true;
    moreThan.MoreThan = 10;
    QTest::newRow("more than 10 with 10")
        << moreThan << QList<TState>{{"m", 10}, {"m", 10}, {"m", 10}} << -1;

    TMonitorOptions unticked = moreThan;
    unticked.UsePlayerCount = false;
    QTest::newRow("count box unticked: counts ignored") << unticked << QList<TState>{{"m", 3}} << 0;

    TMonitorOptions pattern = own;
    pattern.UseMapPattern = true;
    pattern.MapPattern = QStringLiteral("dm*");
    QTest::newRow("pattern is case-sensitive")
        << pattern << QList<TState>{{"DM17"}, {"q3dm17"}, {"dm17"}} << 2;

    TMonitorOptions both = pattern;
    both.UsePlayerCount = both.UseMoreThan = true;
    both.MoreThan = 8;
    QTest::newRow("pattern and count together")
        << both << QList<TState>{{"dm1", 5}, {"ctf1", 9}, {"dm2", 9}} << 2;
}

void TestServerMonitor::conditions()
{
    QFETCH(TMonitorOptions, options);
    QFETCH(QList<TState>, states);
    QFETCH(int, alertAt);
    Script(*Server_, states);
    QSignalSpy alerted(Monitor_.get(), &TServerMonitor::Alerted);
    QSignalSpy beats(Monitor_.get(), &TServerMonitor::HeartbeatChanged);
    Watch(options);

    if (alertAt < 0) {
        QTRY_VERIFY_WITH_TIMEOUT(beats.size() >= states.size() + 1, 10000);
        QCOMPARE(alerted.size(), 0);
        QVERIFY(Dialogs_->Shown().isEmpty());
        QVERIFY(Monitor_->IsWatching());
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(alerted.size(), 1, 10000);
    QCOMPARE(Dialogs_->Shown().size(), 1);
    QCOMPARE(Dialogs_->Shown()[0].Title, QStringLiteral("Server monitor result"));
    QCOMPARE(Dialogs_->Shown()[0].Text,
             QStringLiteral("Server s%1 [127.0.0.1:%2] just matched your criteria.")
                 .arg(alertAt)
                 .arg(Server_->Port()));
    // The first alert ends the cycle.
    QVERIFY(!Monitor_->TimerActive());
    QVERIFY(!Monitor_->IsWatching());
    QCOMPARE(beats.size(), alertAt + 1);
}

void TestServerMonitor::alertOrder_data()
{
    QTest::addColumn<bool>("soundExists");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("sound, message, join") << true << QStringList{"sound", "message", "join"};
    QTest::newRow("missing sound file") << false << QStringList{"message", "join"};
}

void TestServerMonitor::alertOrder()
{
    QFETCH(bool, soundExists);
    QFETCH(QStringList, expected);
    QTemporaryFile wav(Folder_->Path() + QStringLiteral("/XXXXXX.wav"));
    QVERIFY(wav.open());
    QStringList log;
    Dialogs_->Log = &log;
    Monitor_->PlaySound = [&log](const QString&) { log << QStringLiteral("sound"); };
    QString joined;
    Monitor_->JoinGame = [&log, &joined](const TGenericServer& server) {
        log << QStringLiteral("join");
        joined = QString::fromLatin1(server.Name + ' ' + server.Map + ' ' + server.GameName);
    };
    Script(*Server_, {{"m", 16}, {"q3tourney2", 7}});

    TMonitorOptions options;
    options.PlaySound = options.JoinGame = true;
    options.SoundFile = soundExists ? wav.fileName() : wav.fileName() + QStringLiteral(".gone");
    Watch(options);
    QTRY_COMPARE_WITH_TIMEOUT(log, expected, 10000);
    // The game is joined with what the latest reply said.
    QCOMPARE(joined, QStringLiteral("s1 q3tourney2 baseq3"));
}

void TestServerMonitor::stopEndsTheWatch()
{
    Script(*Server_, {{"m", 16}});
    QSignalSpy beats(Monitor_.get(), &TServerMonitor::HeartbeatChanged);
    Watch({});
    QTRY_VERIFY_WITH_TIMEOUT(beats.size() >= 2, 10000);
    QVERIFY(Monitor_->TimerActive());
    Monitor_->Stop();
    QVERIFY(!Monitor_->TimerActive());
    QVERIFY(!Monitor_->IsWatching());
    // What is still on its way ends without another request.
    QTRY_COMPARE_WITH_TIMEOUT(Monitor_->Component(gtQuake3)->CurrentQueries(), 0, 5000);
    const int sent = Server_->RequestCount();
    QTRY_COMPARE_WITH_TIMEOUT(Monitor_->Component(gtQuake3)->ScanTimerActive(), false, 5000);
    QCOMPARE(Server_->RequestCount(), sent);
}

void TestServerMonitor::replyAfterStopRaisesNothing()
{
    // The one reply would alert, but it arrives after Stop.
    Script(*Server_, {{"late", 3}});
    Server_->SetBehaviour(TBehaviour::AnswerLate, 300);
    QSignalSpy sentReply(Server_.get(), &TFakeUdpServer::ReplySent);
    Watch({});
    QTRY_COMPARE_WITH_TIMEOUT(Server_->RequestCount(), 1, 5000);
    Monitor_->Stop();
    QTRY_COMPARE_WITH_TIMEOUT(sentReply.size(), 1, 5000);
    // It still tells the monitor what the server is like ...
    QTRY_COMPARE_WITH_TIMEOUT(Monitor_->Server().Map, QByteArray("late"), 5000);
    // ... but alerts nobody and starts no cycle.
    QVERIFY(Dialogs_->Shown().isEmpty());
    QCOMPARE(Monitor_->Heartbeat(), 0);
    QVERIFY(!Monitor_->TimerActive());
    QCOMPARE(Server_->RequestCount(), 1);
}

void TestServerMonitor::deadServerLeavesHeartbeatStill()
{
    Server_->SetBehaviour(TBehaviour::Silent);
    QSignalSpy beats(Monitor_.get(), &TServerMonitor::HeartbeatChanged);
    Watch({});
    QTRY_COMPARE_WITH_TIMEOUT(Server_->RequestCount(), 1, 5000);
    // The request is dropped after its time-out, silently.
    QTRY_COMPARE_WITH_TIMEOUT(Monitor_->Component(gtQuake3)->CurrentQueries(), 0, 6000);
    QCOMPARE(beats.size(), 0);
    QVERIFY(Dialogs_->Shown().isEmpty());
    // Without a first answer the cycle never starts.
    QVERIFY(!Monitor_->TimerActive());
    QCOMPARE(Server_->RequestCount(), 1);
    QVERIFY(Monitor_->IsWatching());
}

void TestServerMonitor::messageBoxLeavesEveryReplyRouted()
{
    // Slow answers and a short cycle keep several requests in flight when
    // the slot opens at the third reply.
    Script(*Server_, {{"m", 16}, {"m", 16}, {"m", 15}, {"m", 16}});
    Server_->SetBehaviour(TBehaviour::AnswerLate, 250);
    QSignalSpy sentReply(Server_.get(), &TFakeUdpServer::ReplySent);
    TBasicQuery& engine = *Monitor_->Component(gtQuake3);

    int sentAtAlert = -1;
    int beatsAtAlert = -1;
    bool nested = false;
    Dialogs_->WhileShown = [&] {
        nested = true;
        sentAtAlert = Server_->RequestCount();
        beatsAtAlert = Monitor_->Heartbeat();
        // The box stays up until every request sent so far has been
        // answered and taken out of the engine.
        QEventLoop loop;
        QTimer poll;
        connect(&poll, &QTimer::timeout, &loop, [&] {
            if (sentReply.size() == Server_->RequestCount() && engine.CurrentQueries() == 0) {
                loop.quit();
            }
        });
        poll.start(20);
        QTimer::singleShot(8000, &loop, &QEventLoop::quit);
        loop.exec();
    };
    Watch({});
    QTRY_VERIFY_WITH_TIMEOUT(nested && Dialogs_->WhileShown && sentAtAlert > 0, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(Monitor_->IsWatching(), false, 10000);

    QVERIFY2(sentAtAlert > 3, "several requests were in flight at the alert");
    // Nothing was sent while the box was up, every reply was matched to its
    // request (none timed out), and the last one reached the monitor.
    QCOMPARE(Server_->RequestCount(), sentAtAlert);
    QCOMPARE(sentReply.size(), sentAtAlert);
    QCOMPARE(engine.CurrentQueries(), 0);
    QCOMPARE(engine.WaitingQueries(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(Monitor_->Server().Name, "s" + QByteArray::number(sentAtAlert - 1),
                              5000);
    // One alert; the replies behind it raised nothing.
    QCOMPARE(Dialogs_->Shown().size(), 1);
    QCOMPARE(Monitor_->Heartbeat(), beatsAtAlert);
    QVERIFY(!Monitor_->TimerActive());
}

void TestServerMonitor::tribes2HasNoName()
{
    TScriptedGameServer script;
    script.Name = "Tribes Two";
    script.Map = "Katabatic";
    script.MaxPlayers = 32;
    Server_->SetResponder(
        [script](const QByteArray& request) { return GameReply(gtTribes2, request, script); });
    Monitor_->SetServer(Server_->Address(), Server_->Port(), gtTribes2);
    Watch({});
    QTRY_COMPARE_WITH_TIMEOUT(Dialogs_->Shown().size(), 1, 10000);
    QCOMPARE(Dialogs_->Shown()[0].Text,
             QStringLiteral("Server (No name available) [127.0.0.1:%1] just matched your criteria.")
                 .arg(Server_->Port()));
    QCOMPARE(Monitor_->Server().Map, QByteArray("Katabatic"));
}

void TestServerMonitor::everyGameOfTheSimulator_data()
{
    QTest::addColumn<TGameType>("game");
    for (const TGameInfo& game : GameCatalogue()) {
        QTest::newRow(game.DisplayName) << game.Type;
    }
}

void TestServerMonitor::everyGameOfTheSimulator()
{
    QFETCH(TGameType, game);
    // Simulated servers with players start full and lose a player later.
    TSimConfig config;
    config.Servers = {{game, 6}};
    config.ServerOptions.FullCycleMs = 600;
    TSimulator simulator(config);
    QString error;
    QVERIFY2(simulator.Start(error), qPrintable(error));
    const TSimServer* full = nullptr;
    for (const TSimServer* server : simulator.Servers()) {
        if (!full && server->State().PlayerCount() > 1) {
            full = server;
        }
    }
    QVERIFY2(full, "a simulated server with players");
    const int fullCount = full->State().MaxPlayers();
    QCOMPARE(full->State().PlayerCount(), fullCount);

    Monitor_->SetServer(QStringLiteral("127.0.0.1"), full->Port(), game);
    QSignalSpy alerted(Monitor_.get(), &TServerMonitor::Alerted);
    Watch({});
    QTRY_COMPARE_WITH_TIMEOUT(alerted.size(), 1, 10000);
    QCOMPARE(Monitor_->Server().MaxPlayers, fullCount);
    QCOMPARE(Monitor_->Server().NumPlayers, fullCount - 1);
    QVERIFY(!Monitor_->Server().Map.isEmpty());
    QVERIFY(!Monitor_->Server().Name.isEmpty());
}

QTEST_GUILESS_MAIN(TestServerMonitor)
#include "tst_servermonitor.moc"
