#include <QDir>
#include <QFile>
#include <QTest>

#include <functional>

#include "core/settings.h"
#include "core/settingsio.h"
#include "core/settingsstore.h"
#include "model/networktext.h"
#include "model/wildcard.h"
#include "scripteddialogs.h"
#include "tempappfolder.h"
#include "testutil.h"

using TEdit = std::function<void(TSettingsValues&)>;
Q_DECLARE_METATYPE(TEdit)

namespace {

// Values as the program holds them after a restart: saved with one store and
// settings object, loaded by fresh ones from the same file.
TSettingsValues Restart(const TSettingsValues& values)
{
    {
        TFileSettingsStore store(TFileSettingsStore::DefaultPath());
        if (!SaveSettings(store, values)) {
            qWarning() << store.ErrorString();
        }
    }
    TFileSettingsStore store(TFileSettingsStore::DefaultPath());
    store.Load();
    TSettings settings;
    return LoadSettings(store, settings).isEmpty() ? settings.Values() : TSettingsValues();
}

} // namespace

class TestSettingsIO : public QObject
{
    Q_OBJECT

private slots:
    void init() { Folder_ = std::make_unique<TTempAppFolder>(); }
    void cleanup() { Folder_.reset(); }

    void firstStartWritesTheTree();
    void restartKeepsChanges_data();
    void restartKeepsChanges();
    void wrongKinds_data();
    void wrongKinds();
    void damagedFileIsReportedOnce();
    void unreadEntriesAreReportedOnce();
    void buddiesOutsideLatin1();
    void hostileWindowPlaces_data();
    void hostileWindowPlaces();
    void placeOnScreen_data();
    void placeOnScreen();
    void exitSaveKeepsHandEdits();
    void lastNewsIsStoredAsADate();

private:
    std::unique_ptr<TTempAppFolder> Folder_;
};

void TestSettingsIO::firstStartWritesTheTree()
{
    TFileSettingsStore store(TFileSettingsStore::DefaultPath());
    QCOMPARE(store.Load(), TFileSettingsStore::TLoadResult::Missing);
    TSettings settings;
    QVERIFY(LoadSettings(store, settings).isEmpty());
    QCOMPARE(settings.Values(), TSettingsValues());

    QVERIFY(SaveSettings(store, settings.Values()));
    TFileSettingsStore saved(TFileSettingsStore::DefaultPath());
    QCOMPARE(saved.Load(), TFileSettingsStore::TLoadResult::Loaded);
    QCOMPARE(saved.SubKeys("\\Software\\Zelbo\\Morvix"),
             QStringList({"Patterns", "Colors", "Games", "Buddies", "Windows"}));
    QCOMPARE(saved.ValueNames("\\Software\\Zelbo\\Morvix"),
             QStringList({"MaxQueries",     "QueryTimeout",  "Retry",        "UseDelay",
                          "QueryDelay",     "PingTimeout",   "UseBuddyList", "LaunchConfirmation",
                          "OJCopyIP",       "OJNoop",        "OJTray",       "OJClose",
                          "OJSaveList",     "OSQueryALL",    "OSTray",       "AllowStats",
                          "AllowFormat",    "StatsUsername", "HLRCON",       "Q3RCON",
                          "DefaultGameType"}));
    QCOMPARE(saved.ValueNames("\\Software\\Zelbo\\Morvix\\Colors"),
             QStringList({"qsWorking", "qsIdle", "qsTimeout", "Favorite", "PlayerBG", "ListBG",
                          "RuleBG", "ToolbarsBG", "ToolbarFont", "OtherFont"}));
    QCOMPARE(saved.ValueNames("\\Software\\Zelbo\\Morvix\\Games"),
             QStringList({"Tribes", "QuakeWorld", "Quake2", "Quake3", "Half-life", "KingPin", "Sin",
                          "Heretic 2", "SoF", "Tribes2"}));
    // The kinds a registry backend would write.
    const QString main = "\\Software\\Zelbo\\Morvix";
    QCOMPARE(saved.Value(main, "OJTray"), TStoreValue::Flag(true));
    QCOMPARE(saved.Value(main, "DefaultGameType"), TStoreValue::Integer(-1));
    QCOMPARE(saved.Value(main + "\\Colors", "ToolbarsBG"), TStoreValue::Colour(0x00C0C0C0));
    QCOMPARE(saved.Value(main + "\\Windows\\Sort", "Ascending"), TStoreValue::FromText("1"));
    QVERIFY(!saved.KeyExists("\\Software\\Zelbo\\Morvix\\Masters"));
    QVERIFY(!saved.KeyExists("\\Software\\Zelbo\\Morvix\\Filters"));
}

