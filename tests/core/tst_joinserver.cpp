#include <QProcess>
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

// Scripted dialogs that also act while a dialog is open, as the user or the
// event loop may then.
class TActingDialogs : public TScriptedDialogs
{
public:
    std::function<void()> WhileOpen = [] {};

    bool Question(const QString& title, const QString& text) override
    {
        WhileOpen();
        return TScriptedDialogs::Question(title, text);
    }
    std::optional<QString> InputText(const QString& title, const QString& prompt,
                                     const QString& initial) override
    {
        WhileOpen();
        return TScriptedDialogs::InputText(title, prompt, initial);
    }
};

const QString kNotPlain(
    "Unable to start game, the server's game folder name (%1) is not a plain folder name.");

} // namespace

class TestJoinServer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void parameters_data();
    void parameters();
    void joinSteps_data();
    void joinSteps();
    void passwordPrompt_data();
    void passwordPrompt();
    void dialogsRunTheEventLoop();

private:
    std::unique_ptr<TGenericServer> Server(TGameType game);

    std::unique_ptr<TTempAppFolder> Folder_;
    std::unique_ptr<TSettings> Settings_;
    std::unique_ptr<TActingDialogs> Dialogs_;
    std::unique_ptr<TLauncher> Launcher_;
    std::unique_ptr<TJoinStats> Stats_;
    std::unique_ptr<TServerJoin> Join_;
    QStringList Events_;
    QStringList Arguments_; // of the last start
    TStartResult StartResult_;
};

void TestJoinServer::init()
{
    Folder_ = std::make_unique<TTempAppFolder>();
    Settings_ = std::make_unique<TSettings>();
    Dialogs_ = std::make_unique<TActingDialogs>();
    Launcher_ = std::make_unique<TLauncher>(*Dialogs_);
    // Reports go to a port nobody listens on: what counts is that one left.
    Stats_ = std::make_unique<TJoinStats>(QStringLiteral("http://127.0.0.1:9"));
    Join_ = std::make_unique<TServerJoin>(*Settings_, *Dialogs_, *Launcher_, Stats_.get());
    Events_.clear();
    StartResult_ = {};

    // Every game's path names a stand-in that is never really started.
    const QString game = Folder_->Path() + "/games/game";
    QVERIFY(WriteFileBytes(game, "#!/bin/sh\n"));
    QVERIFY(QFile::setPermissions(game, QFile::ReadOwner | QFile::ExeOwner));
    Settings_->Change([&](TSettingsValues& values) { values.GamePaths.fill(game); });
    Launcher_->StartProcess = [this](const QString&, const QStringList& arguments, const QString&) {
        Events_ << "start";
        Arguments_ = arguments;
        return StartResult_;
    };
    TJoinHooks& hooks = Join_->Hooks;
    hooks.ShowStatus = [this](const QString& text) { Events_ << "status:" + text; };
    Launcher_->ShowStatus = hooks.ShowStatus;
    hooks.CopyToClipboard = [this](const QString& text) { Events_ << "clipboard:" + text; };
    hooks.SaveServerList = [this] { Events_ << "save"; };
    hooks.CloseProgram = [this] { Events_ << "close"; };
    hooks.ShowInTray = [this](bool tray) { Events_ << (tray ? "tray" : "untray"); };
    connect(Stats_.get(), &TJoinStats::ReportSent, this, [this] { Events_ << "stats"; });
}

std::unique_ptr<TGenericServer> TestJoinServer::Server(TGameType game)
{
    auto server = TGenericServer::Create();
    server->GameType = game;
    server->Info.Host = "10.0.0.1";
    server->Info.Port = 27960;
    server->GameName = "cstrike";
    return server;
}

