#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QTest>
#include <QUdpSocket>

#include <algorithm>
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
    // Aims one kind of console at a server on loopback.
    void Aim(TConsoleKind kind, std::uint16_t port, const QString& password = "pw")
    {
        Console.SetServer(kind, QStringLiteral("127.0.0.1:%1").arg(port));
        Console.SetPassword(kind, password);
    }
    bool Shows(const TLine& line) const { return Lines.contains(line); }
    QList<TLine> From(qsizetype index) const { return Lines.mid(index); }

    TRemoteConsole Console;
    QList<TLine> Lines;
};

// A simulated server of Game with the console password "pw".
std::unique_ptr<TSimulator> Simulated(TGameType game, int consoleChunk = 1008)
{
    TSimConfig config;
    config.Servers = {{game, 1}};
    config.ServerOptions.RconPassword = "pw";
    config.ServerOptions.ConsoleChunk = consoleChunk;
    auto simulator = std::make_unique<TSimulator>(config);
    QString error;
    if (!simulator->Start(error)) {
        qFatal("simulator: %s", qPrintable(error));
    }
    return simulator;
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
    void logAddressStreamsLog();
    void quake3OutputInSeveralDatagrams();
    void pendingDroppedByOtherReply();
    void strangersAreIgnored();
    void challengeThatNeverComes();
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
    // Queued all the same; the next datagram passes it on.
    QCOMPARE(c.Console.PendingCommands(), QStringList{"status"});
}

void TestRemoteConsole::hlChallengeFlow()
{
    const auto simulator = Simulated(gtHalfLife);
    const TSimServer& server = *simulator->Servers().first();
    const QString from = At(server.Port());
    const QString name = QString::fromLatin1(server.State().PlainName());
    TConsoleUnderTest c;
    c.Aim(TConsoleKind::HalfLife, server.Port());
    // Both typed before the challenge can arrive; both go out with it.
    c.Console.Type(TConsoleKind::HalfLife, QStringLiteral("hostname"));
    c.Console.Type(TConsoleKind::HalfLife, QStringLiteral("say hi"));
    QCOMPARE(c.Console.PendingCommands(), (QStringList{"hostname", "say hi"}));
    QCOMPARE(c.Lines, (QList<TLine>{Blue(kNoChallenge), Black("<You> hostname"), Blue(kNoChallenge),
                                    Black("<You> say hi")}));
    QTRY_VERIFY(c.Shows(Black(from + "Console: hi")));
    QVERIFY(c.Lines[4].Text.startsWith("Received Challenge ID ("));
    QCOMPARE(c.Lines.count(Black(from + "\"hostname\" is \"" + name + "\"")), 1);
    QCOMPARE(c.Lines.count(Black(from + "Console: hi")), 1);
    const QByteArray challenge = c.Console.CachedChallenge();
    QVERIFY(!challenge.isEmpty());

    // A rejected password is the server's own text; the challenge stays.
    c.Console.SetPassword(TConsoleKind::HalfLife, QStringLiteral("wrong"));
    c.Console.Type(TConsoleKind::HalfLife, QStringLiteral("status"));
    QCOMPARE(c.Lines.last(), Black("<You> status"));
    QTRY_COMPARE(c.Lines.last(), Black(from + "Bad rcon_password."));

    // New HL ID: the next command asks for a challenge again.
    c.Console.NewHLID();
    QVERIFY(c.Console.CachedChallenge().isEmpty());
    QCOMPARE(c.Lines.last(),
             Blue("HL ID cached has been purged. Will request new one on next command."));
    c.Console.SetPassword(TConsoleKind::HalfLife, QStringLiteral("pw"));
    c.Console.Type(TConsoleKind::HalfLife, QStringLiteral("say again"));
    QCOMPARE(c.Lines.last(2), (QList<TLine>{Blue(kNoChallenge), Black("<You> say again")}));
    QTRY_COMPARE(c.Lines.last(), Black(from + "Console: again"));
    QCOMPARE(c.Console.CachedChallenge(), challenge);
}

void TestRemoteConsole::logAddressStreamsLog()
{
    const auto simulator = Simulated(gtHalfLife);
    const TSimServer& server = *simulator->Servers().first();
    const QString from = At(server.Port());
    TConsoleUnderTest c;
    c.Aim(TConsoleKind::HalfLife, server.Port());
    c.Console.EnableLog(QStringLiteral("127.0.0.1"));
    QVERIFY(c.Console.LogEnabled());
    // The log address names the port the console really has.
    QTRY_VERIFY(c.Shows(
        Black(from + QStringLiteral("logaddress:  127.0.0.1:%1").arg(c.Console.LocalPort()))));
    c.Console.Type(TConsoleKind::HalfLife, QStringLiteral("say logged"));
    QTRY_VERIFY(std::any_of(c.Lines.cbegin(), c.Lines.cend(), [&](const TLine& line) {
        return line.Text.startsWith(from + "og L ") &&
               line.Text.endsWith(": Server say \"logged\"");
    }));

    c.Console.DisableLog();
    QVERIFY(!c.Console.LogEnabled());
    QTRY_VERIFY(c.Shows(Black(from + "Server logging disabled.")));
    const qsizetype mark = c.Lines.size();
    c.Console.DisableLog(); // off already: nothing is sent
    QCOMPARE(c.Lines.size(), mark);
    // A log address that cannot be sent leaves the feature off.
    c.Console.SetServer(TConsoleKind::HalfLife, QString());
    c.Console.EnableLog(QStringLiteral("127.0.0.1"));
    QVERIFY(!c.Console.LogEnabled());
}