void TestSettingsIO::restartKeepsChanges_data()
{
    QTest::addColumn<TEdit>("edit");
    QTest::newRow("numbers") << TEdit([](TSettingsValues& v) {
        v.MaxQueries = 99999;
        v.QueryDelay = 250;
        v.DefaultGameType = gtKingpin;
    });
    QTest::newRow("flags") << TEdit([](TSettingsValues& v) {
        v.UseDelay = v.OSQueryALL = true;
        v.LaunchConfirmation = v.AllowStats = false;
    });
    QTest::newRow("join closes") << TEdit([](TSettingsValues& v) { v.OnJoin = jaClose; });
    QTest::newRow("join leaves") << TEdit([](TSettingsValues& v) { v.OnJoin = jaNoop; });
    QTest::newRow("texts and patterns") << TEdit([](TSettingsValues& v) {
        v.StatsUsername = QStringLiteral("Grün \"x\"");
        v.ServerNamePatterns = QStringList{"*CTF*", "", "duel?"};
    });
    QTest::newRow("colours") << TEdit([](TSettingsValues& v) {
        v.Colors[csFavorite] = TColor::FromRgb(0x12, 0x34, 0x56);
        v.Colors[csOtherFont] = TColor::FromRgb(0xFF, 0xFF, 0xFF);
    });
    QTest::newRow("game paths") << TEdit([](TSettingsValues& v) {
        v.GamePaths[gtTribes2] = QStringLiteral("/games/Tribes 2/tribes2.exe");
        v.GamePaths[gtSoF] = QStringLiteral("/games/sof/SoF.exe");
    });
    QTest::newRow("buddies") << TEdit([](TSettingsValues& v) {
        v.Buddies = {{"Sarge", true}, {"*bot*", false}};
    });
    QTest::newRow("windows") << TEdit([](TSettingsValues& v) {
        v.ListRect = QRect(40, 30, 900, 640);
        v.RemoteRect = QRect(-200, 10, 500, 400);
        v.ListLayout = {{300, 120, 70, 50, 90, 160}, {1, 0, 2, 3, 5, 4}, false, 3};
    });
}

void TestSettingsIO::restartKeepsChanges()
{
    QFETCH(TEdit, edit);
    TSettingsValues changed;
    edit(changed);
    QCOMPARE(Restart(changed), changed);
}

void TestSettingsIO::wrongKinds_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("name");
    QTest::addColumn<TStoreValue>("value");
    QTest::addColumn<bool>("reported");
    QTest::addColumn<TEdit>("read"); // what becomes of the setting

    const QString main = "\\Software\\Zelbo\\Morvix";
    QTest::newRow("text for a number")
        << main << "MaxQueries" << TStoreValue::FromText("15") << true
        << TEdit([](TSettingsValues& v) { v.MaxQueries = 15; });
    QTest::newRow("text for a buddy mark")
        << main + "\\Buddies"
        << "Sarge" << TStoreValue::FromText("yes") << true
        << TEdit([](TSettingsValues& v) { v.Buddies[0].CaseSensitive = true; });
    QTest::newRow("column sizes not numbers")
        << main + "\\Windows\\Columns"
        << "Sizes" << TStoreValue::FromText("wide,narrow") << true
        << TEdit([](TSettingsValues& v) { v.ListLayout.Sizes = {}; });
    QTest::newRow("column wider than any screen")
        << main + "\\Windows\\Columns"
        << "Sizes" << TStoreValue::FromText("300,2147483647") << true
        << TEdit([](TSettingsValues& v) { v.ListLayout.Sizes = {}; });
    // One stored number stands for another, as in the registry.
    QTest::newRow("integer for a colour")
        << main + "\\Colors"
        << "ListBG" << TStoreValue::Integer(0x00123456) << false
        << TEdit([](TSettingsValues& v) { v.Colors[csListBG] = TColor{0x00123456}; });
}

