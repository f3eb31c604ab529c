#include <QTest>

#include "model/replybuffer.h"

class TestReplyBuffer : public QObject
{
    Q_OBJECT

private slots:
    void consumingOperations_data();
    void consumingOperations();
    void readBytes();
    void readPString_data();
    void readPString();
    void takePString();
    void replaceAll_data();
    void replaceAll();
    void keepPrintable();
    void bitSet();
    void toIntDef_data();
    void toIntDef();
};

// Each row applies one operation to a buffer and checks both the result and
// what is left of the buffer.
void TestReplyBuffer::consumingOperations_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<int>("argument");
    QTest::addColumn<QByteArray>("result");
    QTest::addColumn<QByteArray>("left");

    QTest::newRow("LeftOf within")
        << "LeftOf" << QByteArray("abcdef") << 3 << QByteArray("abc") << QByteArray("abcdef");
    QTest::newRow("LeftOf beyond")
        << "LeftOf" << QByteArray("ab") << 5 << QByteArray("ab") << QByteArray("ab");
    QTest::newRow("CutLeft within")
        << "CutLeft" << QByteArray("abcdef") << 2 << QByteArray() << QByteArray("cdef");
    QTest::newRow("CutLeft exact")
        << "CutLeft" << QByteArray("ab") << 2 << QByteArray() << QByteArray();
    QTest::newRow("CutLeft too far leaves all")
        << "CutLeft" << QByteArray("ab") << 3 << QByteArray() << QByteArray("ab");
    QTest::newRow("TextBefore") << "TextBefore" << QByteArray("key\\value") << int('\\')
                                << QByteArray("key") << QByteArray("key\\value");
    QTest::newRow("TextBefore absent") << "TextBefore" << QByteArray("plain") << int('\\')
                                       << QByteArray("plain") << QByteArray("plain");
    QTest::newRow("SkipPast") << "SkipPast" << QByteArray("a b c") << int(' ') << QByteArray()
                              << QByteArray("b c");
    QTest::newRow("SkipPast absent")
        << "SkipPast" << QByteArray("abc") << int(' ') << QByteArray() << QByteArray("abc");
    QTest::newRow("NextToken") << "NextToken" << QByteArray("12 45 \"x\"") << int(' ')
                               << QByteArray("12") << QByteArray("45 \"x\"");
    QTest::newRow("NextToken empty token")
        << "NextToken" << QByteArray(" x") << int(' ') << QByteArray() << QByteArray("x");
    // Without a delimiter the token is the rest and the rest stays: a second
    // read returns it again.
    QTest::newRow("NextToken absent keeps buffer") << "NextToken" << QByteArray("last") << int(' ')
                                                   << QByteArray("last") << QByteArray("last");
    QTest::newRow("NextToken zero byte") << "NextToken" << QByteArray("name\0rest", 9) << 0
                                         << QByteArray("name") << QByteArray("rest");
    QTest::newRow("TakeToken") << "TakeToken" << QByteArray("a\tb") << int('\t') << QByteArray("a")
                               << QByteArray("b");
    // Unlike NextToken, a token that runs to the end is read once.
    QTest::newRow("TakeToken absent takes the rest")
        << "TakeToken" << QByteArray("last") << int(' ') << QByteArray("last") << QByteArray();
}

void TestReplyBuffer::consumingOperations()
{
    QFETCH(QString, operation);
    QFETCH(QByteArray, buffer);
    QFETCH(int, argument);
    QFETCH(QByteArray, result);
    QFETCH(QByteArray, left);

    QByteArray got;
    if (operation == "LeftOf") {
        got = LeftOf(buffer, argument);
    } else if (operation == "CutLeft") {
        CutLeft(buffer, argument);
    } else if (operation == "TextBefore") {
        got = TextBefore(buffer, char(argument));
    } else if (operation == "SkipPast") {
        SkipPast(buffer, char(argument));
    } else if (operation == "NextToken") {
        got = NextToken(buffer, char(argument));
    } else if (operation == "TakeToken") {
        TReplyCursor cursor(buffer);
        got = cursor.TakeToken(char(argument));
        buffer = cursor.Rest().toByteArray();
    }
    QCOMPARE(got, result);
    QCOMPARE(buffer, left);
}

void TestReplyBuffer::readBytes()
{
    QByteArray buffer("\x01\x02\x03\x04\x05\x06", 6);
    std::int32_t value = -7;
    QVERIFY(ReadBytes(buffer, value));
    QCOMPARE(value, 0x04030201);
    QCOMPARE(buffer, QByteArray("\x05\x06", 2));

    // Too short: the destination keeps its value and nothing is consumed.
    QVERIFY(!ReadBytes(buffer, value));
    QCOMPARE(value, 0x04030201);
    QCOMPARE(buffer.size(), 2);

    std::uint16_t word = 0;
    QVERIFY(ReadBytes(buffer, word));
    QCOMPARE(word, std::uint16_t(0x0605));
    QVERIFY(buffer.isEmpty());

    float seconds = 0;
    QByteArray floatBytes("\x00\x00\xB2\x42", 4); // 89.0f
    QVERIFY(ReadBytes(floatBytes, seconds));
    QCOMPARE(seconds, 89.0f);

    TReplyCursor cursor(QByteArrayView("\x10\x06\x01", 3));
    QCOMPARE(cursor.ReadU16BE(), std::uint16_t(0x1006));
    QCOMPARE(cursor.ReadU16BE(), std::uint16_t(0)); // one byte left is not a number
    QCOMPARE(cursor.ReadU8(), std::uint8_t(1));
    QCOMPARE(cursor.ReadU8(), std::uint8_t(0));
    QVERIFY(cursor.AtEnd());

    // A number cut short takes the rest: the next read does not see its bytes.
    TReplyCursor taking(QByteArrayView("\x07\x00\x00\x00\x05\x06", 6));
    std::int32_t number = -1;
    QVERIFY(taking.TakeBytes(number));
    QCOMPARE(number, 7);
    QVERIFY(!taking.TakeBytes(number));
    QCOMPARE(number, 7);
    QCOMPARE(taking.ReadU8(), std::uint8_t(0));
}

