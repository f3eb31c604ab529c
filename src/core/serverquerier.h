#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "core/queryreply.h"
#include "core/querytarget.h"
#include "model/basicdata.h"

class TBasicQuery;
class TQueryPacer;

// What became of a server's queries once its chain is over.
enum class TQueryOutcome
{
    Answered, // every query of its chain was answered
    Partial,  // the first query was answered, a follow-up was not
    TimedOut, // the first query had no answer after every retry
    Failed,   // an answer that is not the game's reply (or could not be read)
};

// How queries are sent, read at each dispatch so that a changed setting
// takes effect at once.
struct TQueryLimits
{
    int MaxQueries = 15; // requests in flight per component; 0: no limit
    std::uint32_t TimeoutMs = 2000;
    int Retries = 2;  // re-sends after a time-out, of the first query and of each follow-up
    int DelayMs = -1; // pause before each dispatch of a round; negative: none (sent in slices)
    // The follow-up components keep their first 15 requests and 2000 ms
    // instead of MaxQueries and TimeoutMs.
    bool FollowUpsKeepDefaults = false;
};

// The query coordinator: asks servers with their games' query components,
// chains the follow-up queries, retries, counts a round and reports what
// came back by signals keyed by the server's identity (the Id its owner
// gives; for the browser the record's Id).
//
// The components come from the game catalogue (TGameInfo::Chain): one per
// name, so Half-Life's details, players and rules are three components and
// every game of the Quake 2 family has its own. A request carries a tag of
// the coordinator's own, so that every request is counted exactly once in
// the round it was sent in: a late reply of an earlier round, or of a
// dispatch superseded by a newer one, is still shown but counts for nothing
// and starts no follow-up.
//
// A game whose servers speak one of two forms (Half-Life: the documented
// requests, or the Steam form) is asked in its first form; when that first
// query has no answer after its retries, the other form's first query is
// sent, with retries of its own, counted as re-sends of the same server. The
// form whose first query answered is remembered per address for the life of
// the coordinator, and later dispatches to that address ask in it alone.
//
// Handlers may run the event loop (a message box); the coordinator keeps no
// reference across its own signals.
class TServerQuerier : public QObject
{
    Q_OBJECT

public:
    // Fills Target with the server's game and address as they are now; false
    // when the server is gone (nothing is sent, follow-ups and retries stop).
    using TTargets = std::function<bool(std::int32_t id, TQueryTarget& target)>;
    using TLimitsSource = std::function<TQueryLimits()>;

    TServerQuerier(TTargets targets, TLimitsSource limits, QObject* parent = nullptr);
    ~TServerQuerier() override;

    // A new round over Ids: progress and every retry count start at 0, and
    // the servers are dispatched in order at the pace of the limits' delay.
    // Replaces a round still being dispatched.
    void StartRound(QList<std::int32_t> ids);
    // Dispatches one server at once: its first query, counted in the
    // current round.
    void Query(std::int32_t id);
    // Drops what is left to dispatch.
    void Stop();
    // Sent and outstanding back to 0: requests under way no longer count.
    void ResetProgress();
    void ResetRetries();
    // The servers are gone: their queries no longer count, and nothing more
    // is sent for them.
    void Forget(const QList<std::int32_t>& ids);

    // Queries of the current round sent (retries included) and not yet
    // answered or given up.
    int SentCount() const { return Sent_; }
    int OutstandingCount() const { return Outstanding_; }
    // Whether servers of the round still wait to be dispatched.
    bool IsDispatching() const;
    // Nothing to dispatch and no request, first or follow-up, under way.
    bool IsIdle() const;
    // Re-sends of the server's first query since its retries were reset.
    int RetryCount(std::int32_t id) const;
    // Replies the system dropped on the components' sockets since the round
    // started, because they came faster than they were read; nothing when
    // the system does not say.
    std::optional<std::uint64_t> RoundDroppedReplies() const;

    // The form an address ("host:port", as the owner gives it) answered in:
    // 0 its game's first form, 1 the other one, -1 not known (yet).
    int KnownForm(const QString& address) const;

