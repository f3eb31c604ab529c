#include "masters/master.h"

#include <QHostAddress>

TMaster::TMaster(QObject* owner) : QObject(owner), Endpoint_(new TUdpEndpoint(this))
{
    Timer_.setSingleShot(true);
    Timer_.setTimerType(Qt::PreciseTimer);
    connect(&Timer_, &QTimer::timeout, this, &TMaster::Expire);

    if (!Endpoint_->IsBound()) {
        qWarning("TMaster: cannot bind a UDP socket: %s", qPrintable(Endpoint_->ErrorString()));
    }
    connect(Endpoint_, &TUdpEndpoint::DatagramReceived, this, &TMaster::DatagramReceived);
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
    if (TUdpEndpoint::IsDottedQuad(host)) {
        Transmit(TUdpEndpoint::DottedQuadAddress(host), packet);
    } else {
        Lookup(host, packet, 1);
    }
}

void TMaster::Lookup(const QString& name, const QByteArray& packet, int attempt)
{
    // A lookup of a request that was superseded meanwhile runs out and is dropped.
    const std::uint64_t serial = Serial_;
    Resolving_ = true;
    Endpoint_->Lookup(name, [=, this](std::optional<std::uint32_t> address, const QHostInfo& info) {
        if (Serial_ == serial) {
            LookupDone(name, address, info, packet, attempt);
        }
    });
}

void TMaster::LookupDone(const QString& name, std::optional<std::uint32_t> address,
                         const QHostInfo& info, const QByteArray& packet, int attempt)
{
    Resolving_ = false;
    if (address) {
        Transmit(*address, packet);
        return;
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
    if (!Endpoint_->Send(address, std::uint16_t(Port_), packet)) {
        Fail(QStringLiteral("Cannot send the request to %1:%2: %3")
                 .arg(to.toString())
                 .arg(Port_)
                 .arg(Endpoint_->ErrorString()));
        return;
    }
    Timer_.start(qMax(0, Timeout_));
    emit RequestSent();
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

void TMaster::DatagramReceived(const TDatagram& received)
{
    const QByteArrayView datagram(received.Data);
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
