#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>

#include "model/wildcard.h"

namespace {

// The matcher written the obvious, exponential way, straight from its rules,
// to compare the fast one against on many random inputs.
bool ReferenceMatch(QByteArrayView text, QByteArrayView pattern, bool caseSensitive)
{
    const auto fold = [&](char c) {
        return !caseSensitive && c >= 'a' && c <= 'z' ? char(c - 32) : c;
    };
    const auto walk = [&](auto&& self, qsizetype t, qsizetype p) -> bool {
        while (true) {
            if (t == text.size() && p == pattern.size()) {
                return true;
            }
            if (p == pattern.size()) {
                return false;
            }
            if (pattern[p] == '*') {
                if (p + 1 == pattern.size()) {
                    return true;
                }
                for (qsizetype from = t; from <= text.size(); ++from) {
                    if (self(self, from, p + 1)) {
                        return true;
                    }
                }
                return false;
            }
            if (t == text.size()) {
                return false;
            }
            if (pattern[p] != '?' && fold(pattern[p]) != fold(text[t])) {
                return false;
            }
            ++t;
            ++p;
        }
    };
    return pattern.isEmpty() || walk(walk, 0, 0);
}

TServerTable Players(std::initializer_list<QList<QByteArray>> rows)
{
    TServerTable table{{"Name", "Frags", "Ping"}};
    for (const auto& row : rows) {
        table.append(row);
    }
    return table;
}

} // namespace

class TestWildcard : public QObject
{
    Q_OBJECT

private slots:
    void match_data();
    void match();
    void agreesWithReference();
    void failingStarPatternIsFast();
    void buddy_data();
    void buddy();
};

void TestWildcard::match_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<bool>("expected");

    QTest::newRow("star matches empty") << QByteArray() << QByteArray("*") << false << true;
    QTest::newRow("empty pattern matches text")
        << QByteArray("abc") << QByteArray() << true << true;
    QTest::newRow("empty pattern matches empty") << QByteArray() << QByteArray() << true << true;
    QTest::newRow("? one byte") << QByteArray("x") << QByteArray("?") << true << true;
    QTest::newRow("? not two bytes") << QByteArray("xy") << QByteArray("?") << true << false;
    QTest::newRow("? not the end") << QByteArray() << QByteArray("?") << true << false;
    QTest::newRow("fold") << QByteArray("CTF") << QByteArray("ctf") << false << true;
    QTest::newRow("no fold when sensitive")
        << QByteArray("CTF") << QByteArray("ctf") << true << false;
    QTest::newRow("accents never fold")
        << QByteArray("\xC9") << QByteArray("\xE9") << false << false;
    QTest::newRow("a*c abc") << QByteArray("abc") << QByteArray("a*c") << true << true;
    QTest::newRow("a*c ac") << QByteArray("ac") << QByteArray("a*c") << true << true;
    QTest::newRow("a*c abcd") << QByteArray("abcd") << QByteArray("a*c") << true << false;
    QTest::newRow("*b*") << QByteArray("abc") << QByteArray("*b*") << true << true;
    QTest::newRow("whole text") << QByteArray("xabcx") << QByteArray("abc") << true << false;
    QTest::newRow("contains") << QByteArray("xabcx") << QByteArray("*abc*") << true << true;
    QTest::newRow("star backtracks") << QByteArray("aXbXcd") << QByteArray("*X?") << true << false;
    QTest::newRow("later star retries")
        << QByteArray("abcabd") << QByteArray("*ab?") << true << true;
    QTest::newRow("text ends before pattern")
        << QByteArray("ab") << QByteArray("ab*c") << true << false;
}

void TestWildcard::match()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, pattern);
    QFETCH(bool, caseSensitive);
    QFETCH(bool, expected);
    QCOMPARE(MatchWildcard(text, pattern, caseSensitive), expected);
}

void TestWildcard::agreesWithReference()
{
    // Small alphabets make stars, question marks and near-misses frequent.
    QRandomGenerator random(20261206);
    const QByteArray textBytes = "abAB";
    const QByteArray patternBytes = "abA*?";
    for (int round = 0; round < 20000; ++round) {
        QByteArray text;
        QByteArray pattern;
        for (int i = int(random.bounded(9)); i > 0; --i) {
            text.append(textBytes[random.bounded(int(textBytes.size()))]);
        }
        for (int i = int(random.bounded(7)); i > 0; --i) {
            pattern.append(patternBytes[random.bounded(int(patternBytes.size()))]);
        }
        const bool caseSensitive = random.bounded(2) == 0;
        if (MatchWildcard(text, pattern, caseSensitive) !=
            ReferenceMatch(text, pattern, caseSensitive)) {
            QFAIL(qPrintable(QStringLiteral("'%1' against '%2' (case %3)")
                                 .arg(QString::fromLatin1(text), QString::fromLatin1(pattern))
                                 .arg(caseSensitive)));
        }
    }
}

void TestWildcard::failingStarPatternIsFast()
{
    // Twenty stars between letters that never complete a match: trying every
    // split would take longer than the universe has left.
    const QByteArray text(200, 'a');
    QByteArray pattern;
    for (int i = 0; i < 20; ++i) {
        pattern += "*a";
    }
    pattern += "b";
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 100; ++i) {
        QVERIFY(!MatchWildcard(text, pattern, false));
    }
    // 100 matches in well under a second even under a sanitizer on a busy machine.
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
}

void TestWildcard::buddy_data()
{
    QTest::addColumn<TServerTable>("players");
    QTest::addColumn<TBuddyList>("buddies");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("expected");

    const TServerTable two = Players({{"Fragmaster", "12", "45"}, {"newbie", "0", "999"}});
    QTest::newRow("exact name") << two << TBuddyList{{"Fragmaster", true}} << true << true;
    QTest::newRow("switch off") << two << TBuddyList{{"Fragmaster", true}} << false << false;
    QTest::newRow("case-sensitive miss") << two << TBuddyList{{"NEWBIE", true}} << true << false;
    QTest::newRow("case-insensitive hit") << two << TBuddyList{{"NEWBIE", false}} << true << true;
    QTest::newRow("digits match a score cell") << two << TBuddyList{{"1*", true}} << true << true;
    QTest::newRow("captions are not players")
        << two << TBuddyList{{"Frags", true}} << true << false;
    QTest::newRow("caption row only")
        << Players({}) << TBuddyList{{"*", true}, {"", true}} << true << false;
    QTest::newRow("empty pattern matches any player")
        << two << TBuddyList{{"nobody", true}, {"", true}} << true << true;
    QTest::newRow("empty list") << two << TBuddyList{} << true << false;
}

void TestWildcard::buddy()
{
    QFETCH(TServerTable, players);
    QFETCH(TBuddyList, buddies);
    QFETCH(bool, enabled);
    QFETCH(bool, expected);
    QCOMPARE(HasBuddy(players, buddies, enabled), expected);
}

QTEST_GUILESS_MAIN(TestWildcard)
#include "tst_wildcard.moc"
