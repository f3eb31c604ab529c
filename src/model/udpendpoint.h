#pragma once

#include <QByteArray>
#include <QHostInfo>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

class QUdpSocket;

// One datagram as it was read: its bytes, where it came from, and whether
// it was longer than the endpoint takes (then Data holds the first bytes).
struct TDatagram
{
    QByteArray Data;
    std::uint32_t Address = 0; // IPv4 of the sender
    std::uint16_t Port = 0;
    bool Truncated = false;
};

// The one UDP endpoint of every network component: the query engine, the
// master components and the remote console. It owns a socket bound to
// 0.0.0.0 (any port, or a fixed one), asked directly rather than through a
// proxy, reads every datagram in one place and raises DatagramReceived for
// each, sends datagrams to IPv4 addresses, and resolves host names without
// blocking.
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

signals:
    // One datagram arrived. A handler may run the event loop; datagrams that
    // arrive meanwhile are raised from inside it.
    void DatagramReceived(const TDatagram& datagram);

private:
    void ReadPending();

    QUdpSocket* Socket_ = nullptr;
    QByteArray Buffer_;
    qsizetype MaxDatagramSize_ = 0;
    QString Error_;
};
