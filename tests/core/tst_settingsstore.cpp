#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

#include "core/settingsstore.h"
#include "testutil.h"

namespace {

// A store document whose key "\Masters\Quake 3" holds Values (JSON text
// of the entries) and whose root holds the sub-keys Keys.
QByteArray Document(const QByteArray& values, const QByteArray& keys = {})
{
    return R"({"format":"Morvix settings","version":1,"root":{"name":"","values":[],"keys":[)"
           R"({"name":"Masters","values":[],"keys":[{"name":"Quake 3","keys":[],"values":[)" +
           values + "]}" + (keys.isEmpty() ? QByteArray() : "," + keys) + "]}]}}";
}

const QByteArray kGood = R"({"name":"good.example","kind":"integer","data":27950})";

} // namespace

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
    void eachEntryIsJudgedAlone_data();
    void eachEntryIsJudgedAlone();
    void saveKeepsWhatOthersWrote();
    void saveOfADamagedFileMovesItAside();
    void oversizedFileIsRefused();
    void manyValuesLoadQuickly();
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
    QTest::newRow("wrong version")
        << QByteArray(R"({"format":"Morvix settings","version":2,"root":{"name":"","keys":[],)"
                      R"("values":[]}})");
    QTest::newRow("root without lists")
        << QByteArray(R"({"format":"Morvix settings","version":1,"root":{"name":""}})");
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

// One entry that cannot be read is left out, named, and kept in the file;
// every other entry loads.
void TestSettingsStore::eachEntryIsJudgedAlone_data()
{
    QTest::addColumn<QByteArray>("values");
    QTest::addColumn<QByteArray>("keys");
    QTest::addColumn<QString>("problem");
    const QString value = "\\Masters\\Quake 3: the value \"%1\" ";
    QTest::newRow("port as text") << QByteArray(R"({"name":"bad","kind":"integer","data":"27950"})")
                                  << QByteArray()
                                  << value.arg("bad") + "holds data that does not fit its kind";
    QTest::newRow("unknown kind") << QByteArray(R"({"name":"bad","kind":"float","data":1.5})")
                                  << QByteArray()
                                  << value.arg("bad") + "has a kind Morvix does not know";
    QTest::newRow("repeated name")
        << QByteArray(R"({"name":"good.example","kind":"integer","data":1})") << QByteArray()
        << value.arg("good.example") + "is there twice";
    // Hostile numbers are refused before any conversion.
    QTest::newRow("1e300") << QByteArray(R"({"name":"bad","kind":"integer","data":1e300})")
                           << QByteArray()
                           << value.arg("bad") + "holds data that does not fit its kind";
    QTest::newRow("beyond 32 bits")
        << QByteArray(R"({"name":"bad","kind":"integer","data":4294967296})") << QByteArray()
        << value.arg("bad") + "holds data that does not fit its kind";
    QTest::newRow("negative colour")
        << QByteArray(R"({"name":"bad","kind":"colour","data":-1})") << QByteArray()
        << value.arg("bad") + "holds data that does not fit its kind";
    QTest::newRow("fraction") << QByteArray(R"({"name":"bad","kind":"integer","data":1.5})")
                              << QByteArray()
                              << value.arg("bad") + "holds data that does not fit its kind";
    QTest::newRow("odd hex") << QByteArray(R"({"name":"bad","kind":"binary","data":"abc"})")
                             << QByteArray()
                             << value.arg("bad") + "holds data that does not fit its kind";
    QTest::newRow("no name") << QByteArray(R"({"kind":"integer","data":1})") << QByteArray()
                             << value.arg("") + "has no name";
    QTest::newRow("long text") << QByteArray(R"({"name":"bad","kind":"text","data":")" +
                                             QByteArray(70000, 'x') + "\"}")
                               << QByteArray()
                               << value.arg("bad") + "is longer than 65536 characters";
    const QString key = "\\Masters: the key \"%1\" ";
    QTest::newRow("empty sub-key name")
        << QByteArray() << QByteArray(R"({"name":"","values":[],"keys":[]})")
        << key.arg("") + "has an empty name";
    QTest::newRow("sub-key name with a backslash")
        << QByteArray() << QByteArray(R"({"name":"Quake 3\\Team","values":[],"keys":[]})")
        << key.arg("Quake 3\\Team") + "has a name holding a backslash";
    QTest::newRow("repeated sub-key")
        << QByteArray() << QByteArray(R"({"name":"Quake 3","values":[],"keys":[]})")
        << key.arg("Quake 3") + "is there twice";
    QTest::newRow("sub-key without lists")
        << QByteArray() << QByteArray(R"({"name":"Tribes"})") << key.arg("Tribes") + "is not a key";
}

