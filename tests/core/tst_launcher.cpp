#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <sys/wait.h>
#include <unistd.h>

#include "core/launcher.h"
#include "scripteddialogs.h"
#include "testutil.h"

namespace {

// What a stand-in program found when it ran.
struct TRun
{
    QString Folder;
    QStringList Arguments;
    qint64 Session = 0;
};

// A stand-in program: it writes its working folder, its session and its
// arguments, one a line, to Record (whole, by renaming, so a reader never
// sees half of it). It uses no program found through PATH, which tests
// change.
QByteArray RecorderScript(const QString& record)
{
    const QByteArray out = QFile::encodeName(record);
    return "#!/bin/sh\n"
           "read -r pid comm state ppid pgrp session rest < /proc/$$/stat\n"
           "{ pwd -P; echo \"$session\"; echo \"$#\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; "
           "done; } > '" +
           out + ".part'\n/bin/mv '" + out + ".part' '" + out + "'\n";
}

bool WriteProgram(const QString& path, const QByteArray& contents,
                  QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner |
                                                   QFile::ExeOwner | QFile::ReadGroup |
                                                   QFile::ExeGroup)
{
    return WriteFileBytes(path, contents) && QFile::setPermissions(path, permissions);
}

std::optional<TRun> ReadRun(const QString& record)
{
    const QStringList lines =
        QString::fromLocal8Bit(ReadFileBytes(record)).split(QLatin1Char('\n'));
    if (lines.size() < 3) {
        return std::nullopt;
    }
    TRun run{lines[0], lines.mid(3, lines[2].toInt()), lines[1].toLongLong()};
    return run;
}

QString Canonical(const QString& path)
{
    return QFileInfo(path).canonicalFilePath();
}

} // namespace

class TestLauncher : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void argumentsArriveAsText_data();
    void argumentsArriveAsText();
    void workingFolderIsTheProgramsFolder_data();
    void workingFolderIsTheProgramsFolder();
    void programOutlivesUsDetached();
    void failures_data();
    void failures();
    void emptyPathAsksToFillTheOptions();
    void windowsProgramRunsThroughWine();
    void documentsGoToTheDesktop_data();
    void documentsGoToTheDesktop();
    void desktopOpenerStartsXdgOpen();
    void defaultHandler_data();
    void defaultHandler();

private:
    // Launches Path with Parameters and waits for the stand-in's record.
    std::optional<TRun> LaunchAndWait(const QString& path, const QString& parameters,
                                      const QString& record);

    std::unique_ptr<QTemporaryDir> Dir_;
    std::unique_ptr<TScriptedDialogs> Dialogs_;
    std::unique_ptr<TLauncher> Launcher_;
    QStringList Status_;
    QByteArray SavedPath_;
    QString SavedCurrent_;
    QString Bin_; // the only folder on PATH
};

void TestLauncher::init()
{
    Dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(Dir_->isValid());
    Dialogs_ = std::make_unique<TScriptedDialogs>();
    Launcher_ = std::make_unique<TLauncher>(*Dialogs_);
    Launcher_->ShowStatus = [this](const QString& text) { Status_ << text; };
    // The desktop's associations come from empty folders unless a test
    // writes some.
    Launcher_->DesktopFolders =
        TDesktopFolders{{Dir_->filePath(QStringLiteral("xdg/config"))},
                        {Dir_->filePath(QStringLiteral("xdg/data/applications"))}};
    Status_.clear();
    SavedPath_ = qgetenv("PATH");
    SavedCurrent_ = QDir::currentPath();
    Bin_ = Dir_->filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(Bin_));
    qputenv("PATH", QFile::encodeName(Bin_));
}

void TestLauncher::cleanup()
{
    qputenv("PATH", SavedPath_);
    QDir::setCurrent(SavedCurrent_);
    Launcher_.reset();
    Dialogs_.reset();
    Dir_.reset();
}

std::optional<TRun> TestLauncher::LaunchAndWait(const QString& path, const QString& parameters,
                                                const QString& record)
{
    if (!Launcher_->LaunchProgram(path, parameters)) {
        qWarning() << "not launched:" << Status_;
        return std::nullopt;
    }
    // The program runs on its own; its record shows up when it is done.
    for (int waited = 0; !QFile::exists(record) && waited < 10000; waited += 10) {
        QTest::qWait(10);
    }
    return ReadRun(record);
}

