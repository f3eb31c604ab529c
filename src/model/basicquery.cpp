#include "model/basicquery.h"

#include <utility>

#include "model/udpendpoint.h"

TBasicQuery::TBasicQuery(QObject* owner) : QObject(owner), Endpoint_(new TUdpEndpoint(this))
{
    Timer_.setInterval(ScanInterval);
    Timer_.setTimerType(Qt::PreciseTimer);
    connect(&Timer_, &QTimer::timeout, this, &TBasicQuery::Scan);

    if (!Endpoint_->IsBound()) {
        qWarning("TBasicQuery: cannot bind a UDP socket: %s", qPrintable(Endpoint_->ErrorString()));
    }
    Endpoint_->SetMaxDatagramSize(ReceiveBufferSize);
    connect(Endpoint_, &TUdpEndpoint::DatagramReceived, this, &TBasicQuery::DataReceived);
}

TBasicQuery::~TBasicQuery()
{
    Timer_.stop();
}

void TBasicQuery::SetMaxQueries(std::int32_t value)
{
    if (value >= 0) {
        MaxQueries_ = value;
    }
}

std::uint16_t TBasicQuery::LocalPort() const
{
    return Endpoint_->LocalPort();
}

std::uint32_t TBasicQuery::TickCount()
{
    return TUdpEndpoint::TickCount();
}

bool TBasicQuery::IsDottedQuad(QStringView text)
{
    return TUdpEndpoint::IsDottedQuad(text);
}

void TBasicQuery::SendQuery(const QByteArray& packet, std::int32_t tag)
{
    if (!TrySend(Hostname_, Port_, tag, packet)) {
        Waiting_.push_back({Hostname_, Port_, packet, 0, tag, rsPending});
    }
}

void TBasicQuery::DoError(int errorCode, const QString& errorMessage)
{
    emit OnError(errorCode, errorMessage);
}

bool TBasicQuery::TrySend(const QString& host, std::int32_t port, std::int32_t tag,
                          const QByteArray& packet)
{
    if (MaxQueries_ != 0 && std::int32_t(Active_.size()) >= MaxQueries_) {
        return false;
    }
    const TActiveIt entry =
        Active_.insert(Active_.end(), {{host, port, {}, TickCount(), tag, rsPending}});
    entry->Serial = NextSerial_++;
    Live_.insert(entry->Serial, entry);
    if (!Timer_.isActive()) {
        Timer_.start();
    }

    if (TUdpEndpoint::IsDottedQuad(host)) {
        // Stored in its plain form, so that the reply's sender compares equal.
        entry->Address = TUdpEndpoint::DottedQuadAddress(host);
        entry->Reply.Host = TUdpEndpoint::DottedQuadText(entry->Address);
        Transmit(entry, packet);
    } else {
        // The request keeps its place and its time-out runs while the name is
        // resolved; a name that does not resolve sends nothing and times out.
        // An answer that comes after the request left finds nothing.
        Endpoint_->Lookup(host, [this, serial = entry->Serial,
                                 packet](std::optional<std::uint32_t> address, const QHostInfo&) {
            LookupDone(serial, address, packet);
        });
    }
    return true;
}

void TBasicQuery::LookupDone(std::uint64_t serial, std::optional<std::uint32_t> address,
                             const QByteArray& packet)
{
    const TActiveIt entry = Live_.value(serial, Active_.end());
    if (entry == Active_.end() || entry->Sent || entry->Reply.Status != rsPending || !address) {
        return;
    }
    entry->Address = *address;
    entry->Reply.Host = TUdpEndpoint::DottedQuadText(*address);
    Transmit(entry, packet);
}

void TBasicQuery::Transmit(TActiveIt entry, const QByteArray& packet)
{
    const std::int32_t port = entry->Reply.Port;
    if (port < 1 || port > 65535) {
        return; // no such port: the request simply times out
    }
    entry->Sent = true;
    entry->ReadBeforeSend = Endpoint_->DatagramsRead();
    Pending_[SenderKey(entry->Address, std::uint16_t(port))].push_back(entry);
    Endpoint_->Send(entry->Address, std::uint16_t(port), packet);
}

void TBasicQuery::DataReceived(const TDatagram& datagram)
{
    const auto pending = Pending_.find(SenderKey(datagram.Address, datagram.Port));
    if (pending == Pending_.end()) {
        return; // late, duplicate or unknown: dropped without an event
    }
    const TActiveIt entry = pending->front();
    if (datagram.Serial <= entry->ReadBeforeSend) {
        // Read before this request left (a handler of the same batch sent
        // it): a late or repeated answer to an earlier one. The requests of
        // a sender are sent in order, so no pending one is older.
        return;
    }
    Unmatch(entry);

    if (datagram.Truncated) {
        const QString failure = QStringLiteral("The reply does not fit the %1-byte receive buffer.")
                                    .arg(ReceiveBufferSize);
        const TBasicData request{
            entry->Reply.Host, entry->Reply.Port, Timeout_, entry->Reply.Tag, {}};
        if (Scanning_) {
            // Inside a scan only the scan removes entries; it removes this one.
            entry->Reply.Status = rsTimedOut;
            const QString outer = std::exchange(ReadFailure_, failure);
            emit OnTimeout(request);
            ReadFailure_ = outer;
        } else {
            TimedOut(entry, failure);
        }
        DoError(0, failure);
        return;
    }

    entry->Reply.Status = rsAnswered;
    entry->Reply.Ticks = datagram.ReceivedAt - entry->Reply.Ticks;
    ++entry->Datagrams;
    const std::uint64_t serial = entry->Serial;
    const TBasicData reply{entry->Reply.Host, entry->Reply.Port, entry->Reply.Ticks,
                           entry->Reply.Tag, datagram.Data};
    const TBasicData* outer = std::exchange(ReplyInProgress_, &reply);
    InProgress_.push_back({entry->Serial, datagram.ReceivedAt});
    ProcessReply(reply);
    InProgress_.pop_back();
    ReplyInProgress_ = outer;
    if (FreeSlotOnAnswer_ && !Scanning_) {
        // Looked up again: a handler that ran the event loop may have let a
        // scan remove it. Inside a scan only the scan removes entries. One
        // that waits for more of its answer (KeepPending) stays.
        const TActiveIt still = Live_.value(serial, Active_.end());
        if (still != Active_.end() && still->Reply.Status == rsAnswered) {
            RemoveActive(still);
        }
    }
}

