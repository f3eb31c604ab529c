// morvix-updater, run as a program on files made by Debian's own cabinet and
// SZDD tools (gcab, mscompress), plus its rules for names and command lines.

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <sys/stat.h>

#include "testutil.h"
#include "updatersteps.h"

namespace {

struct TEntry
{
    QString Stored; // the name in the cabinet, with backslashes
    QByteArray Contents;
};

// The date and time gcab is made to store for every entry.
const QDate kStoredDate(2001, 2, 3);
const QTime kStoredTime(4, 5, 6);

} // namespace

Q_DECLARE_METATYPE(QList<TEntry>)

class TestUpdater : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void cabinetEntryPaths_data();
    void cabinetEntryPaths();
    void expandedNames_data();
    void expandedNames();
    void commandLines_data();
    void commandLines();

    void replacement_data();
    void replacement();
    void cabinet_data();
    void cabinet();
    void compressedFile_data();
    void compressedFile();
    void invalidProcessIdDoesNothing_data();
    void invalidProcessIdDoesNothing();
    void restartWithoutShell();
    void waitsForTheProcessToEnd();

private:
    QString Path(const QString& name) const { return Work_ + QLatin1Char('/') + name; }
    // Every file and folder below Folder ("sub/" for a folder), sorted.
    static QStringList Listing(const QString& folder);
    // A cabinet at Name in the work folder with Entries, made by gcab. Names
    // gcab would not store (a leading backslash, "..") are stored as a
    // placeholder of the same length and then written into the file.
    void MakeCabinet(const QString& name, const QList<TEntry>& entries);
    // Contents compressed by mscompress, the missing character of the
    // header set to Missing.
    QByteArray Compressed(const QByteArray& contents, char missing);
    // A process id that was in use and is not any more.
    qint64 GoneProcessId();
    // Runs morvix-updater in the work folder and waits for it.
    int RunUpdater(const QStringList& args, QByteArray* errors = nullptr,
                   const QStringList& environment = {});

    // The updater runs in Work_, a folder of its own inside Outer_.
    std::unique_ptr<QTemporaryDir> Outer_;
    QString Work_;
    std::unique_ptr<QTemporaryDir> Staging_;
};

void TestUpdater::initTestCase()
{
    for (const char* tool : {"gcab", "mscompress"}) {
        if (QStandardPaths::findExecutable(tool).isEmpty()) {
            QFAIL(
                qPrintable(QStringLiteral("%1 is missing: run scripts/install-deps.sh").arg(tool)));
        }
    }
}

void TestUpdater::init()
{
    Outer_ = std::make_unique<QTemporaryDir>();
    Staging_ = std::make_unique<QTemporaryDir>();
    QVERIFY(Outer_->isValid() && Staging_->isValid());
    Work_ = Outer_->filePath(QStringLiteral("work"));
    QVERIFY(QDir().mkpath(Work_));
}

QStringList TestUpdater::Listing(const QString& folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        entries.append(QDir(folder).relativeFilePath(path) +
                       (it.fileInfo().isDir() ? QStringLiteral("/") : QString()));
    }
    entries.sort();
    return entries;
}

void TestUpdater::MakeCabinet(const QString& name, const QList<TEntry>& entries)
{
    QStringList files;
    QList<QPair<QByteArray, QByteArray>> patches;
    for (const TEntry& entry : entries) {
        QString placeholder = entry.Stored;
        for (qsizetype i = 0; i < placeholder.size(); ++i) {
            const QChar c = placeholder.at(i);
            const bool keep = (c == '\\' && i > 0) || c.isLetterOrNumber() || c == '_';
            if (!keep) {
                placeholder[i] = QLatin1Char('x');
            }
        }
        if (placeholder != entry.Stored) {
            patches.append({placeholder.toLatin1(), entry.Stored.toLatin1()});
        }
        const QString relative = QString(placeholder).replace('\\', '/');
        const QString source = Staging_->filePath(relative);
        QVERIFY(WriteFileBytes(source, entry.Contents));
        // gcab stores a file's time as universal time.
        QFile file(source);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime(kStoredDate, kStoredTime, Qt::UTC),
                                 QFileDevice::FileModificationTime));
        files.append(relative);
    }
    QProcess gcab;
    gcab.setWorkingDirectory(Staging_->path());
    gcab.start(QStringLiteral("gcab"), QStringList{"-c", Staging_->filePath("made.cab")} + files);
    QVERIFY(gcab.waitForFinished(20000));
    QCOMPARE(gcab.exitCode(), 0);
    QByteArray cabinet = ReadFileBytes(Staging_->filePath("made.cab"));
    for (const auto& [placeholder, stored] : patches) {
        QCOMPARE(cabinet.count(placeholder), 1);
        cabinet.replace(placeholder, stored);
    }
    QVERIFY(WriteFileBytes(Path(name), cabinet));
}

