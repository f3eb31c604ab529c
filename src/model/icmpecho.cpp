#include "model/icmpecho.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QHostInfo>
#include <QPointer>
#include <QRandomGenerator>
#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::uint8_t kEchoReply = 0;
constexpr std::uint8_t kEchoRequest = 8;
constexpr int kHeaderSize = 8;

// The raw socket's receive filter (ICMP_FILTER of <linux/icmp.h>, which
// clashes with the C library's network headers): a set bit drops that type.
constexpr int kIcmpFilterOption = 1;
struct TIcmpFilter
{
    std::uint32_t Data;
};

// A flood of ICMP must not hold the event loop: the notifier fires again
// for whatever is left.
constexpr int kMaxReadsPerWake = 256;

std::uint16_t ReadU16BE(const char* data)
{
    return std::uint16_t(std::uint8_t(data[0]) << 8 | std::uint8_t(data[1]));
}

bool IsPermissionError(int error)
{
    return error == EACCES || error == EPERM;
}

} // namespace

TIcmpSocket::TIcmpSocket(int fd, TIcmpSocketKind kind)
    : Fd_(fd), Kind_(kind),
      Identifier_(std::uint16_t(QRandomGenerator::global()->bounded(1, 65536))),
      Notifier_(new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this))
{
    connect(Notifier_, &QSocketNotifier::activated, this, &TIcmpSocket::ReadPending);
}

TIcmpSocket::~TIcmpSocket()
{
    Notifier_->setEnabled(false);
    ::close(Fd_);
}

std::unique_ptr<TIcmpSocket> TIcmpSocket::Open(TIcmpSocketKind kind, int& error)
{
    const int type = kind == TIcmpSocketKind::Datagram ? SOCK_DGRAM : SOCK_RAW;
    const int fd = ::socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    error = 0;
    if (kind == TIcmpSocketKind::Raw) {
        // A raw socket sees every ICMP datagram of the host, our own echo
        // requests on loopback among them; only echo replies are of use.
        const TIcmpFilter filter{~(std::uint32_t(1) << kEchoReply)};
        ::setsockopt(fd, SOL_RAW, kIcmpFilterOption, &filter, sizeof filter);
    }
    return std::unique_ptr<TIcmpSocket>(new TIcmpSocket(fd, kind));
}

