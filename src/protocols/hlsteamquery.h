#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>

#include "model/basicquery.h"

// One datagram of an answer that a Half-Life server split over several:
// FE FF FF FF, the answer's number (little-endian), then one byte whose
// upper four bits number this part from 0 and whose lower four bits give
// how many parts there are, then the part's bytes.
struct THLSplitPart
{
    std::uint32_t Id = 0;
    int Number = 0;
    int Total = 0;
    QByteArrayView Payload;

    static constexpr qsizetype HeaderSize = 9;

    // Reads Datagram's split header; false when it is not a split datagram
    // or its numbers cannot be (fewer than 2 parts, a number past the last).
    static bool Read(QByteArrayView datagram, THLSplitPart& part);
};

// The parts of one split answer as they arrive, in any order. Memory is
// bounded by the header: at most 15 parts, each at most one datagram.
class THLSplitReply
{
public:
    enum class TResult
    {
        Incomplete, // more parts are needed
        Complete,   // Whole() holds the answer
        Restarted,  // a part of another answer: the earlier parts were dropped
    };

    // Takes one part; a part seen before changes nothing.
    TResult Add(const THLSplitPart& part);

    std::uint32_t Id() const { return Id_; }
    int Received() const { return Received_; }
    // The parts joined in order, once all are there. Servers put the plain
    // answer's FF FF FF FF header at the start of the first part.
    QByteArray Whole() const;

private:
    std::uint32_t Id_ = 0;
    int Received_ = 0;
    QList<QByteArray> Parts_;
};

// What the Steam-form Half-Life queries share. Current servers answer a
// request first with a challenge, FF FF FF FF "A" and four bytes, to be
// sent again at the end of the same request; the answer to that may come
// split over several datagrams. Both happen inside one request of the
// engine: it stays pending for its server until the whole answer is there,
// then the subclass decodes it as one reply whose Data is the joined answer
// (Ping is the round trip of the last exchange). A missing part, or a
// challenge never answered, ends the request as a time-out.
class THLSteamQuery : public TBasicQuery
{
    Q_OBJECT

public:
    explicit THLSteamQuery(QObject* owner = nullptr);

    // Challenges a server may give one request before it counts as broken.
    static constexpr int MaxChallenges = 2;

    // The four challenge bytes of a challenge answer; false for any other
    // datagram.
    static bool ReadChallenge(QByteArrayView datagram, QByteArray& challenge);

    // Split answers being put together, one per server at most.
    qsizetype SplitAnswers() const { return Splits_.size(); }

protected:
    // The request sent again after a challenge, which it carries at its end.
    virtual QByteArray RequestWithChallenge(QByteArrayView challenge) const = 0;
    // Decodes a whole answer: raise OnComplete, or call DoError.
    virtual void ProcessAnswer(const TBasicData& reply) = 0;
    virtual int QueryErrorCode() const = 0;

    void ProcessReply(const TBasicData& reply) final;

private:
    static QString SenderKey(const QString& host, std::int32_t port);

    QHash<QString, THLSplitReply> Splits_;
};

// A Steam-form query whose answer is laid out as the documented query
// TPlain's and read into TRecord: the request is FF FF FF FF, Letter and the
// challenge. The subclass raises its OnComplete from Complete.
template <typename TPlain, typename TRecord, char Letter>
class THLSteamAnswerQuery : public THLSteamQuery
{
public:
    using THLSteamQuery::THLSteamQuery;

    void Query(std::int32_t tag) { SendQuery(Request(), tag); }

    // The first request, with the challenge FF FF FF FF, which a server
    // answers with its own.
    static QByteArray Request() { return RequestWith("\xFF\xFF\xFF\xFF"); }
    static QByteArray RequestWith(QByteArrayView challenge)
    {
        return QByteArray("\xFF\xFF\xFF\xFF") + Letter + challenge.toByteArray();
    }
    static constexpr int ErrorCode = TPlain::ErrorCode;

    static bool Decode(const TBasicData& reply, TRecord& record)
    {
        return TPlain::Decode(reply, record);
    }

protected:
    virtual void Complete(const TRecord& record) = 0;

    QByteArray RequestWithChallenge(QByteArrayView challenge) const override
    {
        return RequestWith(challenge);
    }
    void ProcessAnswer(const TBasicData& reply) override
    {
        TRecord record;
        if (!Decode(reply, record)) {
            DoError(ErrorCode, TPlain::ErrorMessage);
            return;
        }
        Complete(record);
    }
    int QueryErrorCode() const override { return ErrorCode; }
};
