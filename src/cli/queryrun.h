#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

#include "cli/queryoptions.h"
#include "core/serverquerier.h"

enum class TResultStatus
{
    Pending,
    Answered, // every query of the server was answered
    Partial,  // the first query was answered, a follow-up was not
    Timeout,  // no answer after every retry
    Error,    // an answer that is not the game's reply
};

// What became of one server: the records its replies decoded to.
struct TServerResult
{
    TQueryTarget Target;
    TResultStatus Status = TResultStatus::Pending;
    std::uint32_t Ping = 0; // the first query's round trip
    int RetryCount = 0;     // re-sent first queries
    QString Error;

    std::optional<TQ3AServer> Q3;
    std::optional<TQ2Server> Q2;
    std::optional<TQWServer> QW;
    std::optional<THLInfo> HLInfo;
    std::optional<THLPlayers> HLPlayers;
    std::optional<THLRules> HLRules;
    std::optional<TTribesServer> Tribes;
    std::optional<TT2PingReply> T2Ping;
    std::optional<TT2Server> T2Info;
};

// Queries servers as the browser's main window does, through the same
// query coordinator (TServerQuerier): every component with the same limit
// and time-out; a first query that times out is sent again up to Retries
// times; Half-Life goes on from details to players to rules, Tribes 2 from
// ping to info. A follow-up that times out is sent again up to Retries times
// as well, then the server is reported as partly answered.
//
// Unlike the browser, whose answered requests keep their slot until the
// engine's next 100 ms scan, a slot is freed as soon as its answer is
// decoded (or its time-out ends it), so the time a run takes is bound by the
// servers, not by the scan.
class TQueryRun : public QObject
{
    Q_OBJECT

public:
    TQueryRun(int timeoutMs, int retries, int maxQueries, QObject* parent = nullptr);
    ~TQueryRun() override;

    // Sends the first query of every target; ServerDone follows for each,
    // then Finished. Finished comes at once for no targets.
    void Start(const QList<TQueryTarget>& targets);

    int Total() const { return int(Results_.size()); }
    int Done() const { return Done_; }
    // Servers whose every query was answered.
    int AnsweredCount() const { return Answered_; }
    // Replies the system dropped on the run's sockets since Start, because
    // they came faster than they were read; nothing when it does not say.
    std::optional<std::uint64_t> DroppedReplies() const { return Querier_->RoundDroppedReplies(); }

signals:
    void ServerDone(const TServerResult& result);
    void Finished();

private:
    void Answered(int tag, const TQueryReply& reply);
    void Finish(int tag, TQueryOutcome outcome);
    TServerResult* Live(int tag);

    // One per target, by tag. The records of a server are held only from
    // its first event until it has been reported: a run of thousands never
    // keeps every server's records at once.
    struct TEntry
    {
        TQueryTarget Target;
        TResultStatus Status = TResultStatus::Pending;
        std::unique_ptr<TServerResult> Result;
    };
    std::vector<TEntry> Results_;
    TServerQuerier* Querier_ = nullptr;
    int Done_ = 0;
    int Answered_ = 0;
};
