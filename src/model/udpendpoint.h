#pragma once

#include <QByteArray>
#include <QHostInfo>
#include <QObject>
#include <QString>

#include <QTimer>

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>

class QUdpSocket;

// One datagram as it was read: its bytes, where it came from, when it was
// read, and whether it was longer than the endpoint takes (then Data holds
// the first bytes).
struct TDatagram
{
    QByteArray Data;
    std::uint32_t Address = 0; // IPv4 of the sender
    std::uint16_t Port = 0;
    bool Truncated = false;
    std::uint32_t ReceivedAt = 0; // TUdpEndpoint::TickCount() when it was read
    std::uint64_t Serial = 0;     // its place among the endpoint's reads, from 1
};

// The one UDP endpoint of every network component: the query engine, the
// master components and the remote console. It owns a socket bound to
// 0.0.0.0 (any port, or a fixed one), asked directly rather than through a
// proxy, reads every datagram in one place and raises DatagramReceived for
// each, sends datagrams to IPv4 addresses, and resolves host names without
// blocking.
//
// Bursts: thousands of servers asked at once answer at once, faster than
// one thread decodes. The socket asks the system for a receive buffer of
// BurstReceiveBuffer bytes (the system caps it at net.core.rmem_max), and
// each time the socket is readable every datagram waiting is read into
// memory, stamped with the time it was read, before the first is handed
// on. They are handed on for at most DeliverySliceMs per turn of the event
// loop, the rest on the next turns, so that a burst of thousands does not
// hold the loop (the socket is read again in between). What the system
// still had to drop is counted (DroppedDatagrams).
//
// Addresses are plain 32-bit IPv4 numbers; DottedQuadText writes them in the
// form replies are matched by ("127.0.0.1").
class TUdpEndpoint : public QObject
{
    Q_OBJECT

public:
    // Binds at once; LocalPort 0 takes any free port. A failed bind leaves
    // the endpoint unable to send or receive and says why in ErrorString.
    explicit TUdpEndpoint(QObject* parent = nullptr, std::uint16_t localPort = 0);

    bool IsBound() const;
    std::uint16_t LocalPort() const;
    // The last failure of binding or sending.
    QString ErrorString() const;

    // The receive buffer the system granted, in bytes (Linux counts its own
    // bookkeeping in it, so it holds fewer payload bytes); 0 when unknown.
    int ReceiveBufferSize() const;
    // Asks for another receive buffer; the size granted is returned.
    int SetReceiveBufferSize(int bytes);
    // Datagrams the system dropped on this socket since it was opened,
    // because the receive buffer was full; nothing when the system does not
    // say.
    std::optional<std::uint64_t> DroppedDatagrams() const;
    // Datagrams read since the endpoint was made: a datagram whose Serial is
    // at most the count taken when a request left was read before it.
    std::uint64_t DatagramsRead() const { return Read_; }

    // The longest datagram taken whole; longer ones arrive Truncated to this
    // size. 0 takes every datagram whole.
    void SetMaxDatagramSize(qsizetype bytes) { MaxDatagramSize_ = bytes; }
    qsizetype MaxDatagramSize() const { return MaxDatagramSize_; }

    // Sends Packet, exactly its bytes, as one datagram. False when it could
    // not be handed to the system (ErrorString says why).
    bool Send(std::uint32_t address, std::uint16_t port, const QByteArray& packet);

    // Resolves Name without blocking. Done runs from the event loop, never
    // inside Lookup, with the first IPv4 address of the answer (none when
    // there is none) and the lookup's own result; it does not run once the
    // endpoint is gone. A lookup is never aborted: Qt 6.4 loses the memory of
    // an aborted lookup's callback, and of one whose context object dies
    // first, so the answer goes to the application object and is dropped
    // when nobody waits for it any more.
    using TLookupDone =
        std::function<void(std::optional<std::uint32_t> address, const QHostInfo& info)>;
    void Lookup(const QString& name, TLookupDone done);

    // Whether Text is four dotted decimal parts of at most 255, with optional
    // blanks before and after: such a host is used without a lookup.
    static bool IsDottedQuad(QStringView text);
    // The address of a text IsDottedQuad accepts.
    static std::uint32_t DottedQuadAddress(QStringView text);
    // "a.b.c.d" of an address.
    static QString DottedQuadText(std::uint32_t address);

    // Milliseconds since an arbitrary start, wrapping at 2^32: the clock of
    // ReceivedAt and of the engines' round trips.
    static std::uint32_t TickCount();

    // What the socket asks for: room for a few thousand status replies.
    static constexpr int BurstReceiveBuffer = 8 * 1024 * 1024;
    static constexpr int DeliverySliceMs = 8;

    // Datagrams read and not handed on yet.
    qsizetype Backlog() const { return qsizetype(Backlog_.size()); }

signals:
    // One datagram arrived. A handler may run the event loop; datagrams that
    // arrive meanwhile are raised from inside it, before the rest of the
    // batch read with this one.
    void DatagramReceived(const TDatagram& datagram);

private:
    void ReadPending();
    void Deliver();

    QUdpSocket* Socket_ = nullptr;
    QByteArray Buffer_;
    std::uint64_t Read_ = 0;
    std::deque<TDatagram> Backlog_;
    QTimer Continue_;
    qsizetype MaxDatagramSize_ = 0;
    QString Error_;
};
