#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QTest>
#include <QUdpSocket>

#include <memory>

#include "core/remoteconsole.h"
#include "fakeudpserver.h"
#include "simulator.h"
#include "wire/consolewire.h"

namespace {

const QByteArray kOob("\xFF\xFF\xFF\xFF");

struct TLine
{
    TConsoleTone Tone;
    QString Text;
    bool operator==(const TLine&) const = default;
};

char* toString(const TLine& line)
{
    const char* tone = line.Tone == TConsoleTone::Output ? "black"
                       : line.Tone == TConsoleTone::Note ? "blue"
                                                         : "maroon";
    return qstrdup(QStringLiteral("%1: %2").arg(QLatin1String(tone), line.Text).toUtf8());
}

TLine Black(const QString& text)
{
    return {TConsoleTone::Output, text};
}
TLine Blue(const QString& text)
{
    return {TConsoleTone::Note, text};
}
TLine Maroon(const QString& text)
{
    return {TConsoleTone::Error, text};
}

const QString kNoChallenge = QStringLiteral("No cached Challenge ID found, requesting new..");
const QString kInvalid = QStringLiteral("Unable to send request. Invalid hostname or port.");

// A console on any free port with every line it shows.
struct TConsoleUnderTest
{
    TConsoleUnderTest()
    {
        QObject::connect(&Console, &TRemoteConsole::Message,
                         [this](const QString& text, TConsoleTone tone) {
                             Lines.append({tone, text});
                         });
        Console.Start(0);
    }
    // The console's lines from the Index-th on.
    QList<TLine> From(qsizetype index) const { return Lines.mid(index); }

    TRemoteConsole Console;
    QList<TLine> Lines;
};

TSimConfig OneOf(TGameType game)
{
    TSimConfig config;
    config.Servers = {{game, 1}};
    config.ServerOptions.RconPassword = "pw";
    return config;
}

QString At(std::uint16_t port)
{
    return QStringLiteral("<127.0.0.1:%1> ").arg(port);
}

} // namespace

class TestRemoteConsole : public QObject
{
    Q_OBJECT

private slots:
    void targets_data();
    void targets();
    void requests_data();
    void requests();
    void replies_data();
    void replies();
    void invalidTargetQueuesAll();
    void hlChallengeFlow();
    void rejectedPasswordAndNewId();
    void logAddressStreamsLog();
    void quake3OutputInSeveralDatagrams();
    void pendingDroppedByOtherReply();
    void strangersAreIgnored();
    void challengeThatNeverComes();
    void takenPortFallsBack();
};

void TestRemoteConsole::targets_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("halfLife");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("valid");

    QTest::newRow("hl default") << "10.0.0.5" << true << "10.0.0.5" << 27015 << true;
    QTest::newRow("q3 default") << "10.0.0.5" << false << "10.0.0.5" << 27950 << true;
    QTest::newRow("port given") << "10.0.0.5:27016" << true << "10.0.0.5" << 27016 << true;
    QTest::newRow("port not a number") << "10.0.0.5:x" << false << "10.0.0.5" << 27950 << true;
    QTest::newRow("name") << " hl.example.org:27017 " << true << "hl.example.org" << 27017 << true;
    QTest::newRow("port 0") << "10.0.0.5:0" << true << "10.0.0.5" << 0 << false;
    QTest::newRow("port 65535") << "10.0.0.5:65535" << true << "10.0.0.5" << 65535 << true;
    QTest::newRow("port 65536") << "10.0.0.5:65536" << false << "10.0.0.5" << 65536 << false;
    QTest::newRow("negative port") << "10.0.0.5:-1" << false << "10.0.0.5" << -1 << false;
    QTest::newRow("blank") << "   " << true << "" << 27015 << false;
    QTest::newRow("only a port") << " :27015" << true << "" << 27015 << false;
}

