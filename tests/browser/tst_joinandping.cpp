#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTreeView>

#include "browser/frmoptions.h"
#include "browser/frmserverlist.h"
#include "browser/helpmenu.h"
#include "browser/joinpingcommands.h"
#include "browser/serverlistmodel.h"
#include "browser/trayicon.h"
#include "core/joinserver.h"
#include "core/joinstats.h"
#include "core/launcher.h"
#include "core/serverlistfile.h"
#include "fakeechotransport.h"
#include "model/icmpecho.h"
#include "paintprobe.h"
#include "windowfixture.h"

Q_DECLARE_METATYPE(TGameType)
Q_DECLARE_METATYPE(TJoinAction)
Q_DECLARE_METATYPE(std::optional<QString>)
Q_DECLARE_METATYPE(TOpenOutcome)

namespace {

// Where the stand-in game writes what it was started with.
constexpr const char* kLaunchedFile = "launched";

std::uint32_t Ipv4(const QString& text)
{
    return QHostAddress(text).toIPv4Address();
}

} // namespace

class TestJoinAndPing : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void joinFromPopup_data();
    void joinFromPopup();
    void joinReportGoesToTheMaker();
    void statsOptionFollowsTheBuild();
    void helpPagesOpenAsProgramsDo_data();
    void helpPagesOpenAsProgramsDo();
    void pingCommands_data();
    void pingCommands();

private:
    TfrmServerList& Main() const { return X_->Main(); }
    QAction* Action(const char* name) const { return Main().findChild<QAction*>(name); }
    // A shell script standing in for a game: it writes its working folder
    // and then each argument on a line of its own into kLaunchedFile.
    QString WriteStandIn();
    // What the stand-in was started with: its folder, then its arguments.
    QStringList Launched() const;
    // Counts the starts of the window's launcher; they still happen.
    void CountStarts();

    std::unique_ptr<TWindowFixture> X_;
    QString GameFolder_;
    int Starts_ = 0;
};

void TestJoinAndPing::init()
{
    X_ = std::make_unique<TWindowFixture>();
    X_->Build();
    X_->Main().Tray().SetAvailability([] { return true; });
    // A folder with a blank in its name: the launch must keep it whole.
    GameFolder_ = X_->Folder.Path() + QStringLiteral("/games/stand in");
    QVERIFY(QDir().mkpath(GameFolder_));
    Starts_ = 0;
}

void TestJoinAndPing::cleanup()
{
    X_.reset();
}

QString TestJoinAndPing::WriteStandIn()
{
    const QString path = GameFolder_ + QStringLiteral("/game.sh");
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly)) {
        return {};
    }
    script.write("#!/bin/sh\n"
                 "out=\"$PWD/" +
                 QByteArray(kLaunchedFile) +
                 "\"\n"
                 "{ pwd; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > \"$out.part\"\n"
                 "mv \"$out.part\" \"$out\"\n");
    script.close();
    script.setPermissions(script.permissions() | QFile::ExeOwner);
    return path;
}

QStringList TestJoinAndPing::Launched() const
{
    QFile file(GameFolder_ + QLatin1Char('/') + QLatin1String(kLaunchedFile));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    lines.removeLast();
    return lines;
}

void TestJoinAndPing::CountStarts()
{
    TLauncher& launcher = Main().JoinPing().Launcher();
    launcher.StartProcess = [this, real = launcher.StartProcess](const QString& program,
                                                                 const QStringList& arguments,
                                                                 const QString& folder) {
        ++Starts_;
        return real(program, arguments, folder);
    };
}

// ---------------------------------------------------------------------------
// Joining

