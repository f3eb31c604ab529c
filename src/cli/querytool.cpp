#include "cli/querytool.h"

#include <QFile>
#include <QIODevice>
#include <QMetaObject>

#include "cli/jsonwriter.h"
#include "cli/resultformat.h"
#include "masters/hlmaster.h"
#include "masters/hlsteammaster.h"
#include "masters/q3multimaster.h"
#include "masters/t2master.h"
#include "masters/tribesmaster.h"

namespace {

// How long a master may take to send its first datagram: the browser's
// own time-outs.
int FirstDatagramMs(TMasterProtocol protocol)
{
    return protocol == TMasterProtocol::Tribes2 ? 5000 : 10000;
}

} // namespace

TQueryTool::TQueryTool(QIODevice* out, QIODevice* err, QObject* parent)
    : QObject(parent), Out_(out), Err_(err)
{
    Quiet_.setSingleShot(true);
    connect(&Quiet_, &QTimer::timeout, this, [this] { MasterDone(true, {}); });
}

TQueryTool::~TQueryTool() = default;

void TQueryTool::Write(const QByteArray& text)
{
    Out_->write(text);
}

void TQueryTool::Message(const QString& text)
{
    if (Progress_) {
        Err_->write("\r\x1b[K");
    }
    Err_->write(("morvix-query: " + text + u'\n').toUtf8());
}

void TQueryTool::End(int status)
{
    if (Ended_) {
        return;
    }
    Ended_ = true;
    if (Progress_) {
        Err_->write("\r\x1b[K");
    }
    QMetaObject::invokeMethod(
        this, [this, status] { emit Finished(status); }, Qt::QueuedConnection);
}

void TQueryTool::Fail(int status, const QString& message)
{
    Message(message);
    if (status == UsageError) {
        Err_->write("Try 'morvix-query --help'.\n");
    }
    End(status);
}

void TQueryTool::Start(const QStringList& arguments, QIODevice* input, bool inputIsTerminal,
                       bool errIsTerminal)
{
    QString error;
    if (!ParseQueryArguments(arguments, Options_, error)) {
        Fail(UsageError, error);
        return;
    }
    if (Options_.Help) {
        Write(QueryUsage().toUtf8());
        End(0);
        return;
    }
    Progress_ = errIsTerminal;
    if (Options_.MasterGame) {
        AskMaster();
        return;
    }

    QList<TQueryTarget> targets = Options_.Targets;
    if (Options_.File == u"-" ||
        (Options_.File.isEmpty() && targets.isEmpty() && input && !inputIsTerminal)) {
        if (!input || !ReadTargets(*input, QStringLiteral("standard input"), Options_.DefaultGame,
                                   targets, error)) {
            Fail(UsageError, input ? error : QStringLiteral("no standard input to read"));
            return;
        }
    } else if (!Options_.File.isEmpty()) {
        QFile file(Options_.File);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            Fail(UsageError,
                 QStringLiteral("cannot read %1: %2").arg(Options_.File, file.errorString()));
            return;
        }
        if (!ReadTargets(file, Options_.File, Options_.DefaultGame, targets, error)) {
            Fail(UsageError, error);
            return;
        }
    }
    if (targets.isEmpty()) {
        Fail(UsageError, Options_.DefaultGame
                             ? QStringLiteral("no server address given")
                             : QStringLiteral("no game and no server address given"));
        return;
    }
    Query(targets);
}