void TestLauncher::argumentsArriveAsText_data()
{
    QTest::addColumn<QString>("parameters");
    QTest::addColumn<QStringList>("arguments");

    QTest::newRow("connect") << "+connect 10.0.0.1:27960"
                             << QStringList{"+connect", "10.0.0.1:27960"};
    QTest::newRow("Half-Life") << "-game -console cstrike +connect 10.0.0.1:27015"
                               << QStringList{"-game", "-console", "cstrike", "+connect",
                                              "10.0.0.1:27015"};
    QTest::newRow("none") << "" << QStringList{};
    QTest::newRow("blanks around") << "   -connect   IP:  " << QStringList{"-connect", "IP:"};
    QTest::newRow("quoted blank") << "+password \"two words\""
                                  << QStringList{"+password", "two words"};
    QTest::newRow("quote inside quotes") << "\"say \"\"\"hi\"\"\"\"" << QStringList{"say \"hi\""};
    // What a shell would act on arrives as plain text.
    QTest::newRow("command separator")
        << "+connect a;touch PWNED" << QStringList{"+connect", "a;touch", "PWNED"};
    QTest::newRow("command substitution")
        << "$(touch PWNED) `touch PWNED` ${HOME} *"
        << QStringList{"$(touch", "PWNED)", "`touch", "PWNED`", "${HOME}", "*"};
    QTest::newRow("redirection and pipe")
        << "> PWNED | tee PWNED &" << QStringList{">", "PWNED", "|", "tee", "PWNED", "&"};
}

void TestLauncher::argumentsArriveAsText()
{
    QFETCH(QString, parameters);
    QFETCH(QStringList, arguments);

    const QString game = Dir_->filePath(QStringLiteral("games/q3/quake3"));
    const QString record = Dir_->filePath(QStringLiteral("run.txt"));
    QVERIFY(WriteProgram(game, RecorderScript(record)));
    const std::optional<TRun> run = LaunchAndWait(game, parameters, record);
    QVERIFY(run);
    QCOMPARE(run->Arguments, arguments);
    QVERIFY(Status_.isEmpty());
    QVERIFY(!QFile::exists(Dir_->filePath(QStringLiteral("games/q3/PWNED"))));
    QVERIFY(!QFile::exists(Dir_->filePath(QStringLiteral("PWNED"))));
}

void TestLauncher::workingFolderIsTheProgramsFolder_data()
{
    QTest::addColumn<QString>("folder"); // below the temporary folder
    QTest::addColumn<QString>("given");  // how the path is written

    QTest::newRow("absolute") << "games/q3"
                              << "absolute";
    QTest::newRow("blanks in the folder") << "My Games/Quake III"
                                          << "absolute";
    QTest::newRow("relative to our folder") << "games/q3"
                                            << "relative";
    QTest::newRow("a bare name found on PATH") << "bin"
                                               << "bare";
}

void TestLauncher::workingFolderIsTheProgramsFolder()
{
    QFETCH(QString, folder);
    QFETCH(QString, given);

    const QString game = Dir_->filePath(folder + QStringLiteral("/morvix-test-game"));
    const QString record = Dir_->filePath(QStringLiteral("run.txt"));
    QVERIFY(WriteProgram(game, RecorderScript(record)));
    QString path = game;
    if (given == QLatin1String("relative")) {
        QVERIFY(QDir::setCurrent(Dir_->path()));
        path = folder + QStringLiteral("/morvix-test-game");
    } else if (given == QLatin1String("bare")) {
        path = QStringLiteral("morvix-test-game");
    }
    const std::optional<TRun> run =
        LaunchAndWait(path, QStringLiteral("+connect 1.2.3.4:5"), record);
    QVERIFY(run);
    QCOMPARE(run->Folder, Canonical(Dir_->filePath(folder)));
}

void TestLauncher::programOutlivesUsDetached()
{
    const QString game = Dir_->filePath(QStringLiteral("games/q3/quake3"));
    const QString record = Dir_->filePath(QStringLiteral("run.txt"));
    QVERIFY(WriteProgram(game, RecorderScript(record)));
    const std::optional<TRun> run = LaunchAndWait(game, {}, record);
    QVERIFY(run);
    // A session of its own (our terminal's signals do not reach it) and no
    // child of ours left to reap.
    QVERIFY(run->Session != 0);
    QVERIFY(run->Session != qint64(::getsid(0)));
    errno = 0;
    QCOMPARE(::waitpid(-1, nullptr, WNOHANG), -1);
    QCOMPARE(errno, ECHILD);
}

