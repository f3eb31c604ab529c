#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include "core/joinstats.h"
#include "model/genericserver.h"
#include "tempappfolder.h"

class TestJoinStats : public QObject
{
    Q_OBJECT

private slots:
    void encoding_data();
    void encoding();
    void data_data();
    void data();
    void reportOnTheWire_data();
    void reportOnTheWire();
    void noAddressSendsNothing();

private:
    std::unique_ptr<TGenericServer> Server(const QByteArray& gameName, const QString& host);

    TTempAppFolder Folder_;
};

std::unique_ptr<TGenericServer> TestJoinStats::Server(const QByteArray& gameName,
                                                      const QString& host)
{
    auto server = TGenericServer::Create();
    server->GameType = gtHalfLife;
    server->GameName = gameName;
    server->Info.Host = host;
    server->Info.Port = 27015;
    return server;
}

void TestJoinStats::encoding_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QByteArray>("encoded");

    // 2047 + 1 = 0x800: the key is 0.
    QTest::newRow("key 0") << QByteArray("Ab|1") << QDate(2047, 1, 5) << QByteArray("%41%62%7C%31");
    // 2024 + 12 = 0x7F4: every byte here passes 255 and wraps.
    QTest::newRow("key F4, wrapping")
        << QByteArray("Ab|1") << QDate(2024, 12, 24) << QByteArray("%35%56%70%25");
    QTest::newRow("FF plus 8") << QByteArray("\xFF\x00", 2) << QDate(2047, 9, 30)
                               << QByteArray("%07%08");
    QTest::newRow("nothing") << QByteArray() << QDate(2025, 1, 1) << QByteArray();
}

void TestJoinStats::encoding()
{
    QFETCH(QByteArray, data);
    QFETCH(QDate, date);
    QFETCH(QByteArray, encoded);
    QCOMPARE(EncodeJoinStats(data, JoinStatsKey(date)), encoded);
}

void TestJoinStats::data_data()
{
    QTest::addColumn<QString>("username");
    QTest::addColumn<QByteArray>("gameName");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("bars removed everywhere")
        << QString::fromUtf8("a|b\xC3\xA9") << QByteArray("|cs|") << "10.0|.0.1"
        << QByteArray("ab\xE9|Half-Life|cs|10.0.0.1:27015");
    QTest::newRow("name beyond Latin-1") << QString::fromUtf8("\xCE\x94") << QByteArray() << "h"
                                         << QByteArray("\xCE\x94|Half-Life||h:27015");
}

void TestJoinStats::data()
{
    QFETCH(QString, username);
    QFETCH(QByteArray, gameName);
    QFETCH(QString, host);
    QFETCH(QByteArray, expected);
    QCOMPARE(JoinStatsData(username, *Server(gameName, host)), expected);
}

void TestJoinStats::reportOnTheWire_data()
{
    QTest::addColumn<int>("status"); // 0: nobody listens
    QTest::addColumn<int>("code");

    QTest::newRow("accepted") << 200 << 0;
    QTest::newRow("not found") << 404 << 404;
    QTest::newRow("connection refused") << 0 << 1;
}

void TestJoinStats::reportOnTheWire()
{
    QFETCH(int, status);
    QFETCH(int, code);

    // A web server on loopback that keeps each request's head and answers.
    QTcpServer http;
    QVERIFY(http.listen(QHostAddress::LocalHost));
    QByteArray head;
    connect(&http, &QTcpServer::newConnection, this, [&] {
        QTcpSocket* socket = http.nextPendingConnection();
        connect(socket, &QTcpSocket::readyRead, socket, [&, socket] {
            head += socket->readAll();
            if (head.contains("\r\n\r\n")) {
                socket->write("HTTP/1.1 " + QByteArray::number(status) +
                              " X\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                socket->disconnectFromHost();
            }
        });
    });
    const quint16 port = http.serverPort();
    if (status == 0) {
        http.close();
    }

    TJoinStats stats(QStringLiteral("http://127.0.0.1:%1").arg(port));
    stats.Today = [] { return QDate(2024, 12, 24); };
    QStringList shown;
    stats.ShowStatus = [&](const QString& text) { shown << text; };
    QSignalSpy finished(&stats, &TJoinStats::ReportFinished);
    QVERIFY(stats.Report("a|b", *Server("cstrike", "10.0.0.1")));
    QCOMPARE(finished.count(), 0); // the join never waits for it
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.first().first().toInt(), code);
    QCOMPARE(shown, code == 0 ? QStringList()
                              : QStringList{"An error occured while trying to update stats! (" +
                                            QString::number(code) + ")"});
    if (status == 0) {
        return;
    }
    const QList<QByteArray> lines = head.split('\n');
    QVERIFY2(lines[0].startsWith("GET /morvix/joingame.php?data="), lines[0].constData());
    // What the server's script reads once the address's escapes are undone:
    // each byte of the report plus the key of December 2024 (0xF4).
    QByteArray expected;
    for (const char byte : QByteArray("ab|Half-Life|cstrike|10.0.0.1:27015")) {
        expected += char(std::uint8_t(byte) + 0xF4);
    }
    QCOMPARE(QByteArray::fromPercentEncoding(lines[0].mid(30).chopped(10)), expected);
    QVERIFY(lines.contains("User-Agent: Mozilla/3.0 (compatible)\r"));
    QVERIFY(lines.contains("Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r"));
}

void TestJoinStats::noAddressSendsNothing()
{
    TJoinStats stats(QString{});
    QVERIFY(!stats.Available());
    QSignalSpy sent(&stats, &TJoinStats::ReportSent);
    QVERIFY(!stats.Report("Newbie", *Server("valve", "h")));
    QCOMPARE(sent.count(), 0);
}

QTEST_GUILESS_MAIN(TestJoinStats)
#include "tst_joinstats.moc"
