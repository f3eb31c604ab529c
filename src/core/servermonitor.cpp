#include "core/servermonitor.h"

#include <QFileInfo>
#include <QStringDecoder>

#include "core/dialogs.h"
#include "model/networktext.h"
#include "model/wildcard.h"
#include "protocols/hlinfoquery.h"
#include "protocols/q2query.h"
#include "protocols/q3aquery.h"
#include "protocols/qwquery.h"
#include "protocols/t2query.h"
#include "protocols/tribesquery.h"

namespace {

template <typename TRecord> TMonitorReading ReadQuake(const TRecord& reply)
{
    return {reply.Name, reply.Map, reply.PlayerCount, reply.MaxPlayers, reply.GameName};
}

TMonitorReading ReadQW(const TQWServer& reply)
{
    return {reply.Name, reply.Map, reply.PlayerCount, reply.MaxPlayers, reply.GameDir};
}

TMonitorReading ReadHL(const THLInfo& reply)
{
    return {reply.Name, reply.Map, reply.NumPlayers, reply.MaxPlayers, reply.GameDir};
}

TMonitorReading ReadTribes(const TTribesServer& reply)
{
    return {reply.HostName, reply.Map, reply.Players.Count, reply.Players.Max, reply.GameType};
}

TMonitorReading ReadT2(const TT2Server& reply)
{
    // The info reply carries no server name.
    return {QByteArrayLiteral("(No name available)"), reply.Map, reply.PlayerCount,
            reply.MaxPlayers, reply.GameType};
}

} // namespace

bool MonitorConditionMet(const TMonitorOptions& options, const TMonitorReading& reading,
                         const QByteArray& lastMap)
{
    switch (options.Condition) {
    case TMonitorCondition::MapChange:
        return !lastMap.isEmpty() && reading.Map != lastMap;
    case TMonitorCondition::NotFull:
        return reading.NumPlayers < reading.MaxPlayers;
    case TMonitorCondition::Matches:
        break;
    }
    bool met = true;
    if (options.UseMapPattern) {
        met = MatchWildcard(reading.Map, options.MapPattern.toUtf8(), true);
    }
    if (options.UsePlayerCount && options.UseMoreThan) {
        met = met && reading.NumPlayers > options.MoreThan;
    }
    if (options.UsePlayerCount && options.UseLessThan) {
        met = met && reading.NumPlayers < options.LessThan;
    }
    return met;
}

QString MonitorAlertText(const TGenericServer& server)
{
    return QStringLiteral("Server %1 [%2:%3] just matched your criteria.")
        .arg(TextOfBytes(server.Name), server.Info.Host)
        .arg(server.Info.Port);
}

TServerMonitor::TServerMonitor(TDialogs& dialogs, QObject* parent)
    : QObject(parent), Dialogs_(dialogs), Server_(TGenericServer::Create())
{
    AddComponent<TQ2Query>(gtSoF, "SoFInfo", &ReadQuake<TQ2Server>);
    AddComponent<TQ2Query>(gtSin, "SinInfo", &ReadQuake<TQ2Server>);
    AddComponent<TQ2Query>(gtHeretic2, "Heretic2Info", &ReadQuake<TQ2Server>);
    AddComponent<TTribesQuery>(gtTribes, "TribesInfo", &ReadTribes);
    AddComponent<TT2Query>(gtTribes2, "T2Info", &ReadT2);
    AddComponent<THLInfoQuery>(gtHalfLife, "HLInfo", &ReadHL);
    AddComponent<TQ3AQuery>(gtQuake3, "Q3Info", &ReadQuake<TQ3AServer>);
    AddComponent<TQWQuery>(gtQuakeWorld, "QWInfo", &ReadQW);
    AddComponent<TQ2Query>(gtQuake2, "Q2Info", &ReadQuake<TQ2Server>);
    AddComponent<TQ2Query>(gtKingpin, "KingpinInfo", &ReadQuake<TQ2Server>);

    Timer_.setSingleShot(false);
    connect(&Timer_, &QTimer::timeout, this, &TServerMonitor::Tick);
}

TServerMonitor::~TServerMonitor()
{
    for (TBasicQuery* component : Components_) {
        component->disconnect(this);
    }
}

