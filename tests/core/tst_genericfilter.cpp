#include <QDir>
#include <QFile>
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
using TServerPtr = std::shared_ptr<TGenericServer>;

// A server that never answered, edited by Edit.
TServerPtr Silent(const TServerEdit& edit = {})
{
    TServerPtr server = TGenericServer::Create();
    if (edit) {
        edit(*server);
    }
    return server;
}

// An answered Quake 3 server, edited by Edit.
TServerPtr Answered(const TServerEdit& edit = {})
{
    return Silent([&](TGenericServer& s) {
        s.NoReply = false;
        s.Name = "Frag Central [CTF]";
        s.Map = "q3ctf2";
        s.Version = "1.32";
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
    void textForm();
    void damagedText_data();
    void damagedText();
    void profilesSurviveRestart();
    void unsavedProfileIsNotKept();
    void verdicts_data();
    void verdicts();
    void applyToList_data();
    void applyToList();
};

void TestGenericFilter::textForm()
{
    const TFilterList filters{F(1, 1, "*CTF*"), F(5, 3, {}, 100), F(8, 6), F(6, 4, {}, INT_MIN)};
    const QByteArray text("1,1,*CTF*,0,5,3,,100,8,6,,0,6,4,,-2147483648,");
    QCOMPARE(WriteFilters(filters), text);
    QCOMPARE(ReadFilters(text), filters);
    // What the reader could not take back is never written.
    QCOMPARE(WriteFilters({F(12, 9, "a,b")}), QByteArray("0,0,ab,0,"));
    // Typed text: commas dropped, Latin-1 when every character fits, else
    // the whole text in UTF-8 (never a mixture), never a "?" that would
    // match anything.
    QCOMPARE(FilterPattern(u"*C,T,F*"), QByteArray("*CTF*"));
    QCOMPARE(FilterPattern(u"caf\u00e9,"), QByteArray("caf\xE9"));
    QCOMPARE(FilterPattern(u"caf\u00e9 \u03a9"), QByteArray("caf\xC3\xA9 \xCE\xA9"));
}

void TestGenericFilter::damagedText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<TFilterList>("filters");
    QTest::newRow("six characters") << QByteArray("8,6,,0") << TFilterList{};
    QTest::newRow("seven characters") << QByteArray("8,6,,0,") << TFilterList{F(8, 6)};
    QTest::newRow("last comma missing")
        << QByteArray("5,3,,100,1,1,*CTF*,0") << TFilterList{F(5, 3, {}, 100)};
    QTest::newRow("no comma") << QByteArray("this is not a profile") << TFilterList{};
    QTest::newRow("text after a record") << QByteArray("8,7,,0,garbage") << TFilterList{F(8, 7)};
    QTest::newRow("letters for digits") << QByteArray("x,y,abc,zz,") << TFilterList{F(0, 0, "abc")};
    QTest::newRow("first digit counts") << QByteArray("12,38,p,1,") << TFilterList{F(1, 3, "p", 1)};
    QTest::newRow("operator above 7") << QByteArray("1,8,p,1,") << TFilterList{F(1, 0, "p", 1)};
    QTest::newRow("numbers that are not 32-bit decimals")
        << QByteArray("5,3,,99999999999,6,4,,2147483648,7,5,,1e3,")
        << TFilterList{F(5, 3), F(6, 4), F(7, 5)};
    // Each record takes four commas, so 1000 give 249 before fewer than 7 remain.
    QTest::newRow("only commas") << QByteArray(1000, ',') << TFilterList(249, F(0, 0));
}

void TestGenericFilter::damagedText()
{
    QFETCH(QByteArray, text);
    QFETCH(TFilterList, filters);
    QCOMPARE(ReadFilters(text), filters);
}

void TestGenericFilter::profilesSurviveRestart()
{
    TTempAppFolder folder;
    {
        TFileSettingsStore store(TFileSettingsStore::DefaultPath());
        QVERIFY(ReadProfiles(store).isEmpty());
        QVERIFY(DeleteProfile(store, "Missing")); // no key: nothing to do
        QVERIFY(!store.KeyExists(FiltersKey()));
        store.SetValue("\\Software\\Zelbo\\Morvix", "OSTray", TStoreValue::Flag(true));
        QVERIFY(SaveProfile(store, "CTF", {F(1, 1, "*CTF*"), F(8, 6)}));
        QVERIFY(SaveProfile(store, "Low ping", {F(5, 3, {}, 100)}));
        QVERIFY(SaveProfile(store, "Empty tribes", {F(3, 1, "Tribes*"), F(7, 5)}));
        QVERIFY(SaveProfile(store, "CTF", {F(4, 1, "*ctf*")})); // replaced in its place
        QVERIFY(DeleteProfile(store, "Low ping"));
        // Damaged values, as a hand edit might leave them.
        store.SetValue(FiltersKey(), "Cut short", TStoreValue::FromText("9,6,,0,5,3,,1"));
        store.SetValue(FiltersKey(), "Not text", TStoreValue::Integer(7));
        QVERIFY(store.Save());
    }
    TFileSettingsStore store(TFileSettingsStore::DefaultPath());
    QCOMPARE(store.Load(), TFileSettingsStore::TLoadResult::Loaded);
    const QList<TFilterProfile> expected{{"CTF", {F(4, 1, "*ctf*")}},
                                         {"Empty tribes", {F(3, 1, "Tribes*"), F(7, 5)}},
                                         {"Cut short", {F(9, 6)}},
                                         {"Not text", {}}};
    QCOMPARE(ReadProfiles(store), expected);
    QCOMPARE(store.Value("\\Software\\Zelbo\\Morvix", "OSTray"), TStoreValue::Flag(true));
}

// A profile the store could not save is neither listed nor written later;
// one it replaced keeps its old conditions.
void TestGenericFilter::unsavedProfileIsNotKept()
{
    TTempAppFolder folder;
    const QString path = TFileSettingsStore::DefaultPath();
    TFileSettingsStore store(path);
    QVERIFY(SaveProfile(store, "CTF", {F(1, 1, "*CTF*")}));
    // The file's place becomes a folder: nothing can be written there.
    QVERIFY(QFile::remove(path));
    QVERIFY(QDir().mkpath(path));

    QVERIFY(!SaveProfile(store, "Low ping", {F(5, 3, {}, 100)}));
    QVERIFY(!SaveProfile(store, "CTF", {F(4, 1, "*ctf*")}));
    const QList<TFilterProfile> expected{{"CTF", {F(1, 1, "*CTF*")}}};
    QCOMPARE(ReadProfiles(store), expected);

    // Once the place can be written again, the exit save has no trace of them.
    QVERIFY(QDir().rmdir(path));
    QVERIFY(store.Save());
    TFileSettingsStore reloaded(path);
    QCOMPARE(reloaded.Load(), TFileSettingsStore::TLoadResult::Loaded);
    QCOMPARE(ReadProfiles(reloaded), expected);
}

void TestGenericFilter::verdicts_data()
{
    QTest::addColumn<TGenericFilter>("filter");
    QTest::addColumn<TServerPtr>("server");
    QTest::addColumn<TFilterVerdict>("verdict");
    using V = TFilterVerdict;
    const auto named = [](const QByteArray& name) {
        return Answered([name](TGenericServer& s) { s.Name = name; });
    };
    const auto password = [](const QByteArray& value) {
        return [value](TGenericServer& s) { s.AddRule("password", value); };
    };
    QTest::newRow("letter case ignored") << F(1, 1, "*ctf*") << Answered() << V::Pass;
    QTest::newRow("accents not folded") << F(1, 1, "\xE9t\xE9") << named("\xC9T\xC9") << V::Fail;
    QTest::newRow("star, empty name") << F(1, 1, "*") << named("") << V::Pass;
    QTest::newRow("may not match") << F(1, 2, "*CTF*") << Answered() << V::Fail;
    QTest::newRow("version") << F(2, 1, "1.3?") << Answered() << V::Pass;
    QTest::newRow("version, never answered") << F(2, 2, "*") << Silent() << V::IgnoredVersion;
    QTest::newRow("game type begins with the display name")
        << F(3, 1, "Tribes*")
        << Answered([](TGenericServer& s) { s.GameType = gtTribes2, s.GameName = "CTF"; })
        << V::Pass;
    QTest::newRow("ping more, signed") << F(5, 4, {}, -1) << Answered() << V::Pass;
    QTest::newRow("players more") << F(7, 4, {}, 4) << Answered() << V::Fail;
    QTest::newRow("favourite, never answered")
        << F(8, 6) << Silent([](TGenericServer& s) { s.Favorite = true; }) << V::Pass;
    QTest::newRow("password 1") << F(9, 6) << Answered(password("1")) << V::Pass;
    QTest::newRow("password yes") << F(9, 6) << Answered(password("yes")) << V::Fail;
    QTest::newRow("password, never answered")
        << F(9, 6) << Silent(password("1")) << V::IgnoredPassword;
    QTest::newRow("number operator on text") << F(1, 3, {}, 5) << Answered() << V::Fail;
    QTest::newRow("text operator on a number") << F(5, 1, "*") << Answered() << V::Fail;
    QTest::newRow("unknown operator") << F(8, 0) << Answered() << V::Fail;
    QTest::newRow("unknown type") << F(0, 1, "*") << Answered() << V::IgnoredType;
}

void TestGenericFilter::verdicts()
{
    QFETCH(TGenericFilter, filter);
    QFETCH(TServerPtr, server);
    QFETCH(TFilterVerdict, verdict);
    QCOMPARE(TestFilter(filter, *server), verdict);
}

void TestGenericFilter::applyToList_data()
{
    QTest::addColumn<TFilterList>("filters");
    QTest::addColumn<bool>("invert");
    QTest::addColumn<QList<int>>("removed");
    QTest::addColumn<QStringList>("status");
    // The list: 0 answered favourite with a password, 1 answered without a
    // password rule, 2 never answered favourite, 3 never answered, 4 timed out.
    const QString version = "Ignored version filter, a queried server is required.";
    const QString password = "Ignored password filter, a queried server is required.";
    QTest::newRow("favourites") << TFilterList{F(8, 6)} << false << QList<int>{4, 3, 1}
                                << QStringList();
    // Inverted, an ignored condition counts as met, so the server goes.
    QTest::newRow("no password, inverted")
        << TFilterList{F(9, 7)} << true << QList<int>{4, 3, 2, 1} << QStringList(3, password);
    // The name fails first, and the later conditions are still visited.
    QTest::newRow("every condition visited")
        << TFilterList{F(1, 1, "nothing like it"), F(9, 6), F(2, 1, "*")} << false
        << QList<int>{4, 3, 2, 1, 0}
        << QStringList{password, version, password, version, password, version};
    QTest::newRow("unknown type") << TFilterList{F(0, 5)} << false << QList<int>{}
                                  << QStringList(5, "Unknown filter type, ignoring..");
    QTest::newRow("no conditions, inverted")
        << TFilterList{} << true << QList<int>{4, 3, 2, 1, 0} << QStringList();
}

void TestGenericFilter::applyToList()
{
    QFETCH(TFilterList, filters);
    QFETCH(bool, invert);
    QFETCH(QList<int>, removed);
    QFETCH(QStringList, status);
    const std::vector<TServerPtr> list{
        Answered([](TGenericServer& s) { s.Favorite = true, s.AddRule("password", "1"); }),
        Answered([](TGenericServer& s) { s.Version = "1.17"; }),
        Silent([](TGenericServer& s) { s.Favorite = true; }),
        Silent(),
        Silent([](TGenericServer& s) { s.Status = qsTimeout, s.Info.Ping = 1500; }),
        nullptr, // a row without a record is skipped
    };
    QStringList shown;
    const QList<int> rows = RowsToRemove(
        filters, invert, int(list.size()), [&](int row) { return list[row].get(); },
        [&](const QString& text) { shown << text; });
    QCOMPARE(rows, removed);
    QCOMPARE(shown, status);
}

QTEST_GUILESS_MAIN(TestGenericFilter)
#include "tst_genericfilter.moc"