void TestRemoteConsole::targets()
{
    QFETCH(QString, box);
    QFETCH(bool, halfLife);
    const TConsoleTarget target =
        ConsoleTarget(box, halfLife ? TConsoleKind::HalfLife : TConsoleKind::Quake3);
    QTEST(target.Host, "host");
    QTEST(target.Port, "port");
    QTEST(target.Valid, "valid");
}

void TestRemoteConsole::requests_data()
{
    QTest::addColumn<QByteArray>("made");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("challenge request") << HLChallengeRequest() << kOob + "challenge rcon\n";
    QTest::newRow("hl command") << HLCommand("1234567", "pw", "map de_dust")
                                << kOob + "rcon 1234567 \"pw\" map de_dust";
    QTest::newRow("hl empty password")
        << HLCommand("9", "", "status") << kOob + "rcon 9 \"\" status";
    QTest::newRow("q3 command") << Q3Command("secret", "status") << kOob + "rcon \"secret\" status";
    QTest::newRow("latin-1 stays one byte")
        << Q3Command(QStringLiteral("pässword"), "say é") << kOob + "rcon \"p\xE4ssword\" say \xE9";
    QTest::newRow("beyond latin-1 is utf-8, never '?'")
        << Q3Command(QStringLiteral("pw"), QStringLiteral("say Привет"))
        << kOob + "rcon \"pw\" say " + QStringLiteral("Привет").toUtf8();
}

void TestRemoteConsole::requests()
{
    QFETCH(QByteArray, made);
    QFETCH(QByteArray, expected);
    QCOMPARE(made, expected);
}

void TestRemoteConsole::replies_data()
{
    QTest::addColumn<QList<QByteArray>>("datagrams");
    QTest::addColumn<QStringList>("shown"); // after the sender's "<address:port> "
    QTest::addColumn<QByteArray>("challenge");

    const QByteArray hl = kOob + 'l';
    QTest::newRow("challenge with line feed and zero")
        << QList<QByteArray>{kOob + QByteArray("challenge rcon 12345\n\0", 22)}
        << QStringList{"!Received Challenge ID (12345)."} << QByteArray("12345");
    QTest::newRow("newer challenge replaces")
        << QList<QByteArray>{kOob + "challenge rcon 1\n", kOob + "challenge rcon  \t22 "}
        << QStringList{"!Received Challenge ID (1).", "!Received Challenge ID (22)."}
        << QByteArray("22");
    QTest::newRow("hl lines, rest not shown")
        << QList<QByteArray>{hl + "line one\nline two"} << QStringList{"line one"} << QByteArray();
    QTest::newRow("hl several lines")
        << QList<QByteArray>{hl + "a\n\nb\n"} << QStringList{"a", "", "b"} << QByteArray();
    QTest::newRow("hl done") << QList<QByteArray>{hl + QByteArray(2, '\0')} << QStringList{"Done."}
                             << QByteArray();
    QTest::newRow("hl one zero is nothing")
        << QList<QByteArray>{hl + QByteArray(1, '\0'), hl} << QStringList{} << QByteArray();
    QTest::newRow("hl log line")
        << QList<QByteArray>{kOob + "log L 12/06/2026 - 10:00:00: Log file started\n"}
        << QStringList{"og L 12/06/2026 - 10:00:00: Log file started"} << QByteArray();
    QTest::newRow("q3 print, stripped, several lines")
        << QList<QByteArray>{kOob + "print\n map: q3dm17\nnum score\n\n\0"}
        << QStringList{"map: q3dm17\nnum score"} << QByteArray();
    QTest::newRow("q3 latin-1 and utf-8")
        << QList<QByteArray>{kOob + "print\ncaf\xE9\n",
                             kOob + "print\n" + QStringLiteral("Zoë").toUtf8()}
        << QStringList{QStringLiteral("café"), QStringLiteral("Zoë")} << QByteArray();
    QTest::newRow("short and foreign datagrams")
        << QList<QByteArray>{kOob + "challenge rco", kOob, "print\nx", kOob + "infoResponse\n"}
        << QStringList{} << QByteArray();
}

