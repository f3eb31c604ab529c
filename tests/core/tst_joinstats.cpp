#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include "core/joinstats.h"
#include "model/genericserver.h"
#include "tempappfolder.h"

namespace {

// An HTTP server on loopback that keeps the head of each request and
// answers it with Status.
class TFakeHttpServer : public QObject
{
public:
    explicit TFakeHttpServer(int status) : Status_(status)
    {
        Server_.listen(QHostAddress::LocalHost);
        connect(&Server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = Server_.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Read(socket); });
            }
        });
    }

    QString Address() const
    {
        return QStringLiteral("http://127.0.0.1:%1").arg(Server_.serverPort());
    }
    QList<QByteArray> Heads;

private:
    void Read(QTcpSocket* socket)
    {
        QByteArray& head = Pending_[socket];
        head += socket->readAll();
        if (!head.contains("\r\n\r\n")) {
            return;
        }
        Heads << head.left(head.indexOf("\r\n\r\n"));
        socket->write("HTTP/1.1 " + QByteArray::number(Status_) +
                      " Test\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
    }

    QTcpServer Server_;
    int Status_;
    QHash<QTcpSocket*, QByteArray> Pending_;
};

QByteArray HeaderValue(const QByteArray& head, const QByteArray& name)
{
    for (const QByteArray& line : head.split('\n')) {
        if (line.toLower().startsWith(name.toLower() + ':')) {
            return line.mid(name.size() + 1).trimmed();
        }
    }
    return {};
}

} // namespace

class TestJoinStats : public QObject
{
    Q_OBJECT

private slots:
    void encoding_data();
    void encoding();
    void key_data();
    void key();
    void data_data();
    void data();
    void reportOnTheWire_data();
    void reportOnTheWire();
    void unreachableServer();
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
    QTest::addColumn<int>("key");
    QTest::addColumn<QByteArray>("encoded");

    QTest::newRow("key 0") << QByteArray("Ab|1") << 0 << QByteArray("%41%62%7C%31");
    QTest::newRow("shifted") << QByteArray("Ab|1") << 0x10 << QByteArray("%51%72%8C%41");
    QTest::newRow("wraps past 255") << QByteArray("\xF0z", 2) << 0xF4 << QByteArray("%E4%6E");
    QTest::newRow("255 plus 1 is 0") << QByteArray("\xFF", 1) << 1 << QByteArray("%00");
    QTest::newRow("zero byte") << QByteArray("\0", 1) << 0xE8 << QByteArray("%E8");
    QTest::newRow("empty") << QByteArray() << 0x55 << QByteArray();
}

void TestJoinStats::encoding()
{
    QFETCH(QByteArray, data);
    QFETCH(int, key);
    QFETCH(QByteArray, encoded);
    QCOMPARE(EncodeJoinStats(data, std::uint8_t(key)), encoded);
}

void TestJoinStats::key_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<int>("key");

    QTest::newRow("2024-12") << QDate(2024, 12, 24) << 0xF4; // 2036
    QTest::newRow("2025-01") << QDate(2025, 1, 1) << 0xEA;   // 2026
    QTest::newRow("2047-09") << QDate(2047, 9, 30) << 0x08;  // 2056 wraps
}

void TestJoinStats::key()
{
    QFETCH(QDate, date);
    QFETCH(int, key);
    QCOMPARE(int(JoinStatsKey(date)), key);
}

void TestJoinStats::data_data()
{
    QTest::addColumn<QString>("username");
    QTest::addColumn<QByteArray>("gameName");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("plain") << "Newbie" << QByteArray("cstrike") << "10.0.0.1"
                           << QByteArray("Newbie|Half-Life|cstrike|10.0.0.1:27015");
    QTest::newRow("bars removed everywhere") << "a|b" << QByteArray("|cs|") << "10.0|.0.1"
                                             << QByteArray("ab|Half-Life|cs|10.0.0.1:27015");
    QTest::newRow("Latin-1 name") << QString::fromUtf8("Jos\xC3\xA9") << QByteArray() << "h"
                                  << QByteArray("Jos\xE9|Half-Life||h:27015");
    QTest::newRow("other name") << QString::fromUtf8("\xCE\x94") << QByteArray("valve") << "h"
                                << QByteArray("\xCE\x94|Half-Life|valve|h:27015");
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
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("shown");

    QTest::newRow("accepted") << 200 << QString();
    QTest::newRow("not found") << 404 << "An error occured while trying to update stats! (404)";
    QTest::newRow("server error") << 500 << "An error occured while trying to update stats! (500)";
}

