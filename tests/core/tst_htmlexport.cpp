#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>

#include "core/htmlexport.h"
#include "core/htmltemplates.h"
#include "core/savehtmlcommand.h"
#include "scripteddialogs.h"
#include "tempappfolder.h"
#include "testutil.h"

namespace {

using TServerPtr = std::shared_ptr<TGenericServer>;

const QString kSourceTemplates = QStringLiteral(MORVIX_TEST_DATA_DIR "/../../resources/Templates/");

TServerPtr NewServer(const QString& templatesDir)
{
    return TServerPtr(TGenericServer::Create(templatesDir).release());
}

// A Quake 3 server as its reply leaves it: three rules, two players, no teams.
void MakeQuake3(TGenericServer& server)
{
    server.GameType = gtQuake3;
    server.GameName = "baseq3";
    server.Name = "Quad Dmg Arena";
    server.Version = "Q3 1.32c linux-i386 May  8 2006";
    server.Map = "q3dm17";
    server.Info.Host = QStringLiteral("192.0.2.10");
    server.Info.Port = 27960;
    server.Info.Ping = 48;
    server.MaxPlayers = 16;
    server.NumPlayers = 2;
    server.PlayerTable = {{"Name", "Frags", "Ping"}, {"Sarge", "12", "40"}, {"Bones", "-1", "999"}};
    server.Rules = {{"g_gametype", "0"}, {"sv_maxclients", "16"}, {"version", "Q3 1.32c"}};
    server.NoReply = false;
}

// A Tribes server with the server's own headings, a row shorter than the
// others and a team table.
void MakeTribes(TGenericServer& server)
{
    server.GameType = gtTribes;
    server.GameName = "CTF";
    server.Name = "Tribes & Friends";
    server.Version = "v1.11 on a dedicated server";
    server.Map = "Raindance (CTF)";
    server.Info.Host = QStringLiteral("198.51.100.7");
    server.Info.Port = 28001;
    server.Info.Ping = 120;
    server.MaxPlayers = 32;
    server.NumPlayers = 3;
    server.PlayerTable = {{"Name", "Team", "Score", "Ping", "PL"},
                          {"Dagger", "Blood Eagle", "5", "80", "0"},
                          {"Spinfusor", "Diamond Sword", "12", "95", "2"},
                          {"Observer"}};
    server.TeamTable = {{"Team", "Score"}, {"Blood Eagle", "3"}, {"Diamond Sword", "1"}};
    server.Rules = {{"dedicated", "1"}, {"password", "0"}};
    server.NoReply = false;
}

// A server that tries to put markup and script into the page, with a
// Latin-1 and a UTF-8 text.
void MakeHostile(TGenericServer& server)
{
    server.GameType = gtHalfLife;
    server.GameName = "cstrike";
    server.Name = "<script>alert(\"x\")</script> $map & 'co'";
    server.Version = "48/1.1.2.7 <i>";
    server.Map = "de_dust2";
    server.Info.Host = QStringLiteral("203.0.113.5");
    server.Info.Port = 27015;
    server.Info.Ping = 63;
    server.MaxPlayers = 20;
    server.NumPlayers = 1;
    server.PlayerTable = {{"Name", "Score", "Time"}, {"Caf\xE9 <b>", "3", "12"}};
    server.Rules = {{"sv_motd", "\"><img src=x onerror=alert(1)>"},
                    {"sv_owner", "\xD0\x92\xD0\xBB\xD0\xB0\xD0\xB4"}};
    server.NoReply = false;
}

// The files a folder holds, by name.
QStringList FilesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

Q_DECLARE_METATYPE(TScriptedDialogs::TKind)

class TestHtmlExport : public QObject
{
    Q_OBJECT

private slots:
    void pages_data();
    void pages();
    void lineEnds_data();
    void lineEnds();
    void placeholders_data();
    void placeholders();
    void serverText_data();
    void serverText();
    void proposedFileName_data();
    void proposedFileName();
    void saveDialog_data();
    void saveDialog();
    void defaultExtensionAsksBeforeReplacing();
    void nothingToSave();
    void freshTemplateFolder();
    void installedSetIsPreferred();
    void userFilesAreKept_data();
    void userFilesAreKept();
    void writeFailures_data();
    void writeFailures();
    void missingTemplate();
    void templateFolderPlace_data();
    void templateFolderPlace();
};

void TestHtmlExport::pages_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("defineIni");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Quake 3, default styles") << "Quake 3" << QString() << "quake3.html";
    QTest::newRow("Tribes, styles of define.ini") << "Tribes"
                                                  << "tribes-define.ini"
                                                  << "tribes.html";
    QTest::newRow("markup and placeholders in server text")
        << "hostile" << QString() << "hostile.html";
}

