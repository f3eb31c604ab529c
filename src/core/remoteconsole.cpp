#include "core/remoteconsole.h"

#include <QPointer>
#include <QStringDecoder>

#include "core/serverresults.h"
#include "model/networktext.h"
#include "model/replybuffer.h"
#include "model/udpendpoint.h"

namespace {

const QByteArray kOob("\xFF\xFF\xFF\xFF");
const QByteArray kChallengeReply = kOob + "challenge rcon";
const QByteArray kHLOutput = kOob + 'l';
const QByteArray kQ3Output = kOob + "print";

const QString kInvalidTarget = QStringLiteral("Unable to send request. Invalid hostname or port.");

// Without the bytes 0 to 32 at both ends.
QByteArray StripControls(QByteArray bytes)
{
    qsizetype from = 0;
    qsizetype to = bytes.size();
    while (from < to && quint8(bytes[from]) <= 32) {
        ++from;
    }
    while (to > from && quint8(bytes[to - 1]) <= 32) {
        --to;
    }
    return bytes.sliced(from, to - from);
}

// Server text as a console shows it: line breaks stay, a carriage return or
// a zero byte does not reach the console.
QString ShownText(const QByteArray& bytes)
{
    QByteArray clean = bytes;
    clean.removeIf([](char c) { return c == '\r' || c == '\0'; });
    return TextOfBytes(clean);
}

QString Sender(const TDatagram& datagram)
{
    return QStringLiteral("<%1:%2> ")
        .arg(TUdpEndpoint::DottedQuadText(datagram.Address))
        .arg(datagram.Port);
}

} // namespace

TConsoleTarget ConsoleTarget(const QString& box, TConsoleKind kind)
{
    TConsoleTarget target;
    target.Host = box;
    target.Port = SplitHostPort(target.Host, kind == TConsoleKind::HalfLife ? 27015 : 27950);
    target.Host = target.Host.trimmed();
    target.Valid = !target.Host.isEmpty() && target.Port >= 1 && target.Port <= 65535;
    return target;
}

TConsoleReply ReadConsoleReply(QByteArrayView datagram)
{
    TConsoleReply reply;
    const QByteArray data = datagram.toByteArray();
    if (LeftOf(data, kChallengeReply.size()) == kChallengeReply) {
        reply.Kind = TConsoleReply::TKind::Challenge;
        reply.Challenge = StripControls(data.sliced(kChallengeReply.size()));
    } else if (LeftOf(data, kHLOutput.size()) == kHLOutput) {
        QByteArray rest = data;
        CutLeft(rest, kHLOutput.size());
        // Output without a line end shows nothing, except the end of a
        // command's output.
        reply.Kind = !rest.contains('\n') && rest == QByteArray(2, '\0')
                         ? TConsoleReply::TKind::Done
                         : TConsoleReply::TKind::Lines;
        while (rest.contains('\n')) {
            reply.Lines.append(NextToken(rest, '\n'));
        }
    } else if (LeftOf(data, kQ3Output.size()) == kQ3Output) {
        reply.Kind = TConsoleReply::TKind::Lines;
        reply.Lines.append(StripControls(data.sliced(kQ3Output.size())));
    }
    return reply;
}

QByteArray HLChallengeRequest()
{
    return kOob + "challenge rcon\n";
}

QByteArray HLCommand(const QByteArray& challenge, const QString& password, const QString& command)
{
    return kOob + "rcon " + challenge + " \"" + BytesOfText(password) + "\" " +
           BytesOfText(command);
}

QByteArray Q3Command(const QString& password, const QString& command)
{
    return kOob + "rcon \"" + BytesOfText(password) + "\" " + BytesOfText(command);
}

TRemoteConsole::TRemoteConsole(QObject* parent) : QObject(parent)
{
    ChallengeTimer_.setSingleShot(true);
    ChallengeTimer_.setInterval(5000);
    connect(&ChallengeTimer_, &QTimer::timeout, this, &TRemoteConsole::ChallengeTimedOut);
}

TRemoteConsole::~TRemoteConsole() = default;

void TRemoteConsole::Start(std::uint16_t port)
{
    delete Endpoint_;
    Endpoint_ = new TUdpEndpoint(this, port);
    if (!Endpoint_->IsBound() && port != 0) {
        const QString why = Endpoint_->ErrorString();
        delete Endpoint_;
        Endpoint_ = new TUdpEndpoint(this, 0);
        if (Endpoint_->IsBound()) {
            emit Message(QStringLiteral("Local UDP port %1 is not free (%2); the console uses "
                                        "port %3 instead, and the log address feature names it.")
                             .arg(port)
                             .arg(why)
                             .arg(Endpoint_->LocalPort()),
                         TConsoleTone::Note);
        }
    }
    if (!Endpoint_->IsBound()) {
        emit Message(QStringLiteral("Unable to open a UDP socket for the console: %1")
                         .arg(Endpoint_->ErrorString()),
                     TConsoleTone::Error);
    }
    connect(Endpoint_, &TUdpEndpoint::DatagramReceived, this, &TRemoteConsole::Received);
}

bool TRemoteConsole::IsListening() const
{
    return Endpoint_ && Endpoint_->IsBound();
}

std::uint16_t TRemoteConsole::LocalPort() const
{
    return IsListening() ? Endpoint_->LocalPort() : 0;
}

void TRemoteConsole::SetServer(TConsoleKind kind, const QString& box)
{
    TSide& side = Side(kind);
    if (side.Box != box) {
        side.Box = box;
        side.Resolved.clear();
    }
}

