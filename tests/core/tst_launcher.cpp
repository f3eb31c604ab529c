#include <QDir>
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

// A stand-in program: it writes its working folder, its session and its
// arguments, one a line, to Record (whole, by renaming). It needs nothing
// from PATH, which the tests change.
QByteArray RecorderScript(const QString& record)
{
    const QByteArray out = QFile::encodeName(record);
    return "#!/bin/sh\nread -r pid comm state ppid pgrp session rest < /proc/$$/stat\n"
           "{ pwd -P; echo \"$session\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > '" +
           out + ".part'\n/bin/mv '" + out + ".part' '" + out + "'\n";
}

bool WriteProgram(const QString& path, const QByteArray& contents,
                  QFile::Permissions permissions = QFile::ReadOwner | QFile::ExeOwner)
{
    return WriteFileBytes(path, contents) && QFile::setPermissions(path, permissions);
}

} // namespace

class TestLauncher : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startsWithoutAShell_data();
    void startsWithoutAShell();
    void failures_data();
    void failures();
    void documentsGoToTheDesktop_data();
    void documentsGoToTheDesktop();
    void defaultHandler_data();
    void defaultHandler();

private:
    // Launches Path and returns the lines of the stand-in's record.
    QStringList LaunchAndRead(const QString& path, const QString& parameters);

    std::unique_ptr<QTemporaryDir> Dir_;
    std::unique_ptr<TScriptedDialogs> Dialogs_;
    std::unique_ptr<TLauncher> Launcher_;
    QStringList Status_;
    QByteArray SavedPath_;
    QString SavedCurrent_;
    QString Bin_; // the only folder on PATH
    QString Record_;
};

void TestLauncher::init()
{
    Dir_ = std::make_unique<QTemporaryDir>();
    Dialogs_ = std::make_unique<TScriptedDialogs>();
    Launcher_ = std::make_unique<TLauncher>(*Dialogs_);
    Status_.clear();
    Launcher_->ShowStatus = [this](const QString& text) { Status_ << text; };
    // No desktop association unless a test writes one.
    Launcher_->DesktopFolders =
        TDesktopFolders{{Dir_->filePath("xdg/config")}, {Dir_->filePath("xdg/applications")}};
    SavedPath_ = qgetenv("PATH");
    SavedCurrent_ = QDir::currentPath();
    Bin_ = Dir_->filePath("bin");
    QVERIFY(QDir().mkpath(Bin_));
    qputenv("PATH", QFile::encodeName(Bin_));
    qunsetenv("BROWSER");
    Record_ = Dir_->filePath("run.txt");
}

void TestLauncher::cleanup()
{
    qputenv("PATH", SavedPath_);
    QDir::setCurrent(SavedCurrent_);
}

QStringList TestLauncher::LaunchAndRead(const QString& path, const QString& parameters)
{
    if (!Launcher_->LaunchProgram(path, parameters)) {
        return QStringList{QStringLiteral("not launched")} + Status_;
    }
    // The program runs on its own; its record shows when it is done.
    for (int waited = 0; !QFile::exists(Record_) && waited < 10000; waited += 10) {
        QTest::qWait(10);
    }
    QStringList lines = QString::fromLocal8Bit(ReadFileBytes(Record_)).split(QLatin1Char('\n'));
    lines.removeLast();
    return lines;
}

void TestLauncher::startsWithoutAShell_data()
{
    QTest::addColumn<QString>("folder"); // of the program, below the temporary folder
    QTest::addColumn<QString>("path");   // as configured; empty for the absolute path
    QTest::addColumn<QString>("parameters");
    QTest::addColumn<QStringList>("arguments");

    QTest::newRow("connect") << "games/q3"
                             << ""
                             << "+connect 10.0.0.1:27960"
                             << QStringList{"+connect", "10.0.0.1:27960"};
    QTest::newRow("no parameters, blanks in the folder") << "My Games/Quake III"
                                                         << ""
                                                         << "" << QStringList{};
    QTest::newRow("relative path, quoted blank")
        << "games/q3"
        << "games/q3/game"
        << "+password \"two  words\" \"a \"\"\"b\"\"\"\""
        << QStringList{"+password", "two  words", "a \"b\""};
    // What a shell would act on arrives as plain text.
    QTest::newRow("bare name on PATH, shell syntax")
        << "bin"
        << "game"
        << "+connect a;touch PWNED $(touch PWNED) `touch PWNED` > PWNED | *"
        << QStringList{"+connect", "a;touch", "PWNED", "$(touch", "PWNED)", "`touch",
                       "PWNED`",   ">",       "PWNED", "|",       "*"};
}

