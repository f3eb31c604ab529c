#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

#include "cli/queryoptions.h"
#include "protocols/hlinfoquery.h"
#include "protocols/hlplayerquery.h"
#include "protocols/hlrulequery.h"
#include "protocols/q2query.h"
#include "protocols/q3aquery.h"
#include "protocols/qwquery.h"
#include "protocols/t2pingquery.h"
#include "protocols/t2query.h"
#include "protocols/tribesquery.h"

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

// Queries servers as the browser's main window does: one query component
// per game (and the follow-up components of Half-Life and Tribes 2), each
// with the same limit and time-out; a first query that times out is sent
// again up to Retries times; Half-Life goes on from details to players to
// rules, Tribes 2 from ping to info. A follow-up that times out is sent
// again up to Retries times as well, then the server is given up as
// partly answered (the browser would ask forever).
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

signals:
    void ServerDone(const TServerResult& result);
    void Finished();

private:
    struct TComponents;

    void Dispatch(int tag);
    template <typename TQuery> void FollowUp(TQuery* query, const TBasicData& info);
    void FirstTimedOut(const TBasicData& reply);
    void Failed(int tag, int code, const QString& message, bool followUp);
    void Finish(int tag, TResultStatus status);
    TServerResult* Live(int tag);
    template <typename TQuery> TQuery* Make(bool followUp);

    int TimeoutMs_;
    int Retries_;
    int MaxQueries_;
    QList<TServerResult> Results_;
    QHash<int, int> FollowUpRetries_;
    std::unique_ptr<TComponents> Components_;
    int Done_ = 0;
    int Answered_ = 0;
};
