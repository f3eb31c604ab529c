#include "browser/masterrequests.h"

#include <QAction>
#include <QMenu>

#include "browser/serverbrowser.h"
#include "core/dialogs.h"
#include "masters/hlmaster.h"
#include "masters/hlsteammaster.h"
#include "masters/q3multimaster.h"
#include "masters/t2master.h"
#include "masters/tribesmaster.h"
#include "model/networktext.h"

namespace {

// How the status texts name each game with a master protocol.
struct TMasterTexts
{
    TGameType Game;
    const char* Servers;   // "Asking ... for %s servers...", "Received %d %s servers."
    const char* OddMaster; // "... odd packet from the %s Master server. ..."
};

constexpr TMasterTexts kMasterTexts[] = {
    {gtTribes, "Starsiege: Tribes", "Tribes"},
    {gtTribes2, "Tribes II", "Tribes II"},
    {gtHalfLife, "Half-life", "Half-life"},
    {gtQuake3, "Quake 3", "Quake 3"},
};

const TMasterTexts* TextsOf(TGameType game)
{
    for (const TMasterTexts& texts : kMasterTexts) {
        if (texts.Game == game) {
            return &texts;
        }
    }
    return nullptr;
}

QString ReceivedText(TGameType game, int count)
{
    return QStringLiteral("Received ") + QString::number(count) + QLatin1Char(' ') +
           QLatin1String(TextsOf(game)->Servers) + QStringLiteral(" servers.");
}

const QString kTitle = QStringLiteral("Morvix");

} // namespace

TMasterRequests::TMasterRequests(TServerBrowser& browser, TDialogs& dialogs, QObject* parent)
    : QObject(parent), Browser_(browser), Dialogs_(dialogs)
{
    setObjectName(QStringLiteral("MasterRequests"));
    HLMaster_ = AddMaster<THLMaster>("HLMaster", gtHalfLife);
    connect(HLMaster_, &THLMaster::OnServer, this,
            [this](const TMasterServer& server) { Receive(gtHalfLife, server); });
    HLSteamMaster_ = AddMaster<THLSteamMaster>("HLSteamMaster", gtHalfLife);
    connect(HLSteamMaster_, &THLSteamMaster::OnServer, this,
            [this](const TMasterServer& server) { Receive(gtHalfLife, server); });
    Q3Master_ = AddMaster<TQ3MultiMaster>("Q3Master", gtQuake3);
    connect(Q3Master_, &TQ3Master::OnServer, this,
            [this](const TMasterServer& server) { Receive(gtQuake3, server); });
    TribesMaster_ = AddMaster<TTribesMaster>("TribesMaster", gtTribes);
    connect(TribesMaster_, &TTribesMaster::OnServer, this,
            [this](const TMasterServer& server) { Receive(gtTribes, server); });
    connect(TribesMaster_, &TTribesMaster::OnMOTD, this, [this](const QByteArray& masterName) {
        // The message of the day itself is not shown.
        ShowAfterPending(QStringLiteral("Reply from ") + TextOfBytes(masterName));
    });
    T2Master_ = AddMaster<TT2Master>("T2Master", gtTribes2);
    connect(T2Master_, &TT2Master::OnComplete, this,
            [this](const TMasterServer& server) { Receive(gtTribes2, server); });
    // Every request names its master; these are only the components' first values.
    T2Master_->SetTimeout(5000);
    T2Master_->SetPort(27999);
    for (const TMasterGame& game : BuiltInMasters()) {
        if (GameTypeFromName(game.Name) == gtTribes2 && !game.Masters.isEmpty()) {
            T2Master_->SetHostname(game.Masters.first().Host);
        }
    }

    SliceTimer_.setSingleShot(true);
    connect(&SliceTimer_, &QTimer::timeout, this, &TMasterRequests::AddSlice);
}

TMasterRequests::~TMasterRequests() = default;

template <typename TComponent>
TComponent* TMasterRequests::AddMaster(const char* name, TGameType game)
{
    auto* master = new TComponent(this);
    master->setObjectName(QLatin1String(name));
    master->SetTimeout(10000);
    master->SetHostname(QStringLiteral("127.0.0.1"));
    master->SetPort(28000);
    connect(master, &TMaster::OnTimeout, this,
            [this] { ShowAfterPending(QStringLiteral("Master server did not respond!")); });
    connect(master, &TMaster::OnInvalid, this, [this, game] {
        ShowAfterPending(QStringLiteral("Received an odd packet from the ") +
                         QLatin1String(TextsOf(game)->OddMaster) +
                         QStringLiteral(" Master server. Aborted request."));
    });
    // The count restarts when an import's first request has left (a paged or
    // multi-version master sends several); one that could not be sent (its
    // name does not resolve) leaves the count of the last answer.
    connect(master, &TMaster::RequestSent, this, [this] {
        if (NewImport_) {
            NewImport_ = false;
            Received_ = 0;
        }
    });
    // A master that cannot be asked (its name does not resolve) is an error
    // the user sees in a message box; the program carries on.
    connect(master, &TMaster::OnError, this, [this](const QString& message) {
        AddPending();
        Dialogs_.Error(kTitle, message);
    });
    return master;
}

