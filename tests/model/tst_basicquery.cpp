#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHostInfo>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <memory>
#include <vector>

#include "model/udpendpoint.h"

#include "fakeudpserver.h"
#include "rawquery.h"

using TBehaviour = TFakeUdpServer::TBehaviour;

namespace {

// Loopback game servers that keep their answers until every expected
// request has come, then send them all in one go, as a few thousand real
// servers asked at once do: the engine reads none of them before the last
// has left. Each reply is "<tag> " padded to ReplySize bytes.
class TBurstServers : public QObject
{
public:
    TBurstServers(int servers, int expected, int replySize)
        : Expected_(expected), ReplySize_(replySize)
    {
        for (int i = 0; i < servers; ++i) {
            auto socket = std::make_unique<QUdpSocket>();
            QVERIFY(socket->bind(QHostAddress::LocalHost, 0));
            connect(socket.get(), &QUdpSocket::readyRead, this,
                    [this, s = socket.get()] { Read(*s); });
            Sockets_.push_back(std::move(socket));
        }
    }

    std::uint16_t Port(int server) const { return Sockets_[server]->localPort(); }
    bool Sent() const { return Sent_; }

private:
    struct TRequest
    {
        QUdpSocket* Socket;
        QHostAddress From;
        std::uint16_t Port;
        QByteArray Data;
    };

    void Read(QUdpSocket& socket)
    {
        while (socket.hasPendingDatagrams()) {
            TRequest request{&socket, {}, 0, QByteArray(int(socket.pendingDatagramSize()), 0)};
            socket.readDatagram(request.Data.data(), request.Data.size(), &request.From,
                                &request.Port);
            Requests_.push_back(std::move(request));
        }
        if (!Sent_ && int(Requests_.size()) == Expected_) {
            Sent_ = true;
            for (const TRequest& r : Requests_) {
                r.Socket->writeDatagram((r.Data + ' ').leftJustified(ReplySize_, '.'), r.From,
                                        r.Port);
            }
        }
    }

    std::vector<std::unique_ptr<QUdpSocket>> Sockets_;
    std::vector<TRequest> Requests_;
    int Expected_;
    int ReplySize_;
    bool Sent_ = false;
};

// Aims Query at Server.
void Aim(TRawQuery& query, const TFakeUdpServer& server)
{
    query.SetHostname(server.Address());
    query.SetPort(server.Port());
}

} // namespace

class TestBasicQuery : public QObject
{
    Q_OBJECT

private slots:
    void isDottedQuad_data();
    void isDottedQuad();
    void limitAndQueue();
    void noLimitSendsEverything();
    void timeoutWindow();
    void retryFromTimeoutHandlerIsQueued();
    void strayRepliesRaiseNothing_data();
    void strayRepliesRaiseNothing();
    void oversizedReplyEndsAsTimeoutThenError();
    void handlersRunningTheEventLoop_data();
    void handlersRunningTheEventLoop();
    void decoderErrorEndsRequest();
    void roundTripIsMeasured();
    void hostsAreMatched_data();
    void hostsAreMatched();
    void unresolvableNameSendsNothing();
    void destroyedWhileResolving();
    void burstEveryReplyAnswered_data();
    void burstEveryReplyAnswered();
    void roundTripTakenWhenRead();
    void replyReadBeforeRequestLeft();
    void slotFreedOnAnswer_data();
    void slotFreedOnAnswer();

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
    // Two requests at a time to one server: its answers go to them in order.
    TFakeUdpServer server;
    int served = 0;
    server.SetResponder([&](const QByteArray&) {
        return QList<QByteArray>{"reply " + QByteArray::number(served++)};
    });
    TRawQuery query;
    query.SetMaxQueries(2);
    Aim(query, server);

    int mostActive = 0;
    connect(&server, &TFakeUdpServer::RequestReceived, this,
            [&] { mostActive = qMax(mostActive, query.CurrentQueries()); });
    QSignalSpy completed(&query, &TRawQuery::OnComplete);