void TestLauncher::failures_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("expected"); // %1 the path, %2 the temporary folder

    QTest::newRow("missing file")
        << "missing file"
        << "Unable to launch %1. File not found. Did you fill out the settings correctly?";
    QTest::newRow("missing folder") << "missing folder"
                                    << "Unable to open path %2/nofolder/.";
    QTest::newRow("a file where the folder should be") << "file as folder"
                                                       << "Unable to open path %2/readme.txt/.";
    QTest::newRow("program without execute permission")
        << "no permission"
        << "The operating system denied access to the specified file. (%1)";
    QTest::newRow("executable that is no program")
        << "not a program"
        << "%1 is a invalid .EXE file (non-Win32 .EXE or error in .EXE image).";
    QTest::newRow("script whose interpreter is missing")
        << "no interpreter"
        << "%1 is a invalid .EXE file (non-Win32 .EXE or error in .EXE image).";
    QTest::newRow("program file open for writing") << "busy"
                                                   << "A sharing violation occurred.";
    QTest::newRow("document nothing opens")
        << "no handler"
        << "There is no application associated to the filename extension (.xyzzy)";
    QTest::newRow("web address nothing opens")
        << "web no handler"
        << "There is no application associated to the filename extension (https:)";
    QTest::newRow("no desktop opener installed")
        << "no opener"
        << "The filename association is incomplete or invalid.";
    QTest::newRow("Windows program without Wine")
        << "no wine"
        << "Unable to launch %1. It is a Windows program, and Wine is needed to run it: install "
           "Wine (the wine package) and join again.";
    QTest::newRow("out of memory") << "ENOMEM"
                                   << "There was not enough memory to complete the operation.";
    QTest::newRow("out of processes") << "EAGAIN"
                                      << "The operating system is out of memory or resources.";
    QTest::newRow("folder gone before the start") << "folder gone"
                                                  << "Unable to open path %2/games/q3/.";
}

void TestLauncher::failures()
{
    QFETCH(QString, situation);
    QFETCH(QString, expected);

    const QString temp = Dir_->path();
    QString path = Dir_->filePath(QStringLiteral("games/q3/quake3"));
    QVERIFY(QDir().mkpath(Dir_->filePath(QStringLiteral("games/q3"))));
    const QString opener = Bin_ + QStringLiteral("/xdg-open");
    QVERIFY(WriteProgram(opener, RecorderScript(Dir_->filePath(QStringLiteral("opened.txt")))));
    QFile busy;

    if (situation == QLatin1String("missing file")) {
        path = Dir_->filePath(QStringLiteral("games/q3/nothing"));
    } else if (situation == QLatin1String("missing folder")) {
        path = Dir_->filePath(QStringLiteral("nofolder/quake3"));
    } else if (situation == QLatin1String("file as folder")) {
        QVERIFY(WriteFileBytes(Dir_->filePath(QStringLiteral("readme.txt")), "text\n"));
        path = Dir_->filePath(QStringLiteral("readme.txt/quake3"));
    } else if (situation == QLatin1String("no permission")) {
        QVERIFY(WriteProgram(path, "#!/bin/sh\nexit 0\n", QFile::ReadOwner | QFile::WriteOwner));
    } else if (situation == QLatin1String("not a program")) {
        QVERIFY(WriteProgram(path, "Just some notes, marked executable.\n"));
    } else if (situation == QLatin1String("no interpreter")) {
        QVERIFY(WriteProgram(path, "#!/nonexistent/morvix-shell\n"));
    } else if (situation == QLatin1String("busy")) {
        QVERIFY(WriteProgram(path, "#!/bin/sh\nexit 0\n"));
        busy.setFileName(path);
        QVERIFY(busy.open(QIODevice::WriteOnly | QIODevice::Append));
    } else if (situation == QLatin1String("no handler") ||
               situation == QLatin1String("no opener")) {
        path = Dir_->filePath(QStringLiteral("notes.xyzzy"));
        QVERIFY(WriteFileBytes(path, "plain words\n"));
        if (situation == QLatin1String("no opener")) {
            QVERIFY(QFile::remove(opener));
        }
    } else if (situation == QLatin1String("web no handler")) {
        path = QStringLiteral("https://example.test/morvix");
        qunsetenv("BROWSER");
    } else if (situation == QLatin1String("no wine")) {
        path = Dir_->filePath(QStringLiteral("games/q3/quake3.EXE"));
        QVERIFY(WriteFileBytes(path, "MZ\x90"));
    } else {
        QVERIFY(WriteProgram(path, "#!/bin/sh\nexit 0\n"));
        const TStartResult failure =
            situation == QLatin1String("folder gone")
                ? TStartResult{ENOENT, true}
                : TStartResult{situation == QLatin1String("ENOMEM") ? ENOMEM : EAGAIN, false};
        Launcher_->StartProcess = [failure](const QString&, const QStringList&, const QString&) {
            return failure;
        };
    }

    QVERIFY(!Launcher_->LaunchProgram(path, QStringLiteral("+connect 1.2.3.4:27960")));
    expected.replace(QStringLiteral("%1"), path).replace(QStringLiteral("%2"), temp);
    QCOMPARE(Status_, QStringList{expected});
    QVERIFY(Dialogs_->Shown().isEmpty());
    QVERIFY(!QFile::exists(Dir_->filePath(QStringLiteral("opened.txt"))));
}

