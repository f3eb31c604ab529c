#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <list>
#include <optional>
#include <vector>

#include "model/basicdata.h"

struct TDatagram;
class TUdpEndpoint;

enum TReplyStatus : std::uint8_t
{
    rsPending = 0,
    rsAnswered = 1,
    rsTimedOut = 2,
};

// One request, sent (active) or waiting for a free slot.
struct TReply
{
    QString Host;
    std::int32_t Port = 0;
    QByteArray Data;         // the packet, while the request waits
    std::uint32_t Ticks = 0; // tick count when sent; the round trip once answered
    std::int32_t Tag = 0;
    TReplyStatus Status = rsPending;
};

// The engine behind every game-server query. It sends a fixed request
// datagram per server, keeps at most MaxQueries requests in flight and the
// rest in a first-in-first-out queue, matches each datagram to the oldest
// pending request of its sender's address and port, times requests out and
// hands each matched reply to the protocol subclass that decodes it.
//
// Everything runs on the thread's event loop: host names are resolved
// asynchronously while the request keeps its place, and the 100 ms scan that
// removes answered requests and times out the others runs only while a
// request is active. Handlers of its events may run the event loop (a
// message box): the engine never keeps a request across an event that it
// has not looked up again afterwards.
class TBasicQuery : public QObject
{
    Q_OBJECT

public:
    explicit TBasicQuery(QObject* owner = nullptr);
    ~TBasicQuery() override;

    // Limit on active requests; 0 means no limit. A negative value is ignored.
    std::int32_t MaxQueries() const { return MaxQueries_; }
    void SetMaxQueries(std::int32_t value);

    // Whether an answered request leaves the active list, and frees its slot
    // for the next waiting one, as soon as its reply is decoded. Off (the
    // browser's way), answered requests count against MaxQueries until the
    // next scan.
    bool FreeSlotOnAnswer() const { return FreeSlotOnAnswer_; }
    void SetFreeSlotOnAnswer(bool value) { FreeSlotOnAnswer_ = value; }

    // Requests in the active list; answered ones count until the next scan
    // unless FreeSlotOnAnswer.
    std::int32_t CurrentQueries() const { return std::int32_t(Active_.size()); }
    // Requests waiting for a free slot.
    std::int32_t WaitingQueries() const { return std::int32_t(Waiting_.size()); }

    QString Hostname() const { return Hostname_; }
    void SetHostname(const QString& hostname) { Hostname_ = hostname; }

    std::int32_t Port() const { return Port_; }
    void SetPort(std::int32_t port) { Port_ = port; }

    std::uint32_t Timeout() const { return Timeout_; }
    void SetTimeout(std::uint32_t milliseconds) { Timeout_ = milliseconds; }

    // The matched reply being decoded, while ProcessReply and the OnComplete
    // or OnError it raises run; nullptr at any other time. An OnError handler
    // reads the failed request's Tag here.
    const TBasicData* ReplyInProgress() const { return ReplyInProgress_; }

    // While OnTimeout runs for a request whose reply could not be read (too
    // long for the receive buffer), the text of that failure; the OnError of
    // code 0 with the same text follows. Empty for a plain time-out.
    const QString& ReadFailure() const { return ReadFailure_; }

    // Whether the 100 ms scan is running; it runs only while a request is active.
    bool ScanTimerActive() const { return Timer_.isActive(); }

    // The local UDP port the engine's socket is bound to.
    std::uint16_t LocalPort() const;

    // Whether Text is four dotted decimal parts of at most 255, with optional
    // blanks before and after: such a host is used without a lookup.
    static bool IsDottedQuad(QStringView text);

    TUdpEndpoint& Endpoint() const { return *Endpoint_; }

    // Milliseconds since an arbitrary start, wrapping at 2^32.
    static std::uint32_t TickCount();

    static constexpr int ScanInterval = 100;
    static constexpr qsizetype ReceiveBufferSize = 2048;

signals:
    void OnTimeout(const TBasicData& reply);
    void OnError(int errorCode, const QString& errorMessage);

protected:
    // Sends Packet to the current Hostname and Port, or queues it when the
    // limit is reached.
    void SendQuery(const QByteArray& packet, std::int32_t tag);

    // Decodes one matched reply: raise OnComplete, or call DoError.
    virtual void ProcessReply(const TBasicData& reply) = 0;

    void DoError(int errorCode, const QString& errorMessage);

    // For a datagram that is not the last of its request's answer, called
    // from ProcessReply before it raises any event: the request stays pending
    // for its sender, so that the sender's next datagram finds it again. With
    // a Packet, which goes to the same server at once, the round trip and the
    // time-out start again from now (an answer that asks to be asked again);
    // without one they keep running from the first send (the rest of an
    // answer split over several datagrams). False outside ProcessReply.
    bool KeepPending(const QByteArray& packet = {});

    // The datagrams the request of the reply being decoded has received,
    // that one included; 0 outside ProcessReply.
    int DatagramsReceived() const;

private:
    struct TActive
    {
        TReply Reply;
        std::uint64_t Serial = 0;
        std::uint32_t Address = 0;        // IPv4, once known
        std::uint64_t ReadBeforeSend = 0; // the endpoint's reads when it was sent
        bool Sent = false;
        int Datagrams = 0; // matched so far
    };
    using TActiveList = std::list<TActive>;
    using TActiveIt = TActiveList::iterator;

    bool TrySend(const QString& host, std::int32_t port, std::int32_t tag,
                 const QByteArray& packet);
    void Transmit(TActiveIt entry, const QByteArray& packet);
    void LookupDone(std::uint64_t serial, std::optional<std::uint32_t> address,
                    const QByteArray& packet);
    void DataReceived(const TDatagram& datagram);
    void Scan();
    void TimedOut(TActiveIt entry, const QString& failure = {});
    void RemoveActive(TActiveIt entry);
    void Unmatch(TActiveIt entry);
    static std::uint64_t SenderKey(std::uint32_t address, std::uint16_t port)
    {
        return std::uint64_t(address) << 16 | port;
    }

    std::int32_t MaxQueries_ = 15;
    QString Hostname_ = QStringLiteral("127.0.0.1");
    std::int32_t Port_ = 28001;
    std::uint32_t Timeout_ = 2000;

    TActiveList Active_;
    std::deque<TReply> Waiting_;
    // Sent, pending requests per sender, oldest first: the datagram of a
    // sender answers the first of them.
    QHash<std::uint64_t, std::deque<TActiveIt>> Pending_;
    // Every active request by serial: after an event, whose handler may have
    // run the event loop, a request is looked up again here before it is
    // touched.
    QHash<std::uint64_t, TActiveIt> Live_;
    std::uint64_t NextSerial_ = 1;

    QTimer Timer_;
    TUdpEndpoint* Endpoint_ = nullptr;
    const TBasicData* ReplyInProgress_ = nullptr;
    QString ReadFailure_;
    // The requests (by serial) of the replies being decoded, innermost last,
    // with the times their datagrams came; a handler may pump events, so a
    // request is looked up again in Live_ before it is touched.
    struct TInProgress
    {
        std::uint64_t Serial = 0;
        std::uint32_t ReceivedAt = 0;
    };
    std::vector<TInProgress> InProgress_;
    bool Scanning_ = false;
    bool FreeSlotOnAnswer_ = false;
};
