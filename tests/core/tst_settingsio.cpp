#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <functional>

#include "core/makerweb.h"
#include "core/settings.h"
#include "core/settingsio.h"
#include "core/settingsstore.h"
#include "scripteddialogs.h"
#include "tempappfolder.h"

using TEdit = std::function<void(TSettingsValues&)>;
Q_DECLARE_METATYPE(TEdit)

namespace {

// Values as the program holds them after a restart: saved with one store and
// settings object, loaded by fresh ones from the same file.
TSettingsValues Restart(const TSettingsValues& values, QStringList* invalid = nullptr)
{
    const QString path = TFileSettingsStore::DefaultPath();
    {
        TFileSettingsStore store(path);
        store.Load();
        if (!SaveSettings(store, values)) {
            qWarning() << store.ErrorString();
        }
    }
    TFileSettingsStore store(path);
    store.Load();
    TSettings settings;
    const QStringList bad = LoadSettings(store, settings);
    if (invalid) {
        *invalid = bad;
    }
    return settings.Values();
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
    void mastersStepRunsBetweenColoursAndGames();
    void damagedFileIsReportedOnce();
    void startInTrayReadsTheStore_data();
    void startInTrayReadsTheStore();
    void newsIsDueAfterTwentyDays_data();
    void newsIsDueAfterTwentyDays();
    void makerPages_data();
    void makerPages();

private:
    std::unique_ptr<TTempAppFolder> Folder_;
};

void TestSettingsIO::firstStartWritesTheTree()
{
    TFileSettingsStore store(TFileSettingsStore::DefaultPath());
    QCOMPARE(store.Load(), TFileSettingsStore::TLoadResult::Missing);
    TSettings settings;
    QSignalSpy changed(&settings, &TSettings::Changed);
    QVERIFY(LoadSettings(store, settings).isEmpty());
    QCOMPARE(settings.Values(), TSettingsValues());
    QCOMPARE(changed.count(), 0);

    QVERIFY(SaveSettings(store, settings.Values()));
    TFileSettingsStore saved(TFileSettingsStore::DefaultPath());
    QCOMPARE(saved.Load(), TFileSettingsStore::TLoadResult::Loaded);
    QCOMPARE(saved.SubKeys("\\Software\\Zelbo\\Morvix"),
             QStringList({"Patterns", "Colors", "Games", "Buddies", "Windows"}));
    QCOMPARE(saved.SubKeys("\\Software\\Zelbo\\Morvix\\Patterns"),
             QStringList({"ServerName", "PlayerName"}));
    QCOMPARE(saved.SubKeys("\\Software\\Zelbo\\Morvix\\Windows"), QStringList({"Columns", "Sort"}));
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
    QCOMPARE(saved.ValueNames("\\Software\\Zelbo\\Morvix\\Windows"),
             QStringList({"ListTop", "ListLeft", "ListWidth", "ListHeight", "RemoteTop",
                          "RemoteLeft", "RemoteWidth", "RemoteHeight"}));

    // The kinds a registry backend would write.
    const QString main = "\\Software\\Zelbo\\Morvix";
    QCOMPARE(saved.Value(main, "MaxQueries"), TStoreValue::Integer(15));
    QCOMPARE(saved.Value(main, "OJTray"), TStoreValue::Flag(true));
    QCOMPARE(saved.Value(main, "OJNoop"), TStoreValue::Flag(false));
    QCOMPARE(saved.Value(main, "StatsUsername"), TStoreValue::FromText("Newbie"));
    QCOMPARE(saved.Value(main, "DefaultGameType"), TStoreValue::Integer(-1));
    QCOMPARE(saved.Value(main + "\\Colors", "ToolbarsBG"), TStoreValue::Colour(0x00C0C0C0));
    QCOMPARE(saved.Value(main + "\\Windows\\Sort", "Ascending"), TStoreValue::FromText("1"));
    QCOMPARE(saved.Value(main + "\\Windows\\Sort", "SortCol"), TStoreValue::FromText("0"));
    QVERIFY(!saved.KeyExists("\\Software\\Zelbo\\Morvix\\Masters"));
    QVERIFY(!saved.KeyExists("\\Software\\Zelbo\\Morvix\\Filters"));
}

void TestSettingsIO::restartKeepsChanges_data()
{
    QTest::addColumn<TEdit>("edit");
    QTest::newRow("numbers") << TEdit([](TSettingsValues& v) {
        v.MaxQueries = 99999;
        v.QueryTimeout = 50;
        v.Retry = 0;
        v.QueryDelay = 250;
        v.PingTimeout = 1;
        v.DefaultGameType = gtKingpin;
    });
    QTest::newRow("flags") << TEdit([](TSettingsValues& v) {
        v.UseDelay = v.AllowFormat = v.UseBuddyList = v.OSQueryALL = v.OSTray = true;
        v.LaunchConfirmation = v.OJCopyIP = v.OJSaveList = v.AllowStats = false;
    });
    QTest::newRow("join closes") << TEdit([](TSettingsValues& v) { v.OnJoin = jaClose; });
    QTest::newRow("join leaves") << TEdit([](TSettingsValues& v) { v.OnJoin = jaNoop; });
    QTest::newRow("texts") << TEdit([](TSettingsValues& v) {
        v.StatsUsername = QStringLiteral("Grün \"x\"");
        v.HLRCON = QStringLiteral("10.0.0.1:27015");
        v.Q3RCON = QStringLiteral("q3.example.org");
    });
    QTest::newRow("patterns") << TEdit([](TSettingsValues& v) {
        v.ServerNamePatterns = QStringList{"*CTF*", "", "duel?"};
        v.PlayerNamePatterns = QStringList{"Sarge"};
    });
    QTest::newRow("favourite colour") << TEdit([](TSettingsValues& v) {
        v.Colors[csFavorite] = TColor::FromRgb(0x12, 0x34, 0x56);
        v.Colors[csOtherFont] = TColor::FromRgb(0xFF, 0xFF, 0xFF);
    });
    QTest::newRow("game paths") << TEdit([](TSettingsValues& v) {
        v.GamePaths[gtTribes2] = QStringLiteral("/games/Tribes 2/tribes2.exe");
        v.GamePaths[gtSoF] = QStringLiteral("/games/sof/SoF.exe");
        v.GamePaths[gtHalfLife] = QStringLiteral("C:\\Sierra\\Half-Life\\hl.exe");
    });
    QTest::newRow("buddies") << TEdit([](TSettingsValues& v) {
        v.Buddies = {{"Sarge", true}, {"*bot*", false}, {"", true}};
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
    QStringList invalid;
    QCOMPARE(Restart(changed, &invalid), changed);
    QVERIFY(invalid.isEmpty());
}

void TestSettingsIO::wrongKinds_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("name");
    QTest::addColumn<TStoreValue>("value");
    QTest::addColumn<QStringList>("invalid");

    const QString main = "\\Software\\Zelbo\\Morvix";
    QTest::newRow("text for a number")
        << main << "MaxQueries" << TStoreValue::FromText("15") << QStringList{"MaxQueries"};
    QTest::newRow("text for a flag")
        << main << "OSQueryALL" << TStoreValue::FromText("1") << QStringList{"OSQueryALL"};
    QTest::newRow("number for a text")
        << main << "StatsUsername" << TStoreValue::Integer(7) << QStringList{"StatsUsername"};
    QTest::newRow("binary for a colour")
        << main + "\\Colors"
        << "Favorite" << TStoreValue::Binary("abcd") << QStringList{"Favorite"};
    QTest::newRow("text for a buddy mark")
        << main + "\\Buddies"
        << "Sarge" << TStoreValue::FromText("yes") << QStringList{"Sarge"};
    QTest::newRow("column sizes not numbers")
        << main + "\\Windows\\Columns"
        << "Sizes" << TStoreValue::FromText("wide,narrow") << QStringList{"Sizes"};
    // One stored number stands for another, as in the registry.
    QTest::newRow("integer for a flag")
        << main << "UseDelay" << TStoreValue::Integer(1) << QStringList();
    QTest::newRow("integer for a colour")
        << main + "\\Colors"
        << "ListBG" << TStoreValue::Integer(0x00123456) << QStringList();
}

void TestSettingsIO::wrongKinds()
{
    QFETCH(QString, key);
    QFETCH(QString, name);
    QFETCH(TStoreValue, value);
    QFETCH(QStringList, invalid);

    // A store saved with changes everywhere, then one value of another kind.
    TSettingsValues saved;
    saved.MaxQueries = 40;
    saved.OSQueryALL = true;
    saved.StatsUsername = "Ranger";
    saved.Colors[csFavorite] = TColor::FromRgb(1, 2, 3);
    saved.Buddies = {{"Sarge", false}, {"Doom", false}};
    saved.ListLayout.Sizes = {1, 2, 3, 4, 5, 6};
    saved.GamePaths[gtQuake3] = "/games/q3/quake3.x86";
    saved.ListRect = QRect(1, 2, 800, 600);
    TFileSettingsStore store(TFileSettingsStore::DefaultPath());
    QVERIFY(SaveSettings(store, saved));
    store.SetValue(key, name, value);

    TSettings settings;
    const QStringList reported = LoadSettings(store, settings);
    QCOMPARE(reported, invalid);
    QCOMPARE(InvalidDataTypeMessage(reported),
             invalid.isEmpty() ? QString() : QString("Invalid data type for '%1'").arg(name));

    // Only the value of the wrong kind keeps its default: everything before
    // and after it was read.
    TSettingsValues expected = saved;
    const TSettingsValues defaults;
    if (name == "MaxQueries") {
        expected.MaxQueries = defaults.MaxQueries;
    } else if (name == "OSQueryALL") {
        expected.OSQueryALL = defaults.OSQueryALL;
    } else if (name == "StatsUsername") {
        expected.StatsUsername = defaults.StatsUsername;
    } else if (name == "Favorite") {
        expected.Colors[csFavorite] = defaults.Colors[csFavorite];
    } else if (name == "Sarge") {
        expected.Buddies[0].CaseSensitive = true; // kept, marked as a new buddy is
    } else if (name == "Sizes") {
        expected.ListLayout.Sizes.clear();
    } else if (name == "UseDelay") {
        expected.UseDelay = true;
    } else if (name == "ListBG") {
        expected.Colors[csListBG] = TColor{0x00123456};
    }
    QCOMPARE(settings.Values(), expected);
}

void TestSettingsIO::mastersStepRunsBetweenColoursAndGames()
{
    TFileSettingsStore store(TFileSettingsStore::DefaultPath());
    QVERIFY(SaveSettings(store, TSettingsValues()));
    const QString colors = "\\Software\\Zelbo\\Morvix\\Colors";
    const QString games = "\\Software\\Zelbo\\Morvix\\Games";
    store.SetValue(colors, "qsIdle", TStoreValue::FromText("x"));
    store.SetValue(games, "Quake2", TStoreValue::Integer(2));
    TSettings settings;
    int steps = 0;
    const QStringList invalid = LoadSettings(store, settings, [&] {
        // The colours have been read by now, the game paths not yet.
        ++steps;
        store.SetValue(colors, "qsIdle", TStoreValue::Colour(0));
        store.SetValue(games, "Quake2", TStoreValue::FromText("/q2"));
    });
    QCOMPARE(steps, 1);
    QCOMPARE(invalid, QStringList{"qsIdle"});
    QCOMPARE(settings->GamePaths[gtQuake2], QString("/q2"));
}

void TestSettingsIO::damagedFileIsReportedOnce()
{
    const QString path = TFileSettingsStore::DefaultPath();
    TFileSettingsStore first(path);
    TSettingsValues saved;
    saved.StatsUsername = "Kept";
    QVERIFY(SaveSettings(first, saved));
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
    QVERIFY(!store.MovedAsideTo().isEmpty());
    QVERIFY2(shown.Text.contains(store.MovedAsideTo()), qPrintable(shown.Text));
    QVERIFY(QFile::exists(store.MovedAsideTo()));

    TSettings settings;
    QVERIFY(LoadSettings(store, settings).isEmpty());
    QCOMPARE(settings.Values(), TSettingsValues());

    // Once saved again, the next start reads its file without a word.
    QVERIFY(SaveSettings(store, settings.Values()));
    TScriptedDialogs again;
    TFileSettingsStore next(path);
    LoadSettingsFile(next, again);
    QVERIFY(again.Shown().isEmpty());
}

void TestSettingsIO::startInTrayReadsTheStore_data()
{
    QTest::addColumn<std::optional<TStoreValue>>("stored");
    QTest::addColumn<bool>("inTray");
    QTest::newRow("absent") << std::optional<TStoreValue>() << false;
    QTest::newRow("true") << std::optional(TStoreValue::Flag(true)) << true;
    QTest::newRow("false") << std::optional(TStoreValue::Flag(false)) << false;
    QTest::newRow("number") << std::optional(TStoreValue::Integer(1)) << true;
    QTest::newRow("text") << std::optional(TStoreValue::FromText("1")) << false;
}

void TestSettingsIO::startInTrayReadsTheStore()
{
    QFETCH(std::optional<TStoreValue>, stored);
    QFETCH(bool, inTray);
    TFileSettingsStore store(TFileSettingsStore::DefaultPath());
    if (stored) {
        store.SetValue("\\Software\\Zelbo\\Morvix", "OSTray", *stored);
    }
    QCOMPARE(StoredStartInTray(store), inTray);
}

void TestSettingsIO::newsIsDueAfterTwentyDays_data()
{
    QTest::addColumn<double>("daysAgo"); // negative: no "LastNews"
    QTest::addColumn<bool>("due");
    QTest::newRow("never") << -1.0 << true;
    QTest::newRow("19.9 days") << 19.9 << false;
    QTest::newRow("just now") << 0.0 << false;
    QTest::newRow("20 days") << 20.0 << true;
    QTest::newRow("a year") << 365.0 << true;
}

void TestSettingsIO::newsIsDueAfterTwentyDays()
{
    QFETCH(double, daysAgo);
    QFETCH(bool, due);
    TFileSettingsStore store(TFileSettingsStore::DefaultPath());
    const QDateTime now(QDate(2024, 3, 15), QTime(12, 0));
    if (daysAgo >= 0) {
        WriteLastNews(store, now.addMSecs(-qint64(daysAgo * 86400000.0)));
    }
    QCOMPARE(IsNewsDue(store, now), due);

    // The stored form: days since 30 December 1899, the time as fraction.
    WriteLastNews(store, QDateTime(QDate(1900, 1, 1), QTime(18, 0)));
    const TStoreValue stored = *store.Value("\\Software\\Zelbo\\Morvix", "LastNews");
    QCOMPARE(stored.Kind, TStoreKind::Binary);
    QCOMPARE(stored.Bytes, QByteArray::fromHex("0000000000000640"));
    QCOMPARE(ReadLastNews(store), 2.75);
}

void TestSettingsIO::makerPages_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("page");
    QTest::newRow("none") << ""
                          << "";
    QTest::newRow("plain") << "https://morvix.example"
                           << "https://morvix.example/morvix/support";
    QTest::newRow("trailing slash") << "http://example.org/"
                                    << "http://example.org/morvix/support";
    QTest::newRow("host only") << "example.org"
                               << "https://example.org/morvix/support";
}

void TestSettingsIO::makerPages()
{
    QFETCH(QString, address);
    QFETCH(QString, page);
    QCOMPARE(MakerPage(address, "/morvix/support").toString(), page);
}

QTEST_GUILESS_MAIN(TestSettingsIO)
#include "tst_settingsio.moc"
