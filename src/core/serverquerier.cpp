#include "core/serverquerier.h"

#include <limits>
#include <span>

#include "core/querypacer.h"
#include "model/udpendpoint.h"
#include "protocols/hlsteaminfoquery.h"
#include "protocols/hlsteamplayerquery.h"
#include "protocols/hlsteamrulequery.h"

namespace {

// Half-Life servers of today answer only the Steam form of the three
// queries: the same records, other components.
constexpr TQueryStep kHalfLifeSteam[] = {{TQueryKind::HLInfo, "qHLSteamInfo", "HL-Info Error: "},
                                         {TQueryKind::HLPlayers, "qHLSteamPlayer", nullptr},
                                         {TQueryKind::HLRules, "qHLSteamRule", "HL-Rule Error: "}};

// The queries of the second form a game's servers may answer in; none for
// a game with one form.
std::span<const TQueryStep> OtherChainOf(TGameType game)
{
    if (game == gtHalfLife) {
        return kHalfLifeSteam;
    }
    return {};
}

// The record type a component's OnComplete carries.
template <typename TQuery, typename TRecord> TRecord RecordOf(void (TQuery::*)(const TRecord&));

} // namespace

TServerQuerier::TServerQuerier(TTargets targets, TLimitsSource limits, QObject* parent)
    : QObject(parent), Targets_(std::move(targets)), Limits_(std::move(limits))
{
    Pacer_ = new TQueryPacer([this] { return Limits_().DelayMs; },
                             [this](std::int32_t id) { Dispatch(id); }, this);
    connect(Pacer_, &TQueryPacer::Finished, this, [this] {
        CheckRoundFinished();
        CheckIdle();
    });

    QHash<QString, int> byName;
    const auto build = [&](std::span<const TQueryStep> steps, bool steam, std::vector<int>& chain) {
        for (const TQueryStep& step : steps) {
            const QString name = QLatin1String(step.Component);
            int index = byName.value(name, -1);
            if (index < 0) {
                TComponent component = MakeComponent(step.Kind, steam);
                component.Engine->setObjectName(name);
                component.Step = &step;
                index = int(Components_.size());
                Components_.push_back(std::move(component));
                byName.insert(name, index);
            }
            chain.push_back(index);
        }
    };
    for (const TGameInfo& game : GameCatalogue()) {
        build(game.Chain, false, Chains_[game.Type]);
        build(OtherChainOf(game.Type), true, OtherChains_[game.Type]);
    }
}

TServerQuerier::~TServerQuerier()
{
    // The components go after this object's members: cut them off first.
    Pacer_->Stop();
    for (const TComponent& component : Components_) {
        component.Engine->disconnect(this);
    }
}

template <typename TQuery> TServerQuerier::TComponent TServerQuerier::MakeComponent()
{
    using TRecord = decltype(RecordOf(&TQuery::OnComplete));
    auto* engine = new TQuery(this);
    // Every component starts with 15 requests and 2000 ms; a dispatch sets
    // its own values.
    engine->SetMaxQueries(15);
    engine->SetTimeout(2000);
    connect(engine, &TQuery::OnComplete, this, [this](const TRecord& record) {
        HandleReply(TQueryReply(std::in_place_type<TRecord>, record));
    });
    connect(engine, &TBasicQuery::OnTimeout, this,
            [this, engine](const TBasicData& reply) { HandleTimeout(engine, reply); });
    connect(engine, &TBasicQuery::OnError, this, [this, engine](int code, const QString& message) {
        HandleError(engine, code, message);
    });
    return {engine, [engine](std::int32_t tag) { engine->Query(tag); }, nullptr};
}