void TestSettingsIO::wrongKinds()
{
    QFETCH(QString, key);
    QFETCH(QString, name);
    QFETCH(TStoreValue, value);
    QFETCH(bool, reported);
    QFETCH(TEdit, read);

    // A store saved with changes everywhere, then one value of another kind.
    TSettingsValues saved;
    saved.MaxQueries = 40;
    saved.StatsUsername = "Ranger";
    saved.Buddies = {{"Sarge", false}, {"Doom", false}};
    saved.ListLayout.Sizes = {1, 2, 3, 4, 5, 6};
    saved.GamePaths[gtQuake3] = "/games/q3/quake3.x86";
    saved.ListRect = QRect(1, 2, 800, 600);
    TFileSettingsStore store(TFileSettingsStore::DefaultPath());
    QVERIFY(SaveSettings(store, saved));
    store.SetValue(key, name, value);

    TSettings settings;
    const QStringList invalid = LoadSettings(store, settings);
    QCOMPARE(InvalidDataTypeMessage(invalid),
             reported ? QString("Invalid data type for '%1'").arg(name) : QString());
    // Only that value is lost: everything before and after it was read.
    read(saved);
    QCOMPARE(settings.Values(), saved);
}

void TestSettingsIO::damagedFileIsReportedOnce()
{
    const QString path = TFileSettingsStore::DefaultPath();
    QDir().mkpath(TAppPaths::ConfigDir());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("{ \"format\": \"Morvix settings\", \"version\": 1, \"root\": ");
    file.close();

    TScriptedDialogs dialogs;
    TFileSettingsStore store(path);
    LoadSettingsFile(store, dialogs);
    QCOMPARE(dialogs.Shown().size(), 1);
    const TScriptedDialogs::TShown& shown = dialogs.Shown().first();
    QCOMPARE(shown.Kind, TScriptedDialogs::TKind::Warning);
    QVERIFY2(shown.Text.contains(store.MovedAsideTo()), qPrintable(shown.Text));
    QVERIFY(QFile::exists(store.MovedAsideTo()));
    TSettings settings;
    QVERIFY(LoadSettings(store, settings).isEmpty());
    QCOMPARE(settings.Values(), TSettingsValues());
}

// A file with one entry that cannot be read loads the rest and says which
// entry was left out, once.
void TestSettingsIO::unreadEntriesAreReportedOnce()
{
    {
        TFileSettingsStore store(TFileSettingsStore::DefaultPath());
        TSettingsValues values;
        values.MaxQueries = 40;
        values.Buddies = {{"Sarge", true}};
        QVERIFY(SaveSettings(store, values));
    }
    // "Retry" becomes a text in the file, as a hand edit might leave it.
    const QByteArray before = ReadFileBytes(TFileSettingsStore::DefaultPath());
    const QByteArray pattern = R"("data": 2,)";
    const qsizetype retry = before.indexOf(R"("name": "Retry")");
    const qsizetype data = before.lastIndexOf(pattern, retry);
    QVERIFY(retry > 0 && data > 0 && retry - data < 200);
    QVERIFY(WriteFileBytes(TFileSettingsStore::DefaultPath(),
                           QByteArray(before).replace(data, pattern.size(), R"("data": "two",)")));

    TScriptedDialogs dialogs;
    TFileSettingsStore store(TFileSettingsStore::DefaultPath());
    LoadSettingsFile(store, dialogs);
    QCOMPARE(dialogs.Shown().size(), 1);
    QVERIFY2(
        dialogs.Shown().first().Text.contains(
            "\\Software\\Zelbo\\Morvix: the value \"Retry\" holds data that does not fit its kind"),
        qPrintable(dialogs.Shown().first().Text));
    TSettings settings;
    QVERIFY(LoadSettings(store, settings).isEmpty());
    QCOMPARE(settings->MaxQueries, 40);
    QCOMPARE(settings->Retry, 2); // the default
    QCOMPARE(settings->Buddies, (TBuddyList{{"Sarge", true}}));
}

