#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostInfo>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>

#include "fakeudpserver.h"
#include "rawquery.h"

using TBehaviour = TFakeUdpServer::TBehaviour;

class TestBasicQuery : public QObject
{
    Q_OBJECT

private slots:
    void isDottedQuad_data();
    void isDottedQuad();
    void limitAndQueue();
    void noLimitSendsEverything();
    void negativeLimitIgnored();
    void timeoutWindow();
    void retryFromTimeoutHandlerIsQueued();
    void lateReplyRaisesNothing();
    void duplicateReplyRaisesNothing();
    void replyFromOtherPortTimesOut();
    void oversizedReplyEndsAsTimeoutThenError();
    void handlersRunningTheEventLoop_data();
    void handlersRunningTheEventLoop();
    void decoderErrorEndsRequest();
    void roundTripIsMeasured();
    void sameServerAnsweredInOrder();
    void dottedQuadWithBlankIsMatched();
    void hostNameIsResolved();
    void unresolvableNameSendsNothing();
    void scanStopsWhenIdle();
    void destroyedWhileResolving();

private:
    // Waits until Probe has answered a query: datagrams sent to the engine
    // before that are then known to have been read.
    void DrainThrough(TRawQuery& query);
};

void TestBasicQuery::isDottedQuad_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");
    QTest::newRow("plain") << "192.168.0.1" << true;
    QTest::newRow("blanks around") << "  10.0.0.5  " << true;
    QTest::newRow("three parts") << "10.0.5" << false;
    QTest::newRow("five parts") << "1.2.3.4.5" << false;
    QTest::newRow("part above 255") << "10.0.256.1" << false;
    QTest::newRow("last part above 255") << "10.0.0.256" << false;
    QTest::newRow("trailing dot") << "10.0.0." << false;
    QTest::newRow("leading dot") << ".10.0.0" << false;
    QTest::newRow("empty part") << "10..0.1" << false;
    QTest::newRow("letter") << "10.0.0.a" << false;
    QTest::newRow("blank inside") << "10.0 .0.1" << false;
    QTest::newRow("name") << "master.example.com" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("blanks only") << "   " << false;
    QTest::newRow("huge part") << "99999999999.0.0.1" << false;
}

void TestBasicQuery::isDottedQuad()
{
    QFETCH(QString, text);
    QFETCH(bool, expected);
    QCOMPARE(TBasicQuery::IsDottedQuad(text), expected);
}

void TestBasicQuery::limitAndQueue()
{
    TFakeUdpServer server;
    server.SetResponder([](const QByteArray& request) { return QList<QByteArray>{request}; });
    TRawQuery query;
    query.SetMaxQueries(2);
    query.SetHostname(server.Address());
    query.SetPort(server.Port());

    int mostActive = 0;
    connect(&server, &TFakeUdpServer::RequestReceived, this,
            [&] { mostActive = qMax(mostActive, query.CurrentQueries()); });
    QSignalSpy completed(&query, &TRawQuery::OnComplete);

    for (int tag = 0; tag < 5; ++tag) {
        query.Query(tag);
    }
    QCOMPARE(query.CurrentQueries(), 2);
    QCOMPARE(query.WaitingQueries(), 3);

    QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 5, 5000);
    QCOMPARE(mostActive, 2);
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(completed.at(i).at(0).value<TBasicData>().Tag, i); // first in, first out
    }
    QCOMPARE(server.RequestCount(), 5);
    QTRY_COMPARE(query.CurrentQueries(), 0);
    QCOMPARE(query.WaitingQueries(), 0);
}

void TestBasicQuery::noLimitSendsEverything()
{
    TFakeUdpServer server;
    server.SetBehaviour(TBehaviour::Silent);
    TRawQuery query;
    query.SetMaxQueries(0);
    query.SetHostname(server.Address());
    query.SetPort(server.Port());
    for (int tag = 0; tag < 50; ++tag) {
        query.Query(tag);
    }
    QCOMPARE(query.CurrentQueries(), 50);
    QCOMPARE(query.WaitingQueries(), 0);
    QTRY_COMPARE(server.RequestCount(), 50);
}

void TestBasicQuery::negativeLimitIgnored()
{
    TRawQuery query;
    QCOMPARE(query.MaxQueries(), 15);
    query.SetMaxQueries(-1);
    QCOMPARE(query.MaxQueries(), 15);
    query.SetMaxQueries(0);
    QCOMPARE(query.MaxQueries(), 0);
}

