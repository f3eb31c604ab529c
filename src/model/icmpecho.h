#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>

class QHostInfo;
class QSocketNotifier;

// Carries ICMP echo requests and reports the echo replies that answer them.
// The real one is TIcmpSocket; tests put a stand-in in its place.
class TEchoTransport : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Sends one echo request to the IPv4 address Destination (host byte
    // order) with Sequence and Payload, its packets living TTL hops. Returns
    // 0, or the errno of a send the system refused.
    virtual int Send(std::uint32_t destination, std::uint16_t sequence, const QByteArray& payload,
                     int ttl) = 0;

signals:
    // An echo reply addressed to this transport's requests.
    void EchoReply(std::uint32_t source, std::uint16_t sequence, const QByteArray& payload);
};

// The two kinds of socket Linux offers for ICMP echo.
enum class TIcmpSocketKind : std::uint8_t
{
    // SOCK_DGRAM, IPPROTO_ICMP: for any user whose group the system's
    // net.ipv4.ping_group_range holds; the kernel owns the identifier.
    Datagram,
    // SOCK_RAW, IPPROTO_ICMP: needs CAP_NET_RAW (root, or a capability on
    // the program file).
    Raw,
};

// An ICMP socket read through the event loop: a notifier reports that
// datagrams wait, and every waiting one is read without blocking.
class TIcmpSocket final : public TEchoTransport
{
    Q_OBJECT

public:
    // An open socket of that kind, or nullptr with the errno in Error.
    static std::unique_ptr<TIcmpSocket> Open(TIcmpSocketKind kind, int& error);
    ~TIcmpSocket() override;

    TIcmpSocketKind Kind() const { return Kind_; }

    int Send(std::uint32_t destination, std::uint16_t sequence, const QByteArray& payload,
             int ttl) override;

    // The checksum of the Internet protocols over Data (one's complement sum
    // of 16-bit words, a lone last byte padded with zero).
    static std::uint16_t Checksum(QByteArrayView data);
    // An echo request: type 8, code 0, checksum, identifier, sequence (both
    // big-endian), then the payload.
    static QByteArray EchoRequest(std::uint16_t identifier, std::uint16_t sequence,
                                  const QByteArray& payload);

private:
    TIcmpSocket(int fd, TIcmpSocketKind kind);
    void ReadPending();

    int Fd_;
    TIcmpSocketKind Kind_;
    std::uint16_t Identifier_;
    int Ttl_ = -1;
    QSocketNotifier* Notifier_;
};

// The first ICMP socket the system allows: the datagram kind, then the raw
// kind. When neither may be opened, WhyNot says so and how to allow it.
std::unique_ptr<TEchoTransport> OpenIcmpEcho(QString& whyNot);

// The last answered echo.
struct TPingReply
{
    QString Address;                 // dotted IPv4 address that answered
    std::uint32_t RoundTripTime = 0; // milliseconds
};

// The ping component: an asynchronous host lookup followed by one echo at a
// time, both answered by signals from the event loop. Nothing here blocks.
class TPing : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultSize = 56;
    static constexpr std::uint32_t DefaultTimeout = 2000;
    static constexpr int DefaultTTL = 64;

    explicit TPing(QObject* parent = nullptr);
    ~TPing() override;

    int Size() const { return Size_; }
    void SetSize(int size);
    std::uint32_t Timeout() const { return Timeout_; }
    void SetTimeout(std::uint32_t milliseconds);
    int TTL() const { return TTL_; }
    void SetTTL(int ttl);
    int Flags() const { return 0; }

    // Opens the ICMP socket unless one is open already; false when the
    // system permits no ICMP echo, with the reason in ErrorText.
    bool Open();
    QString ErrorText() const { return ErrorText_; }
    // Sends through Transport from now on instead of an ICMP socket.
    void SetTransport(std::unique_ptr<TEchoTransport> transport);

    // Resolves a host name or dotted address; OnDnsLookupDone follows from
    // the event loop, never from within this call. A new lookup replaces one
    // in progress, whose answer is then ignored.
    void DnsLookup(const QString& host);
    void CancelDnsLookup();
    bool LookingUp() const { return LookupPending_; }
    // The dotted IPv4 address of the last successful lookup.
    QString DnsResult() const { return DnsResult_; }

    QString Address() const { return Address_; }
    void SetAddress(const QString& address) { Address_ = address; }

    // Sends one echo request to Address; OnEchoReply follows from the event
    // loop with 1 when the reply came within Timeout, else 0. A new echo
    // replaces one still awaited.
    void SendEcho();
    void CancelEcho();
    bool EchoPending() const { return EchoPending_; }
    const TPingReply& Reply() const { return Reply_; }

signals:
    // 0 when the lookup succeeded (DnsResult holds the address), otherwise
    // the kind of failure (QHostInfo::HostInfoError, never 0).
    void OnDnsLookupDone(int error);
    // The number of replies received: 1, or 0 after the time-out.
    void OnEchoReply(int replies);

private:
    void LookupDone(std::uint64_t serial, const QHostInfo& info);
    void Received(std::uint32_t source, std::uint16_t sequence, const QByteArray& payload);
    void EchoTimedOut();
    void ConnectTransport();

    int Size_ = DefaultSize;
    std::uint32_t Timeout_ = DefaultTimeout;
    int TTL_ = DefaultTTL;

    std::unique_ptr<TEchoTransport> Transport_;
    QString ErrorText_;

    std::uint64_t LookupSerial_ = 0;
    bool LookupPending_ = false;
    QString DnsResult_;

    QString Address_;
    std::uint32_t Target_ = 0;
    std::uint16_t Sequence_;
    QByteArray Payload_;
    bool EchoPending_ = false;
    QElapsedTimer Sent_;
    QTimer EchoTimer_;
    TPingReply Reply_;
};
