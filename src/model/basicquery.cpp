#include "model/basicquery.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostInfo>
#include <QNetworkProxy>
#include <QPointer>
#include <QUdpSocket>

#include <cstdio>
#include <utility>

namespace {

// Parses a text that IsDottedQuad accepted into its address.
std::uint32_t DottedQuadAddress(QStringView text)
{
    std::uint32_t address = 0;
    std::uint32_t part = 0;
    for (QChar c : text.trimmed()) {
        if (c == u'.') {
            address = address << 8 | part;
            part = 0;
        } else {
            part = part * 10 + (c.unicode() - u'0');
        }
    }
    return address << 8 | part;
}

QString DottedQuadText(std::uint32_t address)
{
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%u.%u.%u.%u", address >> 24,
                                     address >> 16 & 0xFF, address >> 8 & 0xFF, address & 0xFF);
    return QString::fromLatin1(text, length);
}

} // namespace

TBasicQuery::TBasicQuery(QObject* owner) : QObject(owner), Socket_(new QUdpSocket(this))
{
    Timer_.setInterval(ScanInterval);
    Timer_.setTimerType(Qt::PreciseTimer);
    connect(&Timer_, &QTimer::timeout, this, &TBasicQuery::Scan);

    // Game servers are asked directly: a system proxy is for the web, and
    // looking it up (libproxy, on a thread of its own) would only cost time.
    Socket_->setProxy(QNetworkProxy::NoProxy);
    if (!Socket_->bind(QHostAddress(QHostAddress::AnyIPv4), 0)) {
        qWarning("TBasicQuery: cannot bind a UDP socket: %s", qPrintable(Socket_->errorString()));
    }
    connect(Socket_, &QUdpSocket::readyRead, this, &TBasicQuery::DataReceived);
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
    return Socket_->localPort();
}

std::uint32_t TBasicQuery::TickCount()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return std::uint32_t(clock.elapsed());
}

bool TBasicQuery::IsDottedQuad(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ') {
        ++i;
    }
    if (i == text.size() || text[i] == u'.') {
        return false;
    }
    int dots = 0;
    int part = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c >= u'0' && c <= u'9') {
            part = qMin(part * 10 + (c.unicode() - u'0'), 1000);
        } else if (c == u'.') {
            if (++dots > 3 || part > 255 || i + 1 == text.size() || text[i + 1] < u'0' ||
                text[i + 1] > u'9') {
                return false;
            }
            part = 0;
        } else if (c == u' ') {
            while (i < text.size() && text[i] == u' ') {
                ++i;
            }
            if (i < text.size()) {
                return false;
            }
            break;
        } else {
            return false;
        }
    }
    return dots == 3 && part <= 255;
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
    if (!Timer_.isActive()) {
        Timer_.start();
    }

    if (IsDottedQuad(host)) {
        // Stored in its plain form, so that the reply's sender compares equal.
        entry->Address = DottedQuadAddress(host);
        entry->Reply.Host = DottedQuadText(entry->Address);
        Transmit(entry, packet);
    } else {
        // The request keeps its place and its time-out runs while the name is
        // resolved; a name that does not resolve sends nothing and times out.
        // The lookup answers to the application, not to the engine, and is
        // never aborted: Qt 6.4 loses the callback's memory when a lookup is
        // aborted or its context object dies first. A result nobody waits
        // for any more finds no entry and is dropped.
        const std::uint64_t serial = entry->Serial;
        Resolving_.insert(serial, entry);
        QObject* context = QCoreApplication::instance();
        QHostInfo::lookupHost(
            host, context ? context : this,
            [self = QPointer<TBasicQuery>(this), serial, packet](const QHostInfo& info) {
                if (self) {
                    self->LookupDone(serial, info, packet);
                }
            });
    }
    return true;
}

void TBasicQuery::LookupDone(std::uint64_t serial, const QHostInfo& info, const QByteArray& packet)
{
    const auto found = Resolving_.find(serial);
    if (found == Resolving_.end()) {
        return;
    }
    const TActiveIt entry = *found;
    Resolving_.erase(found);
    if (entry->Reply.Status != rsPending) {
        return;
    }
    for (const QHostAddress& address : info.addresses()) {
        bool isIPv4 = false;
        const std::uint32_t ipv4 = address.toIPv4Address(&isIPv4);
        if (isIPv4) {
            entry->Address = ipv4;
            entry->Reply.Host = DottedQuadText(ipv4);
            Transmit(entry, packet);
            return;
        }
    }
}

void TBasicQuery::Transmit(TActiveIt entry, const QByteArray& packet)
{
    const std::int32_t port = entry->Reply.Port;
    if (port < 1 || port > 65535) {
        return; // no such port: the request simply times out
    }
    entry->Sent = true;
    Pending_[SenderKey(entry->Address, std::uint16_t(port))].push_back(entry);
    Socket_->writeDatagram(packet, QHostAddress(entry->Address), std::uint16_t(port));
}

