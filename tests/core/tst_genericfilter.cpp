#include <QRandomGenerator>
#include <QTest>

#include <functional>
#include <memory>
#include <vector>

#include "core/genericfilter.h"
#include "core/settingsstore.h"
#include "tempappfolder.h"

namespace {

TGenericFilter F(int type, int op, const QByteArray& pattern = {}, int number = 0)
{
    return {std::uint8_t(type), std::uint8_t(op), pattern, number};
}

using TServerEdit = std::function<void(TGenericServer&)>;

std::unique_ptr<TGenericServer> Server(const TServerEdit& edit)
{
    auto server = TGenericServer::Create();
    if (edit) {
        edit(*server);
    }
    return server;
}

// An answered server with a name, map and game, edited further by Edit.
std::unique_ptr<TGenericServer> Answered(const TServerEdit& edit = {})
{
    return Server([&](TGenericServer& s) {
        s.NoReply = false;
        s.Status = qsIdle;
        s.Name = "Frag Central [CTF]";
        s.Map = "q3ctf2";
        s.Version = "Q3 1.32 linux-i386";
        s.GameType = gtQuake3;
        s.GameName = "baseq3";
        s.Info.Ping = 48;
        s.MaxPlayers = 20;
        s.NumPlayers = 4;
        if (edit) {
            edit(s);
        }
    });
}

} // namespace

class TestGenericFilter : public QObject
{
    Q_OBJECT

private slots:
    void textForm_data();
    void textForm();
    void damagedText_data();
    void damagedText();
    void anyTextEndsTheReading();
    void patternFromTypedText();
    void profilesSurviveRestart();
    void verdicts_data();
    void verdicts();
    void applyToList_data();
    void applyToList();
    void everyFilterIsVisited();
};

void TestGenericFilter::textForm_data()
{
    QTest::addColumn<TFilterList>("filters");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<TFilterList>("readBack");
    const TFilterList three{F(1, 1, "*CTF*"), F(5, 3, {}, 100), F(8, 6)};
    QTest::newRow("one of each kind")
        << three << QByteArray("1,1,*CTF*,0,5,3,,100,8,6,,0,") << three;
    QTest::newRow("negative and extreme numbers")
        << TFilterList{F(6, 4, {}, -5), F(7, 5, {}, INT_MIN), F(5, 3, {}, INT_MAX)}
        << QByteArray("6,4,,-5,7,5,,-2147483648,5,3,,2147483647,")
        << TFilterList{F(6, 4, {}, -5), F(7, 5, {}, INT_MIN), F(5, 3, {}, INT_MAX)};
    QTest::newRow("values out of range are written as 0")
        << TFilterList{F(12, 9, "a"), F(0, 0)} << QByteArray("0,0,a,0,0,0,,0,")
        << TFilterList{F(0, 0, "a"), F(0, 0)};
    QTest::newRow("a comma never reaches the text")
        << TFilterList{F(1, 2, "a,b,"), F(4, 1, "dm*")} << QByteArray("1,2,ab,0,4,1,dm*,0,")
        << TFilterList{F(1, 2, "ab"), F(4, 1, "dm*")};
    QTest::newRow("bytes of every value")
        << TFilterList{F(1, 1, "\xE9*\x7F")} << QByteArray("1,1,\xE9*\x7F,0,")
        << TFilterList{F(1, 1, "\xE9*\x7F")};
    QTest::newRow("no conditions") << TFilterList{} << QByteArray() << TFilterList{};
}

void TestGenericFilter::textForm()
{
    QFETCH(TFilterList, filters);
    QFETCH(QByteArray, text);
    QFETCH(TFilterList, readBack);
    QCOMPARE(WriteFilters(filters), text);
    QCOMPARE(ReadFilters(text), readBack);
}

