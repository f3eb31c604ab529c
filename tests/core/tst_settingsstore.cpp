#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "core/settingsstore.h"

class TestSettingsStore : public QObject
{
    Q_OBJECT

private slots:
    void valuesSurviveSaveAndLoad_data();
    void valuesSurviveSaveAndLoad();
    void creationOrderIsKept();
    void deleteKeyTakesEverythingBelow();
    void replacingKeepsThePlace();
    void damagedFileIsMovedAside_data();
    void damagedFileIsMovedAside();
    void missingFileIsEmpty();
    void failedSaveKeepsOldFile();
};

void TestSettingsStore::valuesSurviveSaveAndLoad_data()
{
    QTest::addColumn<TStoreValue>("value");
    QTest::newRow("integer") << TStoreValue::Integer(15);
    QTest::newRow("negative integer") << TStoreValue::Integer(-1);
    QTest::newRow("largest integer") << TStoreValue::Integer(2147483647);
    QTest::newRow("flag true") << TStoreValue::Flag(true);
    QTest::newRow("flag false") << TStoreValue::Flag(false);
    QTest::newRow("text") << TStoreValue::FromText(QStringLiteral("Newbie \"quoted\" \\ é"));
    QTest::newRow("empty text") << TStoreValue::FromText(QString());
    QTest::newRow("colour") << TStoreValue::Colour(0x00C0C0C0);
    QTest::newRow("colour high bits") << TStoreValue::Colour(0xFFFFFFFFu);
    QTest::newRow("binary") << TStoreValue::Binary(
        QByteArray("\x00\x01\xFE\xFF\x40\xE5\x00\x00", 8));
}

void TestSettingsStore::valuesSurviveSaveAndLoad()
{
    QFETCH(TStoreValue, value);
    QTemporaryDir dir;
    const QString path = dir.path() + "/config/settings.json";
    {
        TFileSettingsStore store(path);
        QCOMPARE(store.Load(), TFileSettingsStore::TLoadResult::Missing);
        store.SetValue("\\Software\\Zelbo\\Morvix", "Value", value);
        QVERIFY2(store.Save(), qPrintable(store.ErrorString()));
    }
    TFileSettingsStore store(path);
    QCOMPARE(store.Load(), TFileSettingsStore::TLoadResult::Loaded);
    QCOMPARE(store.Value("Software\\Zelbo\\Morvix", "Value"), std::optional(value));
    QVERIFY(!store.Value("\\Software\\Zelbo\\Morvix", "value").has_value());
}

void TestSettingsStore::creationOrderIsKept()
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/settings.json";
    {
        TFileSettingsStore store(path);
        for (const char* name : {"zeta", "alpha", "Mid", "beta"}) {
            store.SetValue("\\Masters\\Quake 3", name, TStoreValue::Integer(27950));
            store.CreateKey(QStringLiteral("\\Masters\\%1").arg(name));
        }
        QVERIFY(store.Save());
    }
    TFileSettingsStore store(path);
    store.Load();
    QCOMPARE(store.ValueNames("\\Masters\\Quake 3"), QStringList({"zeta", "alpha", "Mid", "beta"}));
    QCOMPARE(store.SubKeys("\\Masters"), QStringList({"Quake 3", "zeta", "alpha", "Mid", "beta"}));
    QCOMPARE(store.SubKeys("\\Nowhere"), QStringList());
}

void TestSettingsStore::deleteKeyTakesEverythingBelow()
{
    TFileSettingsStore store(QStringLiteral("/nonexistent/settings.json"));
    store.SetValue("\\A\\Buddies", "Bob", TStoreValue::Flag(true));
    store.SetValue("\\A\\Buddies\\Deeper", "x", TStoreValue::Integer(1));
    store.SetValue("\\A", "Keep", TStoreValue::Integer(2));
    QVERIFY(store.DeleteKey("\\A\\Buddies"));
    QVERIFY(!store.KeyExists("\\A\\Buddies"));
    QVERIFY(!store.KeyExists("\\A\\Buddies\\Deeper"));
    QVERIFY(store.Value("\\A", "Keep").has_value());
    QVERIFY(!store.DeleteKey("\\A\\Buddies"));
    QVERIFY(!store.DeleteValue("\\A", "Missing"));
    QVERIFY(store.DeleteValue("\\A", "Keep"));
    QCOMPARE(store.ValueNames("\\A"), QStringList());
}