    QVERIFY(!query.ScanTimerActive());
    for (int tag = 0; tag < 5; ++tag) {
        query.Query(tag);
    }
    QVERIFY(query.ScanTimerActive());
    QCOMPARE(query.CurrentQueries(), 2);
    QCOMPARE(query.WaitingQueries(), 3);

    QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 5, 5000);
    QCOMPARE(mostActive, 2);
    for (int i = 0; i < 5; ++i) {
        const auto reply = completed.at(i).at(0).value<TBasicData>();
        QCOMPARE(reply.Tag, i); // first in, first out
        QCOMPARE(reply.Data, "reply " + QByteArray::number(i));
    }
    QCOMPARE(server.RequestCount(), 5);
    QTRY_COMPARE(query.CurrentQueries(), 0);
    QCOMPARE(query.WaitingQueries(), 0);
    // The scan stops once nothing is outstanding.
    QTRY_VERIFY(!query.ScanTimerActive());
}

void TestBasicQuery::noLimitSendsEverything()
{
    TFakeUdpServer server;
    server.SetBehaviour(TBehaviour::Silent);
    TRawQuery query;
    QCOMPARE(query.MaxQueries(), 15);
    query.SetMaxQueries(-1); // ignored
    QCOMPARE(query.MaxQueries(), 15);
    query.SetMaxQueries(0);
    Aim(query, server);
    for (int tag = 0; tag < 50; ++tag) {
        query.Query(tag);
    }
    QCOMPARE(query.CurrentQueries(), 50);
    QCOMPARE(query.WaitingQueries(), 0);
    QTRY_COMPARE(server.RequestCount(), 50);
}

void TestBasicQuery::timeoutWindow()
{
    TFakeUdpServer server;
    server.SetBehaviour(TBehaviour::Silent);
    TRawQuery query;
    query.SetTimeout(300);
    Aim(query, server);

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
    Aim(query, server);

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

void TestBasicQuery::strayRepliesRaiseNothing_data()
{
    QTest::addColumn<int>("behaviour");
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<bool>("answered"); // the request itself was answered
    QTest::addColumn<int>("sent");      // datagrams the server sends
    QTest::newRow("late reply") << int(TBehaviour::AnswerLate) << 400 << 100 << false << 1;
    QTest::newRow("duplicate reply") << int(TBehaviour::AnswerTwice) << 0 << 5000 << true << 2;
    QTest::newRow("reply from another port")
        << int(TBehaviour::AnswerFromOtherPort) << 0 << 200 << false << 1;
}

void TestBasicQuery::strayRepliesRaiseNothing()
{
    QFETCH(int, behaviour);
    QFETCH(int, delayMs);
    QFETCH(int, timeoutMs);
    QFETCH(bool, answered);
    QFETCH(int, sent);
    TFakeUdpServer server;
    server.SetReply("stray");
    server.SetBehaviour(TBehaviour(behaviour), delayMs);
    TRawQuery query;
    query.SetTimeout(std::uint32_t(timeoutMs));
    Aim(query, server);
    QSignalSpy timedOut(&query, &TBasicQuery::OnTimeout);
    QSignalSpy completed(&query, &TRawQuery::OnComplete);
    QSignalSpy errors(&query, &TBasicQuery::OnError);
    QSignalSpy replies(&server, &TFakeUdpServer::ReplySent);

    query.Query(1);
    QTRY_COMPARE_WITH_TIMEOUT(answered ? completed.count() : timedOut.count(), 1, 5000);
    // Wait until every datagram has left, then through a probe until they were read.
    QTRY_COMPARE_WITH_TIMEOUT(replies.count(), sent, 5000);
    DrainThrough(query);
    QCOMPARE(completed.count(), answered ? 2 : 1); // the probe's among them
    QCOMPARE(timedOut.count(), answered ? 0 : 1);
    QCOMPARE(errors.count(), 0);
    QCOMPARE(server.RequestCount(), 1);
}

void TestBasicQuery::oversizedReplyEndsAsTimeoutThenError()
{
    TFakeUdpServer server;
    server.SetBehaviour(TBehaviour::Oversized);
    TRawQuery query;
    query.SetTimeout(5000);
    Aim(query, server);

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
    Aim(query, server);
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
    Aim(query, server);
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
    Aim(query, server);
    QSignalSpy completed(&query, &TRawQuery::OnComplete);
    query.Query(5);
    QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 1, 5000);
    const auto reply = completed.first().at(0).value<TBasicData>();
    QVERIFY2(reply.Ping >= 150 && reply.Ping < 2000, qPrintable(QString::number(reply.Ping)));
    QCOMPARE(reply.Data, QByteArray("slow"));
    QCOMPARE(reply.Tag, 5);
    QCOMPARE(reply.Port, int(server.Port()));
}