void TestBasicQuery::timeoutWindow()
{
    TFakeUdpServer server;
    server.SetBehaviour(TBehaviour::Silent);
    TRawQuery query;
    query.SetTimeout(300);
    query.SetHostname(server.Address());
    query.SetPort(server.Port());

    QElapsedTimer clock;
    qint64 timedOutAfter = -1;
    TBasicData reply;
    connect(&query, &TBasicQuery::OnTimeout, this, [&](const TBasicData& data) {
        timedOutAfter = clock.elapsed();
        reply = data;
    });
    QSignalSpy completed(&query, &TRawQuery::OnComplete);
    clock.start();
    query.Query(42);
    QTRY_VERIFY_WITH_TIMEOUT(timedOutAfter >= 0, 5000);

    QVERIFY2(timedOutAfter >= 300, qPrintable(QString::number(timedOutAfter)));
    // The scan runs every 100 ms; the rest is slack for a loaded machine.
    QVERIFY2(timedOutAfter < 300 + 100 + 400, qPrintable(QString::number(timedOutAfter)));
    QCOMPARE(reply.Ping, 300u);
    QCOMPARE(reply.Tag, 42);
    QCOMPARE(reply.Host, QStringLiteral("127.0.0.1"));
    QCOMPARE(reply.Port, int(server.Port()));
    QVERIFY(reply.Data.isEmpty());
    QCOMPARE(query.CurrentQueries(), 0);
    QCOMPARE(completed.count(), 0);
}

void TestBasicQuery::retryFromTimeoutHandlerIsQueued()
{
    TFakeUdpServer server;
    server.SetBehaviour(TBehaviour::Silent);
    TRawQuery query;
    query.SetMaxQueries(1);
    query.SetTimeout(100);
    query.SetHostname(server.Address());
    query.SetPort(server.Port());

    int waitingInHandler = -1;
    int timeouts = 0;
    connect(&query, &TBasicQuery::OnTimeout, this, [&](const TBasicData& data) {
        if (++timeouts == 1) {
            query.Query(data.Tag);
            waitingInHandler = query.WaitingQueries();
        }
    });
    query.Query(7);
    QTRY_COMPARE_WITH_TIMEOUT(timeouts, 2, 5000);
    // The timed-out request still held the only slot while the handler ran.
    QCOMPARE(waitingInHandler, 1);
    QCOMPARE(server.RequestCount(), 2);
}

void TestBasicQuery::DrainThrough(TRawQuery& query)
{
    TFakeUdpServer probe;
    probe.SetReply("probe");
    QSignalSpy completed(&query, &TRawQuery::OnComplete);
    query.SetHostname(probe.Address());
    query.SetPort(probe.Port());
    query.Query(-1);
    QTRY_VERIFY_WITH_TIMEOUT(!completed.isEmpty(), 5000);
    QCOMPARE(completed.last().at(0).value<TBasicData>().Data, QByteArray("probe"));
}

void TestBasicQuery::lateReplyRaisesNothing()
{
    TFakeUdpServer server;
    server.SetReply("late");
    server.SetBehaviour(TBehaviour::AnswerLate, 400);
    TRawQuery query;
    query.SetTimeout(100);
    query.SetHostname(server.Address());
    query.SetPort(server.Port());
    QSignalSpy timedOut(&query, &TBasicQuery::OnTimeout);
    QSignalSpy completed(&query, &TRawQuery::OnComplete);
    QSignalSpy errors(&query, &TBasicQuery::OnError);

    query.Query(1);
    QTRY_COMPARE_WITH_TIMEOUT(timedOut.count(), 1, 5000);
    // Wait until the late reply has left, then through a probe until it was read.
    QSignalSpy sent(&server, &TFakeUdpServer::ReplySent);
    QTRY_COMPARE_WITH_TIMEOUT(sent.count(), 1, 5000);
    DrainThrough(query);
    QCOMPARE(completed.count(), 1); // the probe only
    QCOMPARE(timedOut.count(), 1);
    QCOMPARE(errors.count(), 0);
}

void TestBasicQuery::duplicateReplyRaisesNothing()
{
    TFakeUdpServer server;
    server.SetReply("twice");
    server.SetBehaviour(TBehaviour::AnswerTwice);
    TRawQuery query;
    query.SetHostname(server.Address());
    query.SetPort(server.Port());
    QSignalSpy completed(&query, &TRawQuery::OnComplete);
    query.Query(1);
    QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 1, 5000);
    DrainThrough(query);
    QCOMPARE(completed.count(), 2); // the reply once, and the probe
}

void TestBasicQuery::replyFromOtherPortTimesOut()
{
    TFakeUdpServer server;
    server.SetReply("wrong port");
    server.SetBehaviour(TBehaviour::AnswerFromOtherPort);
    TRawQuery query;
    query.SetTimeout(200);
    query.SetHostname(server.Address());
    query.SetPort(server.Port());
    QSignalSpy timedOut(&query, &TBasicQuery::OnTimeout);
    QSignalSpy completed(&query, &TRawQuery::OnComplete);
    query.Query(1);
    QTRY_COMPARE_WITH_TIMEOUT(timedOut.count(), 1, 5000);
    QCOMPARE(completed.count(), 0);
    QCOMPARE(server.RequestCount(), 1);
}

