#include "simserver.h"

#include <QDateTime>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

#include "model/replybuffer.h"
#include "wire/consolewire.h"

namespace {

// The larger of a reply and this is what an oversized server sends: more
// than the 2048 bytes a query engine reads.
constexpr qsizetype OversizedBytes = 4096;

// The query a datagram is, as the key of its cached reply: for the Quake
// and Half-Life families FF FF FF FF and the command word, without the
// arguments, line feed or zero byte some clients add ("status 23\n").
QByteArray QueryKey(const QByteArray& request)
{
    qsizetype end = request.size();
    const qsizetype from = request.startsWith("\xFF\xFF\xFF\xFF") ? 4 : 0;
    for (qsizetype i = from; i < request.size(); ++i) {
        const char c = request[i];
        if (c == '\n' || c == '\0' || (from > 0 && c == ' ')) {
            end = i;
            break;
        }
    }
    return request.left(end);
}

} // namespace

const char* HLFormName(TSimHLForm form)
{
    switch (form) {
    case TSimHLForm::Old:
        return "old";
    case TSimHLForm::Steam:
        return "steam";
    case TSimHLForm::Both:
        return "both";
    }
    return "old";
}

const char* BehaviourName(TSimBehaviour behaviour)
{
    switch (behaviour) {
    case TSimBehaviour::Answer:
        return "answer";
    case TSimBehaviour::Silent:
        return "silent";
    case TSimBehaviour::Late:
        return "late";
    case TSimBehaviour::Garbage:
        return "garbage";
    case TSimBehaviour::Oversized:
        return "oversized";
    case TSimBehaviour::Duplicate:
        return "duplicate";
    }
    return "answer";
}

TSimServer::TSimServer(TSimGameState state, TSimBehaviour behaviour,
                       const TSimServerOptions& options, std::uint32_t seed, QObject* parent)
    : QObject(parent), State_(std::move(state)), Behaviour_(behaviour), Options_(options),
      Random_(seed), Socket_(new QUdpSocket(this))
{
    Challenge_ = QByteArray::number(Random_.bounded(100000000, 999999999));
    // From a generator of its own, so that the server's other draws stay
    // as they were.
    QRandomGenerator steam(seed ^ 0x5A2Du);
    const quint32 challenge = steam.generate();
    SteamChallenge_ = QByteArray(reinterpret_cast<const char*>(&challenge), 4);
    if (SteamChallenge_ == "\xFF\xFF\xFF\xFF") {
        SteamChallenge_[0] = '\x01'; // that one asks for a challenge
    }
    connect(Socket_, &QUdpSocket::readyRead, this, &TSimServer::ReadPending);
    if (Options_.FullCycleMs > 0 && State_.PlayerCount() > 0) {
        State_.SetMaxPlayers(State_.PlayerCount());
        Full_ = State_;
        auto* cycle = new QTimer(this);
        connect(cycle, &QTimer::timeout, this, &TSimServer::TogglePlayer);
        cycle->start(Options_.FullCycleMs);
    }
}

void TSimServer::TogglePlayer()
{
    PlayerAway_ = !PlayerAway_;
    State_.TakePlayersFrom(Full_);
    if (PlayerAway_) {
        State_.DropPlayer();
    }
    Cache_.clear();
}

bool TSimServer::Bind(std::uint16_t port)
{
    if (!Socket_->bind(QHostAddress::LocalHost, port, QAbstractSocket::DontShareAddress)) {
        Error_ = Socket_->errorString();
        return false;
    }
    return true;
}

std::uint16_t TSimServer::Port() const
{
    return Socket_->localPort();
}

bool TSimServer::HasConsole() const
{
    return State_.Game == gtHalfLife || State_.Game == gtQuake3;
}

QList<QByteArray> TSimServer::Replies(const QByteArray& request)
{
    if (State_.Game == gtHalfLife && HLForm_ != TSimHLForm::Old) {
        QList<QByteArray> steam = SteamReplies(request);
        if (!steam.isEmpty() || HLForm_ == TSimHLForm::Steam) {
            return steam;
        }
    }
    const QByteArray key = QueryKey(request);
    if (const auto cached = Cache_.constFind(key); cached != Cache_.constEnd()) {
        return {WithRequestKey(*cached, request)};
    }
    static const QByteArray oob("\xFF\xFF\xFF\xFF");
    QByteArray reply;
    switch (GameInfo(State_.Game)->Protocol) {
    case TQueryProtocol::Quake3:
        if (key == oob + "getstatus") {
            reply = EncodeQ3AStatus(State_.Q3);
        } else if (key == oob + "getinfo") {
            reply = EncodeQ3AInfo(State_.Q3);
        }
        break;
    case TQueryProtocol::Quake2:
        if (key == oob + "status") {
            reply = EncodeQ2Status(State_.Q2);
        }
        break;
    case TQueryProtocol::QuakeWorld:
        if (key == oob + "status") {
            reply = EncodeQWStatus(State_.QW);
        }
        break;
    case TQueryProtocol::HalfLife:
        if (key == oob + "details") {
            const QByteArray address = "127.0.0.1:" + QByteArray::number(Port());
            reply = EncodeHLInfo(State_.HLInfo, address);
        } else if (key == oob + "players") {
            reply = EncodeHLPlayers(State_.HLPlayers);
        } else if (key == oob + "rules") {
            reply = EncodeHLRules(State_.HLRules);
        }
        break;
    case TQueryProtocol::Tribes:
        if (key == "b**") {
            reply = EncodeTribesStatus(State_.Tribes, State_.TribesWire);
        }
        break;
    case TQueryProtocol::Tribes2:
        if (key.startsWith('\x0E')) {
            reply = EncodeT2Ping(State_.T2Ping);
        } else if (key.startsWith('\x12')) {
            reply = EncodeT2Info(State_.T2Info);
        }
        break;
    }
    if (reply.isEmpty()) {
        return {};
    }
    Cache_.insert(key, reply);
    return {WithRequestKey(reply, request)};
}