void TRemoteConsole::SetPassword(TConsoleKind kind, const QString& password)
{
    Side(kind).Password = password;
}

void TRemoteConsole::Type(TConsoleKind kind, const QString& command)
{
    if (command.isEmpty()) {
        return;
    }
    if (kind == TConsoleKind::HalfLife) {
        SendHLCommand(command);
    } else {
        SendQ3Command(command);
    }
    emit Message(QStringLiteral("<You> ") + command, TConsoleTone::Output);
}

bool TRemoteConsole::SendHLCommand(const QString& command)
{
    return SendHL(command, true);
}

bool TRemoteConsole::SendHL(const QString& command, bool wait)
{
    if (!Challenge_.isEmpty()) {
        return Send(TConsoleKind::HalfLife, HLCommand(Challenge_, HL_.Password, command));
    }
    emit Message(QStringLiteral("No cached Challenge ID found, requesting new.."),
                 TConsoleTone::Note);
    const bool sent = Send(TConsoleKind::HalfLife, HLChallengeRequest());
    if (wait) {
        Pending_.append(command);
        if (!ChallengeTimer_.isActive()) {
            ChallengeTimer_.start();
        }
    }
    return sent;
}

bool TRemoteConsole::SendQ3Command(const QString& command)
{
    return Send(TConsoleKind::Quake3, Q3Command(Q3_.Password, command));
}

bool TRemoteConsole::Send(TConsoleKind kind, const QByteArray& packet)
{
    TSide& side = Side(kind);
    const TConsoleTarget target = ConsoleTarget(side.Box, kind);
    if (!target.Valid || !IsListening()) {
        InvalidTarget();
        return false;
    }
    const auto port = std::uint16_t(target.Port);
    if (TUdpEndpoint::IsDottedQuad(target.Host)) {
        return SendTo(kind, TUdpEndpoint::DottedQuadAddress(target.Host), port, packet);
    }
    if (const auto known = side.Resolved.constFind(target.Host); known != side.Resolved.cend()) {
        return SendTo(kind, *known, port, packet);
    }
    Endpoint_->Lookup(target.Host, [self = QPointer<TRemoteConsole>(this), kind, box = side.Box,
                                    host = target.Host, port, packet](
                                       std::optional<std::uint32_t> address, const QHostInfo&) {
        if (!self) {
            return;
        }
        if (!address) {
            self->InvalidTarget();
            return;
        }
        TSide& now = self->Side(kind);
        if (now.Box == box) {
            now.Resolved.insert(host, *address);
        }
        self->SendTo(kind, *address, port, packet);
    });
    return true;
}

bool TRemoteConsole::SendTo(TConsoleKind kind, std::uint32_t address, std::uint16_t port,
                            const QByteArray& packet)
{
    Side(kind).Address = address;
    if (Endpoint_->Send(address, port, packet)) {
        return true;
    }
    emit Message(QStringLiteral("Unable to send request to %1:%2. %3")
                     .arg(TUdpEndpoint::DottedQuadText(address))
                     .arg(port)
                     .arg(Endpoint_->ErrorString()),
                 TConsoleTone::Error);
    return false;
}

void TRemoteConsole::InvalidTarget()
{
    emit Message(kInvalidTarget, TConsoleTone::Error);
}

void TRemoteConsole::Received(const TDatagram& datagram)
{
    // Only the servers this console talks to may write into it.
    if (datagram.Address != HL_.Address && datagram.Address != Q3_.Address) {
        return;
    }
    const TConsoleReply reply = ReadConsoleReply(datagram.Data);
    switch (reply.Kind) {
    case TConsoleReply::TKind::Challenge:
        Challenge_ = reply.Challenge;
        emit Message(QStringLiteral("Received Challenge ID (%1).").arg(ShownText(Challenge_)),
                     TConsoleTone::Note);
        break;
    case TConsoleReply::TKind::Done:
        emit Message(Sender(datagram) + QStringLiteral("Done."), TConsoleTone::Output);
        break;
    case TConsoleReply::TKind::Lines:
        for (const QByteArray& line : reply.Lines) {
            emit Message(Sender(datagram) + ShownText(line), TConsoleTone::Output);
        }
        break;
    case TConsoleReply::TKind::Other:
        break;
    }
    PassPending();
}

void TRemoteConsole::PassPending()
{
    const QStringList pending = std::exchange(Pending_, {});
    ChallengeTimer_.stop();
    for (const QString& command : pending) {
        SendHL(command, false);
    }
}

void TRemoteConsole::ChallengeTimedOut()
{
    const TConsoleTarget target = ConsoleTarget(HL_.Box, TConsoleKind::HalfLife);
    for (const QString& command : std::exchange(Pending_, {})) {
        emit Message(QStringLiteral("No Challenge ID came from %1:%2; \"%3\" was not sent.")
                         .arg(target.Host)
                         .arg(target.Port)
                         .arg(command),
                     TConsoleTone::Error);
    }
}

void TRemoteConsole::NewHLID()
{
    Challenge_.clear();
    emit Message(
        QStringLiteral("HL ID cached has been purged. Will request new one on next command."),
        TConsoleTone::Note);
}

void TRemoteConsole::EnableLog(const QString& localAddress)
{
    const bool address =
        SendHLCommand(QStringLiteral("logaddress %1 %2").arg(localAddress).arg(LocalPort()));
    const bool on = SendHLCommand(QStringLiteral("log on"));
    LogEnabled_ = address && on;
}

void TRemoteConsole::DisableLog()
{
    if (LogEnabled_ && SendHLCommand(QStringLiteral("log off"))) {
        LogEnabled_ = false;
    }
}