void TestJoinServer::parameters_data()
{
    QTest::addColumn<TGameType>("game");
    QTest::addColumn<QByteArray>("gameName");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("parameters");
    QTest::addColumn<QStringList>("arguments"); // as the game receives them
    QTest::addColumn<QString>("error");

    const QStringList connect{"+connect", "10.0.0.1:27960"};
    for (const TGameType game :
         {gtSoF, gtSin, gtHeretic2, gtQuake3, gtQuakeWorld, gtQuake2, gtKingpin}) {
        QTest::addRow("%s", qPrintable(GameTypeName(game)))
            << game << QByteArray() << "ignored"
            << "+connect 10.0.0.1:27960" << connect << "";
    }
    QTest::newRow("Tribes") << gtTribes << QByteArray() << ""
                            << "+connect 10.0.0.1:27960" << connect << "";
    QTest::newRow("Tribes with password") << gtTribes << QByteArray() << "letmein"
                                          << "+connect 10.0.0.1:27960 +password letmein"
                                          << connect + QStringList{"+password", "letmein"} << "";
    // A password is one argument whatever it holds: it adds no option.
    QTest::newRow("Tribes password with blanks and quotes")
        << gtTribes << QByteArray() << "x \"+exec\" evil"
        << "+connect 10.0.0.1:27960 +password \"x \"\"\"+exec\"\"\" evil\""
        << connect + QStringList{"+password", "x \"+exec\" evil"} << "";
    QTest::newRow("Tribes 2") << gtTribes2 << QByteArray() << "x"
                              << "-connect IP: 10.0.0.1:27960"
                              << QStringList{"-connect", "IP:", "10.0.0.1:27960"} << "";
    QTest::newRow("Half-Life") << gtHalfLife << QByteArray("my_mod-1.0") << "x"
                               << "-game -console my_mod-1.0 +connect 10.0.0.1:27960"
                               << QStringList{"-game", "-console", "my_mod-1.0"} + connect << "";
    for (const char* bad : {"cstrike +exec evil.cfg", "-dev", "..", "../valve", ""}) {
        QTest::addRow("Half-Life folder '%s'", bad) << gtHalfLife << QByteArray(bad) << ""
                                                    << "" << QStringList{} << kNotPlain.arg(bad);
    }
    QTest::newRow("Half-Life folder with a control byte")
        << gtHalfLife << QByteArray("cs\ntfc") << ""
        << "" << QStringList{} << kNotPlain.arg("cstfc");
    QTest::newRow("unknown game") << gtUnknown << QByteArray() << ""
                                  << "" << QStringList{}
                                  << "Unable to start game, not supported by Morvix.";
}

void TestJoinServer::parameters()
{
    QFETCH(TGameType, game);
    QFETCH(QByteArray, gameName);
    QFETCH(QString, password);
    QFETCH(QString, parameters);
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);

    auto server = Server(game);
    server->GameName = gameName;
    const TJoinCommand command = JoinParameters(*server, password);
    QCOMPARE(command, (TJoinCommand{parameters, error}));
    QCOMPARE(QProcess::splitCommand(command.Parameters), arguments);
}

void TestJoinServer::joinSteps_data()
{
    QTest::addColumn<bool>("confirm"); // "Show launch confirmation", answered Yes
    QTest::addColumn<bool>("copy");
    QTest::addColumn<bool>("save");
    QTest::addColumn<bool>("stats");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("trouble");
    QTest::addColumn<QStringList>("events");

    const QString clip("clipboard:10.0.0.1:27960");
    QTest::newRow("defaults") << true << true << true << true << int(jaTray) << ""
                              << QStringList{clip, "start", "stats", "save", "tray"};
    QTest::newRow("refused") << true << true << true << true << int(jaTray) << "No"
                             << QStringList{};
    QTest::newRow("nothing around the launch")
        << false << false << false << false << int(jaNoop) << "" << QStringList{"start"};
    QTest::newRow("close after saving") << false << true << true << true << int(jaClose) << ""
                                        << QStringList{clip, "start", "stats", "save", "close"};
    QTest::newRow("no stats") << false << true << false << false << int(jaTray) << ""
                              << QStringList{clip, "start", "tray"};
    // Trouble ends the join where it shows: no stats, no save, no tray.
    QTest::newRow("launch fails")
        << false << true << true << true << int(jaTray) << "denied"
        << QStringList{clip, "start",
                       "status:The operating system denied access to the specified file. (%1)"};
    QTest::newRow("no path") << false << true << true << true << int(jaTray) << "no path"
                             << QStringList{clip};
    QTest::newRow("folder refused") << false << true << true << true << int(jaTray) << "folder"
                                    << QStringList{clip, "status:" + kNotPlain.arg("-dev")};
}