void TestLauncher::emptyPathAsksToFillTheOptions()
{
    bool started = false;
    Launcher_->StartProcess = [&](const QString&, const QStringList&, const QString&) {
        started = true;
        return TStartResult{};
    };
    QVERIFY(!Launcher_->LaunchProgram(QString(), QStringLiteral("+connect 1.2.3.4:27960")));
    QCOMPARE(Dialogs_->Shown().size(), 1);
    QCOMPARE(Dialogs_->Shown().first().Kind, TScriptedDialogs::TKind::Information);
    QCOMPARE(
        Dialogs_->Shown().first().Text,
        QStringLiteral("Path is empty, please fill out the options (game configuration) form."));
    QVERIFY(Status_.isEmpty());
    QVERIFY(!started);
}

void TestLauncher::windowsProgramRunsThroughWine()
{
    const QString record = Dir_->filePath(QStringLiteral("run.txt"));
    QVERIFY(WriteProgram(Bin_ + QStringLiteral("/wine"), RecorderScript(record)));
    const QString game = Dir_->filePath(QStringLiteral("Quake III Arena/quake3.exe"));
    QVERIFY(WriteFileBytes(game, "MZ\x90"));

    const std::optional<TRun> run =
        LaunchAndWait(game, QStringLiteral("+connect 10.0.0.1:27960"), record);
    QVERIFY(run);
    QCOMPARE(run->Arguments, (QStringList{game, "+connect", "10.0.0.1:27960"}));
    QCOMPARE(run->Folder, Canonical(Dir_->filePath(QStringLiteral("Quake III Arena"))));
}

void TestLauncher::documentsGoToTheDesktop_data()
{
    QTest::addColumn<QString>("target"); // %1 the temporary folder
    QTest::addColumn<QString>("folder");

    QTest::newRow("text document") << "%1/readme.txt"
                                   << "%1";
    QTest::newRow("folder") << "%1/games"
                            << "%1/games";
    QTest::newRow("web page") << "https://example.test/morvix/support"
                              << "";
    QTest::newRow("mail address") << "mailto:someone@example.test"
                                  << "";
}

void TestLauncher::documentsGoToTheDesktop()
{
    QFETCH(QString, target);
    QFETCH(QString, folder);
    target.replace(QStringLiteral("%1"), Dir_->path());
    folder.replace(QStringLiteral("%1"), Dir_->path());
    QVERIFY(WriteFileBytes(Dir_->filePath(QStringLiteral("readme.txt")), "Read me.\n"));
    QVERIFY(QDir().mkpath(Dir_->filePath(QStringLiteral("games"))));

    QStringList opened;
    Launcher_->OpenDocument = [&](const QString& document, const QString& workingFolder) {
        opened << document << workingFolder;
        return TOpenResult{};
    };
    bool started = false;
    Launcher_->StartProcess = [&](const QString&, const QStringList&, const QString&) {
        started = true;
        return TStartResult{};
    };
    QVERIFY(Launcher_->LaunchProgram(target, QStringLiteral("+connect 1.2.3.4:27960")));
    QCOMPARE(opened, (QStringList{target, folder}));
    QVERIFY(!started);
    QVERIFY(Status_.isEmpty());
}