void TestHtmlExport::pages()
{
    QFETCH(QString, server);
    QFETCH(QString, defineIni);
    QFETCH(QString, expected);

    QTemporaryDir dir;
    const QString templates = dir.path() + "/Templates/";
    QVERIFY(WriteFileBytes(templates + "HTML/index.html", TestData("html/template.html")));
    if (!defineIni.isEmpty()) {
        QVERIFY(WriteFileBytes(templates + "HTML/define.ini", TestData("html/" + defineIni)));
    }
    const TServerPtr record = NewServer(templates);
    (server == "Quake 3" ? MakeQuake3 : server == "Tribes" ? MakeTribes : MakeHostile)(*record);

    const QString path = dir.path() + "/out/page.html";
    QString error;
    QVERIFY2(SaveHTML(*record, path, &error), qPrintable(error));
    QCOMPARE(ReadFileBytes(path), TestData("html/" + expected));
}

void TestHtmlExport::lineEnds_data()
{
    QTest::addColumn<QByteArray>("pageTemplate");
    QTest::addColumn<QByteArray>("page");
    QTest::newRow("empty") << QByteArray() << QByteArray("\r\n");
    QTest::newRow("no line end") << QByteArray("a") << QByteArray("a\r\n");
    QTest::newRow("LF") << QByteArray("a\nb\n") << QByteArray("a\r\nb\r\n");
    QTest::newRow("CR LF, last line open") << QByteArray("a\r\nb") << QByteArray("a\r\nb\r\n");
    QTest::newRow("CR") << QByteArray("a\rb\r") << QByteArray("a\r\nb\r\n");
    QTest::newRow("LF CR is two ends") << QByteArray("a\n\rb") << QByteArray("a\r\n\r\nb\r\n");
    QTest::newRow("empty lines") << QByteArray("\n\n") << QByteArray("\r\n\r\n");
    QTest::newRow("each line filled") << QByteArray("$port\n$port") << QByteArray("1\r\n1\r\n");
    QTest::newRow("no placeholder across lines")
        << QByteArray("$po\nrt") << QByteArray("$po\r\nrt\r\n");
}

void TestHtmlExport::lineEnds()
{
    QFETCH(QByteArray, pageTemplate);
    QFETCH(QByteArray, page);
    QTemporaryDir dir;
    const TServerPtr server = NewServer(dir.path());
    server->Info.Port = 1;
    QCOMPARE(HtmlPage(pageTemplate, *server), page);
}

void TestHtmlExport::placeholders_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("filled");
    QTest::newRow("every one, back to back")
        << QByteArray("$gamename|$gametype|$name|$version|$map|$address|$port|$ping|"
                      "$playermax|$playercount")
        << QByteArray("Quake 3|$ping|$map &lt;x&gt;|1.32|q3dm17|192.0.2.10|27960|4294967295|16|2");
    QTest::newRow("distinct names sharing a start")
        << QByteArray("$playercount$playermax$playertable") << QByteArray("216");
    QTest::newRow("inserted text is not searched again")
        << QByteArray("$name then $map") << QByteArray("$map &lt;x&gt; then q3dm17");
    QTest::newRow("case-sensitive")
        << QByteArray("$MAP $Map $NAME") << QByteArray("$MAP $Map $NAME");
    QTest::newRow("longer word") << QByteArray("$mapname") << QByteArray("q3dm17name");
    QTest::newRow("lone dollars") << QByteArray("$$$port$") << QByteArray("$$27960$");
    QTest::newRow("empty tables") << QByteArray("[$playertable|$ruletable|$othertable]")
                                  << QByteArray("[||]");
    QTest::newRow("no placeholder") << QByteArray("<p>50% off</p>") << QByteArray("<p>50% off</p>");
}

