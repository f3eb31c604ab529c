#include "cli/queryrun.h"

#include <QMetaObject>
#include <QSet>

#include "model/basicquery.h"
#include "model/gamecatalogue.h"

namespace {

template <typename... T> struct TOverloaded : T...
{
    using T::operator()...;
};

// Every query component of the coordinator, once.
QList<TBasicQuery*> Components(const TServerQuerier& querier)
{
    QList<TBasicQuery*> engines;
    QSet<TBasicQuery*> seen;
    for (const TGameInfo& game : GameCatalogue()) {
        for (const TQueryStep& step : game.Chain) {
            TBasicQuery* engine = querier.Component(QLatin1String(step.Component));
            if (engine && !seen.contains(engine)) {
                seen.insert(engine);
                engines << engine;
            }
        }
    }
    return engines;
}

} // namespace

TQueryRun::TQueryRun(int timeoutMs, int retries, int maxQueries, QObject* parent) : QObject(parent)
{
    const TQueryLimits limits{maxQueries, std::uint32_t(timeoutMs), retries, -1, false};
    Querier_ = new TServerQuerier(
        [this](std::int32_t tag, TQueryTarget& target) {
            if (tag < 0 || std::size_t(tag) >= Results_.size()) {
                return false;
            }
            target = Results_[std::size_t(tag)].Target;
            return true;
        },
        [limits] { return limits; }, this);
    connect(Querier_, &TServerQuerier::Answered, this, &TQueryRun::Answered);
    connect(Querier_, &TServerQuerier::TimedOut, this,
            [this](std::int32_t tag, const TBasicData& reply, bool firstQuery, bool gaveUp) {
                if (TServerResult* result = Live(tag)) {
                    result->RetryCount = Querier_->RetryCount(tag);
                    if (firstQuery && gaveUp) {
                        result->Ping = reply.Ping;
                    }
                }
            });
    connect(Querier_, &TServerQuerier::Failed, this,
            [this](std::int32_t tag, const QString& message) {
                if (TServerResult* result = Live(tag)) {
                    result->Error = message;
                }
            });
    connect(Querier_, &TServerQuerier::ServerFinished, this, &TQueryRun::Finish);
    for (TBasicQuery* engine : Components(*Querier_)) {
        engine->SetFreeSlotOnAnswer(true);
    }
}

TQueryRun::~TQueryRun() = default;

void TQueryRun::Start(const QList<TQueryTarget>& targets)
{
    Results_.clear();
    Results_.reserve(std::size_t(targets.size()));
    QList<std::int32_t> tags;
    tags.reserve(targets.size());
    for (const TQueryTarget& target : targets) {
        tags.append(std::int32_t(Results_.size()));
        Results_.push_back({target, TResultStatus::Pending, nullptr});
    }
    if (Results_.empty()) {
        QMetaObject::invokeMethod(this, &TQueryRun::Finished, Qt::QueuedConnection);
        return;
    }
    Querier_->StartRound(tags);
}

TServerResult* TQueryRun::Live(int tag)
{
    if (tag < 0 || std::size_t(tag) >= Results_.size()) {
        return nullptr;
    }
    TEntry& entry = Results_[std::size_t(tag)];
    if (entry.Status != TResultStatus::Pending) {
        return nullptr;
    }
    if (!entry.Result) {
        entry.Result = std::make_unique<TServerResult>();
        entry.Result->Target = entry.Target;
    }
    return entry.Result.get();
}

void TQueryRun::Answered(int tag, const TQueryReply& reply)
{
    TServerResult* result = Live(tag);
    if (!result) {
        return;
    }
    // The round trip shown is the first query's, as in the browser.
    const auto first = [result](const auto& record) { result->Ping = record.Info.Ping; };
    std::visit(TOverloaded{
                   [&](const TQ3AServer& r) { result->Q3 = r, first(r); },
                   [&](const TQ2Server& r) { result->Q2 = r, first(r); },
                   [&](const TQWServer& r) { result->QW = r, first(r); },
                   [&](const TTribesServer& r) { result->Tribes = r, first(r); },
                   [&](const TT2PingReply& r) { result->T2Ping = r, first(r); },
                   [&](const TT2Server& r) { result->T2Info = r; },
                   [&](const THLInfo& r) { result->HLInfo = r, first(r); },
                   [&](const THLPlayers& r) { result->HLPlayers = r; },
                   [&](const THLRules& r) { result->HLRules = r; },
               },
               reply);
}

void TQueryRun::Finish(int tag, TQueryOutcome outcome)
{
    TServerResult* live = Live(tag);
    if (!live) {
        return;
    }
    TServerResult& result = *live;
    switch (outcome) {
    case TQueryOutcome::Answered:
        result.Status = TResultStatus::Answered;
        result.Error.clear();
        ++Answered_;
        break;
    case TQueryOutcome::Partial:
        result.Status = TResultStatus::Partial;
        break;
    case TQueryOutcome::TimedOut:
        result.Status = TResultStatus::Timeout;
        break;
    case TQueryOutcome::Failed:
        result.Status = TResultStatus::Error;
        break;
    }
    ++Done_;
    // Kept aside: a handler may run the event loop, whose events then find
    // the server reported.
    TEntry& entry = Results_[std::size_t(tag)];
    entry.Status = result.Status;
    const std::unique_ptr<TServerResult> reported = std::move(entry.Result);
    emit ServerDone(*reported);
    if (std::size_t(Done_) == Results_.size()) {
        emit Finished();
    }
}