void TestRemoteConsole::replies()
{
    QFETCH(QList<QByteArray>, datagrams);
    QFETCH(QStringList, shown);
    QFETCH(QByteArray, challenge);

    TFakeUdpServer server;
    server.SetBehaviour(TFakeUdpServer::TBehaviour::Silent);
    TConsoleUnderTest c;
    c.Console.SetServer(TConsoleKind::Quake3, QStringLiteral("127.0.0.1:%1").arg(server.Port()));
    QVERIFY(c.Console.SendQ3Command(QStringLiteral("status")));
    QTRY_COMPARE(server.RequestCount(), 1);

    QList<TLine> expected;
    for (const QString& text : shown) {
        expected.append(text.startsWith(u'!') ? Blue(text.mid(1))
                                              : Black(At(server.Port()) + text));
    }
    // A last datagram marks the end: everything before it has been read.
    const QByteArray end = kOob + "print\nend";
    expected.append(Black(At(server.Port()) + "end"));
    for (const QByteArray& datagram : datagrams + QList<QByteArray>{end}) {
        server.SendToLastClient(datagram);
    }
    QTRY_COMPARE(c.Lines, expected);
    QCOMPARE(c.Console.CachedChallenge(), challenge);
}

void TestRemoteConsole::invalidTargetQueuesAll()
{
    TConsoleUnderTest c;
    c.Console.SetServer(TConsoleKind::HalfLife, QStringLiteral("10.0.0.5:0"));
    c.Console.SetServer(TConsoleKind::Quake3, QStringLiteral(""));
    c.Console.Type(TConsoleKind::HalfLife, QStringLiteral("status"));
    c.Console.Type(TConsoleKind::Quake3, QStringLiteral("status"));
    c.Console.Type(TConsoleKind::Quake3, QString()); // an empty box ignores Enter
    QCOMPARE(c.Lines, (QList<TLine>{Blue(kNoChallenge), Maroon(kInvalid), Black("<You> status"),
                                    Maroon(kInvalid), Black("<You> status")}));
    // Queued all the same: it goes out once a datagram brings a challenge.
    QCOMPARE(c.Console.PendingCommands(), QStringList{"status"});
}

void TestRemoteConsole::hlChallengeFlow()
{
    TSimulator simulator(OneOf(gtHalfLife));
    QString error;
    QVERIFY2(simulator.Start(error), qPrintable(error));
    const std::uint16_t port = simulator.Servers().first()->Port();

    TConsoleUnderTest c;
    c.Console.SetServer(TConsoleKind::HalfLife, QStringLiteral("127.0.0.1:%1").arg(port));
    c.Console.SetPassword(TConsoleKind::HalfLife, QStringLiteral("pw"));
    // Both typed before the challenge can arrive.
    c.Console.Type(TConsoleKind::HalfLife, QStringLiteral("status"));
    c.Console.Type(TConsoleKind::HalfLife, QStringLiteral("hostname"));
    QCOMPARE(c.Console.PendingCommands(), (QStringList{"status", "hostname"}));

    const TSimServer& server = *simulator.Servers().first();
    const QString name = QString::fromLatin1(server.State().PlainName());
    const QString map = QString::fromLatin1(server.State().MapName());
    const QList<TLine> start{Blue(kNoChallenge), Black("<You> status"), Blue(kNoChallenge),
                             Black("<You> hostname")};
    QTRY_VERIFY(c.Lines.size() >= 10);
    QCOMPARE(c.Lines.first(4), start);
    QVERIFY(c.Lines[4].Text.startsWith("Received Challenge ID ("));
    QVERIFY(!c.Console.CachedChallenge().isEmpty());
    // The second challenge reply also passes the (now empty) list: each
    // command goes out once, with the challenge.
    QTRY_COMPARE(c.Lines.size(), 10);
    QCOMPARE(c.Lines[5].Text, c.Lines[4].Text);
    const QString from = At(port);
    QCOMPARE(c.Lines.mid(6),
             (QList<TLine>{Black(from + "hostname: " + name), Black(from + "map     : " + map),
                           Black(from + c.Lines[8].Text.mid(from.size())),
                           Black(from + "\"hostname\" is \"" + name + "\"")}));
    QVERIFY(c.Lines[8].Text.contains(" max)"));
    QVERIFY(c.Console.PendingCommands().isEmpty());

    // A cached challenge sends at once.
    c.Console.Type(TConsoleKind::HalfLife, QStringLiteral("say hi"));
    QCOMPARE(c.Lines[10], Black("<You> say hi"));
    QTRY_COMPARE(c.From(11), QList<TLine>{Black(from + "Console: hi")});
}

