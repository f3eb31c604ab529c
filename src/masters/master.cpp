#include "masters/master.h"

#include <QCoreApplication>
#include <QHostInfo>
#include <QNetworkDatagram>
#include <QNetworkProxy>
#include <QPointer>
#include <QUdpSocket>

#include "model/basicquery.h"

namespace {

// The address of a text that TBasicQuery::IsDottedQuad accepted.
std::uint32_t DottedAddress(QStringView text)
{
    std::uint32_t address = 0;
    for (QStringView part : text.trimmed().split(u'.')) {
        address = address << 8 | part.toUInt();
    }
    return address;
}

} // namespace

TMaster::TMaster(QObject* owner) : QObject(owner), Socket_(new QUdpSocket(this))
{
    Timer_.setSingleShot(true);
    Timer_.setTimerType(Qt::PreciseTimer);
    connect(&Timer_, &QTimer::timeout, this, &TMaster::Expire);

    // Game servers are asked directly: a system proxy is for the web, and
    // looking it up (libproxy, on a thread of its own) would only cost time.
    Socket_->setProxy(QNetworkProxy::NoProxy);
    if (!Socket_->bind(QHostAddress(QHostAddress::AnyIPv4), 0)) {
        qWarning("TMaster: cannot bind a UDP socket: %s", qPrintable(Socket_->errorString()));
    }
    connect(Socket_, &QUdpSocket::readyRead, this, &TMaster::ReadPending);
}

void TMaster::SetPrefix(const QByteArray& prefix, bool onEveryDatagram)
{
    Prefix_ = prefix;
    PrefixOnEveryDatagram_ = onEveryDatagram;
}

void TMaster::SendRequest(const QByteArray& packet)
{
    // Whatever the earlier request was doing, it is over: its lookup, its
    // time-out and its flags.
    ++Serial_;
    Resolving_ = false;
    Timer_.stop();
    HeaderSeen_ = false;
    Expired_ = false;
    Listening_ = true;

    const QString host = Hostname_.trimmed();
    if (TBasicQuery::IsDottedQuad(host)) {
        Transmit(DottedAddress(host), packet);
    } else {
        Lookup(host, packet, 1);
    }
}

void TMaster::Lookup(const QString& name, const QByteArray& packet, int attempt)
{
    // The lookup answers to the application, not to this component: Qt 6.4
    // loses the callback's memory when a lookup is aborted or its context
    // object dies first. A lookup no longer wanted runs out and is dropped.
    QObject* context = QCoreApplication::instance();
    const std::uint64_t serial = Serial_;
    Resolving_ = true;
    QHostInfo::lookupHost(name, context ? context : this,
                          [=, self = QPointer<TMaster>(this)](const QHostInfo& info) {
                              if (self && self->Serial_ == serial) {
                                  self->LookupDone(name, info, packet, attempt);
                              }
                          });
}

void TMaster::LookupDone(const QString& name, const QHostInfo& info, const QByteArray& packet,
                         int attempt)
{
    Resolving_ = false;
    for (const QHostAddress& address : info.addresses()) {
        bool isIPv4 = false;
        const std::uint32_t ipv4 = address.toIPv4Address(&isIPv4);
        if (isIPv4) {
            Transmit(ipv4, packet);
            return;
        }
    }
    // A resolver that failed for a passing reason gets a second chance; a
    // name that does not exist does not.
    if (attempt == 1 && info.error() == QHostInfo::UnknownError) {
        Lookup(name, packet, 2);
    } else {
        Fail(HostLookupCanceled);
    }
}

void TMaster::Transmit(std::uint32_t address, const QByteArray& packet)
{
    const QHostAddress to(address);
    if (Port_ < 1 || Port_ > 65535) {
        Fail(QStringLiteral("Cannot send the request to %1:%2: no such port.")
                 .arg(to.toString())
                 .arg(Port_));
        return;
    }
    if (Socket_->writeDatagram(packet, to, std::uint16_t(Port_)) != packet.size()) {
        Fail(QStringLiteral("Cannot send the request to %1:%2: %3")
                 .arg(to.toString())
                 .arg(Port_)
                 .arg(Socket_->errorString()));
        return;
    }
    Timer_.start(qMax(0, Timeout_));
}

void TMaster::Fail(const QString& errorMessage)
{
    Listening_ = false;
    // Raised from the event loop, so that a caller never handles it inside
    // its own call to Request; dropped when a newer request came first.
    QMetaObject::invokeMethod(
        this,
        [this, serial = Serial_, errorMessage] {
            if (serial == Serial_) {
                emit OnError(errorMessage);
            }
        },
        Qt::QueuedConnection);
}

void TMaster::Expire()
{
    if (HeaderSeen_) {
        return;
    }
    // Set before the event, so that a handler that asks again starts clean.
    Expired_ = true;
    RequestTimedOut();
}

void TMaster::RequestTimedOut()
{
    emit OnTimeout();
}

void TMaster::ReadPending()
{
    while (Socket_->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = Socket_->receiveDatagram();
        if (!datagram.isValid()) {
            break;
        }
        const QByteArray data = datagram.data();
        DatagramReceived(data);
    }
}

void TMaster::DatagramReceived(QByteArrayView datagram)
{
    if (!Listening_) {
        return;
    }
    Timer_.stop();
    if (Expired_) {
        return;
    }
    if (HeaderSeen_) {
        ProcessReply(datagram);
        return;
    }
    if (!datagram.startsWith(Prefix_)) {
        emit OnInvalid();
        return;
    }
    // Set before decoding: a handler of the decoder's events may ask again.
    HeaderSeen_ = !PrefixOnEveryDatagram_;
    ProcessReply(datagram.sliced(Prefix_.size()));
}