void TQueryTool::AskMaster()
{
    const TMasterProtocol protocol = Options_.MasterGame->Master;
    switch (protocol) {
    case TMasterProtocol::HalfLife: {
        if (Options_.SteamMaster) {
            auto* master = new THLSteamMaster(this);
            connect(master, &THLSteamMaster::OnServer, this, &TQueryTool::MasterServer);
            connect(master, &THLSteamMaster::OnListEnd, this, [this] { MasterDone(true, {}); });
            Master_ = master;
            break;
        }
        auto* master = new THLMaster(this);
        connect(master, &THLMaster::OnServer, this, &TQueryTool::MasterServer);
        Master_ = master;
        break;
    }
    case TMasterProtocol::Quake3: {
        auto* master = new TQ3MultiMaster(this);
        master->SetVersions(Options_.Q3Protocols);
        connect(master, &TQ3Master::OnServer, this, &TQueryTool::MasterServer);
        connect(master, &TQ3MultiMaster::OnListEnd, this, [this] { MasterDone(true, {}); });
        Master_ = master;
        break;
    }
    case TMasterProtocol::Tribes: {
        auto* master = new TTribesMaster(this);
        connect(master, &TTribesMaster::OnServer, this, &TQueryTool::MasterServer);
        Master_ = master;
        break;
    }
    case TMasterProtocol::Tribes2: {
        auto* master = new TT2Master(this);
        connect(master, &TT2Master::OnComplete, this, &TQueryTool::MasterServer);
        Master_ = master;
        break;
    }
    case TMasterProtocol::None:
        return;
    }
    connect(Master_, &TMaster::OnTimeout, this, [this] {
        if (MasterAttempts_ <= Options_.Retries) {
            AskMaster();
            return;
        }
        MasterDone(false, QStringLiteral("master server %1:%2 did not respond")
                              .arg(Options_.MasterHost)
                              .arg(Options_.MasterPort));
    });
    connect(Master_, &TMaster::OnInvalid, this, [this] {
        Message(QStringLiteral("received an odd packet from master server %1:%2; ignored")
                    .arg(Options_.MasterHost)
                    .arg(Options_.MasterPort));
    });
    connect(Master_, &TMaster::OnError, this, [this](const QString& message) {
        MasterDone(false, QStringLiteral("cannot ask master server %1:%2: %3")
                              .arg(Options_.MasterHost)
                              .arg(Options_.MasterPort)
                              .arg(message));
    });
    Master_->SetHostname(Options_.MasterHost);
    Master_->SetPort(Options_.MasterPort);
    Master_->SetTimeout(FirstDatagramMs(protocol));
    ++MasterAttempts_;
    Master_->Request();
    // A master of the documented forms has no end-of-list mark: the list is
    // over when no datagram came for a time-out's length. An answer that
    // lists no server raises nothing, so the quiet time also starts at the
    // request. The paged and the many-version masters say when they end.
    ListEnds_ = protocol == TMasterProtocol::Quake3 ||
                (protocol == TMasterProtocol::HalfLife && Options_.SteamMaster);
    if (!ListEnds_) {
        Quiet_.start(FirstDatagramMs(protocol) + Options_.TimeoutMs);
    }
}

void TQueryTool::MasterServer(const TMasterServer& server)
{
    if (!ListEnds_) {
        Quiet_.start(Options_.TimeoutMs);
    }
    const QString key = server.IP + u':' + QString::number(server.Port);
    if (!Seen_.contains(key)) {
        Seen_.insert(key);
        Listed_.append(server);
    }
}

void TQueryTool::MasterDone(bool answered, const QString& message)
{
    Quiet_.stop();
    if (Master_) {
        Master_->disconnect(this);
        Master_->deleteLater();
        Master_ = nullptr;
    }
    if (!answered) {
        Fail(1, message);
        return;
    }
    if (Options_.QueryListed) {
        QList<TQueryTarget> targets;
        for (const TMasterServer& server : Listed_) {
            targets.append({Options_.MasterGame, server.IP, server.Port});
        }
        if (targets.isEmpty()) {
            End(0);
            return;
        }
        Query(targets);
        return;
    }
    for (const TMasterServer& server : Listed_) {
        const QByteArray address = (server.IP + u':' + QString::number(server.Port)).toUtf8();
        if (Options_.Json) {
            TJsonWriter json;
            json.BeginObject();
            json.Key("address").Bytes(address);
            json.Key("host").Bytes(server.IP.toUtf8());
            json.Key("port").Number(server.Port);
            json.Key("game").Text(Options_.MasterGame->ShortName);
            json.Key("game_name").Text(Options_.MasterGame->DisplayName);
            json.EndObject();
            Write(json.Result() + '\n');
        } else {
            Write(address + '\n');
        }
    }
    End(0);
}

void TQueryTool::Query(const QList<TQueryTarget>& targets)
{
    Progress_ = Progress_ && targets.size() > ProgressThreshold;
    Run_ = std::make_unique<TQueryRun>(Options_.TimeoutMs, Options_.Retries, Options_.MaxQueries);
    connect(Run_.get(), &TQueryRun::ServerDone, this, &TQueryTool::ServerDone);
    connect(Run_.get(), &TQueryRun::Finished, this, [this] {
        DrawProgress(true);
        // Servers that answered into a full socket look dead: say why, once.
        const std::uint64_t dropped = Run_->DroppedReplies().value_or(0);
        if (dropped > 0) {
            Message(DroppedRepliesText(dropped));
        }
        End(Run_->AnsweredCount() == Run_->Total() ? 0 : 1);
    });
    Run_->Start(targets);
    DrawProgress(true);
}

void TQueryTool::ServerDone(const TServerResult& result)
{
    if (Progress_) {
        Err_->write("\r\x1b[K");
    }
    Write(Options_.Json ? FormatJson(result)
                        : FormatText(result, Options_.Players, Options_.Rules));
    DrawProgress(false);
}

void TQueryTool::DrawProgress(bool force)
{
    if (!Progress_ || !Run_ || (!force && LastDraw_.isValid() && LastDraw_.elapsed() < 100)) {
        return;
    }
    LastDraw_.start();
    constexpr int width = 40;
    const int total = qMax(1, Run_->Total());
    const int filled = Run_->Done() * width / total;
    const QByteArray bar = QByteArray(filled, '#') + QByteArray(width - filled, '-');
    Err_->write("\r[" + bar + "] " + QByteArray::number(Run_->Done()) + '/' +
                QByteArray::number(Run_->Total()) + " servers");
}