void TestSettingsStore::eachEntryIsJudgedAlone()
{
    QFETCH(QByteArray, values);
    QFETCH(QByteArray, keys);
    QFETCH(QString, problem);
    QTemporaryDir dir;
    const QString path = dir.path() + "/settings.json";
    const QByteArray contents = Document(values.isEmpty() ? kGood : kGood + ',' + values, keys);
    QVERIFY(WriteFileBytes(path, contents));

    TFileSettingsStore store(path);
    QCOMPARE(store.Load(), TFileSettingsStore::TLoadResult::Loaded);
    QCOMPARE(store.Problems(), QStringList{problem});
    QCOMPARE(store.SubKeys("\\Masters"), QStringList{"Quake 3"});
    QCOMPARE(
        store.Values("\\Masters\\Quake 3"),
        (QList<std::pair<QString, TStoreValue>>{{"good.example", TStoreValue::Integer(27950)}}));

    // Saved again, the entry that was left out is still in the file as it was.
    store.SetValue("\\Software", "x", TStoreValue::Integer(1));
    QVERIFY(store.Save());
    const QJsonObject root =
        QJsonDocument::fromJson(ReadFileBytes(path)).object()["root"].toObject();
    const QJsonObject masters = root["keys"].toArray()[0].toObject();
    QCOMPARE(masters["name"].toString(), "Masters");
    const QJsonArray kept = values.isEmpty()
                                ? masters["keys"].toArray()
                                : masters["keys"].toArray()[0].toObject()["values"].toArray();
    QVERIFY(kept.contains(
        QJsonDocument::fromJson("[" + (values.isEmpty() ? keys : values) + "]").array()[0]));
    TFileSettingsStore again(path);
    QCOMPARE(again.Load(), TFileSettingsStore::TLoadResult::Loaded);
    QCOMPARE(again.Problems(), QStringList{problem});
    QCOMPARE(again.Value("\\Software", "x"), TStoreValue::Integer(1));
}

// Two programs with one file: each save writes only its own changes into what
// the file holds by then.
void TestSettingsStore::saveKeepsWhatOthersWrote()
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/settings.json";
    const QString main = "\\Software\\Zelbo\\Morvix";
    {
        TFileSettingsStore first(path);
        first.SetValue(main, "MaxQueries", TStoreValue::Integer(15));
        first.SetValue(main, "Retry", TStoreValue::Integer(2));
        first.SetValue(main + "\\Buddies", "Sarge", TStoreValue::Flag(true));
        QVERIFY(first.Save());
    }
    TFileSettingsStore mine(path);
    QCOMPARE(mine.Load(), TFileSettingsStore::TLoadResult::Loaded);

    // Meanwhile the user adds a master by hand and another program saves a
    // profile, changes a value and removes the buddies.
    TFileSettingsStore other(path);
    other.Load();
    other.SetValue("\\Masters\\Quake 3", "master.example", TStoreValue::Integer(27950));
    other.SetValue(main + "\\Filters", "CTF", TStoreValue::FromText("1,1,*CTF*,0,"));
    other.SetValue(main, "Retry", TStoreValue::Integer(5));
    other.DeleteKey(main + "\\Buddies");
    QVERIFY(other.Save());

    // This run writes what it changed; a value written as it was loaded is
    // no change.
    mine.SetValue(main, "MaxQueries", TStoreValue::Integer(40));
    mine.SetValue(main, "Retry", TStoreValue::Integer(2));
    mine.SetValue(main, "StatsUsername", TStoreValue::FromText("Ranger"));
    QVERIFY2(mine.Save(), qPrintable(mine.ErrorString()));

    TFileSettingsStore result(path);
    QCOMPARE(result.Load(), TFileSettingsStore::TLoadResult::Loaded);
    QCOMPARE(result.Value("\\Masters\\Quake 3", "master.example"), TStoreValue::Integer(27950));
    QCOMPARE(result.Value(main + "\\Filters", "CTF"), TStoreValue::FromText("1,1,*CTF*,0,"));
    QCOMPARE(result.Value(main, "Retry"), TStoreValue::Integer(5));
    QVERIFY(!result.KeyExists(main + "\\Buddies"));
    QCOMPARE(result.Value(main, "MaxQueries"), TStoreValue::Integer(40));
    QCOMPARE(result.Value(main, "StatsUsername"), TStoreValue::FromText("Ranger"));
    // After a save, too, a value written as this run loaded it is no change
    // (the exit save after a profile was saved), and a save of nothing new
    // leaves the file's newer changes alone.
    other.DeleteValue("\\Masters\\Quake 3", "master.example");
    QVERIFY(other.Save());
    mine.SetValue(main, "Retry", TStoreValue::Integer(2));
    mine.SetValue(main, "MaxQueries", TStoreValue::Integer(40));
    QVERIFY(mine.Save());
    result.Load();
    QCOMPARE(result.Value(main, "Retry"), TStoreValue::Integer(5));
    QCOMPARE(result.Value(main, "MaxQueries"), TStoreValue::Integer(40));
    QVERIFY(!result.Value("\\Masters\\Quake 3", "master.example").has_value());
}