void TestGenericFilter::damagedText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<TFilterList>("filters");
    QTest::newRow("six characters") << QByteArray("8,6,,0") << TFilterList{};
    QTest::newRow("seven characters") << QByteArray("8,6,,0,") << TFilterList{F(8, 6)};
    QTest::newRow("last comma missing")
        << QByteArray("5,3,,100,1,1,*CTF*,0") << TFilterList{F(5, 3, {}, 100)};
    QTest::newRow("no comma at all") << QByteArray("this is not a profile") << TFilterList{};
    QTest::newRow("short tail ignored") << QByteArray("8,7,,0,9,6,") << TFilterList{F(8, 7)};
    QTest::newRow("letters for digits") << QByteArray("x,y,abc,zz,") << TFilterList{F(0, 0, "abc")};
    QTest::newRow("first digit counts") << QByteArray("12,38,p,1,") << TFilterList{F(1, 3, "p", 1)};
    QTest::newRow("operator above 7") << QByteArray("1,8,p,1,") << TFilterList{F(1, 0, "p", 1)};
    QTest::newRow("empty fields") << QByteArray(",,,,,,,,") << TFilterList{F(0, 0)};
    QTest::newRow("huge number") << QByteArray("5,3,,99999999999,") << TFilterList{F(5, 3)};
    QTest::newRow("just past 32 bits") << QByteArray("5,3,,2147483648,") << TFilterList{F(5, 3)};
    QTest::newRow("not decimal") << QByteArray("5,3,,1e3,6,4,,0x10,7,5,,12a,")
                                 << TFilterList{F(5, 3), F(6, 4), F(7, 5)};
    QTest::newRow("text after the number")
        << QByteArray("5,3,,100,garbage") << TFilterList{F(5, 3, {}, 100)};
    QTest::newRow("pattern runs on") << QByteArray("4,1,dm,q3,0,") << TFilterList{F(4, 1, "dm")};
}

void TestGenericFilter::damagedText()
{
    QFETCH(QByteArray, text);
    QFETCH(TFilterList, filters);
    QCOMPARE(ReadFilters(text), filters);
}

void TestGenericFilter::anyTextEndsTheReading()
{
    // Only commas: each record takes four, so 1000 give 249 before fewer
    // than 7 remain.
    QCOMPARE(ReadFilters(QByteArray(1000, ',')).size(), 249);
    auto* random = QRandomGenerator::global();
    for (int i = 0; i < 2000; ++i) {
        QByteArray text(random->bounded(0, 60), Qt::Uninitialized);
        for (char& c : text) {
            c = "0123456789,,,,-ab"[random->bounded(17)];
        }
        QVERIFY(ReadFilters(text).size() <= text.size() / 4);
    }
}

void TestGenericFilter::patternFromTypedText()
{
    QCOMPARE(FilterPattern(u"*C,T,F*"), QByteArray("*CTF*"));
    QCOMPARE(FilterPattern(u",,,"), QByteArray());
    // A character of one byte is that byte; any other is spelled in UTF-8,
    // never turned into a "?" that would match anything.
    QCOMPARE(FilterPattern(u"caf\u00e9"), QByteArray("caf\xE9"));
    QCOMPARE(FilterPattern(u"\u03a9\U0001F600"), QByteArray("\xCE\xA9\xF0\x9F\x98\x80"));
}

void TestGenericFilter::profilesSurviveRestart()
{
    TTempAppFolder folder;
    const QString path = TFileSettingsStore::DefaultPath();
    {
        TFileSettingsStore store(path);
        QCOMPARE(ReadProfiles(store), QList<TFilterProfile>());
        QVERIFY(DeleteProfile(store, "Missing")); // no key: nothing to do
        QVERIFY(!store.KeyExists(FiltersKey()));
        store.SetValue("\\Software\\Zelbo\\Morvix", "OSTray", TStoreValue::Flag(true));
        QVERIFY(SaveProfile(store, "CTF", {F(1, 1, "*CTF*"), F(8, 6)}));
        QVERIFY(SaveProfile(store, "Low ping", {F(5, 3, {}, 100)}));
        QVERIFY(SaveProfile(store, "Empty tribes", {F(3, 1, "Tribes*"), F(7, 5)}));
        QVERIFY(SaveProfile(store, "CTF", {F(4, 1, "*ctf*")})); // replaced in its place
        QVERIFY(DeleteProfile(store, "Low ping"));
        QVERIFY(DeleteProfile(store, "Low ping"));
        // Damaged values, as a hand edit might leave them.
        store.SetValue(FiltersKey(), "Cut short", TStoreValue::FromText("9,6,,0,5,3,,1"));
        store.SetValue(FiltersKey(), "Not text", TStoreValue::Integer(7));
        QVERIFY(store.Save());
    }
    TFileSettingsStore store(path);
    QCOMPARE(store.Load(), TFileSettingsStore::TLoadResult::Loaded);
    const QList<TFilterProfile> expected{
        {"CTF", {F(4, 1, "*ctf*")}},
        {"Empty tribes", {F(3, 1, "Tribes*"), F(7, 5)}},
        {"Cut short", {F(9, 6)}},
        {"Not text", {}},
    };
    QCOMPARE(ReadProfiles(store), expected);
    QCOMPARE(store.Value("\\Software\\Zelbo\\Morvix", "OSTray"), TStoreValue::Flag(true));
}