void TestBasicQuery::hostsAreMatched_data()
{
    QTest::addColumn<QString>("host");
    QTest::newRow("dotted quad with blanks") << " 127.000.0.1 ";
    QTest::newRow("name") << "localhost";
}

void TestBasicQuery::hostsAreMatched()
{
    QFETCH(QString, host);
    TFakeUdpServer server;
    server.SetReply("hello");
    TRawQuery query;
    query.SetHostname(host);
    query.SetPort(server.Port());
    QSignalSpy completed(&query, &TRawQuery::OnComplete);
    query.Query(1);
    // The request holds its place while a name resolves.
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

void TestBasicQuery::burstEveryReplyAnswered_data()
{
    QTest::addColumn<int>("servers");
    QTest::addColumn<int>("perServer");
    QTest::addColumn<int>("replySize");
    // A Quake 3 status reply with a few players is some 600 bytes.
    QTest::newRow("3000 replies of 600 bytes from 100 servers") << 100 << 30 << 600;
    QTest::newRow("2000 replies of 1400 bytes from 500 servers") << 500 << 4 << 1400;
}

void TestBasicQuery::burstEveryReplyAnswered()
{
    QFETCH(int, servers);
    QFETCH(int, perServer);
    QFETCH(int, replySize);
    // Where the system caps every socket's buffer below a burst's, no
    // program can read one whole (the drop is counted and reported instead).
    QFile cap(QStringLiteral("/proc/sys/net/core/rmem_max"));
    if (cap.open(QIODevice::ReadOnly) &&
        2 * cap.readAll().trimmed().toLongLong() < TUdpEndpoint::BurstReceiveBuffer) {
        QSKIP("net.core.rmem_max is below a burst's receive buffer");
    }
    TRawQuery query;
    const int total = servers * perServer;
    TBurstServers burst(servers, total, replySize);
    query.SetMaxQueries(0);
    query.SetTimeout(5000);
    QSignalSpy timedOut(&query, &TBasicQuery::OnTimeout);
    QList<int> answers(total, 0);
    int answered = 0;
    connect(&query, &TRawQuery::OnComplete, this, [&](const TBasicData& reply) {
        ++answers[reply.Tag];
        ++answered;
        QCOMPARE(reply.Data.left(reply.Data.indexOf(' ')), QByteArray::number(reply.Tag));
    });
    query.SetHostname(QStringLiteral("127.0.0.1"));
    for (int tag = 0; tag < total; ++tag) {
        query.SetPort(burst.Port(tag % servers));
        query.Packet = QByteArray::number(tag);
        query.Query(tag);
    }
    QTRY_VERIFY_WITH_TIMEOUT(burst.Sent(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(answered + int(timedOut.count()), total, 10000);
    QCOMPARE(query.Endpoint().DroppedDatagrams().value_or(0), 0u);
    QCOMPARE(timedOut.count(), 0);
    QCOMPARE(answers, QList<int>(total, 1));
}

void TestBasicQuery::roundTripTakenWhenRead()
{
    // Two replies arrive together; decoding the first takes long. The
    // second's round trip is that of its datagram, not of its wait behind
    // the first one's decoding.
    TBurstServers burst(2, 2, 64);
    TRawQuery query;
    query.SetHostname(QStringLiteral("127.0.0.1"));
    constexpr qint64 decodingMs = 300;
    QList<TBasicData> replies;
    connect(&query, &TRawQuery::OnComplete, this, [&](const TBasicData& reply) {
        if (replies.isEmpty()) {
            QElapsedTimer busy;
            busy.start();
            while (busy.elapsed() < decodingMs) {
            }
        }
        replies << reply;
    });
    for (int tag = 0; tag < 2; ++tag) {
        query.SetPort(burst.Port(tag));
        query.Query(tag);
    }
    QTRY_COMPARE_WITH_TIMEOUT(replies.size(), 2, 5000);
    QVERIFY2(replies[1].Ping < decodingMs, qPrintable(QString::number(replies[1].Ping)));
}

void TestBasicQuery::replyReadBeforeRequestLeft()
{
    // A server answers twice; both datagrams are read together. The first
    // answer's handler asks the server again at once: the repeated answer,
    // read before that request left, is not taken for its reply.
    TFakeUdpServer server;
    int served = 0;
    server.SetResponder([&](const QByteArray&) {
        const QByteArray reply = "answer " + QByteArray::number(++served);
        return QList<QByteArray>{reply, reply};
    });
    TRawQuery query;
    Aim(query, server);
    QList<TBasicData> replies;
    connect(&query, &TRawQuery::OnComplete, this, [&](const TBasicData& reply) {
        replies << reply;
        if (replies.size() == 1) {
            query.Query(2);
        }
    });
    query.Query(1);
    QTRY_COMPARE_WITH_TIMEOUT(replies.size(), 2, 5000);
    QCOMPARE(replies[0].Data, QByteArray("answer 1"));
    QCOMPARE(replies[1].Tag, 2);
    QCOMPARE(replies[1].Data, QByteArray("answer 2"));
}

void TestBasicQuery::slotFreedOnAnswer_data()
{
    QTest::addColumn<bool>("freeOnAnswer");
    QTest::newRow("freed at the answer") << true;
    QTest::newRow("kept until the scan") << false;
}

void TestBasicQuery::slotFreedOnAnswer()
{
    // Two slots: one held by a silent server until the first scan times it
    // out, the other cycles through five queries of an answering server.
    // Freed at the answer, all five are answered before that scan; kept
    // until the scan, each waits for one.
    QFETCH(bool, freeOnAnswer);
    TFakeUdpServer silent;
    silent.SetBehaviour(TBehaviour::Silent);
    TFakeUdpServer server;
    server.SetReply("here");
    TRawQuery query;
    query.SetFreeSlotOnAnswer(freeOnAnswer);
    query.SetMaxQueries(2);
    query.SetTimeout(50);
    QList<int> events; // tags; -1 for the silent server's time-out
    connect(&query, &TRawQuery::OnComplete, this,
            [&](const TBasicData& reply) { events << reply.Tag; });
    connect(&query, &TBasicQuery::OnTimeout, this, [&](const TBasicData& reply) {
        events << (reply.Port == int(silent.Port()) ? -1 : -2);
    });
    query.SetHostname(silent.Address());
    query.SetPort(silent.Port());
    query.Query(-1);
    query.SetPort(server.Port());
    for (int tag = 1; tag <= 5; ++tag) {
        query.Query(tag);
    }
    QTRY_VERIFY_WITH_TIMEOUT(events.contains(5) && events.contains(-1), 5000);
    QVERIFY2(!events.contains(-2), "an answering server's query timed out");
    QCOMPARE(events.indexOf(-1) > events.indexOf(5), freeOnAnswer);
    QTRY_COMPARE(query.CurrentQueries(), 0);
}

QTEST_GUILESS_MAIN(TestBasicQuery)
#include "tst_basicquery.moc"