void TestJoinAndPing::joinFromPopup_data()
{
    QTest::addColumn<TGameType>("game");
    QTest::addColumn<QByteArray>("gameFolder");
    QTest::addColumn<bool>("passwordRule");
    QTest::addColumn<std::optional<QString>>("typed");
    QTest::addColumn<int>("confirm"); // -1: no confirmation asked, else the answer
    QTest::addColumn<TJoinAction>("onJoin");
    QTest::addColumn<QString>("program"); // "game.sh": the stand-in; else a path below the folder
    QTest::addColumn<QStringList>("arguments"); // empty: nothing starts
    QTest::addColumn<QString>("status");

    const QString q3 = QStringLiteral("127.0.0.1:27960");
    QTest::newRow("quake 3, to the tray")
        << gtQuake3 << QByteArray() << false << std::optional<QString>() << 1 << jaTray << "game.sh"
        << QStringList{"+connect", q3} << QString();
    // Passed as one argument, never read by a shell.
    QTest::newRow("tribes password stays text")
        << gtTribes << QByteArray() << true << std::optional<QString>("a;b $(touch pwned) \"x\"")
        << -1 << jaNoop << "game.sh"
        << QStringList{"+connect", "127.0.0.1:28001", "+password", "a;b $(touch pwned) \"x\""}
        << QString();
    QTest::newRow("half-life folder carrying options")
        << gtHalfLife << QByteArray("cstrike +exec evil.cfg") << false << std::optional<QString>()
        << -1 << jaTray << "game.sh" << QStringList()
        << "Unable to start game, the server's game folder name (cstrike +exec evil.cfg) is not "
           "a plain folder name.";
    QTest::newRow("confirmation declined")
        << gtQuake3 << QByteArray() << false << std::optional<QString>() << 0 << jaTray << "game.sh"
        << QStringList() << QString();
    QTest::newRow("program missing")
        << gtQuake3 << QByteArray() << false << std::optional<QString>() << -1 << jaTray << "quake3"
        << QStringList()
        << "Unable to launch %1/quake3. File not found. Did you fill out the settings correctly?";
    QTest::newRow("close after the join")
        << gtQuake3 << QByteArray() << false << std::optional<QString>() << -1 << jaClose
        << "game.sh" << QStringList{"+connect", q3} << QString();
}

void TestJoinAndPing::joinFromPopup()
{
    QFETCH(TGameType, game);
    QFETCH(QByteArray, gameFolder);
    QFETCH(bool, passwordRule);
    QFETCH(std::optional<QString>, typed);
    QFETCH(int, confirm);
    QFETCH(TJoinAction, onJoin);
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QString, status);

    const QString standIn = WriteStandIn();
    QVERIFY(!standIn.isEmpty());
    const QString path =
        program == QLatin1String("game.sh") ? standIn : GameFolder_ + QLatin1Char('/') + program;
    X_->Settings.Change([&](TSettingsValues& v) {
        v.GamePaths[game] = path;
        v.LaunchConfirmation = confirm >= 0;
        v.OJCopyIP = true;
        v.OJSaveList = true;
        v.OnJoin = onJoin;
        v.AllowStats = true; // the build's report, when it has an address
    });
    QVERIFY(X_->Show());
    CountStarts();
    QSignalSpy shutDown(&Main(), &TfrmServerList::ShutDown);

    // A neighbour row first: the join acts on the selected one.
    Main().AddServer(QStringLiteral("127.0.0.9"), 1, gtQuake2);
    const int port = game == gtTribes ? 28001 : game == gtHalfLife ? 27015 : 27960;
    const int row = Main().AddServer(QStringLiteral("127.0.0.1"), port, game);
    Main().ChangeServer(row, [&](TGenericServer& server) {
        server.GameName = gameFolder;
        if (passwordRule) {
            server.AddRule("password", "1");
        }
    });
    Main().SelectServer(row);
    if (passwordRule) {
        X_->Dialogs.AnswerText(typed);
    }
    if (confirm >= 0) {
        X_->Dialogs.AnswerQuestion(confirm == 1);
    }
    QApplication::clipboard()->setText(QStringLiteral("before"));
    const QString listFile = Main().ListFile().Path();
    QFile::remove(listFile);

    Action("pmJoin")->trigger();

    QCOMPARE(X_->Dialogs.Unanswered(), 0);
    const bool started = !arguments.isEmpty();
    QCOMPARE(Starts_, started ? 1 : 0);
    if (started) {
        QTRY_VERIFY_WITH_TIMEOUT(!Launched().isEmpty(), 10000);
        // The game runs in its own folder, with each argument as it was meant.
        QCOMPARE(Launched(), QStringList{GameFolder_} + arguments);
        QVERIFY(!QFile::exists(GameFolder_ + QStringLiteral("/pwned")));
    }
    // The address is copied once the join goes ahead, before the launch.
    const bool goesAhead = confirm != 0;
    QCOMPARE(QApplication::clipboard()->text(),
             goesAhead ? QStringLiteral("127.0.0.1:%1").arg(port) : QStringLiteral("before"));
    QCOMPARE(QFile::exists(listFile), started);
    if (!status.isEmpty()) {
        QCOMPARE(Main().StatusText(), status.arg(GameFolder_));
    }
    const bool toTray = started && onJoin == jaTray;
    const bool closed = started && onJoin == jaClose;
    QCOMPARE(Main().Tray().IsVisible(), toTray);
    QCOMPARE(Main().isVisible(), !toTray && !closed);
    QCOMPARE(shutDown.count(), closed ? 1 : 0);
}