// A buddy is bytes: one typed in Cyrillic letters is its UTF-8, stored as
// readable text, and matches its own name only, never every four-letter name.
void TestSettingsIO::buddiesOutsideLatin1()
{
    const QString main = "\\Software\\Zelbo\\Morvix";
    TFileSettingsStore store(TFileSettingsStore::DefaultPath());
    store.SetValue(main + "\\Buddies", QStringLiteral("Влад"), TStoreValue::Flag(true));
    store.SetValue(main + "\\Buddies", QStringLiteral("café"), TStoreValue::Flag(false));
    TSettings settings;
    QVERIFY(LoadSettings(store, settings).isEmpty());
    const QByteArray vlad = "\xD0\x92\xD0\xBB\xD0\xB0\xD0\xB4";
    QCOMPARE(settings->Buddies, (TBuddyList{{vlad, true}, {"caf\xE9", false}}));
    QVERIFY(HasBuddy(TServerTable{{"Name"}, {vlad}}, settings->Buddies, true));
    QVERIFY(!HasBuddy(TServerTable{{"Name"}, {"Carl"}, {"Bert"}}, settings->Buddies, true));

    // Bytes of any kind come back exactly, and show as text where they can.
    TSettingsValues values = settings.Values();
    values.Buddies.append({"caf\xC3\xA9", true});
    QCOMPARE(Restart(values), values);
    TFileSettingsStore saved(TFileSettingsStore::DefaultPath());
    saved.Load();
    QCOMPARE(saved.ValueNames(main + "\\Buddies").first(), QStringLiteral("Влад"));
}

// Window places far off any screen are reported and left out, before any
// rectangle is made of them.
void TestSettingsIO::hostileWindowPlaces_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("number");
    QTest::addColumn<QRect>("list");
    QTest::addColumn<QRect>("remote");
    // Saved as (10, 20, 800, 600) and (30, 40, 500, 400); the part left out
    // keeps its default, 0.
    QTest::newRow("width INT_MAX")
        << "ListWidth" << INT_MAX << QRect(10, 20, 0, 600) << QRect(30, 40, 500, 400);
    QTest::newRow("left INT_MAX") << "ListLeft" << INT_MAX << QRect(0, 20, 800, 600)
                                  << QRect(30, 40, 500, 400);
    QTest::newRow("top INT_MIN") << "ListTop" << INT_MIN << QRect(10, 0, 800, 600)
                                 << QRect(30, 40, 500, 400);
    QTest::newRow("negative height")
        << "ListHeight" << -5 << QRect(10, 20, 800, 0) << QRect(30, 40, 500, 400);
    QTest::newRow("remote width") << "RemoteWidth" << 2000000 << QRect(10, 20, 800, 600)
                                  << QRect(30, 40, 0, 400);
}

void TestSettingsIO::hostileWindowPlaces()
{
    QFETCH(QString, name);
    QFETCH(int, number);
    QFETCH(QRect, list);
    QFETCH(QRect, remote);
    TSettingsValues values;
    values.ListRect = QRect(10, 20, 800, 600);
    values.RemoteRect = QRect(30, 40, 500, 400);
    TFileSettingsStore store(TFileSettingsStore::DefaultPath());
    QVERIFY(SaveSettings(store, values));
    store.SetValue("\\Software\\Zelbo\\Morvix\\Windows", name, TStoreValue::Integer(number));
    TSettings settings;
    QCOMPARE(LoadSettings(store, settings), QStringList{name});
    QCOMPARE(settings->ListRect, list);
    QCOMPARE(settings->RemoteRect, remote);
}