void TestLauncher::desktopOpenerStartsXdgOpen()
{
    const QString record = Dir_->filePath(QStringLiteral("run.txt"));
    QVERIFY(WriteProgram(Bin_ + QStringLiteral("/xdg-open"), RecorderScript(record)));
    QVERIFY(WriteFileBytes(Dir_->filePath(QStringLiteral("xdg/data/applications/browser.desktop")),
                           "[Desktop Entry]\nType=Application\nName=Browser\nExec=browser %u\n"
                           "MimeType=x-scheme-handler/http;x-scheme-handler/https;\n"));
    const QString page = QStringLiteral("https://example.test/morvix?a=1&b=$(touch PWNED)");
    const std::optional<TRun> run = LaunchAndWait(page, {}, record);
    QVERIFY(run);
    QCOMPARE(run->Arguments, QStringList{page});
}

void TestLauncher::defaultHandler_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QStringList>("files"); // name, contents, name, contents...
    QTest::addColumn<bool>("handled");

    const QString viewer = QStringLiteral("applications/viewer.desktop");
    const QString text = QStringLiteral("[Desktop Entry]\nType=Application\nExec=viewer %f\n"
                                        "MimeType=text/plain;\n");
    QTest::newRow("nothing installed") << "notes.txt" << QStringList{} << false;
    QTest::newRow("entry for the type") << "notes.txt" << QStringList{viewer, text} << true;
    QTest::newRow("entry for a type it derives from")
        << "main.c" << QStringList{viewer, text} << true;
    QTest::newRow("entry for another type") << "picture.png" << QStringList{viewer, text} << false;
    QTest::newRow("hidden entry") << "notes.txt"
                                  << QStringList{viewer, text + QStringLiteral("Hidden=true\n")}
                                  << false;
    QTest::newRow("entry whose program is missing")
        << "notes.txt"
        << QStringList{viewer, text + QStringLiteral("TryExec=/nonexistent/viewer\n")} << false;
    QTest::newRow("not an application")
        << "notes.txt"
        << QStringList{viewer, QStringLiteral("[Desktop Entry]\nType=Link\nURL=x\n"
                                              "MimeType=text/plain;\n")}
        << false;
    QTest::newRow("association removed by the user")
        << "notes.txt"
        << QStringList{viewer, text, QStringLiteral("config/mimeapps.list"),
                       QStringLiteral("[Removed Associations]\ntext/plain=viewer.desktop;\n")}
        << false;
    QTest::newRow("default named by the user")
        << "notes.txt"
        << QStringList{QStringLiteral("applications/vendor/editor.desktop"),
                       QStringLiteral("[Desktop Entry]\nExec=editor\n"),
                       QStringLiteral("config/mimeapps.list"),
                       QStringLiteral("[Default Applications]\ntext/plain=vendor-editor.desktop\n")}
        << true;
    QTest::newRow("default naming a missing entry")
        << "notes.txt"
        << QStringList{QStringLiteral("config/mimeapps.list"),
                       QStringLiteral("[Default Applications]\ntext/plain=gone.desktop;\n")}
        << false;
    QTest::newRow("web address with a handler")
        << "https://example.test/"
        << QStringList{viewer, QStringLiteral("[Desktop Entry]\nExec=b %u\n"
                                              "MimeType=x-scheme-handler/https;\n")}
        << true;
    QTest::newRow("web address without one")
        << "https://example.test/" << QStringList{viewer, text} << false;
}

void TestLauncher::defaultHandler()
{
    QFETCH(QString, target);
    QFETCH(QStringList, files);
    QFETCH(bool, handled);

    const QString root = Dir_->filePath(QStringLiteral("desktop"));
    for (qsizetype i = 0; i + 1 < files.size(); i += 2) {
        QVERIFY(WriteFileBytes(root + QLatin1Char('/') + files[i], files[i + 1].toUtf8()));
    }
    if (!target.contains(QLatin1Char(':'))) {
        target = Dir_->filePath(target);
        QVERIFY(WriteFileBytes(target, target.endsWith(QLatin1String(".png"))
                                           ? QByteArray("\x89PNG\r\n\x1A\n")
                                           : QByteArray("int main() { return 0; }\n")));
    }
    qunsetenv("BROWSER");
    const TDesktopFolders folders{{root + QStringLiteral("/config")},
                                  {root + QStringLiteral("/applications")}};
    QCOMPARE(HasDefaultHandler(target, folders), handled);
}

QTEST_GUILESS_MAIN(TestLauncher)
#include "tst_launcher.moc"
