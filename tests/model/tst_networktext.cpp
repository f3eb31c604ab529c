#include <QRandomGenerator>
#include <QTest>

#include "model/networktext.h"
#include "model/wildcard.h"
#include "testutil.h"

class TestNetworkText : public QObject
{
    Q_OBJECT

private slots:
    void textOfBytes_data();
    void textOfBytes();
    void bytesOfText_data();
    void bytesOfText();
    void typedTextNeverTurnsIntoWildcards();
    void storedTextGivesTheBytesBack();
    void bytesOfShown_data();
    void bytesOfShown();
    void asciiHost_data();
    void asciiHost();
};

void TestNetworkText::textOfBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << QByteArray("Ann") << QStringLiteral("Ann");
    QTest::newRow("UTF-8 Cyrillic")
        << QByteArray("\xD0\x92\xD0\xBB\xD0\xB0\xD0\xB4") << QStringLiteral("Влад");
    QTest::newRow("UTF-8 e acute") << QByteArray("caf\xC3\xA9") << QStringLiteral("café");
    QTest::newRow("Latin-1 e acute") << QByteArray("caf\xE9") << QStringLiteral("café");
    // A lead byte without its follower is no UTF-8: every byte is one character.
    QTest::newRow("broken UTF-8") << QByteArray("\xC3(") << QStringLiteral("Ã(");
    QTest::newRow("high bytes") << QByteArray("\x80\xFF") << QStringLiteral("\u0080\u00FF");
    QTest::newRow("control and zero bytes")
        << Bytes("a\0\x01") << QString(QStringLiteral("a") + QChar(0) + QChar(1));
    QTest::newRow("leading byte order mark")
        << QByteArray("\xEF\xBB\xBFx") << QStringLiteral("\uFEFFx");
    QTest::newRow("empty") << QByteArray() << QString();
}

void TestNetworkText::textOfBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(TextOfBytes(bytes), text);
}

void TestNetworkText::bytesOfText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("plain") << QStringLiteral("Bob*") << QByteArray("Bob*");
    QTest::newRow("Latin-1 fits") << QStringLiteral("café ÿ") << QByteArray("caf\xE9 \xFF");
    QTest::newRow("Cyrillic") << QStringLiteral("Влад")
                              << QByteArray("\xD0\x92\xD0\xBB\xD0\xB0\xD0\xB4");
    // One character outside Latin-1 makes the whole text UTF-8, so the bytes
    // are never a mixture of two encodings.
    QTest::newRow("Cyrillic and e acute")
        << QStringLiteral("é Д") << QByteArray("\xC3\xA9 \xD0\x94");
    QTest::newRow("outside the basic plane")
        << QString::fromUtf8("\xF0\x9F\x98\x80") << QByteArray("\xF0\x9F\x98\x80");
    QTest::newRow("empty") << QString() << QByteArray();
}

void TestNetworkText::bytesOfText()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(BytesOfText(text), bytes);
    // What a user typed shows again as typed.
    QCOMPARE(TextOfBytes(BytesOfText(text)), text);
}

// A buddy typed in letters outside Latin-1 matches its own name only; as
// "????" it matched every four-letter name.
void TestNetworkText::typedTextNeverTurnsIntoWildcards()
{
    const QByteArray buddy = BytesOfText(QStringLiteral("Влад"));
    QVERIFY(!buddy.contains('?'));
    QVERIFY(MatchWildcard(QByteArray("\xD0\x92\xD0\xBB\xD0\xB0\xD0\xB4"), buddy, true));
    QVERIFY(!MatchWildcard(QByteArray("Carl"), buddy, false));

    QRandomGenerator random(14);
    for (int round = 0; round < 2000; ++round) {
        QString text;
        for (int i = random.bounded(1, 8); i > 0; --i) {
            const char16_t ranges[][2] = {
                {0x20, 0x7E}, {0xA0, 0xFF}, {0x400, 0x4FF}, {0x4E00, 0x4FFF}};
            const auto& range = ranges[random.bounded(4)];
            text += QChar(char16_t(random.bounded(int(range[0]), int(range[1]) + 1)));
        }
        text.remove(u'?');
        const QByteArray bytes = BytesOfText(text);
        QVERIFY2(!bytes.contains('?'), qPrintable(text));
        // It shows again as typed, unless its Latin-1 bytes happen to be
        // UTF-8 as well ("ß©" is the UTF-8 of one other letter): the rule
        // for showing bytes cannot tell, which is why a shown text keeps the
        // bytes it came from (BytesOfShown).
        if (TextOfBytes(bytes) != text) {
            QVERIFY(bytes.isValidUtf8() && bytes == text.toLatin1());
        }
    }
}