void TestLauncher::startsWithoutAShell()
{
    QFETCH(QString, folder);
    QFETCH(QString, path);
    QFETCH(QString, parameters);
    QFETCH(QStringList, arguments);

    const QString program = Dir_->filePath(folder + "/game");
    QVERIFY(WriteProgram(program, RecorderScript(Record_)));
    QVERIFY(QDir::setCurrent(Dir_->path()));
    const QStringList run = LaunchAndRead(path.isEmpty() ? program : path, parameters);
    QCOMPARE(run.mid(2), arguments);
    QCOMPARE(run[0], QFileInfo(Dir_->filePath(folder)).canonicalFilePath());
    QVERIFY(!QFileInfo::exists(Dir_->filePath("PWNED")) &&
            !QFileInfo::exists(Dir_->filePath(folder + "/PWNED")));
    // Detached: a session of its own, and no child of ours left to reap.
    QVERIFY(run[1].toLongLong() != qint64(::getsid(0)));
    QCOMPARE(::waitpid(-1, nullptr, WNOHANG), -1);
    QCOMPARE(errno, ECHILD);
}

void TestLauncher::failures_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("expected"); // %1 the path, %2 the temporary folder

    QTest::newRow("missing file") << "missing file"
                                  << "Unable to launch %1. File not found. Did you fill out the "
                                     "settings correctly?";
    QTest::newRow("missing folder") << "missing folder"
                                    << "Unable to open path %2/nofolder/.";
    QTest::newRow("no execute permission")
        << "no permission"
        << "The operating system denied access to the specified file. (%1)";
    const QString invalid("%1 is a invalid .EXE file (non-Win32 .EXE or error in .EXE image).");
    QTest::newRow("executable that is no program") << "not a program" << invalid;
    QTest::newRow("script whose interpreter is missing") << "no interpreter" << invalid;
    QTest::newRow("program file open for writing") << "busy"
                                                   << "A sharing violation occurred.";
    QTest::newRow("document nothing opens")
        << "no handler"
        << "There is no application associated to the filename extension (.xyzzy)";
    QTest::newRow("web address nothing opens")
        << "web"
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
}