QByteArray TestUpdater::Compressed(const QByteArray& contents, char missing)
{
    const QString source = Staging_->filePath("source.txt");
    QFile::remove(source + "_");
    if (!WriteFileBytes(source, contents)) {
        return {};
    }
    QProcess mscompress;
    mscompress.start(QStringLiteral("mscompress"), {source});
    if (!mscompress.waitForFinished(20000) || mscompress.exitCode() != 0) {
        return {};
    }
    QByteArray compressed = ReadFileBytes(source + "_");
    if (!compressed.startsWith("SZDD") || compressed.size() < 14) {
        return {};
    }
    compressed[9] = missing;
    return compressed;
}

qint64 TestUpdater::GoneProcessId()
{
    QProcess process;
    process.start(QStringLiteral("true"), QStringList());
    process.waitForStarted();
    const qint64 pid = process.processId();
    process.waitForFinished();
    return pid;
}

int TestUpdater::RunUpdater(const QStringList& args, QByteArray* errors,
                            const QStringList& environment)
{
    QProcess updater;
    updater.setWorkingDirectory(Work_);
    if (!environment.isEmpty()) {
        updater.setEnvironment(QProcess::systemEnvironment() + environment);
    }
    updater.start(QStringLiteral(MORVIX_UPDATER), args);
    if (!updater.waitForFinished(20000)) {
        return -1;
    }
    if (errors) {
        *errors = updater.readAllStandardError();
    }
    return updater.exitStatus() == QProcess::NormalExit ? updater.exitCode() : -1;
}

// ---------------------------------------------------------------------------
// Names and command lines

void TestUpdater::cabinetEntryPaths_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("utf8");
    QTest::addColumn<QString>("expected"); // empty: refused
    QTest::newRow("plain name") << QByteArray("readme.txt") << false << "readme.txt";
    QTest::newRow("backslashes are folders") << QByteArray("sub\\a.txt") << false << "sub/a.txt";
    QTest::newRow("slashes too") << QByteArray("a/b\\c.txt") << false << "a/b/c.txt";
    QTest::newRow("dot and doubled separators")
        << QByteArray(".\\a\\\\b.txt") << false << "a/b.txt";
    QTest::newRow("dots inside a name") << QByteArray("..a\\b..c") << false << "..a/b..c";
    QTest::newRow("latin-1 name") << QByteArray("caf\xe9.txt") << false << "caf\u00e9.txt";
    QTest::newRow("climbs out") << QByteArray("..\\evil.txt") << false << "";
    QTest::newRow("climbs out later") << QByteArray("sub\\..\\..\\evil.txt") << false << "";
    QTest::newRow("ends in ..") << QByteArray("sub\\..") << false << "";
    QTest::newRow("absolute, backslash") << QByteArray("\\etc\\evil") << false << "";
    QTest::newRow("drive") << QByteArray("C:evil.txt") << false << "";
    QTest::newRow("folder without a file") << QByteArray("sub\\") << false << "";
}

void TestUpdater::cabinetEntryPaths()
{
    QFETCH(QByteArray, stored);
    QFETCH(bool, utf8);
    QFETCH(QString, expected);
    std::string why;
    const auto path = updater::CabinetEntryPath(stored.toStdString(), utf8, why);
    QCOMPARE(path.has_value(), !expected.isEmpty());
    if (path) {
        QCOMPARE(QString::fromStdString(*path), expected);
    } else {
        QVERIFY(!why.empty());
    }
}

void TestUpdater::expandedNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<char>("missing");
    QTest::addColumn<QString>("expected");
    QTest::newRow("nothing stored") << "readme.txt_" << '\0' << "readme.txt";
    QTest::newRow("last letter restored") << "readme.tx_" << 't' << "readme.txt";
    QTest::newRow("in the name's case") << "SETUP.EX_" << 'e' << "SETUP.EXE";
    QTest::newRow("lower case name") << "setup.ex_" << 'E' << "setup.exe";
    QTest::newRow("case from the last letter") << "Data.X1_" << 'b' << "Data.X1B";
    QTest::newRow("trailing dot") << "readme." << 'x' << "readme";
    QTest::newRow("no dot") << "readme_" << 't' << "readme_";
    QTest::newRow("no underscore") << "readme.txt" << 't' << "readme.txt";
}

