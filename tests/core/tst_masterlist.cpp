#include <QTest>

#include "core/masterlist.h"
#include "core/settingsio.h"
#include "core/settingsstore.h"

Q_DECLARE_METATYPE(TMasterTarget)
Q_DECLARE_METATYPE(TStoreValue)

class TestMasterList : public QObject
{
    Q_OBJECT

private slots:
    void builtInWhenNoKey();
    void wrongKindIsLeftOut();
    void writtenListReadsBack();
    void kindBesideThePlainLayout_data();
    void kindBesideThePlainLayout();
    void q3Protocols_data();
    void q3Protocols();
    void target_data();
    void target();
};

void TestMasterList::builtInWhenNoKey()
{
    TFileSettingsStore store(QStringLiteral("/nonexistent/settings.json"));
    const TMasterList list = ReadMasterList(store);
    QVERIFY(list.BuiltIn);
    QVERIFY(list.InvalidValues.isEmpty());
    // One game per master protocol, each named as the menu maps it back,
    // each with masters that a click can ask.
    QList<TMasterProtocol> protocols;
    for (const TMasterGame& game : list.Games) {
        const TGameInfo* info = GameInfo(GameTypeFromName(game.Name));
        QVERIFY2(info, qPrintable(game.Name));
        protocols.append(info->Master);
        QVERIFY(!game.Masters.isEmpty());
        for (const TMasterEntry& master : game.Masters) {
            const TMasterTarget target = MasterTargetOf(game.Name, MasterCaption(master));
            QCOMPARE(target, (TMasterTarget{master.Host, master.Port, info->Type}));
        }
    }
    std::sort(protocols.begin(), protocols.end());
    QCOMPARE(protocols,
             (QList<TMasterProtocol>{TMasterProtocol::HalfLife, TMasterProtocol::Quake3,
                                     TMasterProtocol::Tribes, TMasterProtocol::Tribes2}));
    // Offered, not stored.
    QVERIFY(!store.KeyExists(MastersKey));

    // A masters key that the user emptied is an empty menu, not the built-in one.
    store.CreateKey(MastersKey);
    const TMasterList empty = ReadMasterList(store);
    QVERIFY(!empty.BuiltIn);
    QVERIFY(empty.Games.isEmpty());
}

void TestMasterList::wrongKindIsLeftOut()
{
    TFileSettingsStore store(QStringLiteral("/nonexistent/settings.json"));
    const QString quake3 = MastersKey + "\\Quake 3";
    store.SetValue(quake3, "first", TStoreValue::Integer(27950));
    store.SetValue(quake3, "text port", TStoreValue::FromText("27950"));
    store.SetValue(quake3, "colour", TStoreValue::Colour(27960));
    store.SetValue(MastersKey + "\\Tribes", "bytes", TStoreValue::Binary("\x01"));
    const TMasterList list = ReadMasterList(store);
    QCOMPARE(list.InvalidValues, (QStringList{"text port", "bytes"}));
    QCOMPARE(list.Games, (QList<TMasterGame>{{"Quake 3", {{"first", 27950}, {"colour", 27960}}},
                                             {"Tribes", {}}}));
}

void TestMasterList::writtenListReadsBack()
{
    TFileSettingsStore store(QStringLiteral("/nonexistent/settings.json"));
    QList<TMasterGame> games = BuiltInMasters();
    games.append(TMasterGame{"Quake 3 LAN", {}}); // a game without masters stays listed
    WriteMasterList(store, games);
    const TMasterList list = ReadMasterList(store);
    QVERIFY(!list.BuiltIn);
    QVERIFY(list.InvalidValues.isEmpty());
    QCOMPARE(list.Games, games);
}

void TestMasterList::q3Protocols_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<TStoreValue>("value");
    QTest::addColumn<QList<int>>("asked");
    QTest::newRow("missing") << false << TStoreValue{} << DefaultQ3Protocols;
    QTest::newRow("one") << true << TStoreValue::FromText("68") << QList<int>{68};
    QTest::newRow("order kept, repeats and junk left out")
        << true << TStoreValue::FromText("71, 68,abc,0,-3,68") << QList<int>{71, 68};
    QTest::newRow("nothing usable") << true << TStoreValue::FromText(", x") << DefaultQ3Protocols;
    QTest::newRow("a number, not a text") << true << TStoreValue::Integer(68) << DefaultQ3Protocols;
}