QByteArray TSimServer::CachedAnswer(const QByteArray& key,
                                    const std::function<QByteArray()>& encode)
{
    auto cached = Cache_.find(key);
    if (cached == Cache_.end()) {
        cached = Cache_.insert(key, encode());
    }
    return *cached;
}

QList<QByteArray> TSimServer::SteamReplies(const QByteArray& request)
{
    static const QByteArray info = THLSteamInfoQuery::Request();
    if (request.size() < 5 || !request.startsWith("\xFF\xFF\xFF\xFF")) {
        return {};
    }
    // Keys no request of the old form has: they share the cache, which a
    // console command empties.
    QByteArray answer;
    switch (request[4]) {
    case 'W': // the separate challenge request of the first Steam years
        return {EncodeHLChallenge(SteamChallenge_)};
    case 'T':
        if (!request.startsWith(info)) {
            return {};
        }
        if (SteamInfoStyle_.Challenge && request.mid(info.size(), 4) != SteamChallenge_) {
            return {EncodeHLChallenge(SteamChallenge_)};
        }
        answer = CachedAnswer("\x01steam-info", [this] {
            if (SteamInfoStyle_.OldLayout) {
                return EncodeHLInfo(State_.HLInfo, "127.0.0.1:" + QByteArray::number(Port()));
            }
            THLSteamInfo steam = State_.HLSteam;
            steam.GamePort = Port();
            return EncodeHLSteamInfo(State_.HLInfo, steam);
        });
        break;
    case 'U':
    case 'V':
        if (request.mid(5, 4) != SteamChallenge_) {
            return {EncodeHLChallenge(SteamChallenge_)};
        }
        answer =
            request[4] == 'U'
                ? CachedAnswer("\x01steam-players",
                               [this] { return EncodeHLPlayers(State_.HLPlayers); })
                : CachedAnswer("\x01steam-rules", [this] { return EncodeHLRules(State_.HLRules); });
        break;
    default:
        return {};
    }
    return EncodeHLSplit(answer, ++SplitId_, Options_.HLDatagramSize);
}

QByteArray TSimServer::WithRequestKey(QByteArray reply, const QByteArray& request) const
{
    // Tribes 2 servers answer with the four key bytes the request carried.
    if (State_.Game == gtTribes2 && request.size() >= 6 && reply.size() >= 6) {
        reply.replace(2, 4, request.mid(2, 4));
    }
    return reply;
}

void TSimServer::ReadPending()
{
    while (Socket_->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = Socket_->receiveDatagram();
        if (!datagram.isValid()) {
            break;
        }
        ++Counters_.Received;
        if (Options_.Loss > 0 && Random_.generateDouble() < Options_.Loss) {
            ++Counters_.Dropped;
            continue;
        }
        Handle(datagram.data(), datagram.senderAddress(), std::uint16_t(datagram.senderPort()));
    }
}

void TSimServer::Handle(const QByteArray& datagram, const QHostAddress& from, std::uint16_t port)
{
    if (Behaviour_ == TSimBehaviour::Silent) {
        return;
    }
    if (HasConsole() && HandleConsole(datagram, from, port)) {
        return;
    }
    const QList<QByteArray> replies = Replies(datagram);
    for (const QByteArray& reply : replies) {
        switch (Behaviour_) {
        case TSimBehaviour::Answer:
        case TSimBehaviour::Silent:
            Send(reply, from, port);
            break;
        case TSimBehaviour::Late:
            QTimer::singleShot(Options_.LateMs, this,
                               [this, reply, from, port] { Send(reply, from, port); });
            break;
        case TSimBehaviour::Garbage:
            Send(Corrupted(reply), from, port);
            break;
        case TSimBehaviour::Oversized:
            Send(reply + QByteArray(qMax<qsizetype>(0, OversizedBytes - reply.size()), ' '), from,
                 port);
            break;
        case TSimBehaviour::Duplicate:
            Send(reply, from, port);
            Send(reply, from, port);
            break;
        }
    }
}

QByteArray TSimServer::Corrupted(const QByteArray& reply)
{
    // Random bytes of the reply's length whose first byte no reply starts with.
    QByteArray garbage(qMax<qsizetype>(8, reply.size()), Qt::Uninitialized);
    for (char& c : garbage) {
        c = char(Random_.bounded(256));
    }
    garbage[0] = 'Z';
    return garbage;
}