void TestReplyBuffer::readPString_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("left");
    QTest::newRow("whole") << QByteArray("\x06TribesXY") << QByteArray("Tribes")
                           << QByteArray("XY");
    QTest::newRow("empty string") << QByteArray("\x00Z", 2) << QByteArray() << QByteArray("Z");
    // A length past the end yields the bytes that remain; as the cut does not
    // fit, the buffer itself stays as it was.
    QTest::newRow("short") << QByteArray("\x09"
                                         "abc")
                           << QByteArray("abc")
                           << QByteArray("\x09"
                                         "abc");
    QTest::newRow("empty buffer") << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("high length byte") << QByteArray("\xFF") << QByteArray() << QByteArray("\xFF");
}

void TestReplyBuffer::readPString()
{
    QFETCH(QByteArray, buffer);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, left);
    QCOMPARE(ReadPString(buffer), text);
    QCOMPARE(buffer, left);
}

// A string cut short takes what remains, and the cursor ends with it.
void TestReplyBuffer::takePString()
{
    TReplyCursor cursor(QByteArrayView("\x02"
                                       "ab\x09"
                                       "cd",
                                       6));
    QVERIFY(cursor.HasPString());
    QCOMPARE(cursor.TakePString(), QByteArray("ab"));
    QVERIFY(!cursor.HasPString());
    QCOMPARE(cursor.TakePString(), QByteArray("cd"));
    QVERIFY(cursor.AtEnd());
    QCOMPARE(cursor.TakePString(), QByteArray());
}

void TestReplyBuffer::replaceAll_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("find");
    QTest::addColumn<QByteArray>("replacement");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("every occurrence") << QByteArray("%n vs %n") << QByteArray("%n")
                                      << QByteArray("Bob") << QByteArray("Bob vs Bob");
    QTest::newRow("inserted text not searched")
        << QByteArray("[%n]") << QByteArray("%n") << QByteArray("a%nb") << QByteArray("[a%nb]");
    QTest::newRow("absent") << QByteArray("plain") << QByteArray("%t") << QByteArray("x")
                            << QByteArray("plain");
    QTest::newRow("empty find") << QByteArray("abc") << QByteArray() << QByteArray("x")
                                << QByteArray("abc");
    QTest::newRow("overlapping") << QByteArray("aaa") << QByteArray("aa") << QByteArray("b")
                                 << QByteArray("ba");
}

void TestReplyBuffer::replaceAll()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, find);
    QFETCH(QByteArray, replacement);
    QFETCH(QByteArray, expected);
    QCOMPARE(ReplaceAll(text, find, replacement), expected);
}

void TestReplyBuffer::keepPrintable()
{
    QCOMPARE(KeepPrintable(QByteArray("\x1F"
                                      " a~\x7F\x80z\t",
                                      8)),
             QByteArray(" a~z"));
}

void TestReplyBuffer::bitSet()
{
    QVERIFY(BitSet(0xC3, 0));
    QVERIFY(BitSet(0xC3, 7));
    QVERIFY(!BitSet(0xC3, 2));
    QVERIFY(!BitSet(0xFFFFFFFF, 32));
}

void TestReplyBuffer::toIntDef_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("expected");
    QTest::newRow("plain") << QByteArray("16") << 16;
    QTest::newRow("negative") << QByteArray("-5") << -5;
    QTest::newRow("leading blanks") << QByteArray("  7") << 7;
    QTest::newRow("trailing garbage") << QByteArray("7a") << 0;
    QTest::newRow("empty") << QByteArray("") << 0;
    QTest::newRow("sign only") << QByteArray("-") << 0;
    QTest::newRow("largest") << QByteArray("2147483647") << 2147483647;
    QTest::newRow("smallest") << QByteArray("-2147483648") << int(-2147483648LL);
    QTest::newRow("overflow") << QByteArray("2147483648") << 0;
    QTest::newRow("long digits") << QByteArray("99999999999999999999999") << 0;
}

void TestReplyBuffer::toIntDef()
{
    QFETCH(QByteArray, text);
    QFETCH(int, expected);
    QCOMPARE(ToIntDef(text), expected);
}

QTEST_GUILESS_MAIN(TestReplyBuffer)
#include "tst_replybuffer.moc"
