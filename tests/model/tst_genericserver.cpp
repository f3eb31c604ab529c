#include <QTemporaryDir>
#include <QTest>

#include "model/apppaths.h"
#include "model/gamecatalogue.h"
#include "model/genericserver.h"
#include "model/htmlstyles.h"

class TestGenericServer : public QObject
{
    Q_OBJECT

private slots:
    void gameTypeFromName_data();
    void gameTypeFromName();
    void gameTypeNamesRoundTrip();
    void gameTypeNameOutOfRange();
    void createDefaults();
    void rules();
    void iniValue_data();
    void iniValue();
    void stylesFollowTheFile();
    void stylesOfAMissingFile();
};

void TestGenericServer::gameTypeFromName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("expected");
    QTest::newRow("lower case") << "half-life" << int(gtHalfLife);
    QTest::newRow("mixed case") << "qUaKe 3" << int(gtQuake3);
    QTest::newRow("missing blank") << "Quake3" << int(gtUnknown);
    QTest::newRow("trailing blank") << "Quake 3 " << int(gtUnknown);
    QTest::newRow("empty") << "" << int(gtUnknown);
    QTest::newRow("unknown itself") << "Unknown" << int(gtUnknown);
    // Only a to z fold: a dotless capital I is not an I.
    QTest::newRow("non-ASCII fold") << QString::fromUtf8("trıbes") << int(gtUnknown);
}

void TestGenericServer::gameTypeFromName()
{
    QFETCH(QString, name);
    QFETCH(int, expected);
    QCOMPARE(int(GameTypeFromName(name)), expected);
}

void TestGenericServer::gameTypeNamesRoundTrip()
{
    for (int type = 0; type < gtUnknown; ++type) {
        QCOMPARE(int(GameTypeFromName(GameTypeName(type))), type);
        QCOMPARE(int(GameInfo(type)->Type), type);
    }
}

void TestGenericServer::gameTypeNameOutOfRange()
{
    QCOMPARE(GameTypeName(gtUnknown), QStringLiteral("Unknown"));
    QCOMPARE(GameTypeName(200), QStringLiteral("Unknown"));
    QCOMPARE(GameTypeName(-1), QStringLiteral("Unknown"));
    QVERIFY(GameInfo(gtUnknown) == nullptr);
}

void TestGenericServer::createDefaults()
{
    QTemporaryDir root;
    TAppPaths::SetRoot(root.path());
    QDir().mkpath(TAppPaths::ProgramDir());

    const auto server = TGenericServer::Create();
    const auto other = TGenericServer::Create();
    QVERIFY(server->NoReply);
    QCOMPARE(server->GameType, gtUnknown);
    QCOMPARE(server->Status, qsNew);
    QCOMPARE(server->RetryCount, 0);
    QVERIFY(!server->Favorite);
    QVERIFY(server->Name.isEmpty());
    QVERIFY(server->PlayerTable.isEmpty());
    QVERIFY(server->Id != 0);
    QVERIFY(server->Id != other->Id);

    // The templates folder beside the program is made on the first record.
    QCOMPARE(server->TemplatesDir, TAppPaths::ProgramDir() + "/Templates/");
    QVERIFY(QFileInfo(server->TemplatesDir + "HTML").isDir());
    QCOMPARE(*server->Styles, THtmlStyles());

    const auto explicitDir = TGenericServer::Create(root.path() + "/elsewhere");
    QCOMPARE(explicitDir->TemplatesDir, root.path() + "/elsewhere/");
    TAppPaths::SetRoot({});
}

void TestGenericServer::rules()
{
    QTemporaryDir dir;
    const auto server = TGenericServer::Create(dir.path());
    server->AddRule("mapname", "q3dm17");
    server->AddRule("g_gametype", "4");
    server->AddRule("mapname", "second");
    QCOMPARE(server->GetRule("mapname"), QByteArray("q3dm17"));
    QCOMPARE(server->GetRule("MAPNAME"), QByteArray());
    QCOMPARE(server->GetRule("missing"), QByteArray());
    QCOMPARE(server->Rules.size(), 3);
    server->ClearRules();
    QVERIFY(server->Rules.isEmpty());
    QCOMPARE(server->GetRule("mapname"), QByteArray());
}

void TestGenericServer::iniValue_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("present");

    const QByteArray ini = "; comment\r\n[PlayerTable]\r\nFontFace = Arial, Helvetica \r\n"
                           "fontsize=\"+1\"\r\nEmpty=\r\n[RuleTable]\r\nFontFace=Courier\r\n";
    QTest::newRow("comma kept, blanks dropped")
        << ini << QByteArray("PlayerTable") << QByteArray("FontFace")
        << QByteArray("Arial, Helvetica") << true;
    QTest::newRow("names without case, quotes removed")
        << ini << QByteArray("playertable") << QByteArray("FONTSIZE") << QByteArray("+1") << true;
    QTest::newRow("empty value is present")
        << ini << QByteArray("PlayerTable") << QByteArray("Empty") << QByteArray("") << true;
    QTest::newRow("other section") << ini << QByteArray("RuleTable") << QByteArray("FontFace")
                                   << QByteArray("Courier") << true;
    QTest::newRow("missing key") << ini << QByteArray("RuleTable") << QByteArray("FontSize")
                                 << QByteArray() << false;
    QTest::newRow("missing section")
        << ini << QByteArray("OtherTable") << QByteArray("FontFace") << QByteArray() << false;
    QTest::newRow("key before any section") << QByteArray("FontFace=x\n[A]\n") << QByteArray("A")
                                            << QByteArray("FontFace") << QByteArray() << false;
}

void TestGenericServer::iniValue()
{
    QFETCH(QByteArray, ini);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, expected);
    QFETCH(bool, present);
    const QByteArray value = IniValue(ini, section, key);
    QCOMPARE(!value.isNull(), present);
    QCOMPARE(value, expected);
}

void TestGenericServer::stylesFollowTheFile()
{
    QTemporaryDir dir;
    const QString templates = dir.path() + "/Templates";
    QDir().mkpath(templates + "/HTML");
    const auto write = [&](const QByteArray& text) {
        QFile file(templates + "/HTML/define.ini");
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    };

    write("[PlayerTable]\nOddColor=#111111\n[OtherTable]\nHeaderColor=#222222\n");
    const auto first = TGenericServer::Create(templates);
    QCOMPARE(first->Styles->Player.OddColor, QByteArray("#111111"));
    QCOMPARE(first->Styles->Player.EvenColor, QByteArray("#000080"));
    QCOMPARE(first->Styles->Other.HeaderColor, QByteArray("#222222"));
    QCOMPARE(first->Styles->Rule, THtmlTableStyle());

    // A record created after the file changed sees the change; the earlier
    // record keeps what it read.
    write("[RuleTable]\nFontFace=Courier New\n");
    const auto second = TGenericServer::Create(templates);
    QCOMPARE(second->Styles->Rule.FontFace, QByteArray("Courier New"));
    QCOMPARE(second->Styles->Player.OddColor, QByteArray("#000040"));
    QCOMPARE(first->Styles->Player.OddColor, QByteArray("#111111"));
}

void TestGenericServer::stylesOfAMissingFile()
{
    QTemporaryDir dir;
    const auto server = TGenericServer::Create(dir.path() + "/none/Templates");
    QCOMPARE(*server->Styles, THtmlStyles());
    QVERIFY(QFileInfo(dir.path() + "/none/Templates/HTML").isDir());
}

QTEST_GUILESS_MAIN(TestGenericServer)
#include "tst_genericserver.moc"