void TestJoinServer::joinSteps()
{
    QFETCH(bool, confirm);
    QFETCH(bool, copy);
    QFETCH(bool, save);
    QFETCH(bool, stats);
    QFETCH(int, action);
    QFETCH(QString, trouble);
    QFETCH(QStringList, events);

    Settings_->Change([&](TSettingsValues& values) {
        values.LaunchConfirmation = confirm;
        values.OJCopyIP = copy;
        values.OJSaveList = save;
        values.AllowStats = stats;
        values.OnJoin = TJoinAction(action);
        if (trouble == "no path") {
            values.GamePaths[gtHalfLife].clear();
        }
    });
    Dialogs_->AnswerQuestion(trouble != "No");
    StartResult_ = {trouble == "denied" ? EACCES : 0, false};
    auto server = Server(gtHalfLife);
    server->GameName = trouble == "folder" ? "-dev" : "valve";
    const bool launched = Join_->JoinServer(*server, QString());

    events.replaceInStrings("%1", Settings_->Values().GamePaths[gtHalfLife]);
    QCOMPARE(Events_, events);
    QCOMPARE(launched, events.contains("start") && trouble.isEmpty());
    QStringList shown;
    for (const auto& dialog : Dialogs_->Shown()) {
        shown << dialog.Title + ": " + dialog.Text;
    }
    QStringList expectedShown;
    if (confirm) {
        expectedShown << "Launch confirmation: Morvix is about to launch Half-Life. Do you wish "
                         "to continue?";
    }
    if (trouble == "no path") {
        expectedShown << "Morvix: Path is empty, please fill out the options (game "
                         "configuration) form.";
    }
    QCOMPARE(shown, expectedShown);
}

void TestJoinServer::passwordPrompt_data()
{
    QTest::addColumn<TGameType>("game");
    QTest::addColumn<QByteArray>("rule"); // the "password" rule; empty for none
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QStringList>("arguments");

    const QStringList connect{"+connect", "10.0.0.1:27960"};
    QTest::newRow("Tribes, typed") << gtTribes << QByteArray("1") << true << false
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
    QCOMPARE(Arguments_, arguments);
    QCOMPARE(Dialogs_->Shown().size(), asked ? 1 : 0);
    if (asked) {
        QCOMPARE(Dialogs_->Shown().first().Title, QStringLiteral("Password?"));
        QCOMPARE(Dialogs_->Shown().first().Text,
                 QStringLiteral("Server is password protected. Please enter password"));
    }
}

void TestJoinServer::dialogsRunTheEventLoop()
{
    // While a dialog is open the row may go and the options may change: the
    // join goes on with the server it was asked for and the options of now.
    auto server = Server(gtTribes);
    server->AddRule("password", "1");
    Dialogs_->WhileOpen = [&] {
        server.reset();
        Settings_->Change([](TSettingsValues& values) {
            values.OJCopyIP = false;
            values.OnJoin = jaClose;
        });
    };
    Dialogs_->AnswerText(QStringLiteral("pw"));
    Dialogs_->AnswerQuestion(true);
    QVERIFY(Join_->JoinWithPrompt(*server));
    QCOMPARE(Arguments_, (QStringList{"+connect", "10.0.0.1:27960", "+password", "pw"}));
    QCOMPARE(Events_, (QStringList{"start", "stats", "save", "close"}));
}

QTEST_GUILESS_MAIN(TestJoinServer)
#include "tst_joinserver.moc"
