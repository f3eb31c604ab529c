#pragma once

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <optional>

#include "fakeudpserver.h"
#include "model/basicquery.h"

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

// Sends one query whose reply does not decode and returns the code and
// message of the OnError it raised; nothing when none came or when
// OnComplete was raised instead.
template <typename TQuery>
std::optional<std::pair<int, QString>> QueryError(TQuery& query, const TFakeUdpServer& server)
{
    query.SetHostname(server.Address());
    query.SetPort(server.Port());
    QSignalSpy errors(&query, &TBasicQuery::OnError);
    QSignalSpy completed(&query, &TQuery::OnComplete);
    query.Query(1);
    if (!QTest::qWaitFor([&] { return !errors.isEmpty(); }, 5000) || !completed.isEmpty()) {
        return std::nullopt;
    }
    return std::pair(errors.first().at(0).toInt(), errors.first().at(1).toString());
}