void TestHtmlExport::placeholders()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, filled);
    QTemporaryDir dir;
    const TServerPtr server = NewServer(dir.path());
    server->GameType = gtQuake3;
    server->GameName = "$ping";
    server->Name = "$map <x>";
    server->Version = "1.32";
    server->Map = "q3dm17";
    server->Info.Host = QStringLiteral("192.0.2.10");
    server->Info.Port = 27960;
    server->Info.Ping = 4294967295u;
    server->MaxPlayers = 16;
    server->NumPlayers = 2;
    QCOMPARE(FillHtmlLine(line, HtmlPlaceholders(*server)), filled);
}

void TestHtmlExport::serverText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("plain") << QByteArray("Quad Dmg") << QByteArray("Quad Dmg");
    QTest::newRow("markup") << QByteArray("<a href=\"x\">'&'</a>")
                            << QByteArray("&lt;a href=&quot;x&quot;&gt;&#39;&amp;&#39;&lt;/a&gt;");
    QTest::newRow("an entity is not kept") << QByteArray("&lt;") << QByteArray("&amp;lt;");
    QTest::newRow("Latin-1") << QByteArray("Caf\xE9") << QByteArray("Caf\xC3\xA9");
    QTest::newRow("UTF-8") << QByteArray("Caf\xC3\xA9 \xD0\x96")
                           << QByteArray("Caf\xC3\xA9 \xD0\x96");
    QTest::newRow("broken sequence") << QByteArray("\xC3\x28") << QByteArray("\xC3\x83(");
    QTest::newRow("cut-off sequence")
        << QByteArray("ab\xE2\x82") << QByteArray("ab\xC3\xA2\xC2\x82");
    QTest::newRow("overlong slash") << QByteArray("\xC0\xAF") << QByteArray("\xC3\x80\xC2\xAF");
    QTest::newRow("encoded surrogate")
        << QByteArray("\xED\xA0\x80") << QByteArray("\xC3\xAD\xC2\xA0\xC2\x80");
    QTest::newRow("byte order mark kept")
        << QByteArray("\xEF\xBB\xBFx") << QByteArray("\xEF\xBB\xBFx");
}

void TestHtmlExport::serverText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, text);
    QCOMPARE(HtmlServerText(bytes), text);
}

void TestHtmlExport::proposedFileName_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QString>("fileName");
    QTest::newRow("removed characters") << QByteArray("A/B:C") << "ABC.html";
    QTest::newRow("all nine") << QByteArray("a\\b/c:d*e?f\"g<h>i|j") << "abcdefghij.html";
    QTest::newRow("outer blanks go, inner stay")
        << QByteArray("  My  Server  ") << "My  Server.html";
    QTest::newRow("control characters") << QByteArray("\t\x01 N\x02me \x7F\n") << "Nme.html";
    QTest::newRow("blanks inside removed characters") << QByteArray(" / x / ") << "x.html";
    QTest::newRow("colour codes stay") << QByteArray("^1Red^7") << "^1Red^7.html";
    QTest::newRow("Latin-1") << QByteArray("Caf\xE9") << QString::fromUtf8("Café.html");
    QTest::newRow("UTF-8") << QByteArray("\xD0\x92\xD0\xBB\xD0\xB0\xD0\xB4")
                           << QString::fromUtf8("Влад.html");
    QTest::newRow("empty: the address") << QByteArray() << "192.0.2.10_27960.html";
    QTest::newRow("nothing left: the address") << QByteArray(" ?*? ") << "192.0.2.10_27960.html";
    QTest::newRow("too long") << QByteArray(300, 'x') << QString(250, 'x') + ".html";
    QTest::newRow("too long, two bytes each")
        << QByteArray("\xD0\x96").repeated(200) << QString(125, QChar(0x416)) + ".html";
}

