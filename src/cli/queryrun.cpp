#include "cli/queryrun.h"

#include <QMetaObject>

#include <functional>

namespace {

// A query component that remembers whose reply it is decoding, so that an
// OnError raised from the decoder names its server.
template <typename TBase> class TTracked : public TBase
{
public:
    using TBase::TBase;
    std::int32_t CurrentTag = -1;

protected:
    void ProcessReply(const TBasicData& reply) override
    {
        CurrentTag = reply.Tag;
        TBase::ProcessReply(reply);
        CurrentTag = -1;
    }
};

// The record type a component's OnComplete carries.
template <typename TQuery, typename TRecord> TRecord RecordOf(void (TQuery::*)(const TRecord&));

} // namespace

struct TQueryRun::TComponents
{
    // The first query of each game, by game type.
    QHash<int, std::function<void(const TQueryTarget&, int)>> First;
    THLPlayerQuery* HLPlayer = nullptr;
    THLRuleQuery* HLRule = nullptr;
    TT2Query* T2 = nullptr;
    int LastTimedOut = -1;
};

TQueryRun::TQueryRun(int timeoutMs, int retries, int maxQueries, QObject* parent)
    : QObject(parent), TimeoutMs_(timeoutMs), Retries_(retries), MaxQueries_(maxQueries),
      Components_(std::make_unique<TComponents>())
{}

TQueryRun::~TQueryRun() = default;

template <typename TQuery> TQuery* TQueryRun::Make(bool followUp)
{
    using TRecord = decltype(RecordOf(&TQuery::OnComplete));
    auto* query = new TTracked<TQuery>(this);
    query->SetMaxQueries(MaxQueries_);
    query->SetTimeout(std::uint32_t(TimeoutMs_));

    connect(query, &TQuery::OnComplete, this, [this](const TRecord& record) {
        TServerResult* result = Live(record.Info.Tag);
        if (!result) {
            return;
        }
        const int tag = record.Info.Tag;
        if constexpr (std::is_same_v<TRecord, TQ3AServer>) {
            result->Q3 = record;
        } else if constexpr (std::is_same_v<TRecord, TQ2Server>) {
            result->Q2 = record;
        } else if constexpr (std::is_same_v<TRecord, TQWServer>) {
            result->QW = record;
        } else if constexpr (std::is_same_v<TRecord, TTribesServer>) {
            result->Tribes = record;
        } else if constexpr (std::is_same_v<TRecord, THLInfo>) {
            result->HLInfo = record;
        } else if constexpr (std::is_same_v<TRecord, THLPlayers>) {
            result->HLPlayers = record;
        } else if constexpr (std::is_same_v<TRecord, THLRules>) {
            result->HLRules = record;
        } else if constexpr (std::is_same_v<TRecord, TT2PingReply>) {
            result->T2Ping = record;
        } else if constexpr (std::is_same_v<TRecord, TT2Server>) {
            result->T2Info = record;
        }
        // The round trip shown is the first query's, as in the browser.
        if constexpr (!std::is_same_v<TRecord, THLPlayers> && !std::is_same_v<TRecord, THLRules> &&
                      !std::is_same_v<TRecord, TT2Server>) {
            result->Ping = record.Info.Ping;
        }
        if constexpr (std::is_same_v<TRecord, THLInfo>) {
            FollowUp(Components_->HLPlayer, record.Info);
        } else if constexpr (std::is_same_v<TRecord, THLPlayers>) {
            FollowUp(Components_->HLRule, record.Info);
        } else if constexpr (std::is_same_v<TRecord, TT2PingReply>) {
            FollowUp(Components_->T2, record.Info);
        } else {
            Finish(tag, TResultStatus::Answered);
        }
    });
    connect(query, &TBasicQuery::OnTimeout, this, [this, query, followUp](const TBasicData& reply) {
        Components_->LastTimedOut = reply.Tag;
        if (!followUp) {
            FirstTimedOut(reply);
            return;
        }
        if (!Live(reply.Tag)) {
            return;
        }
        int& retries = FollowUpRetries_[reply.Tag];
        if (retries >= Retries_) {
            Finish(reply.Tag, TResultStatus::Partial);
            return;
        }
        ++retries;
        FollowUp(query, reply);
    });
    connect(query, &TBasicQuery::OnError, this,
            [this, query, followUp](int code, const QString& message) {
                // A reply too large to read ends its request as a time-out
                // just before this error, so it belongs to that server.
                const int tag = query->CurrentTag >= 0 ? query->CurrentTag
                                : code == 0            ? Components_->LastTimedOut
                                                       : -1;
                Failed(tag, code, message, followUp);
            });
    return query;
}