bool TSimServer::HandleConsole(const QByteArray& datagram, const QHostAddress& from,
                               std::uint16_t port)
{
    TRconCommand command;
    QByteArray output;
    if (State_.Game == gtHalfLife) {
        if (IsHLChallengeRequest(datagram)) {
            Send(EncodeHLChallengeReply(Challenge_), from, port);
            return true;
        }
        if (!ParseHLRcon(datagram, command)) {
            return false;
        }
        if (command.Challenge != Challenge_) {
            output = "Bad challenge.\n";
        } else if (command.Password != Options_.RconPassword) {
            output = "Bad rcon_password.\n";
        } else {
            output = RunConsole(command.Command);
            Log("Rcon: \"rcon " + command.Challenge + " \"********\" " + command.Command +
                "\" from \"" + from.toString().toLatin1() + ':' + QByteArray::number(port) + '"');
        }
        Send(EncodeHLConsoleOutput(output), from, port);
        return true;
    }
    if (!ParseQ3Rcon(datagram, command)) {
        return false;
    }
    output = command.Password == Options_.RconPassword ? RunConsole(command.Command)
                                                       : QByteArray("Bad rconpassword.\n");
    // Long output goes out in pieces, each ending at a line end where one fits.
    const qsizetype chunk = qMax(1, Options_.ConsoleChunk);
    do {
        qsizetype size = qMin(chunk, output.size());
        if (size < output.size()) {
            const qsizetype lineEnd = output.lastIndexOf('\n', size - 1);
            size = lineEnd >= 0 ? lineEnd + 1 : size;
        }
        Send(EncodeQ3ConsoleOutput(output.first(size)), from, port);
        output.remove(0, size);
    } while (!output.isEmpty());
    return true;
}

QByteArray TSimServer::RunConsole(const QByteArray& line)
{
    const QByteArray trimmed = line.trimmed();
    const qsizetype blank = trimmed.indexOf(' ');
    const QByteArray verb = (blank < 0 ? trimmed : trimmed.left(blank)).toLower();
    const QByteArray argument = blank < 0 ? QByteArray() : trimmed.mid(blank + 1).trimmed();
    if (verb.isEmpty()) {
        return {};
    }
    if (verb == "status") {
        QByteArray text = "hostname: " + State_.PlainName() + "\nmap     : " + State_.MapName() +
                          "\nplayers : " + QByteArray::number(State_.PlayerCount()) + " active (" +
                          QByteArray::number(State_.MaxPlayers()) + " max)\n";
        return text;
    }
    if (verb == "map" || verb == "changelevel") {
        if (!SimMaps(State_.Game).contains(argument)) {
            return "map change failed: '" + argument + "' not found on server.\n";
        }
        State_.SetMap(argument);
        Cache_.clear();
        Log("Started map \"" + argument + '"');
        return "Changing map to " + argument + "\n";
    }
    if (verb == "hostname" || verb == "sv_hostname") {
        if (argument.isEmpty()) {
            return "\"" + verb + "\" is \"" + State_.PlainName() + "\"\n";
        }
        State_.SetHostName(argument);
        Cache_.clear();
        return "\"" + verb + "\" changed to \"" + argument + "\"\n";
    }
    if (verb == "say") {
        Log("Server say \"" + argument + '"');
        return "Console: " + argument + "\n";
    }
    if (State_.Game == gtHalfLife && verb == "logaddress") {
        const QList<QByteArray> parts = argument.split(' ');
        const QHostAddress address(QString::fromLatin1(parts.value(0)));
        const int port = ToIntDef(parts.value(1), -1);
        if (address.protocol() != QAbstractSocket::IPv4Protocol || port < 1 || port > 65535) {
            return "logaddress: usage: logaddress ip port\n";
        }
        LogAddress_ = address;
        LogPort_ = std::uint16_t(port);
        return "logaddress:  " + parts.value(0) + ':' + QByteArray::number(port) + "\n";
    }
    if (State_.Game == gtHalfLife && verb == "log") {
        if (argument == "on") {
            LogOn_ = true;
            Log("Log file started");
            return "Server logging data to \"" + State_.PlainName() + "\" log stream\n";
        }
        if (argument == "off") {
            Log("Log file closed");
            LogOn_ = false;
            return "Server logging disabled.\n";
        }
        return QByteArray("\"log\" is \"") + (LogOn_ ? "on" : "off") + "\"\n";
    }
    return "Unknown command \"" + verb + "\"\n";
}

void TSimServer::Log(const QByteArray& entry)
{
    if (!LogOn_ || LogPort_ == 0) {
        return;
    }
    const QByteArray stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("MM/dd/yyyy - HH:mm:ss")).toLatin1();
    Send(EncodeHLLogLine(stamp, entry), LogAddress_, LogPort_);
}

void TSimServer::Send(const QByteArray& datagram, const QHostAddress& to, std::uint16_t port)
{
    Socket_->writeDatagram(datagram, to, port);
    ++Counters_.Answered;
}