void TestUpdater::expandedNames()
{
    QFETCH(QString, name);
    QFETCH(char, missing);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(updater::ExpandedName(name.toStdString(), missing)), expected);
}

void TestUpdater::commandLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<bool>("valid");
    QTest::newRow("words") << "morvix  --x\ty" << QStringList{"morvix", "--x", "y"} << true;
    QTest::newRow("double quotes")
        << "\"/opt/my games/morvix\" a" << QStringList{"/opt/my games/morvix", "a"} << true;
    QTest::newRow("escapes in double quotes")
        << R"("say \"hi\" \\ \n")" << QStringList{R"(say "hi" \ \n)"} << true;
    QTest::newRow("single quotes keep all")
        << R"('a "b" \c')" << QStringList{R"(a "b" \c)"} << true;
    QTest::newRow("backslash outside quotes")
        << R"(a\ b c\;d)" << QStringList{"a b", "c;d"} << true;
    QTest::newRow("quotes join a word")
        << R"(pre"mid dle"'post')" << QStringList{"premid dlepost"} << true;
    QTest::newRow("empty quoted word") << R"(a "" b)" << QStringList{"a", "", "b"} << true;
    QTest::newRow("no shell") << "a;b|c $HOME `x`" << QStringList{"a;b|c", "$HOME", "`x`"} << true;
    QTest::newRow("blank") << "   " << QStringList() << true;
    QTest::newRow("open double quote") << R"(a "b)" << QStringList() << false;
    QTest::newRow("open single quote") << "a 'b" << QStringList() << false;
    QTest::newRow("trailing backslash") << R"(a\)" << QStringList() << false;
}

void TestUpdater::commandLines()
{
    QFETCH(QString, line);
    QFETCH(QStringList, words);
    QFETCH(bool, valid);
    std::string error;
    const auto split = updater::SplitCommandLine(line.toStdString(), error);
    QCOMPARE(split.has_value(), valid);
    if (!split) {
        QVERIFY(!error.empty());
        return;
    }
    QStringList got;
    for (const std::string& word : *split) {
        got.append(QString::fromStdString(word));
    }
    QCOMPARE(got, words);
}

// ---------------------------------------------------------------------------
// The program

void TestUpdater::replacement_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("program_new") << "morvix_new"
                                 << "morvix" << true;
    QTest::newRow("any letter case") << "bin/MORVIX.DAT_New"
                                     << "bin/MORVIX.DAT" << true;
    // Its first "_new" is in the folder's name: not a replacement.
    QTest::newRow("in a folder my_new") << "my_new/morvix_new"
                                        << "my_new/morvix" << false;
}

void TestUpdater::replacement()
{
    QFETCH(QString, argument);
    QFETCH(QString, target);
    QFETCH(bool, replaced);
    QVERIFY(WriteFileBytes(Path(target), "old program"));
    QVERIFY(WriteFileBytes(Path(argument), "new program"));
    QVERIFY(QFile::setPermissions(Path(target), QFile::ReadOwner | QFile::WriteOwner |
                                                    QFile::ExeOwner | QFile::ReadOther |
                                                    QFile::ExeOther));
    QByteArray errors;
    QCOMPARE(RunUpdater({QString::number(GoneProcessId()), "null", argument}, &errors),
             replaced ? 0 : 1);
    QCOMPARE(ReadFileBytes(Path(target)), replaced ? "new program" : "old program");
    QCOMPARE(QFileInfo::exists(Path(argument)), !replaced);
    QCOMPARE(errors.isEmpty(), replaced);
    if (replaced) {
        // The program stays as executable as it was.
        QVERIFY(QFileInfo(Path(target)).permission(QFile::ExeOwner | QFile::ExeOther));
    } else {
        QVERIFY(errors.contains(argument.toUtf8()));
    }
}