void TestJoinAndPing::joinReportGoesToTheMaker()
{
    // A maker's server on loopback that records the first request's head.
    QTcpServer maker;
    QVERIFY(maker.listen(QHostAddress::LocalHost));
    QByteArray request;
    connect(&maker, &QTcpServer::newConnection, this, [&] {
        QTcpSocket* socket = maker.nextPendingConnection();
        connect(socket, &QTcpSocket::readyRead, socket, [&request, socket] {
            request += socket->readAll();
            if (request.contains("\r\n\r\n")) {
                socket->write("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                socket->disconnectFromHost();
            }
        });
    });
    QVERIFY(X_->Show());
    TJoinPingCommands commands(Main(), X_->Settings, X_->Dialogs,
                               QStringLiteral("http://127.0.0.1:%1/").arg(maker.serverPort()));
    // Every printable character and a Latin-1 letter: whatever the month's
    // key, some bytes turn into characters a query gives a meaning to ("&",
    // "+", "#", "%") and some wrap past 255.
    QString userName;
    for (char c = ' '; c < 0x7F; ++c) {
        userName += QLatin1Char(c);
    }
    userName += QChar(0xE9);
    QVERIFY(commands.Stats().Available());
    QSignalSpy finished(&commands.Stats(), &TJoinStats::ReportFinished);
    X_->Settings.Change([&](TSettingsValues& v) {
        v.GamePaths[gtQuake3] = WriteStandIn();
        v.LaunchConfirmation = false;
        v.OnJoin = jaNoop;
        v.AllowStats = true;
        v.StatsUsername = userName;
    });
    const int row = Main().AddServer(QStringLiteral("127.0.0.1"), 27960, gtQuake3);
    Main().SelectServer(row);

    QVERIFY(commands.JoinSelected());
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.first().first().toInt(), 0);

    const QList<QByteArray> head = request.split('\n');
    QVERIFY(head.first().startsWith("GET /morvix/joingame.php?data="));
    const QByteArray encoded =
        head.first().split(' ').at(1).mid(int(strlen("/morvix/joingame.php?data=")));
    // The maker's server reads the query as any web server does, then takes
    // the month's key off every byte.
    const QDate today = QDate::currentDate();
    const int key = (today.year() + today.month()) & 0xFF;
    QByteArray data = QByteArray::fromPercentEncoding(encoded);
    for (char& byte : data) {
        byte = char((std::uint8_t(byte) - key + 256) % 256);
    }
    QCOMPARE(data, userName.toLatin1().replace('|', QByteArray()) + "|Quake 3||127.0.0.1:27960");
    QVERIFY(request.contains("User-Agent: Mozilla/3.0 (compatible)\r\n"));
}

void TestJoinAndPing::statsOptionFollowsTheBuild()
{
    auto* options = X_->Windows.Options;
    auto* allow = options->findChild<QCheckBox*>("cbAllowStats");
    QVERIFY(allow);
    const bool available = Main().JoinPing().Stats().Available();
    QVERIFY(X_->Settings->AllowStats);
    QCOMPARE(allow->isEnabled(), available);
    QCOMPARE(allow->isChecked(), available);
    QCOMPARE(allow->toolTip(), available ? QString() : TJoinStats::UnavailableTip());

    options->SetStatsAvailable(false, QStringLiteral("why"));
    QVERIFY(!allow->isEnabled());
    QVERIFY(!allow->isChecked());
    QVERIFY(!options->findChild<QLineEdit*>("edStatsUsername")->isEnabled());
    QCOMPARE(allow->toolTip(), QStringLiteral("why"));
    // The store loading the settings again leaves it so; the stored choice
    // is kept for a build that can report.
    X_->Settings.Change([](TSettingsValues& v) { v.StatsUsername = QStringLiteral("Other"); });
    QVERIFY(!allow->isChecked());
    QVERIFY(X_->Settings->AllowStats);

    options->SetStatsAvailable(true, QStringLiteral("why"));
    QVERIFY(allow->isEnabled());
    QVERIFY(allow->isChecked());
    QVERIFY(allow->toolTip().isEmpty());
}

// ---------------------------------------------------------------------------
// Help pages