void TestSettingsStore::replacingKeepsThePlace()
{
    TFileSettingsStore store(QStringLiteral("/nonexistent/settings.json"));
    store.SetValue("\\K", "first", TStoreValue::Integer(1));
    store.SetValue("\\K", "second", TStoreValue::Integer(2));
    store.SetValue("\\K", "first", TStoreValue::FromText("now text"));
    QCOMPARE(store.ValueNames("\\K"), QStringList({"first", "second"}));
    QCOMPARE(store.Value("\\K", "first")->Kind, TStoreKind::Text);
}

void TestSettingsStore::damagedFileIsMovedAside_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::newRow("not JSON") << QByteArray("\x00\x01garbage", 9);
    QTest::newRow("truncated") << QByteArray(R"({"format":"Morvix settings","version":1,"root":{)");
    QTest::newRow("foreign JSON") << QByteArray(R"({"hello":"world"})");
    QTest::newRow("unknown kind") << QByteArray(
        R"({"format":"Morvix settings","version":1,"root":{"name":"","keys":[],)"
        R"("values":[{"name":"a","kind":"float","data":1.5}]}})");
    QTest::newRow("integer out of range")
        << QByteArray(R"({"format":"Morvix settings","version":1,"root":{"name":"","keys":[],)"
                      R"("values":[{"name":"a","kind":"integer","data":4294967296}]}})");
    QTest::newRow("duplicate value")
        << QByteArray(R"({"format":"Morvix settings","version":1,"root":{"name":"","keys":[],)"
                      R"("values":[{"name":"a","kind":"flag","data":true},)"
                      R"({"name":"a","kind":"flag","data":false}]}})");
}

void TestSettingsStore::damagedFileIsMovedAside()
{
    QFETCH(QByteArray, contents);
    QTemporaryDir dir;
    const QString path = dir.path() + "/settings.json";
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
    file.close();

    TFileSettingsStore store(path);
    QCOMPARE(store.Load(), TFileSettingsStore::TLoadResult::Damaged);
    QVERIFY(!QFile::exists(path));
    QVERIFY(store.MovedAsideTo().startsWith(path + ".damaged-"));
    QFile aside(store.MovedAsideTo());
    QVERIFY(aside.open(QIODevice::ReadOnly));
    QCOMPARE(aside.readAll(), contents); // nothing the user had is lost
    QVERIFY(store.SubKeys("\\").isEmpty());

    // Saving now writes a fresh file beside the one kept aside.
    store.SetValue("\\Software", "x", TStoreValue::Integer(1));
    QVERIFY(store.Save());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

void TestSettingsStore::missingFileIsEmpty()
{
    TFileSettingsStore store(QStringLiteral("/nonexistent/folder/settings.json"));
    QCOMPARE(store.Load(), TFileSettingsStore::TLoadResult::Missing);
    QVERIFY(!store.KeyExists("\\Software"));
    QVERIFY(!store.Value("\\Software", "x").has_value());
}

void TestSettingsStore::failedSaveKeepsOldFile()
{
    QTemporaryDir dir;
    // The folder the file should go in is a plain file: nothing can be written.
    const QString blocker = dir.path() + "/config";
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("old contents");
    file.close();

    TFileSettingsStore store(blocker + "/settings.json");
    store.SetValue("\\Software", "x", TStoreValue::Integer(1));
    QVERIFY(!store.Save());
    QVERIFY(!store.ErrorString().isEmpty());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("old contents"));
    file.close();

    // A target that is itself a folder cannot be replaced either.
    QVERIFY(QDir().mkpath(dir.path() + "/folder.json"));
    TFileSettingsStore onFolder(dir.path() + "/folder.json");
    onFolder.SetValue("\\Software", "x", TStoreValue::Integer(1));
    QVERIFY(!onFolder.Save());
    QVERIFY(QFileInfo(dir.path() + "/folder.json").isDir());
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