TServerQuerier::TComponent TServerQuerier::MakeComponent(TQueryKind kind, bool steam)
{
    if (steam) {
        switch (kind) {
        case TQueryKind::HLInfo:
            return MakeComponent<THLSteamInfoQuery>();
        case TQueryKind::HLPlayers:
            return MakeComponent<THLSteamPlayerQuery>();
        case TQueryKind::HLRules:
            return MakeComponent<THLSteamRuleQuery>();
        default:
            break; // no Steam form: the documented component
        }
    }
    switch (kind) {
    case TQueryKind::Quake2:
        return MakeComponent<TQ2Query>();
    case TQueryKind::Quake3:
        return MakeComponent<TQ3AQuery>();
    case TQueryKind::QuakeWorld:
        return MakeComponent<TQWQuery>();
    case TQueryKind::Tribes:
        return MakeComponent<TTribesQuery>();
    case TQueryKind::T2Ping:
        return MakeComponent<TT2PingQuery>();
    case TQueryKind::T2Info:
        return MakeComponent<TT2Query>();
    case TQueryKind::HLInfo:
        return MakeComponent<THLInfoQuery>();
    case TQueryKind::HLPlayers:
        return MakeComponent<THLPlayerQuery>();
    case TQueryKind::HLRules:
        return MakeComponent<THLRuleQuery>();
    }
    Q_UNREACHABLE();
}

TBasicQuery* TServerQuerier::Component(const QString& name) const
{
    for (const TComponent& component : Components_) {
        if (component.Engine->objectName() == name) {
            return component.Engine;
        }
    }
    return nullptr;
}

TBasicQuery* TServerQuerier::FirstComponent(TGameType game) const
{
    return game < gtUnknown ? Components_[Chains_[game].front()].Engine : nullptr;
}

bool TServerQuerier::IsDispatching() const
{
    return Pacer_->IsActive();
}

bool TServerQuerier::IsIdle() const
{
    return Requests_.isEmpty() && !Pacer_->IsActive();
}

int TServerQuerier::RetryCount(std::int32_t id) const
{
    const auto server = Servers_.constFind(id);
    return server == Servers_.cend() ? 0 : server->Retries;
}

int TServerQuerier::KnownForm(const QString& address) const
{
    const auto form = Forms_.constFind(address);
    return form == Forms_.cend() ? -1 : int(*form);
}

// ---------------------------------------------------------------------------
// Rounds

void TServerQuerier::StartRound(QList<std::int32_t> ids)
{
    ResetRetries();
    ResetProgress();
    DroppedAtRoundStart_ = DroppedReplies();
    Pacer_->Start(std::move(ids));
}

std::optional<std::uint64_t> TServerQuerier::DroppedReplies() const
{
    std::uint64_t dropped = 0;
    for (const TComponent& component : Components_) {
        const std::optional<std::uint64_t> count = component.Engine->Endpoint().DroppedDatagrams();
        if (!count) {
            return std::nullopt;
        }
        dropped += *count;
    }
    return dropped;
}

std::optional<std::uint64_t> TServerQuerier::RoundDroppedReplies() const
{
    const std::optional<std::uint64_t> now = DroppedReplies();
    if (!now || !DroppedAtRoundStart_) {
        return std::nullopt;
    }
    return *now - *DroppedAtRoundStart_;
}

QString DroppedRepliesText(std::uint64_t dropped)
{
    return QStringLiteral("%1 %2 dropped by the system: lower the concurrency, or raise "
                          "net.core.rmem_max")
        .arg(dropped)
        .arg(dropped == 1 ? QStringLiteral("reply was") : QStringLiteral("replies were"));
}

void TServerQuerier::Query(std::int32_t id)
{
    Dispatch(id);
}

void TServerQuerier::Stop()
{
    Pacer_->Stop();
    CheckRoundFinished();
    CheckIdle();
}

void TServerQuerier::ResetProgress()
{
    // Requests of earlier rounds keep their old round number and so count
    // for nothing when they end.
    ++Round_;
    Sent_ = 0;
    Outstanding_ = 0;
    RoundOpen_ = false;
    emit Progress(Sent_, Outstanding_);
}

void TServerQuerier::ResetRetries()
{
    for (TServer& server : Servers_) {
        server.Retries = 0;
        server.FormRetries = 0;
        server.Other = false;
    }
}

void TServerQuerier::Forget(const QList<std::int32_t>& ids)
{
    bool changed = false;
    for (std::int32_t id : ids) {
        const auto server = Servers_.constFind(id);
        if (server == Servers_.cend()) {
            continue;
        }
        if (server->CountedRound == Round_ && server->Counted > 0) {
            Outstanding_ -= server->Counted;
            changed = true;
        }
        // Requests still under way find no server when they end.
        Servers_.erase(server);
    }
    if (changed) {
        emit Progress(Sent_, Outstanding_);
        CheckRoundFinished();
    }
}