void TestRemoteConsole::rejectedPasswordAndNewId()
{
    TSimulator simulator(OneOf(gtHalfLife));
    QString error;
    QVERIFY2(simulator.Start(error), qPrintable(error));
    const QString from = At(simulator.Servers().first()->Port());

    TConsoleUnderTest c;
    c.Console.SetServer(TConsoleKind::HalfLife,
                        QStringLiteral("127.0.0.1:%1").arg(simulator.Servers().first()->Port()));
    c.Console.SetPassword(TConsoleKind::HalfLife, QStringLiteral("wrong"));
    c.Console.Type(TConsoleKind::HalfLife, QStringLiteral("status"));
    QTRY_VERIFY(c.Lines.contains(Black(from + "Bad rcon_password.")));

    // A stale challenge is the server's to reject; New HL ID asks again.
    c.Console.SetPassword(TConsoleKind::HalfLife, QStringLiteral("pw"));
    const QByteArray good = c.Console.CachedChallenge();
    c.Console.NewHLID();
    QVERIFY(c.Console.CachedChallenge().isEmpty());
    QCOMPARE(c.Lines.last(),
             Blue("HL ID cached has been purged. Will request new one on next command."));
    const qsizetype mark = c.Lines.size();
    c.Console.Type(TConsoleKind::HalfLife, QStringLiteral("say again"));
    QCOMPARE(c.From(mark), (QList<TLine>{Blue(kNoChallenge), Black("<You> say again")}));
    QTRY_VERIFY(c.Lines.contains(Black(from + "Console: again")));
    QCOMPARE(c.Console.CachedChallenge(), good); // the simulator keeps its challenge
}

void TestRemoteConsole::logAddressStreamsLog()
{
    TSimulator simulator(OneOf(gtHalfLife));
    QString error;
    QVERIFY2(simulator.Start(error), qPrintable(error));
    const QString from = At(simulator.Servers().first()->Port());

    TConsoleUnderTest c;
    c.Console.SetServer(TConsoleKind::HalfLife,
                        QStringLiteral("127.0.0.1:%1").arg(simulator.Servers().first()->Port()));
    c.Console.SetPassword(TConsoleKind::HalfLife, QStringLiteral("pw"));
    c.Console.EnableLog(QStringLiteral("127.0.0.1"));
    QVERIFY(c.Console.LogEnabled());
    // The log address names the port the console really has.
    QTRY_VERIFY(c.Lines.contains(
        Black(from + QStringLiteral("logaddress:  127.0.0.1:%1").arg(c.Console.LocalPort()))));
    QTRY_VERIFY(c.Lines.contains(Black(from + "Server logging data to \"" +
                                       simulator.Servers().first()->State().PlainName() +
                                       "\" log stream")));

    c.Console.Type(TConsoleKind::HalfLife, QStringLiteral("say from the admin"));
    const auto logged = [&] {
        for (const TLine& line : c.Lines) {
            if (line.Text.startsWith(from + "og L ") &&
                line.Text.endsWith(": Server say \"from the admin\"")) {
                return true;
            }
        }
        return false;
    };
    QTRY_VERIFY(logged());

    c.Console.DisableLog();
    QVERIFY(!c.Console.LogEnabled());
    QTRY_VERIFY(c.Lines.contains(Black(from + "Server logging disabled.")));
    // Off already: nothing more is sent.
    const qsizetype mark = c.Lines.size();
    c.Console.DisableLog();
    QCOMPARE(c.Lines.size(), mark);

    // A log address that cannot be sent leaves the feature off.
    c.Console.SetServer(TConsoleKind::HalfLife, QString());
    c.Console.EnableLog(QStringLiteral("127.0.0.1"));
    QVERIFY(!c.Console.LogEnabled());
}