void TestSettingsIO::placeOnScreen_data()
{
    QTest::addColumn<QRect>("stored");
    QTest::addColumn<QRect>("placed");
    // Two screens side by side, the second one smaller.
    QTest::newRow("inside") << QRect(100, 100, 800, 600) << QRect(100, 100, 800, 600);
    QTest::newRow("hanging off the right")
        << QRect(1500, 100, 800, 600) << QRect(1120, 100, 800, 600);
    QTest::newRow("larger than the screen")
        << QRect(-50, -50, 5000, 5000) << QRect(0, 0, 1920, 1080);
    QTest::newRow("mostly on the second screen")
        << QRect(1900, 100, 800, 600) << QRect(1920, 100, 800, 600);
    QTest::newRow("below the second screen's bottom")
        << QRect(1900, 500, 800, 600) << QRect(1920, 168, 800, 600);
    QTest::newRow("on no screen") << QRect(5000, 5000, 800, 600) << QRect();
    QTest::newRow("not valid") << QRect() << QRect();
}

void TestSettingsIO::placeOnScreen()
{
    QFETCH(QRect, stored);
    QFETCH(QRect, placed);
    QCOMPARE(PlaceOnScreen(stored, {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 768)}), placed);
}

// The exit save writes this run's settings and leaves what the file gained
// meanwhile: a master the user added by hand, another program's buddies.
void TestSettingsIO::exitSaveKeepsHandEdits()
{
    const QString main = "\\Software\\Zelbo\\Morvix";
    {
        TFileSettingsStore store(TFileSettingsStore::DefaultPath());
        TSettingsValues values;
        values.Buddies = {{"Sarge", true}};
        QVERIFY(SaveSettings(store, values));
    }
    TFileSettingsStore store(TFileSettingsStore::DefaultPath());
    store.Load();
    TSettings settings;
    QVERIFY(LoadSettings(store, settings).isEmpty());
    {
        TFileSettingsStore hand(TFileSettingsStore::DefaultPath());
        hand.Load();
        hand.SetValue(main + "\\Masters\\Quake 3", "master.example", TStoreValue::Integer(27950));
        hand.SetValue(main + "\\Buddies", "Doom", TStoreValue::Flag(false));
        QVERIFY(hand.Save());
    }
    settings.Change([](TSettingsValues& v) { v.MaxQueries = 33; });
    QVERIFY(SaveSettings(store, settings.Values()));

    TFileSettingsStore result(TFileSettingsStore::DefaultPath());
    result.Load();
    QCOMPARE(result.Value(main + "\\Masters\\Quake 3", "master.example"),
             TStoreValue::Integer(27950));
    QCOMPARE(result.ValueNames(main + "\\Buddies"), QStringList({"Sarge", "Doom"}));
    QCOMPARE(result.Value(main, "MaxQueries"), TStoreValue::Integer(33));
}

void TestSettingsIO::lastNewsIsStoredAsADate()
{
    // Days since 30 December 1899 with the time as fraction, as 8 bytes.
    TFileSettingsStore store(TFileSettingsStore::DefaultPath());
    WriteLastNews(store, QDateTime(QDate(1900, 1, 1), QTime(18, 0)));
    QCOMPARE(store.Value("\\Software\\Zelbo\\Morvix", "LastNews"),
             TStoreValue::Binary(QByteArray::fromHex("0000000000000640")));
    QVERIFY(IsNewsDue(store, QDateTime(QDate(1900, 1, 21), QTime(18, 0))));
    QVERIFY(!IsNewsDue(store, QDateTime(QDate(1900, 1, 21), QTime(15, 0))));
}

QTEST_GUILESS_MAIN(TestSettingsIO)
#include "tst_settingsio.moc"