// Whatever bytes a buddy or a pattern holds, the store's text brings them
// back byte for byte, also UTF-8 whose characters all fit in Latin-1.
void TestNetworkText::storedTextGivesTheBytesBack()
{
    const QByteArray cases[] = {QByteArray("caf\xC3\xA9"), QByteArray("caf\xE9"),
                                QByteArray("\xD0\x92\xD0\xBB"), QByteArray("\xC3(\xFF"),
                                QByteArray()};
    for (const QByteArray& bytes : cases) {
        QCOMPARE(BytesOfText(StoredText(bytes)), bytes);
    }
    QCOMPARE(StoredText(QByteArray("\xD0\x92\xD0\xBB")), QStringLiteral("Вл"));
    QRandomGenerator random(41);
    for (int round = 0; round < 5000; ++round) {
        QByteArray bytes(random.bounded(0, 12), '\0');
        for (char& c : bytes) {
            // Mostly lead and follower bytes, so that UTF-8 comes up often.
            c = char(random.bounded(2) ? random.bounded(0x80, 0xF0) : random.bounded(0x20, 0x80));
        }
        QCOMPARE(BytesOfText(StoredText(bytes)), bytes);
    }
}

void TestNetworkText::bytesOfShown_data()
{
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("UTF-8 name as shown")
        << QStringLiteral("café") << QByteArray("caf\xC3\xA9") << QByteArray("caf\xC3\xA9");
    QTest::newRow("Latin-1 name as shown")
        << QStringLiteral("café") << QByteArray("caf\xE9") << QByteArray("caf\xE9");
    QTest::newRow("cell shows something else")
        << QStringLiteral("---") << QByteArray("q3dm17") << QByteArray("---");
    QTest::newRow("cell shows a typed host")
        << QStringLiteral("quake.пример.рф") << QByteArray()
        << QByteArray("quake.\xD0\xBF\xD1\x80\xD0\xB8\xD0\xBC\xD0\xB5\xD1\x80.\xD1\x80\xD1\x84");
}

void TestNetworkText::bytesOfShown()
{
    QFETCH(QString, shown);
    QFETCH(QByteArray, source);
    QFETCH(QByteArray, bytes);
    QCOMPARE(BytesOfShown(shown, source), bytes);
}

void TestNetworkText::asciiHost_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("host");
    QTest::newRow("IDNA") << QStringLiteral("quake.пример.рф")
                          << QStringLiteral("quake.xn--e1afmkfd.xn--p1ai");
    QTest::newRow("German") << QStringLiteral("müller.de") << QStringLiteral("xn--mller-kva.de");
    QTest::newRow("ASCII keeps its case")
        << QStringLiteral("Quake.Example.COM") << QStringLiteral("Quake.Example.COM");
    QTest::newRow("dotted address")
        << QStringLiteral(" 127.000.0.1 ") << QStringLiteral(" 127.000.0.1 ");
}

void TestNetworkText::asciiHost()
{
    QFETCH(QString, typed);
    QFETCH(QString, host);
    QCOMPARE(AsciiHost(typed), host);
}

QTEST_GUILESS_MAIN(TestNetworkText)
#include "tst_networktext.moc"
