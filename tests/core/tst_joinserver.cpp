#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <cerrno>

#include "core/joinserver.h"
#include "core/joinstats.h"
#include "core/launcher.h"
#include "core/settings.h"
#include "model/genericserver.h"
#include "scripteddialogs.h"
#include "tempappfolder.h"
#include "testutil.h"

namespace {

// Scripted dialogs that can also act while a dialog is open, as the user or
// the event loop may then.
class TActingDialogs : public TScriptedDialogs
{
public:
    std::function<void()> WhileOpen;

    bool Question(const QString& title, const QString& text) override
    {
        Act();
        return TScriptedDialogs::Question(title, text);
    }
    std::optional<QString> InputText(const QString& title, const QString& prompt,
                                     const QString& initial) override
    {
        Act();
        return TScriptedDialogs::InputText(title, prompt, initial);
    }

private:
    void Act()
    {
        if (WhileOpen) {
            WhileOpen();
        }
    }
};

} // namespace

class TestJoinServer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void parameters_data();
    void parameters();
    void joinSteps_data();
    void joinSteps();
    void launchFailureEndsTheJoin();
    void emptyPathEndsTheJoin();
    void refusedParametersEndTheJoin_data();
    void refusedParametersEndTheJoin();
    void passwordPrompt_data();
    void passwordPrompt();
    void settingsAreReadAtEachStep();
    void rowRemovedWhileAsking();

private:
    std::unique_ptr<TGenericServer> Server(TGameType game, const QString& host = "10.0.0.1",
                                           int port = 27960);

    std::unique_ptr<TTempAppFolder> Folder_;
    std::unique_ptr<TSettings> Settings_;
    std::unique_ptr<TActingDialogs> Dialogs_;
    std::unique_ptr<TLauncher> Launcher_;
    std::unique_ptr<TJoinStats> Stats_;
    std::unique_ptr<TServerJoin> Join_;
    QStringList Events_;
    QStringList StartedArguments_;
    TStartResult StartResult_;
};