void TestMasterList::q3Protocols()
{
    QFETCH(bool, present);
    QFETCH(TStoreValue, value);
    QFETCH(QList<int>, asked);
    TFileSettingsStore store(QStringLiteral("/nonexistent/settings.json"));
    if (present) {
        store.SetValue(SettingsKey(), Q3ProtocolsValue, value);
    }
    // Read with the built-in masters and with the user's own.
    QCOMPARE(ReadMasterList(store).Q3Protocols, asked);
    WriteMasterList(store, {{"Quake 3", {{"master.example.net", 27950}}}});
    QCOMPARE(ReadMasterList(store).Q3Protocols, asked);
}

void TestMasterList::kindBesideThePlainLayout_data()
{
    QTest::addColumn<bool>("present"); // a value in the Kind sub-key
    QTest::addColumn<TStoreValue>("kind");
    QTest::addColumn<bool>("steam");
    QTest::newRow("Steam") << true << TStoreValue::FromText("Steam") << true;
    QTest::newRow("another case") << true << TStoreValue::FromText("sTEAM") << true;
    QTest::newRow("documented") << true << TStoreValue::FromText("Documented") << false;
    QTest::newRow("empty text") << true << TStoreValue::FromText("") << false;
    QTest::newRow("a number") << true << TStoreValue::Integer(1) << false;
    QTest::newRow("none") << false << TStoreValue::FromText("Steam") << false;
}

void TestMasterList::kindBesideThePlainLayout()
{
    QFETCH(bool, present);
    QFETCH(TStoreValue, kind);
    QFETCH(bool, steam);
    TFileSettingsStore store(QStringLiteral("/nonexistent/settings.json"));
    const QString halfLife = MastersKey + "\\Half-Life";
    store.SetValue(halfLife, "master.example.net", TStoreValue::Integer(27010));
    store.SetValue(halfLife, "other.example.net", TStoreValue::Integer(27011));
    if (present) {
        store.SetValue(halfLife + '\\' + MasterKindKey, "master.example.net", kind);
    }
    // A kind for a master that is not listed adds none.
    store.SetValue(halfLife + '\\' + MasterKindKey, "gone.example.net",
                   TStoreValue::FromText(MasterKindSteam));
    const TMasterList list = ReadMasterList(store);
    QVERIFY(list.InvalidValues.isEmpty());
    const TMasterKind expected = steam ? TMasterKind::Steam : TMasterKind::Documented;
    QCOMPARE(list.Games,
             (QList<TMasterGame>{{"Half-Life",
                                  {{"master.example.net", 27010, expected},
                                   {"other.example.net", 27011, TMasterKind::Documented}}}}));

    // What a reader of the plain layout sees is unchanged: the game's values
    // are the masters with their ports, and the masters key has one game.
    WriteMasterList(store, list.Games);
    QCOMPARE(store.SubKeys(MastersKey), QStringList{"Half-Life"});
    QCOMPARE(store.ValueNames(halfLife), (QStringList{"master.example.net", "other.example.net"}));
    QCOMPARE(ReadMasterList(store).Games, list.Games);
}

void TestMasterList::target_data()
{
    QTest::addColumn<QString>("game");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<TMasterTarget>("target");
    QTest::newRow("plain") << "Quake 3"
                           << "master.example.org:27950"
                           << TMasterTarget{"master.example.org", 27950, gtQuake3};
    QTest::newRow("accelerator marks")
        << "&Half-Life"
        << "ma&ster:2&7010" << TMasterTarget{"master", 27010, gtHalfLife};
    QTest::newRow("capitals") << "TRIBES 2"
                              << "t2:28002" << TMasterTarget{"t2", 28002, gtTribes2};
    QTest::newRow("no colon") << "Tribes"
                              << "t1.example.net"
                              << TMasterTarget{"t1.example.net", 27999, gtTribes};
    QTest::newRow("port not a number") << "Tribes"
                                       << "host:port" << TMasterTarget{"host", 27999, gtTribes};
}

void TestMasterList::target()
{
    QFETCH(QString, game);
    QFETCH(QString, caption);
    QFETCH(TMasterTarget, target);
    QCOMPARE(MasterTargetOf(game, caption), target);
}

QTEST_GUILESS_MAIN(TestMasterList)
#include "tst_masterlist.moc"