void TBasicQuery::Scan()
{
    if (Scanning_ || Active_.empty()) {
        if (Active_.empty()) {
            Timer_.stop();
        }
        return;
    }
    Scanning_ = true;
    // A reply already read but not yet handed on may be the answer of any
    // pending request: time-outs wait for the next scan.
    const bool readNotHandedOn = Endpoint_->Backlog() > 0;
    // From the last entry down to the first; entries that handlers add during
    // the walk are appended after the starting point and wait for the next
    // scan. Nothing but the scan removes entries while it runs, so the next
    // entry of the walk survives any handler.
    TActiveIt current = std::prev(Active_.end());
    for (bool last = false; !last;) {
        last = current == Active_.begin();
        const TActiveIt before = last ? Active_.end() : std::prev(current);
        const TReply& reply = current->Reply;
        if (reply.Status != rsPending) {
            RemoveActive(current);
        } else if (TickCount() - reply.Ticks >= Timeout_ && !readNotHandedOn) {
            TimedOut(current);
        }
        current = before;
    }
    Scanning_ = false;
    if (Active_.empty()) {
        Timer_.stop();
    }
}

void TBasicQuery::TimedOut(TActiveIt entry, const QString& failure)
{
    entry->Reply.Status = rsTimedOut;
    Unmatch(entry);
    const std::uint64_t serial = entry->Serial;
    // The entry stays in the active list while the handler runs, so a retry
    // issued there at once counts against the limit.
    const QString outer = std::exchange(ReadFailure_, failure);
    emit OnTimeout({entry->Reply.Host, entry->Reply.Port, Timeout_, entry->Reply.Tag, {}});
    ReadFailure_ = outer;
    // A handler that ran the event loop may have let a scan remove it.
    const TActiveIt still = Live_.value(serial, Active_.end());
    if (still != Active_.end()) {
        RemoveActive(still);
    }
}

bool TBasicQuery::KeepPending(const QByteArray& packet)
{
    if (InProgress_.empty()) {
        return false;
    }
    const TInProgress& current = InProgress_.back();
    const TActiveIt entry = Live_.value(current.Serial, Active_.end());
    if (entry == Active_.end() || entry->Reply.Status != rsAnswered) {
        return false;
    }
    const auto port = std::uint16_t(entry->Reply.Port);
    entry->Reply.Status = rsPending;
    // Ticks holds the round trip now: back to the time of the first send,
    // or a new start.
    entry->Reply.Ticks = packet.isEmpty() ? current.ReceivedAt - entry->Reply.Ticks : TickCount();
    entry->Sent = true;
    // It was the oldest pending request of its sender and stays so.
    Pending_[SenderKey(entry->Address, port)].push_front(entry);
    if (!packet.isEmpty()) {
        entry->ReadBeforeSend = Endpoint_->DatagramsRead();
        Endpoint_->Send(entry->Address, port, packet);
    }
    return true;
}

int TBasicQuery::DatagramsReceived() const
{
    if (InProgress_.empty()) {
        return 0;
    }
    const auto entry = Live_.constFind(InProgress_.back().Serial);
    return entry == Live_.constEnd() ? 0 : (*entry)->Datagrams;
}

void TBasicQuery::RemoveActive(TActiveIt entry)
{
    Live_.remove(entry->Serial);
    Unmatch(entry);
    Active_.erase(entry);

    if (!Waiting_.empty()) {
        const TReply& next = Waiting_.front();
        if (TrySend(next.Host, next.Port, next.Tag, next.Data)) {
            Waiting_.pop_front();
        }
    }
}
void TBasicQuery::Unmatch(TActiveIt entry)
{
    if (!entry->Sent) {
        return;
    }
    entry->Sent = false;
    const auto pending = Pending_.find(SenderKey(entry->Address, std::uint16_t(entry->Reply.Port)));
    if (pending == Pending_.end()) {
        return;
    }
    std::deque<TActiveIt>& queue = *pending;
    const auto at = std::find(queue.begin(), queue.end(), entry);
    if (at != queue.end()) {
        queue.erase(at);
    }
    if (queue.empty()) {
        Pending_.erase(pending);
    }
}
