#include "cli/queryrun.h"

#include <QMetaObject>

namespace {

template <typename... T> struct TOverloaded : T...
{
    using T::operator()...;
};

} // namespace

TQueryRun::TQueryRun(int timeoutMs, int retries, int maxQueries, QObject* parent) : QObject(parent)
{
    const TQueryLimits limits{maxQueries, std::uint32_t(timeoutMs), retries, -1, false};
    Querier_ = new TServerQuerier(
        [this](std::int32_t tag, TQueryTarget& target) {
            if (tag < 0 || tag >= Results_.size()) {
                return false;
            }
            target = Results_[tag].Target;
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
}

TQueryRun::~TQueryRun() = default;

void TQueryRun::Start(const QList<TQueryTarget>& targets)
{
    Results_.clear();
    Results_.reserve(targets.size());
    QList<std::int32_t> tags;
    for (const TQueryTarget& target : targets) {
        TServerResult result;
        result.Target = target;
        tags.append(std::int32_t(Results_.size()));
        Results_.append(std::move(result));
    }
    if (Results_.isEmpty()) {
        QMetaObject::invokeMethod(this, &TQueryRun::Finished, Qt::QueuedConnection);
        return;
    }
    Querier_->StartRound(tags);
}

TServerResult* TQueryRun::Live(int tag)
{
    if (tag < 0 || tag >= Results_.size() || Results_[tag].Status != TResultStatus::Pending) {
        return nullptr;
    }
    return &Results_[tag];
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
    emit ServerDone(result);
    // Printed: the records are not needed any more.
    TServerResult kept;
    kept.Target = result.Target;
    kept.Status = result.Status;
    result = std::move(kept);
    if (Done_ == Results_.size()) {
        emit Finished();
    }
}