void TServerQuerier::Dispatch(std::int32_t id, bool retry)
{
    TQueryTarget target;
    if (!Targets_(id, target)) {
        return;
    }
    emit Dispatched(id);
    const TGameType game = target.Game ? target.Game->Type : gtUnknown;
    if (game < gtUnknown) {
        TServer& server = Servers_[id];
        server.Chain = ++LastChain_;
        server.FollowUpRetries = 0;
        if (!retry) {
            server.Address = target.Address();
            // A known form is asked alone; otherwise the server stays in the
            // form its retries have reached, as a single query does not
            // reset them.
            const auto known = Forms_.constFind(server.Address);
            const bool other = known == Forms_.cend() ? server.Other : *known;
            if (other != server.Other) {
                server.Other = other;
                server.FormRetries = 0;
            }
        }
        if (server.CountedRound != Round_) {
            server.CountedRound = Round_;
            server.Counted = 0;
        }
        ++server.Counted;
        const std::uint64_t chain = server.Chain;
        ++Sent_;
        ++Outstanding_;
        RoundOpen_ = true;
        Send(id, chain, game, server.Other, 0, target.Host, target.Port, true);
    }
    emit Progress(Sent_, Outstanding_);
}

void TServerQuerier::Send(std::int32_t id, std::uint64_t chain, TGameType game, bool other,
                          int step, const QString& host, int port, bool counted)
{
    const TComponent& component = Components_[ChainOf(game, other)[step]];
    TBasicQuery& engine = *component.Engine;
    const TQueryLimits limits = Limits_();
    if (step == 0 || !limits.FollowUpsKeepDefaults) {
        engine.SetMaxQueries(limits.MaxQueries);
        engine.SetTimeout(limits.TimeoutMs);
    }
    const std::int32_t tag = NextTag();
    Requests_.insert(tag, {id, chain, Round_, game, std::uint8_t(step), counted, other});
    engine.SetHostname(host);
    engine.SetPort(port);
    component.Query(tag);
}

std::int32_t TServerQuerier::NextTag()
{
    do {
        LastTag_ = LastTag_ == std::numeric_limits<std::int32_t>::max() ? 1 : LastTag_ + 1;
    } while (Requests_.contains(LastTag_));
    return LastTag_;
}

bool TServerQuerier::EndCount(const TRequest& request)
{
    if (!request.Counted || request.Round != Round_) {
        return false;
    }
    const auto server = Servers_.find(request.Id);
    if (server == Servers_.end() || server->CountedRound != Round_ || server->Counted == 0) {
        return false;
    }
    --server->Counted;
    --Outstanding_;
    return true;
}

void TServerQuerier::CountEnded(bool ended)
{
    if (ended) {
        emit Progress(Sent_, Outstanding_);
        CheckRoundFinished();
    }
}

void TServerQuerier::CheckRoundFinished()
{
    if (RoundOpen_ && Outstanding_ == 0 && !Pacer_->IsActive()) {
        RoundOpen_ = false;
        emit RoundFinished();
    }
}

void TServerQuerier::CheckIdle()
{
    if (IsIdle()) {
        emit Idle();
    }
}

// ---------------------------------------------------------------------------
// What the components report

void TServerQuerier::HandleReply(TQueryReply reply)
{
    const auto found = Requests_.constFind(ReplyInfo(reply).Tag);
    if (found == Requests_.cend()) {
        return;
    }
    const TRequest request = *found;
    Requests_.erase(found);
    std::visit([&](auto& record) { record.Info.Tag = request.Id; }, reply);
    const bool counted = EndCount(request);

    bool finished = false;
    const auto server = Servers_.find(request.Id);
    if (server == Servers_.end()) {
        // Forgotten: its row is gone.
        CountEnded(counted);
        CheckIdle();
        return;
    }
    if (server->Chain == request.Chain) {
        server->FollowUpRetries = 0;
        if (request.Step == 0 && !OtherChains_[request.Game].empty()) {
            Forms_.insert(server->Address, request.Other);
        }
        const int next = request.Step + 1;
        TQueryTarget target;
        if (next < int(ChainOf(request.Game, request.Other).size())) {
            // The follow-up goes to the address that answered, while the
            // server is listed.
            if (Targets_(request.Id, target)) {
                const TBasicData& info = ReplyInfo(reply);
                Send(request.Id, request.Chain, request.Game, request.Other, next, info.Host,
                     info.Port, false);
            }
        } else {
            server->Error.clear();
            finished = true;
        }
    }
    emit Answered(request.Id, reply);
    CountEnded(counted);
    if (finished) {
        emit ServerFinished(request.Id, TQueryOutcome::Answered);
    }
    CheckIdle();
}