void TestRemoteConsole::quake3OutputInSeveralDatagrams()
{
    TSimConfig config = OneOf(gtQuake3);
    config.ServerOptions.ConsoleChunk = 20;
    TSimulator simulator(config);
    QString error;
    QVERIFY2(simulator.Start(error), qPrintable(error));
    const TSimServer& server = *simulator.Servers().first();
    const QString from = At(server.Port());

    TConsoleUnderTest c;
    c.Console.SetServer(TConsoleKind::Quake3, QStringLiteral("localhost:%1").arg(server.Port()));
    c.Console.SetPassword(TConsoleKind::Quake3, QStringLiteral("pw"));
    c.Console.Type(TConsoleKind::Quake3, QStringLiteral("status"));
    QCOMPARE(c.Lines, QList<TLine>{Black("<You> status")});

    // One message per datagram, each stripped: all of the output, in order.
    const QByteArray whole = simulator.Servers().first()->RunConsole("status");
    const auto bare = [](QString text) {
        text.remove(QRegularExpression(QStringLiteral("\\s")));
        return text;
    };
    QString shown;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            shown.clear();
            for (const TLine& line : c.From(1)) {
                if (line.Tone != TConsoleTone::Output || !line.Text.startsWith(from)) {
                    return false;
                }
                shown += line.Text.mid(from.size());
            }
            return bare(shown) == bare(QString::fromLatin1(whole));
        }(),
        5000);
    QVERIFY(c.Lines.size() >= 1 + whole.size() / 20);

    c.Console.SetPassword(TConsoleKind::Quake3, QStringLiteral("nope"));
    c.Console.Type(TConsoleKind::Quake3, QStringLiteral("map q3dm1"));
    QTRY_COMPARE(c.Lines.last(), Black(from + "Bad rconpassword."));
}

void TestRemoteConsole::pendingDroppedByOtherReply()
{
    TFakeUdpServer hl; // never answers the challenge
    hl.SetBehaviour(TFakeUdpServer::TBehaviour::Silent);
    TFakeUdpServer q3;
    q3.SetReply(kOob + "print\nok\n");

    TConsoleUnderTest c;
    c.Console.SetServer(TConsoleKind::HalfLife, QStringLiteral("127.0.0.1:%1").arg(hl.Port()));
    c.Console.SetServer(TConsoleKind::Quake3, QStringLiteral("127.0.0.1:%1").arg(q3.Port()));
    c.Console.Type(TConsoleKind::HalfLife, QStringLiteral("one"));
    c.Console.Type(TConsoleKind::HalfLife, QStringLiteral("two"));
    QTRY_COMPARE(hl.RequestCount(), 2);

    c.Console.Type(TConsoleKind::Quake3, QStringLiteral("status"));
    QTRY_VERIFY(c.Lines.contains(Black(At(q3.Port()) + "ok")));
    // The answer passed the waiting commands once: each asked for a challenge
    // again and was dropped.
    QVERIFY(c.Console.PendingCommands().isEmpty());
    QTRY_COMPARE(hl.RequestCount(), 4);
    for (const QByteArray& request : hl.Requests()) {
        QCOMPARE(request, HLChallengeRequest());
    }
    QCOMPARE(c.Lines.count(Blue(kNoChallenge)), 4);
}