template <typename TQuery, typename TRecord>
void TServerMonitor::AddComponent(TGameType game, const char* name,
                                  TMonitorReading (*read)(const TRecord&))
{
    auto* component = new TQuery(this);
    component->setObjectName(QLatin1String(name));
    component->SetMaxQueries(15);
    component->SetTimeout(2000);
    // Only the reply is heard: a request that times out is simply dropped.
    connect(component, &TQuery::OnComplete, this,
            [this, read](const TRecord& record) { Received(record.Info.Tag, read(record)); });
    Components_[game] = component;
    Send_[game] = [component](std::int32_t tag) { component->Query(tag); };
}

TBasicQuery* TServerMonitor::Component(TGameType game) const
{
    return game < gtUnknown ? Components_[game] : nullptr;
}

void TServerMonitor::SetServer(const QString& host, int port, TGameType game)
{
    Server_->Info.Host = host;
    Server_->Info.Port = port;
    Server_->GameType = game;
}

void TServerMonitor::Start()
{
    ++Watch_;
    Checking_ = false;
    LastMap_.clear();
    Timer_.stop();
    Timer_.setInterval(Options.UpdateCycleMs);
    const bool was = Watching_;
    Watching_ = true;
    if (!was) {
        emit WatchingChanged(true);
    }
    SendQuery();
}

void TServerMonitor::Stop()
{
    EndWatch();
}

void TServerMonitor::EndWatch()
{
    Timer_.stop();
    if (Watching_) {
        Watching_ = false;
        emit WatchingChanged(false);
    }
}

void TServerMonitor::SendQuery()
{
    if (!Watching_) {
        return;
    }
    TBasicQuery* component = Component(Server_->GameType);
    if (!component) {
        return;
    }
    component->SetHostname(Server_->Info.Host);
    component->SetPort(Server_->Info.Port);
    Send_[Server_->GameType](Watch_);
}

void TServerMonitor::Tick()
{
    if (!Watching_) {
        Timer_.stop();
        return;
    }
    // While a reply is evaluated (an alert's message box may be up) the
    // tick sends nothing.
    if (!Checking_) {
        SendQuery();
    }
}

void TServerMonitor::Received(std::int32_t tag, const TMonitorReading& reading)
{
    Pending_.append({tag, reading});
    if (!EvaluationQueued_) {
        EvaluationQueued_ = true;
        QMetaObject::invokeMethod(this, &TServerMonitor::EvaluatePending, Qt::QueuedConnection);
    }
}

void TServerMonitor::EvaluatePending()
{
    EvaluationQueued_ = false;
    // A message box of an alert runs the event loop; a call made meanwhile
    // leaves the replies to the loop below.
    while (!Checking_ && !Pending_.isEmpty()) {
        const TPending next = Pending_.takeFirst();
        Server_->Name = next.Reading.Name;
        Server_->Map = next.Reading.Map;
        Server_->NumPlayers = next.Reading.NumPlayers;
        Server_->MaxPlayers = next.Reading.MaxPlayers;
        Server_->GameName = next.Reading.GameName;
        if (Watching_ && next.Watch == Watch_) {
            Evaluate(next.Reading);
        }
    }
}

void TServerMonitor::Evaluate(const TMonitorReading& reading)
{
    Heartbeat_ = (Heartbeat_ + 1) % 5;
    emit HeartbeatChanged(Heartbeat_);

    Checking_ = true;
    const std::int32_t watch = Watch_;
    const bool fired = MonitorConditionMet(Options, reading, LastMap_);
    if (fired) {
        Alert();
    }
    Checking_ = false;
    if (watch != Watch_) {
        // The user entered monitor mode again while the alert was shown:
        // that watch has its own map and timer.
        return;
    }
    LastMap_ = reading.Map;
    if (fired) {
        EndWatch();
    } else if (Watching_ && !Timer_.isActive()) {
        Timer_.start();
    }
}

void TServerMonitor::Alert()
{
    // The watch ends before anything is shown, so that nothing the alert
    // runs meanwhile sends another query.
    Timer_.stop();
    if (Options.PlaySound && PlaySound && QFileInfo(Options.SoundFile).isFile()) {
        PlaySound(Options.SoundFile);
    }
    const std::int32_t watch = Watch_;
    if (Options.ShowMessage) {
        Dialogs_.Information(QStringLiteral("Server monitor result"), MonitorAlertText(*Server_));
    }
    // A Stop while the message was shown cancels the join as well.
    if (Options.JoinGame && JoinGame && watch == Watch_ && Watching_) {
        JoinGame(*Server_);
    }
    emit Alerted();
}