void TestHtmlExport::proposedFileName()
{
    QFETCH(QByteArray, name);
    QFETCH(QString, fileName);
    QTemporaryDir dir;
    const TServerPtr server = NewServer(dir.path());
    server->Name = name;
    server->Info.Host = QStringLiteral("192.0.2.10");
    server->Info.Port = 27960;
    QCOMPARE(ProposedHtmlFileName(*server), fileName);
    QVERIFY(fileName.toUtf8().size() <= 255);
}

void TestHtmlExport::saveDialog_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("written");
    QTest::newRow("cancelled") << QString() << QString();
    QTest::newRow("name without extension") << "pages/quad"
                                            << "pages/quad.html";
    QTest::newRow("own extension kept") << "pages/quad.htm"
                                        << "pages/quad.htm";
    QTest::newRow("missing folders made") << "a/b/c/quad.html"
                                          << "a/b/c/quad.html";
    QTest::newRow("existing file replaced") << "old.html"
                                            << "old.html";
}

void TestHtmlExport::saveDialog()
{
    QFETCH(QString, answer);
    QFETCH(QString, written);

    QTemporaryDir dir;
    const QString templates = dir.path() + "/Templates/";
    QVERIFY(WriteFileBytes(templates + "HTML/index.html", "<h1>$name</h1>"));
    QVERIFY(WriteFileBytes(dir.path() + "/old.html", "old"));
    const TServerPtr server = NewServer(templates);
    MakeQuake3(*server);

    TScriptedDialogs dialogs;
    QStringList status;
    TSaveHtmlCommand command(dialogs, [&](const QString& text) { status.append(text); });
    const QString firstFolder = command.Folder();
    QVERIFY(!firstFolder.isEmpty());
    dialogs.AnswerFileName(answer.isEmpty() ? QString() : dir.path() + "/" + answer);
    command.Run(server.get());

    QCOMPARE(dialogs.Shown().size(), 1);
    const auto& shown = dialogs.Shown().first();
    QCOMPARE(shown.Kind, TScriptedDialogs::TKind::SaveFileName);
    QCOMPARE(shown.Title, QStringLiteral("Save As"));
    QCOMPARE(shown.Text, QStringLiteral("HTML file (*.html);;Any file (*)"));
    QCOMPARE(shown.Initial, QDir(firstFolder).filePath("Quad Dmg Arena.html"));

    if (written.isEmpty()) {
        QCOMPARE(FilesIn(dir.path()), QStringList{"old.html"});
        QVERIFY(status.isEmpty());
        QCOMPARE(command.Folder(), firstFolder);
        return;
    }
    const QString path = dir.path() + "/" + written;
    QCOMPARE(ReadFileBytes(path), QByteArray("<h1>Quad Dmg Arena</h1>\r\n"));
    QCOMPARE(status, QStringList{"Saved the server as " + path});
    // The next dialog opens where the last page went.
    QCOMPARE(command.Folder(), QFileInfo(path).absolutePath());
    command.Run(server.get());
    QCOMPARE(dialogs.Shown().last().Initial,
             QFileInfo(path).absolutePath() + "/Quad Dmg Arena.html");
}

