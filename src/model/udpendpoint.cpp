#include "model/udpendpoint.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkProxy>
#include <QPointer>
#include <QUdpSocket>

#include <cstdio>

#include <linux/sock_diag.h>
#include <sys/socket.h>

#ifndef SO_MEMINFO
#define SO_MEMINFO 55
#endif

TUdpEndpoint::TUdpEndpoint(QObject* parent, std::uint16_t localPort)
    : QObject(parent), Socket_(new QUdpSocket(this))
{
    // Game and master servers are asked directly: a system proxy is for the
    // web, and looking it up (libproxy, on a thread of its own) would only
    // cost time.
    Socket_->setProxy(QNetworkProxy::NoProxy);
    if (!Socket_->bind(QHostAddress(QHostAddress::AnyIPv4), localPort)) {
        Error_ = Socket_->errorString();
    } else {
        SetReceiveBufferSize(BurstReceiveBuffer);
    }
    connect(Socket_, &QUdpSocket::readyRead, this, &TUdpEndpoint::ReadPending);
    Continue_.setSingleShot(true);
    Continue_.setInterval(0);
    connect(&Continue_, &QTimer::timeout, this, &TUdpEndpoint::Deliver);
}

bool TUdpEndpoint::IsBound() const
{
    return Socket_->state() == QAbstractSocket::BoundState;
}

std::uint16_t TUdpEndpoint::LocalPort() const
{
    return Socket_->localPort();
}

QString TUdpEndpoint::ErrorString() const
{
    return Error_;
}

int TUdpEndpoint::ReceiveBufferSize() const
{
    return qMax(0, Socket_->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt());
}

int TUdpEndpoint::SetReceiveBufferSize(int bytes)
{
    Socket_->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, bytes);
    return ReceiveBufferSize();
}

std::optional<std::uint64_t> TUdpEndpoint::DroppedDatagrams() const
{
    // The socket's own drop counter, the one /proc/net/udp shows; it needs
    // no privileges.
    const qintptr descriptor = Socket_->socketDescriptor();
    if (descriptor < 0) {
        return std::nullopt;
    }
    std::uint32_t memory[SK_MEMINFO_VARS] = {};
    socklen_t length = sizeof memory;
    if (getsockopt(int(descriptor), SOL_SOCKET, SO_MEMINFO, memory, &length) != 0 ||
        length <= socklen_t(SK_MEMINFO_DROPS * sizeof memory[0])) {
        return std::nullopt;
    }
    return memory[SK_MEMINFO_DROPS];
}

std::uint32_t TUdpEndpoint::TickCount()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return std::uint32_t(clock.elapsed());
}

bool TUdpEndpoint::Send(std::uint32_t address, std::uint16_t port, const QByteArray& packet)
{
    if (Socket_->writeDatagram(packet, QHostAddress(address), port) != packet.size()) {
        Error_ = Socket_->errorString();
        return false;
    }
    return true;
}

void TUdpEndpoint::ReadPending()
{
    // Everything waiting is read before anything is decoded: decoding a
    // burst takes longer than the burst takes to arrive, and what the
    // socket does not hold the system drops. The time of each datagram is
    // taken as it is read, so its round trip does not include the decoding
    // of those read before it.
    while (Socket_->hasPendingDatagrams()) {
        // Read into one reused buffer, one byte longer than what is taken (a
        // datagram that fills it was longer), and copied out at its own
        // size: records keep their reply's bytes.
        const qint64 room = MaxDatagramSize_ > 0 ? MaxDatagramSize_ + 1
                                                 : qMax<qint64>(Socket_->pendingDatagramSize(), 1);
        if (Buffer_.size() < room) {
            Buffer_.resize(room);
        }
        TDatagram datagram;
        QHostAddress sender;
        const qint64 size = Socket_->readDatagram(Buffer_.data(), room, &sender, &datagram.Port);
        if (size < 0) {
            break; // a failed read names no sender, so it answers nothing
        }
        datagram.ReceivedAt = TickCount();
        datagram.Serial = ++Read_;
        bool isIPv4 = false;
        datagram.Address = sender.toIPv4Address(&isIPv4);
        if (!isIPv4) {
            continue;
        }
        datagram.Truncated = MaxDatagramSize_ > 0 && size > MaxDatagramSize_;
        datagram.Data =
            QByteArray(Buffer_.constData(), datagram.Truncated ? MaxDatagramSize_ : size);
        Backlog_.push_back(std::move(datagram));
    }
    Deliver();
}

void TUdpEndpoint::Deliver()
{
    QElapsedTimer slice;
    slice.start();
    // A handler may delete the endpoint (its owner went away), or run the
    // event loop, which reads and delivers from the same backlog.
    const QPointer<TUdpEndpoint> self(this);
    while (!Backlog_.empty()) {
        if (slice.elapsed() >= DeliverySliceMs) {
            Continue_.start();
            return;
        }
        const TDatagram datagram = std::move(Backlog_.front());
        Backlog_.pop_front();
        emit DatagramReceived(datagram);
        if (!self) {
            return;
        }
    }
}

void TUdpEndpoint::Lookup(const QString& name, TLookupDone done)
{
    QObject* context = QCoreApplication::instance();
    QHostInfo::lookupHost(
        name, context ? context : this,
        [self = QPointer<TUdpEndpoint>(this), done = std::move(done)](const QHostInfo& info) {
            if (!self) {
                return;
            }
            std::optional<std::uint32_t> first;
            for (const QHostAddress& address : info.addresses()) {
                bool isIPv4 = false;
                const std::uint32_t ipv4 = address.toIPv4Address(&isIPv4);
                if (isIPv4) {
                    first = ipv4;
                    break;
                }
            }
            done(first, info);
        });
}

bool TUdpEndpoint::IsDottedQuad(QStringView text)
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

std::uint32_t TUdpEndpoint::DottedQuadAddress(QStringView text)
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

QString TUdpEndpoint::DottedQuadText(std::uint32_t address)
{
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%u.%u.%u.%u", address >> 24,
                                     address >> 16 & 0xFF, address >> 8 & 0xFF, address & 0xFF);
    return QString::fromLatin1(text, length);
}
