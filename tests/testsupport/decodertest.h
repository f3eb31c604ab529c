#pragma once

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <cstdarg>
#include <cstdio>
#include <optional>

#include "fakeudpserver.h"
#include "model/basicquery.h"

// printf into a QByteArray, byte for byte: the summaries decoder tests
// compare.
inline QByteArray Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    QByteArray text(std::vsnprintf(nullptr, 0, format, args), Qt::Uninitialized);
    va_end(args);
    va_start(args, format);
    std::vsnprintf(text.data(), size_t(text.size()) + 1, format, args);
    va_end(args);
    return text;
}

// Every prefix of Full, and random tails after Header, go through Decode;
// the sanitizer build catches any read past the end, and Check looks at each
// record that decodes.
template <typename TRecord, typename TDecode, typename TCheck>
void FeedTruncatedAndRandom(const QByteArray& full, const QByteArray& header, TDecode decode,
                            TCheck check)
{
    QRandomGenerator random(4242);
    QList<QByteArray> inputs;
    for (qsizetype n = 0; n <= full.size(); ++n) {
        inputs << full.left(n);
    }
    for (int i = 0; i < 2000; ++i) {
        QByteArray tail(int(random.bounded(96)), Qt::Uninitialized);
        for (char& c : tail) {
            c = char(random.bounded(256));
        }
        inputs << header + tail;
    }
    for (const QByteArray& data : inputs) {
        TRecord record;
        if (decode(TBasicData{"10.0.0.1", 1, 0, 0, data}, record)) {
            check(record);
        }
    }
}

// Points Query at Server, sends one query with Tag and returns the record
// that OnComplete delivered; nothing when none came within five seconds.
template <typename TRecord, typename TQuery>
std::optional<TRecord> QueryOnce(TQuery& query, const TFakeUdpServer& server, int tag)
{
    query.SetHostname(server.Address());
    query.SetPort(server.Port());
    QSignalSpy completed(&query, &TQuery::OnComplete);
    query.Query(tag);
    if (!QTest::qWaitFor([&] { return !completed.isEmpty(); }, 5000)) {
        return std::nullopt;
    }
    return completed.first().at(0).template value<TRecord>();
}

// One query of a new TQuery through the engine with tag 77 to a fake server
// that answers Reply: the server must receive exactly Request and Result
// gets the record OnComplete delivered. Then a second query answered with
// WrongReply must raise OnError with Code and "Received data, but it is not
// a valid " Game " packet." and no OnComplete.
template <typename TQuery, typename TRecord>
void EndToEnd(const QByteArray& request, const QByteArray& reply, const QByteArray& wrongReply,
              int code, const char* game, std::optional<TRecord>& result)
{
    TFakeUdpServer server;
    server.SetReply(reply);
    TQuery query;
    result = QueryOnce<TRecord>(query, server, 77);
    QVERIFY(result);
    QCOMPARE(server.Requests(), QList<QByteArray>{request});
    QCOMPARE(result->Info.Tag, 77);
    QCOMPARE(result->Info.Data, reply);

    server.SetReply(wrongReply);
    QSignalSpy errors(&query, &TBasicQuery::OnError);
    QSignalSpy completed(&query, &TQuery::OnComplete);
    query.Query(1);
    QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 1, 5000);
    QCOMPARE(errors.first().at(0).toInt(), code);
    QCOMPARE(errors.first().at(1).toString(),
             QStringLiteral("Received data, but it is not a valid %1 packet.").arg(game));
    QCOMPARE(completed.count(), 0);
}