void TestHtmlExport::defaultExtensionAsksBeforeReplacing()
{
    QTemporaryDir dir;
    QVERIFY(WriteFileBytes(dir.path() + "/HTML/index.html", "$map"));
    QVERIFY(WriteFileBytes(dir.path() + "/quad.html", "old"));
    const TServerPtr server = NewServer(dir.path());
    MakeQuake3(*server);
    TScriptedDialogs dialogs;
    TSaveHtmlCommand command(dialogs, {});

    for (const bool replace : {false, true}) {
        dialogs.AnswerFileName(dir.path() + "/quad");
        dialogs.AnswerQuestion(replace);
        command.Run(server.get());
        QCOMPARE(dialogs.Shown().last().Kind, TScriptedDialogs::TKind::Question);
        QCOMPARE(dialogs.Shown().last().Text,
                 QStringLiteral("quad.html already exists.\nDo you want to replace it?"));
        QCOMPARE(ReadFileBytes(dir.path() + "/quad.html"),
                 QByteArray(replace ? "q3dm17\r\n" : "old"));
    }
    QCOMPARE(dialogs.Unanswered(), 0);
}

void TestHtmlExport::nothingToSave()
{
    QTemporaryDir dir;
    QVERIFY(WriteFileBytes(dir.path() + "/HTML/index.html", "$name"));
    const TServerPtr server = NewServer(dir.path());
    MakeQuake3(*server);
    server->NoReply = true;

    TScriptedDialogs dialogs;
    TSaveHtmlCommand command(dialogs, {});
    command.Run(nullptr);
    QVERIFY(dialogs.Shown().isEmpty());

    dialogs.AnswerFileName(dir.path() + "/page.html");
    command.Run(server.get());
    QCOMPARE(dialogs.Shown().size(), 1);
    QCOMPARE(dialogs.Shown().first().Kind, TScriptedDialogs::TKind::Information);
    QCOMPARE(dialogs.Shown().first().Title, QStringLiteral("Morvix"));
    QCOMPARE(dialogs.Shown().first().Text,
             QStringLiteral("This server cannot be save to HTML because it have no data. "
                            "Please query it and try again."));
    QVERIFY(!QFileInfo::exists(dir.path() + "/page.html"));
}

void TestHtmlExport::freshTemplateFolder()
{
    // A first run: the record's template folder is made empty, and the first
    // save gives it the program's set.
    TTempAppFolder folder;
    const TServerPtr server = NewServer({});
    QCOMPARE(server->TemplatesDir, TAppPaths::ProgramDir() + "/Templates/");
    QCOMPARE(FilesIn(server->TemplatesDir + "HTML"), QStringList());
    MakeHostile(*server);

    TScriptedDialogs dialogs;
    TSaveHtmlCommand command(dialogs, {});
    const QString path = folder.Path() + "/pages/server.html";
    dialogs.AnswerFileName(path);
    command.Run(server.get());
    QCOMPARE(dialogs.Shown().size(), 1);

    for (const QString& file : HtmlTemplateFiles()) {
        const QByteArray source = ReadFileBytes(kSourceTemplates + "HTML/" + file);
        QVERIFY(!source.isEmpty());
        QCOMPARE(ReadFileBytes(server->TemplatesDir + "HTML/" + file), source);
        QCOMPARE(ReadFileBytes(":/Templates/HTML/" + file), source);
    }

    // The shipped page uses every placeholder and declares its encoding.
    const QByteArray shipped = ReadFileBytes(kSourceTemplates + "HTML/index.html");
    for (const THtmlPlaceholder& placeholder : HtmlPlaceholders(*server)) {
        QVERIFY2(shipped.contains(placeholder.Name), placeholder.Name.data());
    }
    const QByteArray page = ReadFileBytes(path);
    QVERIFY(page.contains("<meta charset=\"utf-8\">"));
    QVERIFY(page.contains("<h1>&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; $map"));
    QVERIFY(!page.contains("<script"));
    QVERIFY(page.contains("sv_owner</FONT></TD><TD><FONT FACE=\"Verdana, Arial\" SIZE=\"-1\" "
                          "COLOR=\"#FFFFFF\">\xD0\x92\xD0\xBB\xD0\xB0\xD0\xB4<"));

    // The shipped styles spell out every value, the same as a missing file's,
    // so records made before the first copy look the same as those after.
    const QByteArray ini = ReadFileBytes(kSourceTemplates + "HTML/define.ini");
    for (const char* section : {"PlayerTable", "RuleTable", "OtherTable"}) {
        for (const char* key :
             {"FontFace", "FontSize", "FontColor", "EvenColor", "OddColor", "HeaderColor"}) {
            QVERIFY2(!IniValue(ini, section, key).isNull(), key);
        }
    }
    QCOMPARE(*LoadHtmlStyles(server->TemplatesDir + "HTML/define.ini"), THtmlStyles());
}