// A file that became unreadable while the program ran is kept aside, not
// written over.
void TestSettingsStore::saveOfADamagedFileMovesItAside()
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/settings.json";
    TFileSettingsStore store(path);
    store.SetValue("\\Software", "x", TStoreValue::Integer(1));
    QVERIFY(store.Save());
    QVERIFY(WriteFileBytes(path, "hand-edited into pieces"));
    store.SetValue("\\Software", "y", TStoreValue::Integer(2));
    QVERIFY(store.Save());
    const QStringList files = QDir(dir.path()).entryList({"settings.json.damaged-*"});
    QCOMPARE(files.size(), 1);
    QCOMPARE(ReadFileBytes(dir.path() + '/' + files.first()), "hand-edited into pieces");
    TFileSettingsStore again(path);
    QCOMPARE(again.Load(), TFileSettingsStore::TLoadResult::Loaded);
    QCOMPARE(again.ValueNames("\\Software"), QStringList({"x", "y"}));
}

void TestSettingsStore::oversizedFileIsRefused()
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/settings.json";
    QByteArray huge = Document(kGood);
    huge.append(TFileSettingsStore::MaxFileBytes - huge.size() + 1, ' ');
    QVERIFY(WriteFileBytes(path, huge));
    TFileSettingsStore store(path);
    QCOMPARE(store.Load(), TFileSettingsStore::TLoadResult::Damaged);
    QVERIFY(store.Problems().value(0).contains("larger than 16 MB"));
    QCOMPARE(QFileInfo(store.MovedAsideTo()).size(), huge.size());
    QVERIFY(store.SubKeys("\\").isEmpty());
}

// Names are found through an index: forty times the values take under a
// hundred times as long to load and look up (caches), not thousands of times
// as when each name was compared with all before it (80,000 values of one
// key, a list of masters pasted in, took many seconds). A ratio of the quickest of a few
// runs holds on a busy machine where a fixed time would not.
void TestSettingsStore::manyValuesLoadQuickly()
{
    QTemporaryDir dir;
    const auto loadTime = [&](int count) {
        QByteArray values;
        for (int i = 0; i < count; ++i) {
            values += QByteArray(i ? "," : "") + R"({"name":"master)" + QByteArray::number(i) +
                      R"(.example","kind":"integer","data":27950})";
        }
        const QString path = dir.path() + QStringLiteral("/settings-%1.json").arg(count);
        WriteFileBytes(path, Document(values));
        QElapsedTimer clock;
        clock.start();
        TFileSettingsStore store(path);
        store.Load();
        int found = 0;
        for (const auto& entry : store.Values("\\Masters\\Quake 3")) {
            found += store.Value("\\Masters\\Quake 3", entry.first).has_value();
        }
        const qint64 elapsed = clock.nsecsElapsed();
        return found == count ? elapsed : -1;
    };
    const qint64 small = std::min({loadTime(2000), loadTime(2000), loadTime(2000)});
    const qint64 large = std::min(loadTime(80000), loadTime(80000));
    QVERIFY(small > 0 && large > 0);
    QVERIFY2(large < 400 * small, qPrintable(QStringLiteral("%1 us for 2,000, %2 us for 80,000")
                                                 .arg(small / 1000)
                                                 .arg(large / 1000)));
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