void TestLauncher::failures()
{
    QFETCH(QString, situation);
    QFETCH(QString, expected);

    QString path = Dir_->filePath("games/q3/quake3");
    QVERIFY(QDir().mkpath(Dir_->filePath("games/q3")));
    QVERIFY(WriteProgram(Bin_ + "/xdg-open", RecorderScript(Record_)));
    QFile busy(path);
    if (situation == "missing file") {
        path += "-gone";
    } else if (situation == "missing folder") {
        path = Dir_->filePath("nofolder/quake3");
    } else if (situation == "no permission") {
        QVERIFY(WriteProgram(path, "#!/bin/sh\n", QFile::ReadOwner | QFile::WriteOwner));
    } else if (situation == "not a program") {
        QVERIFY(WriteProgram(path, "Just some notes, marked executable.\n"));
    } else if (situation == "no interpreter") {
        QVERIFY(WriteProgram(path, "#!/nonexistent/morvix-shell\n"));
    } else if (situation == "busy") {
        QVERIFY(WriteProgram(path, "#!/bin/sh\n",
                             QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(busy.open(QIODevice::Append));
    } else if (situation == "no handler" || situation == "no opener") {
        path = Dir_->filePath("notes.xyzzy");
        QVERIFY(WriteFileBytes(path, "plain words\n"));
        QVERIFY(situation == "no handler" || QFile::remove(Bin_ + "/xdg-open"));
    } else if (situation == "web") {
        path = QStringLiteral("https://example.test/morvix");
    } else if (situation == "no wine") {
        path += ".EXE";
        QVERIFY(WriteFileBytes(path, "MZ"));
    } else {
        QVERIFY(WriteProgram(path, "#!/bin/sh\n"));
        const int error = situation == "ENOMEM" ? ENOMEM : EAGAIN;
        Launcher_->StartProcess = [error](auto&&...) { return TStartResult{error, false}; };
    }

    QVERIFY(!Launcher_->LaunchProgram(path, "+connect 1.2.3.4:27960"));
    expected.replace("%1", path).replace("%2", Dir_->path());
    QCOMPARE(Status_, QStringList{expected});
    QVERIFY(Dialogs_->Shown().isEmpty());
    QVERIFY(!QFile::exists(Record_));
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
    QTest::newRow("Windows program") << "%1/games/q3.exe"
                                     << "%1/games";
}

void TestLauncher::documentsGoToTheDesktop()
{
    QFETCH(QString, target);
    QFETCH(QString, folder);
    target.replace("%1", Dir_->path());
    folder.replace("%1", Dir_->path());
    QVERIFY(WriteFileBytes(Dir_->filePath("readme.txt"), "Read me.\n"));
    QVERIFY(WriteFileBytes(Dir_->filePath("games/q3.exe"), "MZ"));
    // The desktop's opener and Wine are stand-ins that record how they ran.
    QVERIFY(WriteProgram(Bin_ + "/xdg-open", RecorderScript(Record_)));
    QVERIFY(WriteProgram(Bin_ + "/wine", RecorderScript(Record_)));
    QVERIFY(WriteFileBytes(Dir_->filePath("xdg/applications/viewer.desktop"),
                           "[Desktop Entry]\nExec=viewer %u\nMimeType=text/plain;inode/"
                           "directory;x-scheme-handler/https;\n"));

    const QStringList run = LaunchAndRead(target, "+connect 1.2.3.4:27960");
    QStringList arguments{target};
    if (target.endsWith(".exe")) {
        arguments << "+connect"
                  << "1.2.3.4:27960";
    }
    QCOMPARE(run.mid(2), arguments);
    QCOMPARE(run[0],
             QFileInfo(folder.isEmpty() ? QDir::currentPath() : folder).canonicalFilePath());
}

void TestLauncher::defaultHandler_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QStringList>("files"); // name, contents, name, contents...
    QTest::addColumn<bool>("handled");

    const QString viewer("applications/viewer.desktop");
    const QString text("[Desktop Entry]\nType=Application\nExec=v %f\nMimeType=text/plain;\n");
    QTest::newRow("nothing installed") << "notes.txt" << QStringList{} << false;
    QTest::newRow("entry for the type") << "notes.txt" << QStringList{viewer, text} << true;
    QTest::newRow("entry for a type it derives from")
        << "main.c" << QStringList{viewer, text} << true;
    QTest::newRow("hidden entry") << "notes.txt" << QStringList{viewer, text + "Hidden=true\n"}
                                  << false;
    QTest::newRow("association removed by the user")
        << "notes.txt"
        << QStringList{viewer, text, "config/mimeapps.list",
                       "[Removed Associations]\ntext/plain=viewer.desktop;\n"}
        << false;
    QTest::newRow("default named by the user, in a vendor folder")
        << "notes.txt"
        << QStringList{"applications/vendor/editor.desktop", "[Desktop Entry]\nExec=editor\n",
                       "config/mimeapps.list",
                       "[Default Applications]\ntext/plain=vendor-editor.desktop\n"}
        << true;
    QTest::newRow("web address") << "https://example.test/"
                                 << QStringList{viewer, QString(text).replace(
                                                            "text/plain", "x-scheme-handler/https")}
                                 << true;
}

void TestLauncher::defaultHandler()
{
    QFETCH(QString, target);
    QFETCH(QStringList, files);
    QFETCH(bool, handled);

    const QString root = Dir_->filePath("desktop");
    for (qsizetype i = 0; i + 1 < files.size(); i += 2) {
        QVERIFY(WriteFileBytes(root + '/' + files[i], files[i + 1].toUtf8()));
    }
    if (!target.contains(':')) {
        target = Dir_->filePath(target);
        QVERIFY(WriteFileBytes(target, "int main() { return 0; }\n"));
    }
    QCOMPARE(HasDefaultHandler(target, {{root + "/config"}, {root + "/applications"}}), handled);
}

QTEST_GUILESS_MAIN(TestLauncher)
#include "tst_launcher.moc"
