#include <QDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

#include "core/serverlistfile.h"
#include "tempappfolder.h"
#include "testutil.h"

Q_DECLARE_METATYPE(TServerListLine)

namespace {

// Fields joined by NUL, as a line holds them.
QByteArray Fields(const QList<QByteArray>& fields)
{
    return fields.join('\0');
}

// A line with fields 2 to 7 from Texts.
TServerListLine Line(TGameType game, const QList<QByteArray>& texts, bool favorite)
{
    return {game, texts[0], texts[1], texts[2], texts[3], texts[4], texts[5], favorite};
}

} // namespace

class TestServerListFile : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void readLine_data();
    void readLine();
    void lineEnds();
    void failedWriteKeepsOldFile();
    void placeIsDecidedOnce();
    void unusableFileIsMovedAside_data();
    void unusableFileIsMovedAside();
    void unreadLinesAreKeptInACopy();
    void longGameFieldIsNoGame();
};

void TestServerListFile::roundTrip_data()
{
    QTest::addColumn<TServerListLine>("line");
    QTest::addColumn<TServerListLine>("stored");
    const auto same = [](const char* name, const TServerListLine& line) {
        QTest::newRow(name) << line << line;
    };
    same("timed out", Line(gtHeretic2, {"h:1", "QUERY TIME OUT", "---", "---", "---", ""}, 0));
    same("several colons", Line(gtQuakeWorld, {"fe80::1:27500", "n", "dm4", "0/8", "1", "qw"}, 1));
    same("empty fields", Line(gtQuake2, {"", "", "", "", "", ""}, false));
    same("high bytes", Line(gtSin, {" h:2 ", "#1 Caf\xE9 \xFF", "m\x80", "1/1", " 0", "g"}, 1));
    // Bytes that would end a field or the line are written as blanks.
    QTest::newRow("NUL, CR, LF") << Line(gtSoF, {Fields({"h", ":1"}), "a\r\nb", "\n", "", "", ""},
                                         1)
                                 << Line(gtSoF, {"h :1", "a  b", " ", "", "", ""}, 1);
    QTest::newRow("in the variant")
        << Line(gtKingpin, {"h", "n", "m", "p", "q", Fields({"\r", "x"})}, 0)
        << Line(gtKingpin, {"h", "n", "m", "p", "q", "  x"}, 0);
}

void TestServerListFile::roundTrip()
{
    QFETCH(TServerListLine, line);
    QFETCH(TServerListLine, stored);
    const QByteArray file = EncodeServerList({line, line});
    QVERIFY(file.startsWith(QByteArray(ServerListHeader) + "\r\n"));
    QCOMPARE(file.count('\n'), 3);
    QCOMPARE(file.count('\0'), 14);
    QCOMPARE(DecodeServerList(file), (QList<TServerListLine>{stored, stored}));
}

void TestServerListFile::readLine_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("read");
    QTest::addColumn<TServerListLine>("line");
    const QList<QByteArray> seven = {"h:1", "n", "m", "p", "9", "g"};
    QTest::newRow("eight fields") << Fields({"Quake 3", Fields(seven), "1"}) << true
                                  << Line(gtQuake3, seven, true);
    QTest::newRow("any case") << Fields({"hALF-lIFE", Fields(seven), "0"}) << true
                              << Line(gtHalfLife, seven, false);
    // With no separator left, every remaining field gets the whole rest.
    QTest::newRow("game only") << QByteArray("Quake 3") << true
                               << Line(gtQuake3, QList<QByteArray>(6, "Quake 3"), false);
    QTest::newRow("three fields") << Fields({"Tribes", "h:5", "1"}) << true
                                  << Line(gtTribes, {"h:5", "1", "1", "1", "1", "1"}, true);
    // The favourite is the rest after field 7, and only its low byte counts.
    QTest::newRow("nine fields") << Fields({"Sin", Fields(seven), "1", "x"}) << true
                                 << Line(gtSin, seven, false);
    QTest::newRow("favourite 257")
        << Fields({"Sin", Fields(seven), "257"}) << true << Line(gtSin, seven, true);
    QTest::newRow("favourite 256")
        << Fields({"Sin", Fields(seven), "256"}) << true << Line(gtSin, seven, false);
    QTest::newRow("unknown game") << Fields({"Doom", Fields(seven), "1"}) << false
                                  << TServerListLine();
    QTest::newRow("comment") << Fields({"# Quake 3", "h"}) << false << TServerListLine();
}

void TestServerListFile::readLine()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, read);
    QFETCH(TServerListLine, line);
    const std::optional<TServerListLine> decoded = DecodeServerListLine(text);
    QCOMPARE(decoded.has_value(), read);
    QCOMPARE(decoded.value_or(TServerListLine()), line);
}

void TestServerListFile::lineEnds()
{
    const QByteArray sof = Fields({"SoF", "h:1", "n", "m", "p", "q", "g", "1"});
    // CR LF, bare LF, blank lines and a last line without its end.
    const QByteArray contents =
        QByteArray(ServerListHeader) + "\r\n" + sof + "\r\n\r\n\n" + sof + "\n" + sof;
    const TServerListLine line = Line(gtSoF, {"h:1", "n", "m", "p", "q", "g"}, true);
    QCOMPARE(DecodeServerList(contents), (QList<TServerListLine>{line, line, line}));
}