std::uint16_t TIcmpSocket::Checksum(QByteArrayView data)
{
    std::uint32_t sum = 0;
    qsizetype i = 0;
    for (; i + 1 < data.size(); i += 2) {
        sum += ReadU16BE(data.data() + i);
    }
    if (i < data.size()) {
        sum += std::uint32_t(std::uint8_t(data[i])) << 8;
    }
    while (sum >> 16) {
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return std::uint16_t(~sum);
}

QByteArray TIcmpSocket::EchoRequest(std::uint16_t identifier, std::uint16_t sequence,
                                    const QByteArray& payload)
{
    QByteArray packet(kHeaderSize, '\0');
    packet[0] = char(kEchoRequest);
    packet[4] = char(identifier >> 8);
    packet[5] = char(identifier & 0xFF);
    packet[6] = char(sequence >> 8);
    packet[7] = char(sequence & 0xFF);
    packet += payload;
    const std::uint16_t sum = Checksum(packet);
    packet[2] = char(sum >> 8);
    packet[3] = char(sum & 0xFF);
    return packet;
}

int TIcmpSocket::Send(std::uint32_t destination, std::uint16_t sequence, const QByteArray& payload,
                      int ttl)
{
    if (ttl != Ttl_) {
        if (::setsockopt(Fd_, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl) != 0) {
            return errno;
        }
        Ttl_ = ttl;
    }
    // The datagram kind's kernel puts its own identifier in and sums again.
    const QByteArray packet = EchoRequest(Identifier_, sequence, payload);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(destination);
    ssize_t sent;
    do {
        sent = ::sendto(Fd_, packet.constData(), size_t(packet.size()), MSG_NOSIGNAL,
                        reinterpret_cast<const sockaddr*>(&to), sizeof to);
    } while (sent < 0 && errno == EINTR);
    return sent < 0 ? errno : 0;
}

void TIcmpSocket::ReadPending()
{
    const QPointer<TIcmpSocket> self(this);
    char buffer[65536];
    for (int reads = 0; reads < kMaxReadsPerWake && self; ++reads) {
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t length = ::recvfrom(Fd_, buffer, sizeof buffer, MSG_DONTWAIT,
                                          reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (length < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                return;
            }
            // An ICMP error about an earlier request (host unreachable and
            // the like) is reported once this way; the echo just times out.
            continue;
        }
        const char* icmp = buffer;
        qsizetype icmpLength = length;
        if (Kind_ == TIcmpSocketKind::Raw) {
            // IPv4 raw sockets deliver the IP header as well.
            if (length < 20 || (std::uint8_t(buffer[0]) >> 4) != 4) {
                continue;
            }
            const int headerLength = (buffer[0] & 0x0F) * 4;
            icmp += headerLength;
            icmpLength -= headerLength;
        }
        if (icmpLength < kHeaderSize || std::uint8_t(icmp[0]) != kEchoReply || icmp[1] != 0) {
            continue;
        }
        if (Kind_ == TIcmpSocketKind::Raw && ReadU16BE(icmp + 4) != Identifier_) {
            continue; // another program's ping
        }
        emit EchoReply(ntohl(from.sin_addr.s_addr), ReadU16BE(icmp + 6),
                       QByteArray(icmp + kHeaderSize, icmpLength - kHeaderSize));
    }
}

std::unique_ptr<TEchoTransport> OpenIcmpEcho(QString& whyNot)
{
    int datagramError = 0;
    if (auto socket = TIcmpSocket::Open(TIcmpSocketKind::Datagram, datagramError)) {
        whyNot.clear();
        return socket;
    }
    int rawError = 0;
    if (auto socket = TIcmpSocket::Open(TIcmpSocketKind::Raw, rawError)) {
        whyNot.clear();
        return socket;
    }
    if (IsPermissionError(datagramError) && IsPermissionError(rawError)) {
        whyNot = QStringLiteral("ICMP ping is not permitted on this system. Allow it for every "
                                "user with: sudo sysctl -w net.ipv4.ping_group_range=\"0 "
                                "2147483647\" (or give Morvix the capability: sudo setcap "
                                "cap_net_raw+ep ") +
                 QCoreApplication::applicationFilePath() + QStringLiteral(").");
    } else {
        const int error = IsPermissionError(datagramError) ? rawError : datagramError;
        whyNot = QStringLiteral("Unable to open an ICMP socket (") + qt_error_string(error) +
                 QStringLiteral(").");
    }
    return nullptr;
}

TPing::TPing(QObject* parent)
    : QObject(parent), Sequence_(std::uint16_t(QRandomGenerator::global()->bounded(65536)))
{
    EchoTimer_.setSingleShot(true);
    connect(&EchoTimer_, &QTimer::timeout, this, &TPing::EchoTimedOut);
    // Identifies our payload among other echoes of the same sequence.
    const quint64 token = QRandomGenerator::global()->generate64();
    Payload_ = QByteArray(reinterpret_cast<const char*>(&token), sizeof token);
}

TPing::~TPing() = default;

void TPing::SetSize(int size)
{
    // An IPv4 datagram holds at most 65,507 bytes after the ICMP header.
    Size_ = std::clamp(size, 0, 65507 - kHeaderSize);
}

void TPing::SetTimeout(std::uint32_t milliseconds)
{
    Timeout_ = std::clamp<std::uint32_t>(milliseconds, 1, 0x7FFFFFFF);
}

void TPing::SetTTL(int ttl)
{
    TTL_ = std::clamp(ttl, 1, 255);
}

bool TPing::Open()
{
    if (Transport_) {
        return true;
    }
    Transport_ = OpenIcmpEcho(ErrorText_);
    if (!Transport_) {
        return false;
    }
    ConnectTransport();
    return true;
}

void TPing::SetTransport(std::unique_ptr<TEchoTransport> transport)
{
    CancelEcho();
    Transport_ = std::move(transport);
    ErrorText_.clear();
    if (Transport_) {
        ConnectTransport();
    }
}

void TPing::ConnectTransport()
{
    connect(Transport_.get(), &TEchoTransport::EchoReply, this, &TPing::Received);
}

void TPing::DnsLookup(const QString& host)
{
    const std::uint64_t serial = ++LookupSerial_;
    LookupPending_ = true;
    DnsResult_.clear();
    // The lookup answers to the application and is never aborted: Qt 6.4
    // loses the callback's memory when a lookup is aborted or its context
    // object dies first. An answer nobody waits for is dropped.
    QObject* context = QCoreApplication::instance();
    QHostInfo::lookupHost(host, context ? context : this,
                          [self = QPointer<TPing>(this), serial](const QHostInfo& info) {
                              if (self) {
                                  self->LookupDone(serial, info);
                              }
                          });
}

void TPing::CancelDnsLookup()
{
    ++LookupSerial_;
    LookupPending_ = false;
}

void TPing::LookupDone(std::uint64_t serial, const QHostInfo& info)
{
    if (!LookupPending_ || serial != LookupSerial_) {
        return;
    }
    LookupPending_ = false;
    if (info.error() != QHostInfo::NoError) {
        emit OnDnsLookupDone(int(info.error()));
        return;
    }
    for (const QHostAddress& address : info.addresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol) {
            DnsResult_ = address.toString();
            emit OnDnsLookupDone(0);
            return;
        }
    }
    emit OnDnsLookupDone(int(QHostInfo::HostNotFound));
}

void TPing::SendEcho()
{
    CancelEcho();
    EchoPending_ = true;
    ++Sequence_;
    Payload_.resize(std::max<qsizetype>(Size_, sizeof(quint64)));
    for (qsizetype i = sizeof(quint64); i < Payload_.size(); ++i) {
        Payload_[i] = char(0x20 + (i + Sequence_) % 0x5F);
    }
    const QByteArray payload = Payload_.left(Size_);

    // A failure answers "no reply" from the event loop as a time-out would.
    bool ok = false;
    const QHostAddress address(Address_);
    Target_ = address.toIPv4Address(&ok);
    if (!ok || address.protocol() != QAbstractSocket::IPv4Protocol || !Open()) {
        EchoTimer_.start(0);
        return;
    }
    Sent_.start();
    if (Transport_->Send(Target_, Sequence_, payload, TTL_) != 0) {
        EchoTimer_.start(0);
        return;
    }
    EchoTimer_.start(int(Timeout_));
}

void TPing::CancelEcho()
{
    EchoPending_ = false;
    EchoTimer_.stop();
}

void TPing::Received(std::uint32_t source, std::uint16_t sequence, const QByteArray& payload)
{
    if (!EchoPending_ || source != Target_ || sequence != Sequence_ ||
        payload != Payload_.left(Size_)) {
        return;
    }
    CancelEcho();
    Reply_.Address = QHostAddress(source).toString();
    Reply_.RoundTripTime = std::uint32_t(Sent_.elapsed());
    emit OnEchoReply(1);
}

void TPing::EchoTimedOut()
{
    if (!EchoPending_) {
        return;
    }
    EchoPending_ = false;
    emit OnEchoReply(0);
}