void TestGenericFilter::verdicts_data()
{
    QTest::addColumn<TGenericFilter>("filter");
    QTest::addColumn<std::shared_ptr<TGenericServer>>("server");
    QTest::addColumn<TFilterVerdict>("verdict");
    using V = TFilterVerdict;
    const auto row = [](const char* name, const TGenericFilter& filter,
                        std::unique_ptr<TGenericServer> server, V verdict) {
        QTest::newRow(name) << filter << std::shared_ptr<TGenericServer>(std::move(server))
                            << verdict;
    };
    const auto named = [](const QByteArray& name) {
        return Answered([name](TGenericServer& s) { s.Name = name; });
    };
    const auto silent = [](const TServerEdit& edit = {}) { return Server(edit); };

    row("name, letter case ignored", F(1, 1, "*ctf*"), Answered(), V::Pass);
    row("name, whole text", F(1, 1, "ctf"), named("CTF server"), V::Fail);
    row("accented letters are not folded", F(1, 1, "\xE9t\xE9"), named("\xC9T\xC9"), V::Fail);
    row("star matches an empty name", F(1, 1, "*"), named(""), V::Pass);
    row("empty pattern matches an empty name", F(1, 1, ""), named(""), V::Pass);
    row("question mark is one character", F(1, 1, "?"), named("ab"), V::Fail);
    row("may not match", F(1, 2, "*CTF*"), Answered(), V::Fail);
    row("never answered name", F(1, 1, "Unknown"), silent([](auto& s) { s.Name = "Unknown"; }),
        V::Pass);
    row("version of an answered server", F(2, 1, "Q3 1.32*"), Answered(), V::Pass);
    row("version needs an answer", F(2, 2, "*"), silent(), V::IgnoredVersion);
    row("game type starts with the display name", F(3, 1, "Tribes*"), Answered([](auto& s) {
            s.GameType = gtTribes2;
            s.GameName = "CTF";
        }),
        V::Pass);
    row("game type and game name", F(3, 1, "quake 3 / baseq3"), Answered(), V::Pass);
    row("map", F(4, 2, "q3dm*"), Answered(), V::Pass);
    row("ping less", F(5, 3, {}, 48), Answered(), V::Fail);
    row("ping more than a negative number", F(5, 4, {}, -1), Answered(), V::Pass);
    row("large ping is still more", F(5, 4, {}, 100),
        Answered([](auto& s) { s.Info.Ping = 3000000000u; }), V::Pass);
    row("max players equal", F(6, 5, {}, 20), Answered(), V::Pass);
    row("player count more", F(7, 4, {}, 4), Answered(), V::Fail);
    row("favourite true", F(8, 6), silent([](auto& s) { s.Favorite = true; }), V::Pass);
    row("favourite false", F(8, 7), Answered(), V::Pass);
    row("password 1", F(9, 6), Answered([](auto& s) { s.AddRule("password", "1"); }), V::Pass);
    row("password other than 1", F(9, 6), Answered([](auto& s) { s.AddRule("password", "yes"); }),
        V::Fail);
    row("no password rule", F(9, 7), Answered(), V::Pass);
    row("password needs an answer", F(9, 6), silent([](auto& s) { s.AddRule("password", "1"); }),
        V::IgnoredPassword);
    row("number operator on text", F(1, 3, {}, 5), Answered(), V::Fail);
    row("text operator on a number", F(5, 1, "*"), Answered(), V::Fail);
    row("flag operator on a number", F(7, 7), Answered(), V::Fail);
    row("text operator on a flag", F(8, 2, "x"), Answered(), V::Fail);
    row("unknown operator", F(8, 0), Answered(), V::Fail);
    row("unknown type", F(0, 1, "*"), Answered(), V::IgnoredType);
    row("type out of range", F(12, 6), Answered(), V::IgnoredType);
}