void TestUpdater::cabinet_data()
{
    QTest::addColumn<QList<TEntry>>("entries");
    QTest::addColumn<QStringList>("written"); // what the work folder holds afterwards
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<QByteArray>("told"); // on standard error

    // The work folder holds lib/old.txt beforehand.
    QTest::newRow("sub\\a.txt makes the folder sub")
        << QList<TEntry>{{"top.txt", "top"}, {"sub\\a.txt", "alpha"}}
        << QStringList{"lib/", "lib/old.txt", "sub/", "sub/a.txt", "top.txt"} << true
        << QByteArray();
    QTest::newRow("replaces a file in a folder")
        << QList<TEntry>{{"lib\\old.txt", "fresh"}} << QStringList{"lib/", "lib/old.txt"} << true
        << QByteArray();
    QTest::newRow("a\\b\\c.txt without a: stops there")
        << QList<TEntry>{{"first.txt", "one"}, {"a\\b\\c.txt", "deep"}, {"last.txt", "two"}}
        << QStringList{"first.txt", "lib/", "lib/old.txt", "update.cab"} << false
        << QByteArray("a\\b\\c.txt");
    QTest::newRow("..\\ entry: nothing unpacked")
        << QList<TEntry>{{"ok.txt", "fine"}, {"..\\evil.txt", "evil"}}
        << QStringList{"lib/", "lib/old.txt", "update.cab"} << false << QByteArray("..\\evil.txt");
    QTest::newRow("climbing later: nothing unpacked")
        << QList<TEntry>{{"lib\\..\\..\\evil.txt", "evil"}}
        << QStringList{"lib/", "lib/old.txt", "update.cab"} << false
        << QByteArray("lib\\..\\..\\evil.txt");
    QTest::newRow("absolute entry: nothing unpacked")
        << QList<TEntry>{{"ok.txt", "fine"}, {"\\morvix-updater-evil.txt", "evil"}}
        << QStringList{"lib/", "lib/old.txt", "update.cab"} << false
        << QByteArray("\\morvix-updater-evil.txt");
}

void TestUpdater::cabinet()
{
    QFETCH(QList<TEntry>, entries);
    QFETCH(QStringList, written);
    QFETCH(bool, succeeds);
    QFETCH(QByteArray, told);
    QVERIFY(WriteFileBytes(Path("lib/old.txt"), "stale"));
    MakeCabinet("update.cab", entries);
    if (QTest::currentTestFailed()) {
        return;
    }

    QByteArray errors;
    // Stored times are local times: a zone far from universal time shows
    // whether they are read so.
    QCOMPARE(
        RunUpdater({QString::number(GoneProcessId()), "null", "update.cab"}, &errors, {"TZ=XYZ-3"}),
        succeeds ? 0 : 1);
    QVERIFY2(errors.contains(told), errors.constData());
    QCOMPARE(errors.isEmpty(), succeeds);

    QCOMPARE(Listing(Work_), written);
    // Nothing beside the work folder.
    QCOMPARE(QDir(Outer_->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{"work"});
    QVERIFY(!QFileInfo::exists("/morvix-updater-evil.txt"));
    for (const TEntry& entry : entries) {
        const QString path = QString(entry.Stored).replace('\\', '/');
        if (!written.contains(path)) {
            continue;
        }
        QCOMPARE(ReadFileBytes(Path(path)), entry.Contents);
        QCOMPARE(QFileInfo(Path(path)).lastModified().toUTC(),
                 QDateTime(kStoredDate, kStoredTime, QTimeZone(3 * 3600)).toUTC());
    }
}

void TestUpdater::compressedFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<char>("missing");     // 'n': not an SZDD file at all
    QTest::addColumn<QString>("expanded"); // empty: nothing expanded
    QTest::newRow("as mscompress names it") << "readme.txt_" << '\0' << "readme.txt";
    QTest::newRow("last letter stored") << "notes.tx_" << 't' << "notes.txt";
    QTest::newRow("in a folder") << "docs/notes.tx_" << 't' << "docs/notes.txt";
    QTest::newRow("would expand over itself") << "readme" << 't' << "";
    QTest::newRow("not compressed") << "plain.tx_" << 'n' << "";
}

void TestUpdater::compressedFile()
{
    QFETCH(QString, name);
    QFETCH(char, missing);
    QFETCH(QString, expanded);
    const QByteArray contents =
        "Morvix reads SZDD files. Morvix reads SZDD files, again and again.";
    const QByteArray bytes = missing == 'n' ? contents : Compressed(contents, missing);
    QVERIFY(!bytes.isEmpty());
    QVERIFY(WriteFileBytes(Path(name), bytes));

    QByteArray errors;
    QCOMPARE(RunUpdater({QString::number(GoneProcessId()), "null", name}, &errors),
             expanded.isEmpty() ? 1 : 0);
    // The compressed file stays.
    QCOMPARE(ReadFileBytes(Path(name)), bytes);
    QCOMPARE(QDir(QFileInfo(Path(name)).absolutePath()).entryList(QDir::Files).size(),
             expanded.isEmpty() ? 1 : 2);
    if (!expanded.isEmpty()) {
        QCOMPARE(ReadFileBytes(Path(expanded)), contents);
    } else {
        QVERIFY(errors.contains(name.toUtf8()));
    }
}