void TServerQuerier::HandleTimeout(TBasicQuery* engine, const TBasicData& reply)
{
    const auto found = Requests_.constFind(reply.Tag);
    if (found == Requests_.cend()) {
        return;
    }
    const TRequest request = *found;
    Requests_.erase(found);
    // A reply too long to read ends its request as a time-out; the engine's
    // error of code 0 that follows is told here, with its server.
    const QString failure = engine->ReadFailure();
    TBasicData shown = reply;
    shown.Tag = request.Id;

    const auto server = Servers_.find(request.Id);
    if (server == Servers_.end() || server->Chain != request.Chain) {
        CountEnded(EndCount(request));
        CheckIdle();
        return;
    }
    if (!failure.isEmpty()) {
        server->Error = failure;
    }
    const QString error = server->Error;
    const TQueryLimits limits = Limits_();
    const bool firstQuery = request.Step == 0;
    bool gaveUp = false;
    if (firstQuery) {
        // A server whose form is not known yet is asked in the other one
        // once the first form's retries are spent; one that sent what could
        // not be read did answer, in this form.
        const bool otherForm = failure.isEmpty() && !request.Other && !server->Other &&
                               !OtherChains_[request.Game].empty() &&
                               !Forms_.contains(server->Address);
        if (limits.Retries > server->FormRetries || otherForm) {
            if (limits.Retries > server->FormRetries) {
                ++server->FormRetries;
            } else {
                server->FormRetries = 0;
                server->Other = true;
            }
            ++server->Retries;
            // Sent again before the time-out is counted, so that the round
            // is never seen to end in between.
            Dispatch(request.Id, true);
        } else {
            gaveUp = true;
        }
        CountEnded(EndCount(request));
    } else if (server->FollowUpRetries < limits.Retries) {
        ++server->FollowUpRetries;
        TQueryTarget target;
        if (Targets_(request.Id, target)) {
            Send(request.Id, request.Chain, request.Game, request.Other, request.Step, reply.Host,
                 reply.Port, false);
        }
    } else {
        gaveUp = true;
    }
    emit TimedOut(request.Id, shown, firstQuery, gaveUp);
    if (!failure.isEmpty()) {
        const TQueryStep& step = StepOf(request);
        emit Failed(request.Id, failure,
                    step.ErrorPrefix ? QLatin1String(step.ErrorPrefix) + failure : QString());
    }
    if (gaveUp) {
        emit ServerFinished(request.Id, !firstQuery       ? TQueryOutcome::Partial
                                        : error.isEmpty() ? TQueryOutcome::TimedOut
                                                          : TQueryOutcome::Failed);
    }
    CheckIdle();
}

void TServerQuerier::HandleError(TBasicQuery* engine, int code, const QString& message)
{
    // Code 0 follows the time-out of a reply that could not be read, and was
    // told with it.
    const TBasicData* reply = engine->ReplyInProgress();
    if (code == 0 || !reply) {
        return;
    }
    const auto found = Requests_.constFind(reply->Tag);
    if (found == Requests_.cend()) {
        return;
    }
    const TRequest request = *found;
    Requests_.erase(found);
    const TQueryStep& step = StepOf(request);
    const bool counted = EndCount(request);

    const auto server = Servers_.find(request.Id);
    const bool live = server != Servers_.end() && server->Chain == request.Chain;
    if (live) {
        server->Error = message;
    }
    emit Failed(request.Id, message,
                step.ErrorPrefix ? QLatin1String(step.ErrorPrefix) + message : QString());
    CountEnded(counted);
    if (live) {
        emit ServerFinished(request.Id,
                            request.Step == 0 ? TQueryOutcome::Failed : TQueryOutcome::Partial);
    }
    CheckIdle();
}