void TestGenericFilter::verdicts()
{
    QFETCH(TGenericFilter, filter);
    QFETCH(std::shared_ptr<TGenericServer>, server);
    QFETCH(TFilterVerdict, verdict);
    QCOMPARE(TestFilter(filter, *server), verdict);
}

void TestGenericFilter::applyToList_data()
{
    QTest::addColumn<TFilterList>("filters");
    QTest::addColumn<bool>("invert");
    QTest::addColumn<QList<int>>("removed");
    QTest::addColumn<QStringList>("status");
    // The list used: 0 answered favourite with a password, 1 answered without
    // a password rule, 2 never answered favourite, 3 never answered, 4 timed out.
    const QString version = "Ignored version filter, a queried server is required.";
    const QString password = "Ignored password filter, a queried server is required.";
    QTest::newRow("favourites") << TFilterList{F(8, 6)} << false << QList<int>{4, 3, 1}
                                << QStringList();
    QTest::newRow("non-favourites")
        << TFilterList{F(8, 7)} << false << QList<int>{2, 0} << QStringList();
    QTest::newRow("non-favourites inverted")
        << TFilterList{F(8, 7)} << true << QList<int>{4, 3, 1} << QStringList();
    QTest::newRow("password") << TFilterList{F(9, 6)} << false << QList<int>{1}
                              << QStringList(3, password);
    // Inverted, an ignored condition counts as passed and so removes.
    QTest::newRow("no password, inverted")
        << TFilterList{F(9, 7)} << true << QList<int>{4, 3, 2, 1} << QStringList(3, password);
    QTest::newRow("version and ping") << TFilterList{F(2, 1, "1.*"), F(5, 3, {}, 200)} << false
                                      << QList<int>{4} << QStringList(3, version);
    QTest::newRow("unknown type only") << TFilterList{F(0, 5)} << false << QList<int>{}
                                       << QStringList(5, "Unknown filter type, ignoring..");
    QTest::newRow("no conditions") << TFilterList{} << false << QList<int>{} << QStringList();
    QTest::newRow("no conditions, inverted")
        << TFilterList{} << true << QList<int>{4, 3, 2, 1, 0} << QStringList();
}

void TestGenericFilter::applyToList()
{
    QFETCH(TFilterList, filters);
    QFETCH(bool, invert);
    QFETCH(QList<int>, removed);
    QFETCH(QStringList, status);

    std::vector<std::unique_ptr<TGenericServer>> list;
    list.push_back(Answered([](auto& s) {
        s.Version = "1.32";
        s.Favorite = true;
        s.AddRule("password", "1");
    }));
    list.push_back(Answered([](auto& s) { s.Version = "1.17"; }));
    list.push_back(Server([](auto& s) { s.Favorite = true; }));
    list.push_back(Server({}));
    list.push_back(Server([](auto& s) {
        s.Status = qsTimeout;
        s.Name = "QUERY TIME OUT";
        s.Info.Ping = 1500;
    }));
    list.push_back(nullptr); // a row without a record is skipped

    QStringList shown;
    const QList<int> rows = RowsToRemove(
        filters, invert, int(list.size()), [&](int row) { return list[row].get(); },
        [&](const QString& text) { shown << text; });
    QCOMPARE(rows, removed);
    QCOMPARE(shown, status);
}

void TestGenericFilter::everyFilterIsVisited()
{
    // The name already fails, and still the version and password conditions
    // report that they were ignored, in the profile's order.
    const auto server = Server({});
    QStringList shown;
    const TFilterList filters{F(1, 1, "nothing like it"), F(9, 6), F(2, 1, "*")};
    QVERIFY(!KeepServer(filters, *server, false, [&](const QString& text) { shown << text; }));
    QCOMPARE(shown, (QStringList{"Ignored password filter, a queried server is required.",
                                 "Ignored version filter, a queried server is required."}));
    QVERIFY(KeepServer(filters, *server, true, {}));
    QCOMPARE(RunningFiltersText(3), QString("Running 3 filters on serverlist."));
}

QTEST_GUILESS_MAIN(TestGenericFilter)
#include "tst_genericfilter.moc"