void TestHtmlExport::installedSetIsPreferred()
{
    TTempAppFolder folder;
    const QString shared = TAppPaths::SharedTemplatesDir();
    QCOMPARE(shared, folder.Path() + "/share/morvix/Templates/");
    QVERIFY(WriteFileBytes(shared + "HTML/index.html", "<p>$name</p>"));

    const QString mine = folder.Path() + "/mine/";
    QVERIFY(InstallHtmlTemplates(mine));
    QCOMPARE(ReadFileBytes(mine + "HTML/index.html"), QByteArray("<p>$name</p>"));
    // A file the installed set lacks comes from the built-in one.
    QCOMPARE(ReadFileBytes(mine + "HTML/define.ini"),
             ReadFileBytes(kSourceTemplates + "HTML/define.ini"));
}

void TestHtmlExport::userFilesAreKept_data()
{
    QTest::addColumn<QByteArray>("index");
    QTest::addColumn<QByteArray>("define");
    QTest::addColumn<QStringList>("files");
    QTest::newRow("a page template of the user's")
        << QByteArray("<b>$name</b>") << QByteArray() << QStringList{"index.html"};
    QTest::newRow("an empty page template")
        << QByteArray("") << QByteArray() << QStringList{"index.html"};
    QTest::newRow("styles of the user's, no page template")
        << QByteArray() << QByteArray("[PlayerTable]\nOddColor=red\n")
        << QStringList{"define.ini", "index.html"};
}

void TestHtmlExport::userFilesAreKept()
{
    QFETCH(QByteArray, index);
    QFETCH(QByteArray, define);
    QFETCH(QStringList, files);
    QTemporaryDir dir;
    const QString html = dir.path() + "/HTML/";
    QDir().mkpath(html);
    if (!index.isNull()) {
        QVERIFY(WriteFileBytes(html + "index.html", index));
    }
    if (!define.isNull()) {
        QVERIFY(WriteFileBytes(html + "define.ini", define));
    }

    QVERIFY(InstallHtmlTemplates(dir.path() + "/"));
    QCOMPARE(FilesIn(html), files);
    if (!index.isNull()) {
        QCOMPARE(ReadFileBytes(html + "index.html"), index);
    } else {
        QCOMPARE(ReadFileBytes(html + "index.html"),
                 ReadFileBytes(kSourceTemplates + "HTML/index.html"));
    }
    if (!define.isNull()) {
        QCOMPARE(ReadFileBytes(html + "define.ini"), define);
    }
}

void TestHtmlExport::writeFailures_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("message");
    QTest::newRow("template folder cannot be made")
        << "templates under a file"
        << "The template folder \"%F/file/HTML\" could not be created.";
    QTest::newRow("page folder is a file") << "folder"
                                           << "the folder \"%F/file\" could not be created.";
    QTest::newRow("page is a folder") << "directory"
                                      << "The page \"%F/dir.html\" could not be saved: ";
    QTest::newRow("file size limit") << "size"
                                     << "The page \"%F/old.html\" could not be saved: ";
    QTest::newRow("template copy cut short")
        << "template size"
        << "The template \"%F/Templates/HTML/index.html\" could not be written: ";
}