void TestBasicQuery::oversizedReplyEndsAsTimeoutThenError()
{
    TFakeUdpServer server;
    server.SetBehaviour(TBehaviour::Oversized);
    TRawQuery query;
    query.SetTimeout(5000);
    query.SetHostname(server.Address());
    query.SetPort(server.Port());

    QStringList events;
    connect(&query, &TBasicQuery::OnTimeout, this, [&](const TBasicData& data) {
        events << QStringLiteral("timeout %1 %2").arg(data.Tag).arg(data.Ping);
    });
    connect(&query, &TBasicQuery::OnError, this,
            [&](int code, const QString&) { events << QStringLiteral("error %1").arg(code); });
    connect(&query, &TRawQuery::OnComplete, this, [&] { events << QStringLiteral("complete"); });

    query.Query(3);
    // Long before the 5 s time-out: the unreadable reply itself ends the request.
    QTRY_COMPARE_WITH_TIMEOUT(events.size(), 2, 3000);
    QCOMPARE(events, QStringList({"timeout 3 5000", "error 0"}));
    QCOMPARE(query.CurrentQueries(), 0);
}

void TestBasicQuery::handlersRunningTheEventLoop_data()
{
    QTest::addColumn<int>("behaviour");
    QTest::addColumn<int>("timeoutMs");
    // The time-out of an unreadable reply is raised outside the scan; a scan
    // that runs inside its handler must not leave the engine holding a
    // request it removed.
    QTest::newRow("unreadable reply") << int(TBehaviour::Oversized) << 5000;
    // Time-outs raised by the scan itself, while datagrams and further scan
    // ticks arrive inside the handler.
    QTest::newRow("plain time-outs") << int(TBehaviour::Silent) << 120;
    QTest::newRow("replies") << int(TBehaviour::Answer) << 5000;
}

void TestBasicQuery::handlersRunningTheEventLoop()
{
    QFETCH(int, behaviour);
    QFETCH(int, timeoutMs);
    TFakeUdpServer server;
    server.SetBehaviour(TBehaviour(behaviour));
    server.SetResponder([](const QByteArray& request) { return QList<QByteArray>{request}; });
    TRawQuery query;
    query.SetMaxQueries(2);
    query.SetTimeout(std::uint32_t(timeoutMs));
    query.SetHostname(server.Address());
    query.SetPort(server.Port());
    // Every handler pumps the event loop for longer than a scan tick, as a
    // message box would.
    const auto pump = [] {
        QEventLoop loop;
        QTimer::singleShot(TBasicQuery::ScanInterval + 30, &loop, &QEventLoop::quit);
        loop.exec();
    };
    QList<std::int32_t> ended;
    connect(&query, &TBasicQuery::OnTimeout, this, [&](const TBasicData& reply) {
        ended << reply.Tag;
        pump();
    });
    connect(&query, &TRawQuery::OnComplete, this, [&](const TBasicData& reply) {
        ended << reply.Tag;
        pump();
    });
    const int count = 5;
    for (std::int32_t tag = 1; tag <= count; ++tag) {
        query.Query(tag);
    }
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), count, 10000);
    std::sort(ended.begin(), ended.end());
    QCOMPARE(ended, (QList<std::int32_t>{1, 2, 3, 4, 5}));
    QTRY_COMPARE_WITH_TIMEOUT(query.CurrentQueries(), 0, 5000);
    QCOMPARE(query.WaitingQueries(), 0);
    QCOMPARE(server.RequestCount(), count);
}

void TestBasicQuery::decoderErrorEndsRequest()
{
    TFakeUdpServer server;
    server.SetReply("bad packet");
    TRawQuery query;
    query.SetTimeout(150);
    query.SetHostname(server.Address());
    query.SetPort(server.Port());
    QSignalSpy errors(&query, &TBasicQuery::OnError);
    QSignalSpy timedOut(&query, &TBasicQuery::OnTimeout);
    // The handler learns which request failed; outside the decoder there is none.
    std::int32_t failedTag = 0;
    connect(&query, &TBasicQuery::OnError, this,
            [&] { failedTag = query.ReplyInProgress() ? query.ReplyInProgress()->Tag : -1; });
    query.Query(41);
    QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 1, 5000);
    QCOMPARE(errors.first().at(0).toInt(), 99);
    QCOMPARE(failedTag, 41);
    QVERIFY(!query.ReplyInProgress());
    // The answered request leaves at the next scan, and no time-out follows.
    QTRY_COMPARE_WITH_TIMEOUT(query.CurrentQueries(), 0, 5000);
    QTRY_VERIFY(!query.ScanTimerActive());
    QCOMPARE(timedOut.count(), 0);
}

