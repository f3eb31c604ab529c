#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>

#include "model/udpendpoint.h"

// The base of the master-server components. A master answers one request
// datagram with one or more datagrams that list game servers; the component
// sends the subclass's request, guards it with a time-out that lasts until
// the first datagram arrives, checks the prefix the subclass expects and
// hands the rest of each accepted datagram to the subclass's decoder.
//
// One request at a time: a new Request starts over, and datagrams of an
// earlier request that arrive after it count for the new one. A request
// that cannot be sent (a name that does not resolve, a port out of range)
// is reported through OnError from the event loop, never inside Request.
class TMaster : public QObject
{
    Q_OBJECT

public:
    explicit TMaster(QObject* owner = nullptr);

    // Sends the subclass's request to Hostname:Port.
    virtual void Request() = 0;

    QString Hostname() const { return Hostname_; }
    void SetHostname(const QString& hostname) { Hostname_ = hostname; }

    std::int32_t Port() const { return Port_; }
    void SetPort(std::int32_t port) { Port_ = port; }

    // Milliseconds to wait for the first datagram of an answer.
    std::int32_t Timeout() const { return Timeout_; }
    void SetTimeout(std::int32_t milliseconds) { Timeout_ = milliseconds; }

    // The bytes an accepted datagram starts with.
    const QByteArray& Prefix() const { return Prefix_; }
    // True: every datagram must carry the prefix; false: only the first
    // accepted one, and later ones are list data as they are.
    bool PrefixOnEveryDatagram() const { return PrefixOnEveryDatagram_; }
    // A datagram with the prefix was accepted (kept only when the prefix is
    // not on every datagram).
    bool HeaderSeen() const { return HeaderSeen_; }
    // The current request timed out; datagrams are ignored until the next one.
    bool Expired() const { return Expired_; }

    // Whether the time-out runs: from the sending of a request until its
    // first datagram or its expiry.
    bool TimerActive() const { return Timer_.isActive(); }
    // Whether the master's host name is being resolved for the current request.
    bool Resolving() const { return Resolving_; }

    static inline const QString HostLookupCanceled = QStringLiteral("Host Lookup Canceled");

signals:
    // No datagram arrived within Timeout.
    void OnTimeout();
    // A datagram did not start with the expected prefix; a later one is
    // checked again.
    void OnInvalid();
    // The request could not be sent: HostLookupCanceled when the master's
    // name does not resolve, otherwise a text naming the failure. Nothing was
    // sent and no time-out runs.
    void OnError(const QString& errorMessage);
    // The request left for the master (after its name resolved, when it has
    // one); from now on datagrams are taken as its answer.
    void RequestSent();

protected:
    void SetPrefix(const QByteArray& prefix, bool onEveryDatagram);

    // Sends Packet, exactly its bytes, to Hostname:Port (after resolving a
    // name) and starts the time-out.
    void SendRequest(const QByteArray& packet);

    // Decodes the accepted bytes of one datagram (without the prefix when it
    // was checked) and raises the subclass's events.
    virtual void ProcessReply(QByteArrayView data) = 0;

    // The time-out ran out before the current request's first datagram
    // (Expired is set). Raises OnTimeout; a subclass that asks in several
    // steps may go on with its next step instead.
    virtual void RequestTimedOut();

private:
    // Applies the time-out and prefix rules to one incoming datagram.
    void DatagramReceived(const TDatagram& datagram);
    void Lookup(const QString& name, const QByteArray& packet, int attempt);
    void LookupDone(const QString& name, std::optional<std::uint32_t> address,
                    const QHostInfo& info, const QByteArray& packet, int attempt);
    void Transmit(std::uint32_t address, const QByteArray& packet);
    void Fail(const QString& errorMessage);
    void Expire();

    QString Hostname_ = QStringLiteral("127.0.0.1");
    std::int32_t Port_ = 28000;
    std::int32_t Timeout_ = 5000;

    QByteArray Prefix_;
    bool PrefixOnEveryDatagram_ = false;
    bool HeaderSeen_ = false;
    bool Expired_ = false;
    // A request is current: datagrams are taken as its answer. Not before the
    // first request, nor after one that could not be sent.
    bool Listening_ = false;

    // Counts requests, so that a lookup or an error of a superseded request
    // finds out that it is stale.
    std::uint64_t Serial_ = 0;
    bool Resolving_ = false;

    QTimer Timer_;
    TUdpEndpoint* Endpoint_ = nullptr;
};