void TestRemoteConsole::quake3OutputInSeveralDatagrams()
{
    const auto simulator = Simulated(gtQuake3, 20);
    TSimServer& server = *simulator->Servers().first();
    const QString from = At(server.Port());
    TConsoleUnderTest c;
    c.Console.SetServer(TConsoleKind::Quake3, QStringLiteral("localhost:%1").arg(server.Port()));
    c.Console.SetPassword(TConsoleKind::Quake3, QStringLiteral("pw"));
    c.Console.Type(TConsoleKind::Quake3, QStringLiteral("status"));
    QCOMPARE(c.Lines, QList<TLine>{Black("<You> status")});

    // A message per datagram, each stripped: all of the output, in order.
    const QByteArray whole = server.RunConsole("status");
    const auto bare = [](QString text) {
        return text.remove(QRegularExpression(QStringLiteral("\\s")));
    };
    QTRY_VERIFY([&] {
        QString shown;
        for (const TLine& line : c.From(1)) {
            if (line.Tone != TConsoleTone::Output || !line.Text.startsWith(from)) {
                return false;
            }
            shown += line.Text.mid(from.size());
        }
        return bare(shown) == bare(QString::fromLatin1(whole));
    }());
    QVERIFY(c.Lines.size() > 1 + whole.size() / 20);
}

void TestRemoteConsole::pendingDroppedByOtherReply()
{
    TFakeUdpServer hl; // never answers the challenge
    hl.SetBehaviour(TFakeUdpServer::TBehaviour::Silent);
    TFakeUdpServer q3;
    q3.SetReply(kOob + "print\nok\n");
    TConsoleUnderTest c;
    c.Aim(TConsoleKind::HalfLife, hl.Port());
    c.Aim(TConsoleKind::Quake3, q3.Port());
    c.Console.Type(TConsoleKind::HalfLife, QStringLiteral("one"));
    c.Console.Type(TConsoleKind::HalfLife, QStringLiteral("two"));
    c.Console.Type(TConsoleKind::Quake3, QStringLiteral("status"));
    QTRY_VERIFY(c.Shows(Black(At(q3.Port()) + "ok")));
    // The answer passed the waiting commands once: each asked for a
    // challenge again and was dropped.
    QVERIFY(c.Console.PendingCommands().isEmpty());
    QTRY_COMPARE(hl.RequestCount(), 4);
    QCOMPARE(hl.Requests(), QList<QByteArray>(4, HLChallengeRequest()));
}

void TestRemoteConsole::strangersAreIgnored()
{
    TFakeUdpServer hl;
    hl.SetBehaviour(TFakeUdpServer::TBehaviour::Silent);
    TConsoleUnderTest c;
    c.Aim(TConsoleKind::HalfLife, hl.Port());
    c.Console.Type(TConsoleKind::HalfLife, QStringLiteral("status"));
    QTRY_COMPARE(hl.RequestCount(), 1);

    // Another host answers in the server's name, then the server itself.
    QUdpSocket stranger;
    if (!stranger.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0)) {
        QSKIP("127.0.0.2 cannot be bound here");
    }
    const qsizetype before = c.Lines.size();
    for (const QByteArray& datagram :
         {kOob + "challenge rcon 666\n", kOob + "lyou are hacked\n", kOob + "print\nhi"}) {
        stranger.writeDatagram(datagram, QHostAddress::LocalHost, c.Console.LocalPort());
    }
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
    c.Aim(TConsoleKind::HalfLife, hl.Port());
    c.Console.Type(TConsoleKind::HalfLife, QStringLiteral("status"));
    c.Console.Type(TConsoleKind::HalfLife, QStringLiteral("users"));
    const QString gone = QStringLiteral("No Challenge ID came from 127.0.0.1:%1; ").arg(hl.Port());
    QTRY_COMPARE(c.From(4), (QList<TLine>{Maroon(gone + "\"status\" was not sent."),
                                          Maroon(gone + "\"users\" was not sent.")}));
    QVERIFY(c.Console.PendingCommands().isEmpty());
    // A challenge arriving later sends none of them.
    hl.SendToLastClient(kOob + "challenge rcon 7\n");
    QTRY_COMPARE(c.Lines.last(), Blue("Received Challenge ID (7)."));
    QCOMPARE(hl.RequestCount(), 2);
}

QTEST_GUILESS_MAIN(TestRemoteConsole)
#include "tst_remoteconsole.moc"