    // The component named Name (a step's Component), or nullptr.
    TBasicQuery* Component(const QString& name) const;
    // The component of a game's first query.
    TBasicQuery* FirstComponent(TGameType game) const;

signals:
    // A server is being asked (also one of a game no component asks: it is
    // marked, but nothing is sent or counted).
    void Dispatched(std::int32_t id);
    // A reply of any step of the chain; its Info.Tag is the server's Id.
    void Answered(std::int32_t id, const TQueryReply& reply);
    // A request had no answer in time. GaveUp: no retry is left, and for a
    // first query the server is given up; Reply.Tag is the server's Id and
    // Reply.Ping the time-out.
    void TimedOut(std::int32_t id, const TBasicData& reply, bool firstQuery, bool gaveUp);
    // A reply that is not the game's, or that could not be read. StatusText
    // is what the status bar shows (the component's prefix and Message), or
    // empty when the component's errors are not shown.
    void Failed(std::int32_t id, const QString& message, const QString& statusText);
    // The server's chain is over.
    void ServerFinished(std::int32_t id, TQueryOutcome outcome);
    // SentCount or OutstandingCount changed.
    void Progress(int sent, int outstanding);
    // The round has nothing left to dispatch and no counted query under way.
    void RoundFinished();
    // Nothing to dispatch, and no request under way (follow-ups included).
    void Idle();

private:
    struct TComponent
    {
        TBasicQuery* Engine = nullptr;
        std::function<void(std::int32_t tag)> Query;
        const TQueryStep* Step = nullptr;
    };
    struct TRequest
    {
        std::int32_t Id = 0;
        std::uint64_t Chain = 0; // the dispatch it belongs to
        std::uint64_t Round = 0; // the round it counts in, when Counted
        TGameType Game = gtUnknown;
        std::uint8_t Step = 0;
        bool Counted = false;
        bool Other = false; // asked in the game's other form
    };
    struct TServer
    {
        std::uint64_t Chain = 0; // the latest dispatch; older requests are stale
        std::uint64_t CountedRound = 0;
        int Counted = 0; // requests counted in CountedRound, still under way
        int Retries = 0;
        int FormRetries = 0; // re-sends of the first query in the current form
        int FollowUpRetries = 0;
        bool Other = false; // the current dispatch asks in the other form
        QString Address;    // as the owner gave it at the dispatch
        QString Error;
    };

    template <typename TQuery> TComponent MakeComponent();
    // Steam: the Steam form of the kind's query, where it has one.
    TComponent MakeComponent(TQueryKind kind, bool steam);
    // Retry: the same server again, in the form it is being asked in.
    void Dispatch(std::int32_t id, bool retry = false);
    void Send(std::int32_t id, std::uint64_t chain, TGameType game, bool other, int step,
              const QString& host, int port, bool counted);
    const std::vector<int>& ChainOf(TGameType game, bool other) const
    {
        return other ? OtherChains_[game] : Chains_[game];
    }
    const TQueryStep& StepOf(const TRequest& request) const
    {
        return *Components_[ChainOf(request.Game, request.Other)[request.Step]].Step;
    }
    std::int32_t NextTag();
    // Ends the count of a request; true when it was counted in this round.
    bool EndCount(const TRequest& request);
    void HandleReply(TQueryReply reply);
    void HandleTimeout(TBasicQuery* engine, const TBasicData& reply);
    void HandleError(TBasicQuery* engine, int code, const QString& message);
    void CountEnded(bool ended);
    void CheckRoundFinished();
    void CheckIdle();
    std::optional<std::uint64_t> DroppedReplies() const;

    TTargets Targets_;
    TLimitsSource Limits_;
    TQueryPacer* Pacer_ = nullptr;
    std::vector<TComponent> Components_;
    // By game and step, the index into Components_.
    std::array<std::vector<int>, gtUnknown> Chains_{};
    std::array<std::vector<int>, gtUnknown> OtherChains_{};
    // By address, whether the game's other form answered there.
    QHash<QString, bool> Forms_;

    QHash<std::int32_t, TRequest> Requests_; // by tag
    QHash<std::int32_t, TServer> Servers_;   // by Id
    std::int32_t LastTag_ = 0;
    std::uint64_t LastChain_ = 0;
    std::uint64_t Round_ = 1;
    int Sent_ = 0;
    int Outstanding_ = 0;
    bool RoundOpen_ = false;
    std::optional<std::uint64_t> DroppedAtRoundStart_;
};

// What the browser and morvix-query say, once, when a round lost replies
// that way.
QString DroppedRepliesText(std::uint64_t dropped);