void TestJoinServer::init()
{
    Folder_ = std::make_unique<TTempAppFolder>();
    Settings_ = std::make_unique<TSettings>();
    Dialogs_ = std::make_unique<TActingDialogs>();
    Launcher_ = std::make_unique<TLauncher>(*Dialogs_);
    // Reports go to a port nobody listens on; what counts here is that one
    // left.
    Stats_ = std::make_unique<TJoinStats>(QStringLiteral("http://127.0.0.1:9"));
    Join_ = std::make_unique<TServerJoin>(*Settings_, *Dialogs_, *Launcher_, Stats_.get());
    Events_.clear();
    StartedArguments_.clear();
    StartResult_ = {};

    // Every game's path names one stand-in program; it is never really
    // started.
    const QString game = Folder_->Path() + QStringLiteral("/games/game");
    QVERIFY(WriteFileBytes(game, "#!/bin/sh\n"));
    QVERIFY(QFile::setPermissions(game, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    Settings_->Change([&](TSettingsValues& values) { values.GamePaths.fill(game); });
    Launcher_->StartProcess = [this](const QString&, const QStringList& arguments, const QString&) {
        Events_ << QStringLiteral("start");
        StartedArguments_ = arguments;
        return StartResult_;
    };

    TJoinHooks& hooks = Join_->Hooks;
    hooks.ShowStatus = [this](const QString& text) { Events_ << QStringLiteral("status:") + text; };
    Launcher_->ShowStatus = hooks.ShowStatus;
    hooks.CopyToClipboard = [this](const QString& text) {
        Events_ << QStringLiteral("clipboard:") + text;
    };
    hooks.SaveServerList = [this] { Events_ << QStringLiteral("save"); };
    hooks.CloseProgram = [this] { Events_ << QStringLiteral("close"); };
    hooks.ShowInTray = [this](bool tray) {
        Events_ << QStringLiteral("tray:") + (tray ? "true" : "false");
    };
    connect(Stats_.get(), &TJoinStats::ReportSent, this,
            [this] { Events_ << QStringLiteral("stats"); });
}

void TestJoinServer::cleanup()
{
    Join_.reset();
    Stats_.reset();
    Launcher_.reset();
    Dialogs_.reset();
    Settings_.reset();
    Folder_.reset();
}

std::unique_ptr<TGenericServer> TestJoinServer::Server(TGameType game, const QString& host,
                                                       int port)
{
    auto server = TGenericServer::Create();
    server->GameType = game;
    server->Info.Host = host;
    server->Info.Port = port;
    server->GameName = "cstrike";
    return server;
}

void TestJoinServer::parameters_data()
{
    QTest::addColumn<TGameType>("game");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("parameters");
    QTest::addColumn<QStringList>("arguments"); // as the game receives them

    const QStringList connect{"+connect", "10.0.0.1:27960"};
    for (const TGameType game :
         {gtSoF, gtSin, gtHeretic2, gtQuake3, gtQuakeWorld, gtQuake2, gtKingpin}) {
        QTest::addRow("%s", qPrintable(GameTypeName(game))) << game << "ignored"
                                                            << "+connect 10.0.0.1:27960" << connect;
    }
    QTest::newRow("Tribes without password") << gtTribes << ""
                                             << "+connect 10.0.0.1:27960" << connect;
    QTest::newRow("Tribes with password") << gtTribes << "letmein"
                                          << "+connect 10.0.0.1:27960 +password letmein"
                                          << connect + QStringList{"+password", "letmein"};
    // A password is one argument whatever it holds: it can add no option.
    QTest::newRow("Tribes password with blanks")
        << gtTribes << "x +exec evil.cfg"
        << "+connect 10.0.0.1:27960 +password \"x +exec evil.cfg\""
        << connect + QStringList{"+password", "x +exec evil.cfg"};
    QTest::newRow("Tribes password with quotes")
        << gtTribes << "a \"b\""
        << "+connect 10.0.0.1:27960 +password \"a \"\"\"b\"\"\"\""
        << connect + QStringList{"+password", "a \"b\""};
    QTest::newRow("Tribes password of blanks")
        << gtTribes << "  "
        << "+connect 10.0.0.1:27960 +password \"  \"" << connect + QStringList{"+password", "  "};
    QTest::newRow("Tribes 2") << gtTribes2 << "x"
                              << "-connect IP: 10.0.0.1:27960"
                              << QStringList{"-connect", "IP:", "10.0.0.1:27960"};
    QTest::newRow("Half-Life") << gtHalfLife << "x"
                               << "-game -console cstrike +connect 10.0.0.1:27960"
                               << QStringList{"-game", "-console", "cstrike"} + connect;
}

void TestJoinServer::parameters()
{
    QFETCH(TGameType, game);
    QFETCH(QString, password);
    QFETCH(QString, parameters);
    QFETCH(QStringList, arguments);

    const TJoinCommand command = JoinParameters(*Server(game), password);
    QCOMPARE(command.Error, QString());
    QCOMPARE(command.Parameters, parameters);
    QCOMPARE(QProcess::splitCommand(command.Parameters), arguments);
}

void TestJoinServer::joinSteps_data()
{
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("copy");
    QTest::addColumn<bool>("save");
    QTest::addColumn<bool>("stats");
    QTest::addColumn<int>("action");
    QTest::addColumn<QStringList>("events");

    const QString clip = QStringLiteral("clipboard:10.0.0.1:27960");
    QTest::newRow("defaults, confirmed")
        << true << true << true << true << true << int(jaTray)
        << QStringList{clip, "start", "stats", "save", "tray:true"};
    QTest::newRow("confirmation refused")
        << true << false << true << true << true << int(jaTray) << QStringList{};
    QTest::newRow("nothing around the launch")
        << false << false << false << false << false << int(jaNoop) << QStringList{"start"};
    QTest::newRow("close after saving") << false << false << true << true << true << int(jaClose)
                                        << QStringList{clip, "start", "stats", "save", "close"};
    QTest::newRow("no stats") << false << false << true << false << false << int(jaTray)
                              << QStringList{clip, "start", "tray:true"};
}

void TestJoinServer::joinSteps()
{
    QFETCH(bool, confirm);
    QFETCH(bool, answer);
    QFETCH(bool, copy);
    QFETCH(bool, save);
    QFETCH(bool, stats);
    QFETCH(int, action);
    QFETCH(QStringList, events);

    Settings_->Change([&](TSettingsValues& values) {
        values.LaunchConfirmation = confirm;
        values.OJCopyIP = copy;
        values.OJSaveList = save;
        values.AllowStats = stats;
        values.OnJoin = TJoinAction(action);
    });
    Dialogs_->AnswerQuestion(answer);
    QCOMPARE(Join_->JoinServer(*Server(gtQuake3), QString()), !events.isEmpty());
    QCOMPARE(Events_, events);
    if (confirm) {
        QCOMPARE(Dialogs_->Shown().size(), 1);
        QCOMPARE(Dialogs_->Shown().first().Title, QStringLiteral("Launch confirmation"));
        QCOMPARE(Dialogs_->Shown().first().Text,
                 QStringLiteral("Morvix is about to launch Quake 3. Do you wish to continue?"));
    } else {
        QVERIFY(Dialogs_->Shown().isEmpty());
    }
}

void TestJoinServer::launchFailureEndsTheJoin()
{
    Settings_->Change([](TSettingsValues& values) { values.LaunchConfirmation = false; });
    StartResult_ = {EACCES, false};
    QVERIFY(!Join_->JoinServer(*Server(gtQuake3), QString()));
    const QString path = Settings_->Values().GamePaths[gtQuake3];
    QCOMPARE(Events_, (QStringList{"clipboard:10.0.0.1:27960", "start",
                                   "status:The operating system denied access to the specified "
                                   "file. (" +
                                       path + ")"}));
}

void TestJoinServer::emptyPathEndsTheJoin()
{
    Settings_->Change([](TSettingsValues& values) {
        values.LaunchConfirmation = false;
        values.GamePaths[gtHalfLife].clear();
    });
    QVERIFY(!Join_->JoinServer(*Server(gtHalfLife), QString()));
    QCOMPARE(Events_, QStringList{"clipboard:10.0.0.1:27960"});
    QCOMPARE(Dialogs_->Shown().size(), 1);
    QCOMPARE(
        Dialogs_->Shown().first().Text,
        QStringLiteral("Path is empty, please fill out the options (game configuration) form."));
}

void TestJoinServer::refusedParametersEndTheJoin_data()
{
    QTest::addColumn<TGameType>("game");
    QTest::addColumn<QByteArray>("gameName");
    QTest::addColumn<QString>("status");

    const QString notPlain = QStringLiteral(
        "Unable to start game, the server's game folder name (%1) is not a plain folder name.");
    QTest::newRow("unknown game") << gtUnknown << QByteArray("cstrike")
                                  << "Unable to start game, not supported by Morvix.";
    QTest::newRow("folder with an option") << gtHalfLife << QByteArray("cstrike +exec evil.cfg")
                                           << notPlain.arg("cstrike +exec evil.cfg");
    QTest::newRow("folder that is an option")
        << gtHalfLife << QByteArray("-dev") << notPlain.arg("-dev");
    QTest::newRow("parent folder") << gtHalfLife << QByteArray("..") << notPlain.arg("..");
    QTest::newRow("path") << gtHalfLife << QByteArray("../valve") << notPlain.arg("../valve");
    QTest::newRow("no folder") << gtHalfLife << QByteArray() << notPlain.arg("");
    QTest::newRow("control byte") << gtHalfLife << QByteArray("cs\ntfc") << notPlain.arg("cstfc");
    QTest::newRow("quote") << gtHalfLife << QByteArray("cs\"") << notPlain.arg("cs\"");
}

void TestJoinServer::refusedParametersEndTheJoin()
{
    QFETCH(TGameType, game);
    QFETCH(QByteArray, gameName);
    QFETCH(QString, status);

    Settings_->Change([](TSettingsValues& values) { values.LaunchConfirmation = false; });
    auto server = Server(game);
    server->GameName = gameName;
    QVERIFY(!Join_->JoinServer(*server, QString()));
    QCOMPARE(Events_, (QStringList{"clipboard:10.0.0.1:27960", "status:" + status}));
}

void TestJoinServer::passwordPrompt_data()
{
    QTest::addColumn<TGameType>("game");
    QTest::addColumn<QByteArray>("rule"); // the "password" rule; empty for none
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QStringList>("arguments");

    const QStringList connect{"+connect", "10.0.0.1:27960"};
    QTest::newRow("Tribes, password typed") << gtTribes << QByteArray("1") << true << false
                                            << connect + QStringList{"+password", "let me in"};
    QTest::newRow("Tribes, cancelled") << gtTribes << QByteArray("1") << true << true << connect;
    QTest::newRow("Tribes, open server")
        << gtTribes << QByteArray("0") << false << false << connect;
    QTest::newRow("Tribes, no rule") << gtTribes << QByteArray() << false << false << connect;
    QTest::newRow("Quake 3 asks, passes nothing")
        << gtQuake3 << QByteArray("1") << true << false << connect;
}

void TestJoinServer::passwordPrompt()
{
    QFETCH(TGameType, game);
    QFETCH(QByteArray, rule);
    QFETCH(bool, asked);
    QFETCH(bool, cancel);
    QFETCH(QStringList, arguments);

    Settings_->Change([](TSettingsValues& values) { values.LaunchConfirmation = false; });
    auto server = Server(game);
    if (!rule.isEmpty()) {
        server->AddRule("password", rule);
    }
    Dialogs_->AnswerText(cancel ? std::nullopt : std::optional<QString>("let me in"));
    QVERIFY(Join_->JoinWithPrompt(*server));
    QCOMPARE(StartedArguments_, arguments);
    if (asked) {
        QCOMPARE(Dialogs_->Shown().size(), 1);
        QCOMPARE(Dialogs_->Shown().first().Kind, TScriptedDialogs::TKind::InputText);
        QCOMPARE(Dialogs_->Shown().first().Title, QStringLiteral("Password?"));
        QCOMPARE(Dialogs_->Shown().first().Text,
                 QStringLiteral("Server is password protected. Please enter password"));
    } else {
        QVERIFY(Dialogs_->Shown().isEmpty());
    }
}

void TestJoinServer::settingsAreReadAtEachStep()
{
    // Options changed while the confirmation is open count for the steps
    // after it.
    Dialogs_->WhileOpen = [this] {
        Settings_->Change([](TSettingsValues& values) {
            values.OJCopyIP = false;
            values.OnJoin = jaClose;
        });
    };
    Dialogs_->AnswerQuestion(true);
    QVERIFY(Join_->JoinServer(*Server(gtQuake3), QString()));
    QCOMPARE(Events_, (QStringList{"start", "stats", "save", "close"}));
}

void TestJoinServer::rowRemovedWhileAsking()
{
    // The dialogs run the event loop, where the row and its record may go.
    auto server = Server(gtTribes, QStringLiteral("192.0.2.7"), 28001);
    server->AddRule("password", "1");
    Dialogs_->WhileOpen = [&] { server.reset(); };
    Dialogs_->AnswerText(QStringLiteral("pw"));
    Dialogs_->AnswerQuestion(true);
    QVERIFY(Join_->JoinWithPrompt(*server));
    QCOMPARE(StartedArguments_, (QStringList{"+connect", "192.0.2.7:28001", "+password", "pw"}));
    QCOMPARE(Events_.first(), QStringLiteral("clipboard:192.0.2.7:28001"));
}

QTEST_GUILESS_MAIN(TestJoinServer)
#include "tst_joinserver.moc"