void TestServerListFile::failedWriteKeepsOldFile()
{
    TTempAppFolder folder;
    TServerListFile file;
    const QByteArray old = EncodeServerList({Line(gtQuake3, {"h:1", "Old", "", "", "", ""}, 1)});
    QVERIFY(WriteFileBytes(file.Path(), old));
    // The new file cannot grow past 4 KB (as on a full disk): the write
    // fails part-way, and the old file must be left as it was.
    const QList<TServerListLine> lines(2000,
                                       Line(gtQuake3, {"10.0.0.1:1", "n", "m", "", "", ""}, 0));
    rlimit before{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit small = before;
    small.rlim_cur = 4096;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = file.Write(lines);
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!written);
    QVERIFY(file.ErrorString().contains(file.Path()));
    QCOMPARE(ReadFileBytes(file.Path()), old);
    QCOMPARE(QDir(QFileInfo(file.Path()).absolutePath()).entryList(QDir::Files).size(), 1);
}

void TestServerListFile::placeIsDecidedOnce()
{
    TTempAppFolder folder;
    TServerListFile file;
    const QString beside = file.Path();
    QCOMPARE(beside, TAppPaths::ProgramDir() + "/" +
                         QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName() +
                         ".dat");
    // The program's folder cannot take files (here it is a plain file): the
    // list goes to the data folder, but a file that has decided stays.
    QVERIFY(WriteFileBytes(TAppPaths::ProgramDir(), "not a folder"));
    QCOMPARE(file.Path(), beside);
    TServerListFile elsewhere;
    QCOMPARE(elsewhere.Path(), TAppPaths::DataDir() + beside.mid(beside.lastIndexOf('/')));
    QVERIFY(elsewhere.Write({}));
}

// A file that holds something yet gives no server would be replaced by an
// empty list at exit: it is moved aside and the user told where; a list
// saved empty is no such file.
void TestServerListFile::unusableFileIsMovedAside_data()
{
    const QByteArray sof = Fields({"SoF", "h:1", "n", "m", "p", "q", "g", "1"});
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<bool>("moved");
    QTest::newRow("CR line ends") << QByteArray(ServerListHeader) + '\r' + sof + '\r' + sof + '\r'
                                  << true;
    QTest::newRow("another program's file") << QByteArray("[servers]\nq3=1.2.3.4\n") << true;
    QTest::newRow("no known game") << Fields({"Doom", "h:1", "n", "m", "p", "q", "g", "1"}) << true;
    QTest::newRow("too large") << QByteArray(ServerListMaxFileBytes + 1, '\n') << true;
    QTest::newRow("header only") << QByteArray(ServerListHeader) + "\r\n" << false;
    QTest::newRow("header and blank lines") << QByteArray(ServerListHeader) + "\n\r\n \n" << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestServerListFile::unusableFileIsMovedAside()
{
    QFETCH(QByteArray, contents);
    QFETCH(bool, moved);
    TTempAppFolder folder;
    TServerListFile file;
    QVERIFY(WriteFileBytes(file.Path(), contents));
    QList<TServerListLine> lines;
    QCOMPARE(file.Read(lines), TServerListFile::TReadResult::Read);
    QVERIFY(lines.isEmpty());
    const QStringList aside =
        QDir(QFileInfo(file.Path()).absolutePath())
            .entryList({QFileInfo(file.Path()).fileName() + ".unread-*"}, QDir::Files);
    if (!moved) {
        QVERIFY(file.Notice().isEmpty());
        QVERIFY(aside.isEmpty());
        QCOMPARE(ReadFileBytes(file.Path()), contents);
        return;
    }
    QCOMPARE(aside.size(), 1);
    QVERIFY(!QFileInfo::exists(file.Path()));
    const QString kept = QFileInfo(file.Path()).absolutePath() + '/' + aside.first();
    QVERIFY2(file.Notice().contains(kept), qPrintable(file.Notice()));
    QCOMPARE(ReadFileBytes(kept), contents);
    // The list of this run can be saved without touching it.
    QVERIFY(file.Write({}));
    QCOMPARE(ReadFileBytes(kept), contents);
}

// Lines that are no server (here one far longer than any line) are dropped
// at the next save, so the file as it was is kept in a copy.
void TestServerListFile::unreadLinesAreKeptInACopy()
{
    TTempAppFolder folder;
    TServerListFile file;
    const QByteArray sof = Fields({"SoF", "h:1", "n", "m", "p", "q", "g", "1"});
    const QByteArray contents =
        sof + "\r\nSoF" + QByteArray(ServerListMaxLineBytes, '\0') + "\r\n" + sof + "\r\n";
    QVERIFY(WriteFileBytes(file.Path(), contents));
    QList<TServerListLine> lines;
    QCOMPARE(file.Read(lines), TServerListFile::TReadResult::Read);
    QCOMPARE(lines.size(), 2);
    QVERIFY2(file.Notice().startsWith("1 line(s)"), qPrintable(file.Notice()));
    QCOMPARE(ReadFileBytes(file.Path()), contents);
    const QStringList copies =
        QDir(QFileInfo(file.Path()).absolutePath())
            .entryList({QFileInfo(file.Path()).fileName() + ".unread-*"}, QDir::Files);
    QCOMPARE(copies.size(), 1);
}

void TestServerListFile::longGameFieldIsNoGame()
{
    const QByteArray name = "Quake 3";
    QVERIFY(DecodeServerListLine(Fields({name, "h:1", "n", "m", "p", "q", "g", "1"})));
    QVERIFY(!DecodeServerListLine(Fields({name + QByteArray(60000, ' '), "h:1", "n", "m"})));
    QCOMPARE(GameTypeFromName(QString(LongestGameName() + 1, u'Q')), gtUnknown);
    QCOMPARE(GameTypeFromName(u"quake 3"), gtQuake3);
}

QTEST_GUILESS_MAIN(TestServerListFile)
#include "tst_serverlistfile.moc"