void TestUpdater::invalidProcessIdDoesNothing_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("no arguments") << QStringList();
    QTest::newRow("empty") << QStringList{""};
    QTest::newRow("letters") << QStringList{"abc"};
    QTest::newRow("trailing letters") << QStringList{"12x"};
    QTest::newRow("negative") << QStringList{"-5"};
    QTest::newRow("zero") << QStringList{"0"};
    QTest::newRow("blank before") << QStringList{" 12"};
    QTest::newRow("too large") << QStringList{"99999999999"};
}

void TestUpdater::invalidProcessIdDoesNothing()
{
    QFETCH(QStringList, args);
    QVERIFY(WriteFileBytes(Path("morvix"), "old"));
    QVERIFY(WriteFileBytes(Path("morvix_new"), "new"));
    MakeCabinet("update.cab", {{"fresh.txt", "fresh"}});
    if (QTest::currentTestFailed()) {
        return;
    }
    if (!args.isEmpty()) {
        args << "touch restarted"
             << "morvix_new"
             << "update.cab";
    }
    QByteArray errors;
    QCOMPARE(RunUpdater(args, &errors), 2);
    QVERIFY(!errors.isEmpty());
    QCOMPARE(Listing(Work_), QStringList({"morvix", "morvix_new", "update.cab"}));
    QCOMPARE(ReadFileBytes(Path("morvix")), "old");
}

void TestUpdater::restartWithoutShell()
{
    QVERIFY(WriteFileBytes(Path("morvix_new"), "new"));
    QByteArray errors;
    // A shell would make "a" and "b"; without one "a;touch" and "b" come.
    QCOMPARE(RunUpdater({QString::number(GoneProcessId()), "touch \"restarted morvix\" a;touch b",
                         "morvix_new"},
                        &errors),
             0);
    QTRY_VERIFY(QFileInfo::exists(Path("restarted morvix")) && QFileInfo::exists(Path("b")));
    QTRY_VERIFY(QFileInfo::exists(Path("a;touch")));
    QVERIFY(!QFileInfo::exists(Path("a")));
    QCOMPARE(ReadFileBytes(Path("morvix")), "new");

    // A program that is not there is told, after the files were handled.
    QVERIFY(WriteFileBytes(Path("other_new"), "x"));
    QCOMPARE(RunUpdater({QString::number(GoneProcessId()), "no-such-morvix-program", "other_new"},
                        &errors),
             1);
    QVERIFY(errors.contains("no-such-morvix-program"));
    QCOMPARE(ReadFileBytes(Path("other")), "x");
}

void TestUpdater::waitsForTheProcessToEnd()
{
    // Morvix stands for a process that ends when its input is closed.
    QProcess morvix;
    morvix.start(QStringLiteral("cat"), QStringList());
    QVERIFY(morvix.waitForStarted());
    QVERIFY(WriteFileBytes(Path("morvix"), "old"));
    QVERIFY(WriteFileBytes(Path("morvix_new"), "new"));

    QProcess updater;
    updater.setWorkingDirectory(Work_);
    updater.start(QStringLiteral(MORVIX_UPDATER),
                  {QString::number(morvix.processId()), "null", "morvix_new"});
    QVERIFY(updater.waitForStarted());
    QByteArray output;
    QTRY_VERIFY((output += updater.readAllStandardOutput()).contains("Waiting for process"));
    // Asleep in its wait, not finished.
    const QString stat = QStringLiteral("/proc/%1/stat").arg(updater.processId());
    QTRY_VERIFY(ReadFileBytes(stat).split(')').value(1).trimmed().startsWith('S'));
    QCOMPARE(updater.state(), QProcess::Running);
    QCOMPARE(ReadFileBytes(Path("morvix")), "old");

    morvix.closeWriteChannel();
    QVERIFY(updater.waitForFinished(20000));
    QCOMPARE(updater.exitCode(), 0);
    QCOMPARE(ReadFileBytes(Path("morvix")), "new");
    QVERIFY(morvix.waitForFinished(20000));
}

QTEST_GUILESS_MAIN(TestUpdater)
#include "tst_updater.moc"