void TestBasicQuery::roundTripIsMeasured()
{
    TFakeUdpServer server;
    server.SetReply("slow");
    server.SetBehaviour(TBehaviour::AnswerLate, 150);
    TRawQuery query;
    query.SetHostname(server.Address());
    query.SetPort(server.Port());
    QSignalSpy completed(&query, &TRawQuery::OnComplete);
    query.Query(5);
    QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 1, 5000);
    const auto reply = completed.first().at(0).value<TBasicData>();
    QVERIFY2(reply.Ping >= 150 && reply.Ping < 2000, qPrintable(QString::number(reply.Ping)));
    QCOMPARE(reply.Data, QByteArray("slow"));
    QCOMPARE(reply.Tag, 5);
    QCOMPARE(reply.Port, int(server.Port()));
}

void TestBasicQuery::sameServerAnsweredInOrder()
{
    TFakeUdpServer server;
    int served = 0;
    server.SetResponder([&](const QByteArray&) {
        return QList<QByteArray>{"reply " + QByteArray::number(++served)};
    });
    TRawQuery query;
    query.SetHostname(server.Address());
    query.SetPort(server.Port());
    QSignalSpy completed(&query, &TRawQuery::OnComplete);
    query.Query(10);
    query.Query(20);
    QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 2, 5000);
    QCOMPARE(completed.at(0).at(0).value<TBasicData>().Tag, 10);
    QCOMPARE(completed.at(0).at(0).value<TBasicData>().Data, QByteArray("reply 1"));
    QCOMPARE(completed.at(1).at(0).value<TBasicData>().Tag, 20);
}

void TestBasicQuery::dottedQuadWithBlankIsMatched()
{
    TFakeUdpServer server;
    server.SetReply("hello");
    TRawQuery query;
    query.SetHostname(QStringLiteral(" 127.000.0.1 "));
    query.SetPort(server.Port());
    QSignalSpy completed(&query, &TRawQuery::OnComplete);
    query.Query(1);
    QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 1, 5000);
    QCOMPARE(completed.first().at(0).value<TBasicData>().Host, QStringLiteral("127.0.0.1"));
}

void TestBasicQuery::hostNameIsResolved()
{
    TFakeUdpServer server;
    server.SetReply("resolved");
    TRawQuery query;
    query.SetHostname(QStringLiteral("localhost"));
    query.SetPort(server.Port());
    QSignalSpy completed(&query, &TRawQuery::OnComplete);
    query.Query(1);
    // The request holds its place while the name resolves.
    QCOMPARE(query.CurrentQueries(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 1, 5000);
    QCOMPARE(completed.first().at(0).value<TBasicData>().Host, QStringLiteral("127.0.0.1"));
}

void TestBasicQuery::unresolvableNameSendsNothing()
{
    TFakeUdpServer server;
    server.SetReply("should not be asked");
    TRawQuery query;
    query.SetTimeout(300);
    query.SetHostname(QStringLiteral("no-such-host.invalid"));
    query.SetPort(server.Port());
    QSignalSpy timedOut(&query, &TBasicQuery::OnTimeout);
    QSignalSpy completed(&query, &TRawQuery::OnComplete);
    query.Query(9);
    QTRY_COMPARE_WITH_TIMEOUT(timedOut.count(), 1, 10000);
    QCOMPARE(timedOut.first().at(0).value<TBasicData>().Host,
             QStringLiteral("no-such-host.invalid"));
    QCOMPARE(server.RequestCount(), 0);
    QCOMPARE(completed.count(), 0);
}

void TestBasicQuery::scanStopsWhenIdle()
{
    TFakeUdpServer server;
    server.SetReply("x");
    TRawQuery query;
    QVERIFY(!query.ScanTimerActive());
    query.SetHostname(server.Address());
    query.SetPort(server.Port());
    query.Query(1);
    QVERIFY(query.ScanTimerActive());
    QTRY_COMPARE_WITH_TIMEOUT(query.CurrentQueries(), 0, 5000);
    QTRY_VERIFY(!query.ScanTimerActive());
}

void TestBasicQuery::destroyedWhileResolving()
{
    // The lookup outlives its engine; its late result must touch nothing.
    auto* query = new TRawQuery;
    query->SetHostname(QStringLiteral("localhost"));
    query->SetPort(9);
    query->Query(1);
    delete query;

    bool resolved = false;
    QHostInfo::lookupHost(QStringLiteral("localhost"), this,
                          [&](const QHostInfo&) { resolved = true; });
    QTRY_VERIFY_WITH_TIMEOUT(resolved, 5000);
}

QTEST_GUILESS_MAIN(TestBasicQuery)
#include "tst_basicquery.moc"