template <typename TQuery> void TQueryRun::FollowUp(TQuery* query, const TBasicData& info)
{
    query->SetHostname(info.Host);
    query->SetPort(info.Port);
    query->Query(info.Tag);
}

void TQueryRun::Start(const QList<TQueryTarget>& targets)
{
    Results_.clear();
    Results_.reserve(targets.size());
    for (const TQueryTarget& target : targets) {
        TServerResult result;
        result.Target = target;
        Results_.append(std::move(result));
    }
    if (Results_.isEmpty()) {
        QMetaObject::invokeMethod(this, &TQueryRun::Finished, Qt::QueuedConnection);
        return;
    }
    for (int tag = 0; tag < Results_.size(); ++tag) {
        Dispatch(tag);
    }
}

void TQueryRun::Dispatch(int tag)
{
    const TQueryTarget& target = Results_[tag].Target;
    auto first = Components_->First.find(target.Game->Type);
    if (first == Components_->First.end()) {
        // One component per game, as the browser keeps them.
        const auto make = [this](auto* query) {
            return [query](const TQueryTarget& t, int id) {
                query->SetHostname(t.Host);
                query->SetPort(t.Port);
                query->Query(id);
            };
        };
        std::function<void(const TQueryTarget&, int)> send;
        switch (target.Game->Protocol) {
        case TQueryProtocol::Quake3:
            send = make(Make<TQ3AQuery>(false));
            break;
        case TQueryProtocol::Quake2:
            send = make(Make<TQ2Query>(false));
            break;
        case TQueryProtocol::QuakeWorld:
            send = make(Make<TQWQuery>(false));
            break;
        case TQueryProtocol::Tribes:
            send = make(Make<TTribesQuery>(false));
            break;
        case TQueryProtocol::HalfLife:
            send = make(Make<THLInfoQuery>(false));
            Components_->HLPlayer =
                Components_->HLPlayer ? Components_->HLPlayer : Make<THLPlayerQuery>(true);
            Components_->HLRule =
                Components_->HLRule ? Components_->HLRule : Make<THLRuleQuery>(true);
            break;
        case TQueryProtocol::Tribes2:
            send = make(Make<TT2PingQuery>(false));
            Components_->T2 = Components_->T2 ? Components_->T2 : Make<TT2Query>(true);
            break;
        }
        first = Components_->First.insert(target.Game->Type, send);
    }
    (*first)(target, tag);
}

TServerResult* TQueryRun::Live(int tag)
{
    if (tag < 0 || tag >= Results_.size() || Results_[tag].Status != TResultStatus::Pending) {
        return nullptr;
    }
    return &Results_[tag];
}

void TQueryRun::FirstTimedOut(const TBasicData& reply)
{
    TServerResult* result = Live(reply.Tag);
    if (!result) {
        return;
    }
    if (result->RetryCount < Retries_) {
        ++result->RetryCount;
        Dispatch(reply.Tag);
        return;
    }
    // Given up; the end is reported from the event loop, so that the error
    // of a reply too large to read, raised right after, can still name it.
    result->Ping = reply.Ping;
    const int tag = reply.Tag;
    QMetaObject::invokeMethod(
        this,
        [this, tag] {
            if (TServerResult* late = Live(tag)) {
                Finish(tag, late->Error.isEmpty() ? TResultStatus::Timeout : TResultStatus::Error);
            }
        },
        Qt::QueuedConnection);
}

void TQueryRun::Failed(int tag, int code, const QString& message, bool followUp)
{
    TServerResult* result = Live(tag);
    if (!result) {
        return;
    }
    result->Error = message;
    if (code == 0) {
        return; // ended as a time-out: retried, or reported as this error at the end
    }
    Finish(tag, followUp ? TResultStatus::Partial : TResultStatus::Error);
}

void TQueryRun::Finish(int tag, TResultStatus status)
{
    TServerResult& result = Results_[tag];
    result.Status = status;
    if (status == TResultStatus::Answered) {
        result.Error.clear();
        ++Answered_;
    }
    ++Done_;
    emit ServerDone(result);
    // Printed: the records are not needed any more.
    TServerResult kept;
    kept.Target = result.Target;
    kept.Status = status;
    result = std::move(kept);
    FollowUpRetries_.remove(tag);
    if (Done_ == Results_.size()) {
        emit Finished();
    }
}