void TBasicQuery::DataReceived()
{
    // One byte more than the buffer the replies must fit: a datagram that
    // fills it was longer and is cut off.
    char buffer[ReceiveBufferSize + 1];
    while (Socket_->hasPendingDatagrams()) {
        QHostAddress sender;
        quint16 senderPort = 0;
        const qint64 size = Socket_->readDatagram(buffer, sizeof buffer, &sender, &senderPort);
        if (size < 0) {
            break; // a failed read names no sender, so it answers no request
        }
        bool isIPv4 = false;
        const std::uint32_t address = sender.toIPv4Address(&isIPv4);
        if (!isIPv4) {
            continue;
        }
        const auto pending = Pending_.find(SenderKey(address, senderPort));
        if (pending == Pending_.end()) {
            continue; // late, duplicate or unknown: dropped without an event
        }
        const TActiveIt entry = pending->front();
        Unmatch(entry);

        const std::uint32_t now = TickCount();
        if (size > ReceiveBufferSize) {
            const QString failure =
                QStringLiteral("The reply does not fit the %1-byte receive buffer.")
                    .arg(ReceiveBufferSize);
            if (Scanning_) {
                // Inside a scan only the scan removes entries; it removes this one.
                entry->Reply.Status = rsTimedOut;
                emit OnTimeout(
                    {entry->Reply.Host, entry->Reply.Port, Timeout_, entry->Reply.Tag, {}});
            } else {
                TimedOut(entry);
            }
            DoError(0, failure);
            continue;
        }

        entry->Reply.Status = rsAnswered;
        entry->Reply.Ticks = now - entry->Reply.Ticks;
        ++entry->Datagrams;
        const TBasicData reply{entry->Reply.Host, entry->Reply.Port, entry->Reply.Ticks,
                               entry->Reply.Tag, QByteArray(buffer, size)};
        const TBasicData* outer = std::exchange(ReplyInProgress_, &reply);
        TInProgress current{entry, now};
        InProgress_.push_back(&current);
        ProcessReply(reply);
        InProgress_.pop_back();
        ReplyInProgress_ = outer;
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
    // From the last entry down to the first; entries that handlers add during
    // the walk are appended after the starting point and wait for the next scan.
    TActiveIt current = std::prev(Active_.end());
    for (bool last = false; !last;) {
        last = current == Active_.begin();
        const TActiveIt before = last ? Active_.end() : std::prev(current);
        const TReply& reply = current->Reply;
        if (reply.Status != rsPending) {
            RemoveActive(current);
        } else if (TickCount() - reply.Ticks >= Timeout_) {
            TimedOut(current);
        }
        current = before;
    }
    Scanning_ = false;
    if (Active_.empty()) {
        Timer_.stop();
    }
}

void TBasicQuery::TimedOut(TActiveIt entry)
{
    entry->Reply.Status = rsTimedOut;
    Unmatch(entry);
    // The entry stays in the active list while the handler runs, so a retry
    // issued there at once counts against the limit.
    emit OnTimeout({entry->Reply.Host, entry->Reply.Port, Timeout_, entry->Reply.Tag, {}});
    RemoveActive(entry);
}

bool TBasicQuery::KeepPending(const QByteArray& packet)
{
    if (InProgress_.empty() || !InProgress_.back()->Entry ||
        (*InProgress_.back()->Entry)->Reply.Status != rsAnswered) {
        return false;
    }
    const TActiveIt entry = *InProgress_.back()->Entry;
    const auto port = std::uint16_t(entry->Reply.Port);
    entry->Reply.Status = rsPending;
    // Ticks holds the round trip now: back to the time of the first send,
    // or a new start.
    entry->Reply.Ticks =
        packet.isEmpty() ? InProgress_.back()->ReceivedAt - entry->Reply.Ticks : TickCount();
    entry->Sent = true;
    // It was the oldest pending request of its sender and stays so.
    Pending_[SenderKey(entry->Address, port)].push_front(entry);
    if (!packet.isEmpty()) {
        Socket_->writeDatagram(packet, QHostAddress(entry->Address), port);
    }
    return true;
}

int TBasicQuery::DatagramsReceived() const
{
    return InProgress_.empty() || !InProgress_.back()->Entry
               ? 0
               : (*InProgress_.back()->Entry)->Datagrams;
}

void TBasicQuery::RemoveActive(TActiveIt entry)
{
    for (TInProgress* decoding : InProgress_) {
        if (decoding->Entry == entry) {
            decoding->Entry.reset();
        }
    }
    Resolving_.remove(entry->Serial);
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