void TestJoinAndPing::helpPagesOpenAsProgramsDo_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("item");
    QTest::addColumn<TOpenOutcome>("outcome");
    QTest::addColumn<QString>("opened");
    QTest::addColumn<QString>("status");

    QTest::newRow("support page") << "maker.invalid"
                                  << "miHelpOnline" << TOpenOutcome::Opened
                                  << "https://maker.invalid/morvix/support" << QString();
    QTest::newRow("home page, trailing slash")
        << "http://maker.invalid/"
        << "miHelpHomepage" << TOpenOutcome::Opened << "http://maker.invalid/morvix" << QString();
    QTest::newRow("no browser")
        << "http://maker.invalid"
        << "miHelpOnline" << TOpenOutcome::NoHandler << "http://maker.invalid/morvix/support"
        << "There is no application associated to the filename extension (http:)";
    QTest::newRow("no web site") << ""
                                 << "miHelpOnline" << TOpenOutcome::Opened << QString()
                                 << QString();
}

void TestJoinAndPing::helpPagesOpenAsProgramsDo()
{
    QFETCH(QString, address);
    QFETCH(QString, item);
    QFETCH(TOpenOutcome, outcome);
    QFETCH(QString, opened);
    QFETCH(QString, status);

    QVERIFY(X_->Show());
    TJoinPingCommands commands(Main(), X_->Settings, X_->Dialogs, address);
    QStringList targets;
    commands.Launcher().OpenDocument = [&](const QString& target, const QString&) {
        targets << target;
        return TOpenResult{outcome, {}};
    };
    QMenu help;
    AddHelpItems(help, X_->Dialogs, !commands.MakerAddress().isEmpty(),
                 [&](const QString& path) { commands.OpenMakerPage(path); });
    auto* action = help.findChild<QAction*>(item);
    QVERIFY(action);
    QCOMPARE(action->isEnabled(), !opened.isEmpty());
    Main().ShowStatus(QStringLiteral("before"));
    if (action->isEnabled()) {
        action->trigger();
    } else {
        commands.OpenMakerPage(QStringLiteral("/morvix/support"));
    }
    QCOMPARE(targets, opened.isEmpty() ? QStringList() : QStringList{opened});
    QCOMPARE(Main().StatusText(), status.isEmpty() ? QStringLiteral("before") : status);
}

// ---------------------------------------------------------------------------
// ICMP ping

void TestJoinAndPing::pingCommands_data()
{
    QTest::addColumn<QString>("command"); // an action's name, or keys
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("onSend"); // "abort" or "remove", at the echo to onHost
    QTest::addColumn<QString>("onHost");
    QTest::addColumn<QStringList>("names"); // each row's name cell afterwards
    QTest::addColumn<QStringList>("pings"); // "rtt": the measured time, kept by the record
    QTest::addColumn<QString>("lastStatus");

    // Rows: 127.0.0.1 (answers), 127.0.0.2 (silent), a name that cannot
    // resolve, 127.0.0.3 (answers).
    const QString u = QStringLiteral("Unknown");
    const QString none = QStringLiteral("NO PING REPLY");
    QTest::newRow("Ctrl+Q sweeps the list")
        << "Ctrl+Q" << -1 << ""
        << "" << QStringList{u, none, u, u} << QStringList{"rtt", "---", "-", "rtt"}
        << "Ping completed.";
    QTest::newRow("abort ends after the current server")
        << "miQueryAbortPing" << -1 << "abort"
        << "127.0.0.2" << QStringList{u, none, u, u} << QStringList{"rtt", "---", "-", "-"}
        << "Ping stopped.";
    QTest::newRow("row removed while pinged")
        << "miQueryPingAll" << -1 << "remove"
        << "127.0.0.2" << QStringList{u, u, u} << QStringList{"rtt", "-", "rtt"}
        << "Ping completed.";
    QTest::newRow("Ctrl+W pings the selected row")
        << "Ctrl+W" << 3 << ""
        << "" << QStringList{u, u, u, u} << QStringList{"-", "-", "-", "rtt"}
        << "Found hostname for 127.0.0.3. Sending ping...";
    QTest::newRow("pop-up ping of a silent server")
        << "pmPing" << 1 << ""
        << "" << QStringList{u, none, u, u} << QStringList{"-", "---", "-", "-"}
        << "Found hostname for 127.0.0.2. Sending ping...";
}