void TMasterRequests::BuildMenu(QMenu& import, const QList<TMasterGame>& games)
{
    import.clear();
    qDeleteAll(import.findChildren<QMenu*>(Qt::FindDirectChildrenOnly));
    for (qsizetype i = 0; i < games.size(); ++i) {
        QMenu* game = import.addMenu(games[i].Name);
        game->setObjectName(QStringLiteral("miMasterGame") + QString::number(i));
        const QList<TMasterEntry>& masters = games[i].Masters;
        for (qsizetype j = 0; j < masters.size(); ++j) {
            QAction* item = game->addAction(MasterCaption(masters[j]));
            item->setObjectName(QStringLiteral("miMasterServ") + QString::number(j));
            item->setData(int(masters[j].Kind));
            connect(item, &QAction::triggered, this, [this, item] { OnMasterClick(item); });
        }
    }
    import.setEnabled(!import.isEmpty());
}

void TMasterRequests::OnMasterClick(QObject* sender)
{
    const auto* item = qobject_cast<QAction*>(sender);
    const auto* game = item ? qobject_cast<QMenu*>(item->parent()) : nullptr;
    if (!game) {
        Dialogs_.Error(kTitle, QStringLiteral("Master Selection error."));
        return;
    }
    const TMasterTarget target = MasterTargetOf(game->title(), item->text());
    const TMasterKind kind = item->data().toInt() == int(TMasterKind::Steam)
                                 ? TMasterKind::Steam
                                 : TMasterKind::Documented;
    RequestMaster(target.Host, target.Port, target.Game, kind);
}

void TMasterRequests::SetQ3Versions(const QList<int>& versions)
{
    QList<std::int32_t> usable;
    for (int version : versions) {
        if (version > 0 && !usable.contains(version)) {
            usable.append(version);
        }
    }
    if (!usable.isEmpty()) {
        Q3Master_->SetVersions(usable);
    }
}

void TMasterRequests::RequestMaster(const QString& host, int port, TGameType game, TMasterKind kind)
{
    const TMasterTexts* texts = TextsOf(game);
    if (!texts) {
        ShowAfterPending(
            QStringLiteral("Morvix does not support Master Requests for that game. Aborting ..."));
        return;
    }
    // The servers of an earlier answer still count for it.
    AddPending();
    NewImport_ = true;
    Browser_.ShowStatus(QStringLiteral("Asking ") + host + QLatin1Char(':') +
                        QString::number(port) + QStringLiteral(" for ") +
                        QLatin1String(texts->Servers) + QStringLiteral(" servers..."));
    TMaster* master = nullptr;
    switch (game) {
    case gtHalfLife:
        if (kind == TMasterKind::Steam) {
            master = HLSteamMaster_;
        } else {
            master = HLMaster_;
        }
        break;
    case gtQuake3:
        master = Q3Master_;
        break;
    case gtTribes:
        master = TribesMaster_;
        break;
    default:
        master = T2Master_;
        break;
    }
    master->SetHostname(host);
    master->SetPort(port);
    master->Request();
}

void TMasterRequests::Receive(TGameType game, const TMasterServer& server)
{
    Pending_.append({game, server});
    if (!SliceTimer_.isActive()) {
        SliceTimer_.start(0);
    }
}

void TMasterRequests::AddSlice()
{
    QElapsedTimer clock;
    clock.start();
    qsizetype added = 0;
    // Records are made in small steps so that a slow machine stops near the
    // end of its slice.
    while (PendingCount() > 0 && added < SliceCount && clock.elapsed() < SliceMs) {
        const qsizetype step = qMin<qsizetype>(64, SliceCount - added);
        added += qMin(step, PendingCount());
        Add(step);
    }
    if (PendingCount() > 0) {
        SliceTimer_.start(0);
    }
}

void TMasterRequests::AddPending()
{
    SliceTimer_.stop();
    Add(PendingCount());
}

void TMasterRequests::Add(qsizetype count)
{
    count = qMin(count, PendingCount());
    if (count <= 0) {
        return;
    }
    QList<TServerAddress> servers;
    servers.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        const TPending& pending = Pending_[Next_ + i];
        servers.append({pending.Server.IP, pending.Server.Port & 0xFFFF, pending.Game});
    }
    const TGameType last = Pending_[Next_ + count - 1].Game;
    Next_ += count;
    if (Next_ == Pending_.size()) {
        Pending_.clear();
        Next_ = 0;
    }
    Received_ += int(count);
    Browser_.AddServers(servers);
    Browser_.ShowStatus(ReceivedText(last, Received_));
}

void TMasterRequests::ShowAfterPending(const QString& text)
{
    AddPending();
    Browser_.ShowStatus(text);
}