void TestRemoteConsole::strangersAreIgnored()
{
    TFakeUdpServer hl;
    hl.SetBehaviour(TFakeUdpServer::TBehaviour::Silent);
    TConsoleUnderTest c;
    c.Console.SetServer(TConsoleKind::HalfLife, QStringLiteral("127.0.0.1:%1").arg(hl.Port()));
    c.Console.Type(TConsoleKind::HalfLife, QStringLiteral("status"));
    QTRY_COMPARE(hl.RequestCount(), 1);

    // Another host on the network answers in the server's name.
    QUdpSocket stranger;
    if (!stranger.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0)) {
        QSKIP("127.0.0.2 cannot be bound here");
    }
    const qsizetype before = c.Lines.size();
    for (const QByteArray& datagram :
         {kOob + "challenge rcon 666\n", kOob + "lyou are hacked\n", kOob + "print\nhi"}) {
        stranger.writeDatagram(datagram, QHostAddress::LocalHost, c.Console.LocalPort());
    }
    // The server's own datagram after them shows that they were read.
    hl.SendToLastClient(kOob + "lfrom the server\n");
    QTRY_COMPARE(c.From(before).size(), 2);
    QCOMPARE(c.From(before),
             (QList<TLine>{Black(At(hl.Port()) + "from the server"), Blue(kNoChallenge)}));
    QVERIFY(c.Console.CachedChallenge().isEmpty());
}

void TestRemoteConsole::challengeThatNeverComes()
{
    TFakeUdpServer hl;
    hl.SetBehaviour(TFakeUdpServer::TBehaviour::Silent);
    TConsoleUnderTest c;
    c.Console.SetChallengeTimeout(300);
    c.Console.SetServer(TConsoleKind::HalfLife, QStringLiteral("127.0.0.1:%1").arg(hl.Port()));
    c.Console.Type(TConsoleKind::HalfLife, QStringLiteral("status"));
    c.Console.Type(TConsoleKind::HalfLife, QStringLiteral("users"));
    const QString prefix =
        QStringLiteral("No Challenge ID came from 127.0.0.1:%1; ").arg(hl.Port());
    QTRY_COMPARE(c.From(4), (QList<TLine>{Maroon(prefix + "\"status\" was not sent."),
                                          Maroon(prefix + "\"users\" was not sent.")}));
    QVERIFY(c.Console.PendingCommands().isEmpty());
    // A challenge arriving later sends nothing of them.
    hl.SendToLastClient(kOob + "challenge rcon 7\n");
    QTRY_COMPARE(c.Lines.last(), Blue("Received Challenge ID (7)."));
    QCOMPARE(hl.RequestCount(), 2);
}

void TestRemoteConsole::takenPortFallsBack()
{
    // The port the console asks for is held by another program (or by
    // anyone else on this machine, which does as well).
    QUdpSocket holder;
    const bool held = holder.bind(QHostAddress::AnyIPv4, TRemoteConsole::LogPort);
    QUdpSocket probe;
    if (!held && probe.bind(QHostAddress::AnyIPv4, TRemoteConsole::LogPort)) {
        QSKIP("port 2000 could not be held for the test");
    }
    probe.close();

    TRemoteConsole console;
    QList<TLine> lines;
    connect(&console, &TRemoteConsole::Message, [&](const QString& text, TConsoleTone tone) {
        lines.append({tone, text});
    });
    console.Start();
    QVERIFY(console.IsListening());
    QVERIFY(console.LocalPort() != TRemoteConsole::LogPort);
    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines[0].Tone, TConsoleTone::Note);
    QVERIFY(lines[0].Text.startsWith("Local UDP port 2000 is not free"));
    QVERIFY(lines[0].Text.contains(QString::number(console.LocalPort())));

    // And it works on the port it has.
    TFakeUdpServer q3;
    q3.SetReply(kOob + "print\nstill here");
    console.SetServer(TConsoleKind::Quake3, QStringLiteral("127.0.0.1:%1").arg(q3.Port()));
    console.Type(TConsoleKind::Quake3, QStringLiteral("status"));
    QTRY_COMPARE(lines.last(), Black(At(q3.Port()) + "still here"));
}

QTEST_GUILESS_MAIN(TestRemoteConsole)
#include "tst_remoteconsole.moc"