void TestJoinAndPing::pingCommands()
{
    QFETCH(QString, command);
    QFETCH(int, selected);
    QFETCH(QString, onSend);
    QFETCH(QString, onHost);
    QFETCH(QStringList, names);
    QFETCH(QStringList, pings);
    QFETCH(QString, lastStatus);

    QVERIFY(X_->Show());
    TJoinPingCommands& commands = Main().JoinPing();
    auto transport = std::make_unique<TFakeEchoTransport>();
    TFakeEchoTransport& echo = *transport;
    echo.Answering = {Ipv4("127.0.0.1"), Ipv4("127.0.0.3")};
    commands.Ping().SetTransport(std::move(transport));
    // The silent server's time-out, shortened to keep the test quick.
    commands.Ping().SetTimeout(300);

    const QStringList hosts{"127.0.0.1", "127.0.0.2", "no such host", "127.0.0.3"};
    for (const QString& host : hosts) {
        const int row = Main().AddServer(host, 27960, gtQuake3);
        // What the game query found stays in the record whatever the ping.
        Main().ChangeServer(row, [](TGenericServer& server) {
            server.Name = "Kept";
            server.Info.Ping = 77;
        });
    }
    QStringList statuses;
    commands.Sweep().ShowStatus = [&, show = commands.Sweep().ShowStatus](const QString& text) {
        statuses << text;
        show(text);
    };
    echo.OnSend = [&](const TFakeEchoTransport::TSent& sent) {
        if (sent.Destination != Ipv4(onHost)) {
            return;
        }
        if (onSend == QLatin1String("abort")) {
            Action("miQueryAbortPing")->trigger();
        } else if (onSend == QLatin1String("remove")) {
            Main().RemoveServers({1});
        }
    };
    if (selected >= 0) {
        Main().SelectServer(selected);
    }
    // Let the first frame's repaints pass, so those seen after are the ping's.
    QTest::qWait(3 * TfrmServerList::FrameMs);
    auto* list = Main().findChild<QTreeView*>("lvServers");
    QSet<int> changedRows;
    connect(list->model(), &QAbstractItemModel::dataChanged, this,
            [&](const QModelIndex& first, const QModelIndex& last) {
                for (int row = first.row(); row <= last.row(); ++row) {
                    changedRows << row;
                }
            });
    TPaintProbe paints(list->viewport());
    QSignalSpy finished(&commands.Sweep(), &TPingSweep::Finished);

    if (command.startsWith(QLatin1String("Ctrl+"))) {
        Main().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&Main()));
        QTest::keySequence(&Main(), QKeySequence(command));
    } else if (command == QLatin1String("miQueryAbortPing")) {
        // A sweep that the abort item stops while it runs.
        Action("miQueryPingAll")->trigger();
    } else {
        Action(command.toLatin1().constData())->trigger();
    }
    QVERIFY(finished.wait(10000));
    QCOMPARE(statuses.last(), lastStatus);
    QTRY_COMPARE(Main().StatusText(), lastStatus);

    QCOMPARE(Main().ServerCount(), names.size());
    QSet<int> pinged;
    for (int row = 0; row < names.size(); ++row) {
        const TGenericServer* server = Main().Server(row);
        QCOMPARE(Main().Cell(row, colName), names[row]);
        QCOMPARE(server->Name, QByteArray("Kept"));
        const QString ping = Main().Cell(row, colPing);
        if (pings[row] == QLatin1String("rtt")) {
            QCOMPARE(ping, QString::number(server->Info.Ping));
            QVERIFY(server->Info.Ping < 2000);
            pinged << row;
        } else {
            QCOMPARE(ping, pings[row]);
            QCOMPARE(server->Info.Ping, 77u);
            if (pings[row] == QLatin1String("---")) {
                QCOMPARE(Main().Cell(row, colMap), QStringLiteral("---"));
                QCOMPARE(Main().Cell(row, colPlayers), QStringLiteral("---"));
                pinged << row;
            }
        }
    }
    // The view was told about every row the ping wrote, and painted them.
    QTRY_VERIFY(changedRows.contains(pinged));
    if (!pinged.isEmpty()) {
        QTRY_VERIFY(paints.Count() > 0);
    }
    if (!onSend.isEmpty() || command.startsWith(QLatin1String("Ctrl+Q"))) {
        // One echo per row that resolved, in list order.
        QVERIFY(!echo.Sent.isEmpty());
        QCOMPARE(echo.Sent.first().Destination, Ipv4("127.0.0.1"));
    }
    if (command.startsWith(QLatin1String("Ctrl+Q"))) {
        QVERIFY(statuses.contains(QStringLiteral("Unable to resolve no such host.")));
    }

    // A new sweep afterwards runs from the first row to the end.
    echo.OnSend = nullptr;
    statuses.clear();
    Action("miQueryPingAll")->trigger();
    QVERIFY(finished.wait(10000));
    QCOMPARE(statuses.first(), QStringLiteral("Looking up host 127.0.0.1"));
    QCOMPARE(statuses.last(), QStringLiteral("Ping completed."));
}

QTEST_MAIN(TestJoinAndPing)
#include "tst_joinandping.moc"