void TestJoinStats::reportOnTheWire()
{
    QFETCH(int, status);
    QFETCH(QString, shown);

    TFakeHttpServer http(status);
    TJoinStats stats(http.Address());
    QVERIFY(stats.Available());
    stats.Today = [] { return QDate(2024, 12, 24); };
    QStringList statusTexts;
    stats.ShowStatus = [&](const QString& text) { statusTexts << text; };
    QSignalSpy finished(&stats, &TJoinStats::ReportFinished);

    const auto server = Server("cstrike", QStringLiteral("10.0.0.1"));
    QVERIFY(stats.Report(QStringLiteral("a|b"), *server));
    QCOMPARE(finished.count(), 0); // the join never waits for it
    QVERIFY(finished.wait(10000));

    QCOMPARE(http.Heads.size(), 1);
    const QByteArray head = http.Heads.first();
    const QByteArray requestLine = head.left(head.indexOf("\r\n"));
    QVERIFY2(requestLine.startsWith("GET /morvix/joingame.php?data="), requestLine.constData());
    QVERIFY(requestLine.endsWith(" HTTP/1.1"));
    const QByteArray query = requestLine.mid(30, requestLine.size() - 30 - 9);
    // What the server's script reads once it undoes the URL's escapes: each
    // byte of the report plus the key of December 2024 (0xF4).
    QByteArray expected;
    for (const char byte : QByteArray("ab|Half-Life|cstrike|10.0.0.1:27015")) {
        expected += char(std::uint8_t(byte) + 0xF4);
    }
    QCOMPARE(QByteArray::fromPercentEncoding(query), expected);
    QCOMPARE(HeaderValue(head, "User-Agent"), QByteArray("Mozilla/3.0 (compatible)"));
    QCOMPARE(HeaderValue(head, "Accept"),
             QByteArray("image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*"));

    QCOMPARE(finished.first().first().toInt(), status == 200 ? 0 : status);
    QCOMPARE(statusTexts, shown.isEmpty() ? QStringList() : QStringList{shown});
}

void TestJoinStats::unreachableServer()
{
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();

    TJoinStats stats(QStringLiteral("http://127.0.0.1:%1").arg(port));
    QStringList statusTexts;
    stats.ShowStatus = [&](const QString& text) { statusTexts << text; };
    QSignalSpy finished(&stats, &TJoinStats::ReportFinished);
    QVERIFY(stats.Report(QStringLiteral("Newbie"), *Server("valve", QStringLiteral("h"))));
    QVERIFY(finished.wait(10000));
    QCOMPARE(statusTexts, QStringList{"An error occured while trying to update stats! (1)"});
}

void TestJoinStats::noAddressSendsNothing()
{
    TJoinStats stats(QString{});
    QVERIFY(!stats.Available());
    QSignalSpy sent(&stats, &TJoinStats::ReportSent);
    QVERIFY(!stats.Report(QStringLiteral("Newbie"), *Server("valve", QStringLiteral("h"))));
    QCOMPARE(sent.count(), 0);
    QVERIFY(
        stats.ReportUrl(QStringLiteral("Newbie"), *Server("valve", QStringLiteral("h"))).isEmpty());
    QVERIFY(TJoinStats::UnavailableTip().contains(QStringLiteral("MORVIX_MAKER_URL")));
}

QTEST_GUILESS_MAIN(TestJoinStats)
#include "tst_joinstats.moc"