void TestHtmlExport::writeFailures()
{
    QFETCH(QString, failure);
    QFETCH(QString, message);

    QTemporaryDir dir;
    const QString base = dir.path();
    QVERIFY(WriteFileBytes(base + "/file", "a file"));
    QVERIFY(QDir().mkpath(base + "/dir.html"));
    const QByteArray old(100, 'o');
    QVERIFY(WriteFileBytes(base + "/old.html", old));

    QString templates = base + "/Templates/";
    if (failure == "templates under a file") {
        templates = base + "/file/";
    } else if (failure != "template size") {
        QVERIFY(WriteFileBytes(templates + "HTML/index.html", "$playertable\n"));
    }
    const TServerPtr server = NewServer(templates);
    MakeTribes(*server);
    // Enough players that the page outgrows the size limit below.
    for (int i = 0; i < 200; ++i) {
        server->PlayerTable.append({"Player " + QByteArray::number(i), "Blood Eagle", "1"});
    }
    QString path = base + "/page.html";
    if (failure == "folder") {
        path = base + "/file/page.html";
    } else if (failure == "directory") {
        path = base + "/dir.html";
    } else if (failure == "size") {
        path = base + "/old.html";
    }

    TScriptedDialogs dialogs;
    QStringList status;
    TSaveHtmlCommand command(dialogs, [&](const QString& text) { status.append(text); });
    dialogs.AnswerFileName(path);
    rlimit before{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    if (failure.endsWith("size")) {
        // Less than the page, and than the shipped page template.
        rlimit small = before;
        small.rlim_cur = 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    }
    command.Run(server.get());
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);

    QCOMPARE(dialogs.Shown().size(), 2);
    const auto& shown = dialogs.Shown().last();
    QCOMPARE(shown.Kind, TScriptedDialogs::TKind::Error);
    QCOMPARE(shown.Title, QStringLiteral("Morvix"));
    message.replace("%F", base);
    QVERIFY2(shown.Text.contains(message), qPrintable(shown.Text));
    QVERIFY(status.isEmpty());

    // Nothing was left behind, and the old page is as it was.
    QCOMPARE(FilesIn(base), (QStringList{"file", "old.html"}));
    QCOMPARE(ReadFileBytes(base + "/old.html"), old);
    QVERIFY(FilesIn(base + "/dir.html").isEmpty());
    QVERIFY(!QFileInfo::exists(base + "/page.html"));
    if (failure == "template size") {
        QCOMPARE(FilesIn(templates + "HTML"), QStringList());
    }
}

void TestHtmlExport::missingTemplate()
{
    QTemporaryDir dir;
    const TServerPtr server = NewServer(dir.path() + "/Templates");
    MakeQuake3(*server);
    QString error;
    QVERIFY(!SaveHTML(*server, dir.path() + "/page.html", &error));
    QCOMPARE(error,
             "The page template \"" + dir.path() + "/Templates/HTML/index.html\" was not found.");
    QVERIFY(FilesIn(dir.path()).isEmpty());
}

void TestHtmlExport::templateFolderPlace_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("place");
    QTest::newRow("no program folder yet") << ""
                                           << "program";
    QTest::newRow("a program folder the user can write") << "folder"
                                                         << "program";
    QTest::newRow("a program path that is no folder") << "file"
                                                      << "data";
}

void TestHtmlExport::templateFolderPlace()
{
    QFETCH(QString, program);
    QFETCH(QString, place);
    TTempAppFolder folder;
    if (program == "folder") {
        QVERIFY(QDir().mkpath(TAppPaths::ProgramDir()));
    } else if (program == "file") {
        QVERIFY(WriteFileBytes(TAppPaths::ProgramDir(), "not a folder"));
    }
    const QString expected =
        (place == "program" ? TAppPaths::ProgramDir() : TAppPaths::DataDir()) + "/Templates/";
    QCOMPARE(TAppPaths::TemplatesDir(), expected);
}

QTEST_GUILESS_MAIN(TestHtmlExport)
#include "tst_htmlexport.moc"
