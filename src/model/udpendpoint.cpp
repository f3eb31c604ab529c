#include "model/udpendpoint.h"

#include <QCoreApplication>
#include <QNetworkProxy>
#include <QPointer>
#include <QUdpSocket>

#include <cstdio>

TUdpEndpoint::TUdpEndpoint(QObject* parent, std::uint16_t localPort)
    : QObject(parent), Socket_(new QUdpSocket(this))
{
    // Game and master servers are asked directly: a system proxy is for the
    // web, and looking it up (libproxy, on a thread of its own) would only
    // cost time.
    Socket_->setProxy(QNetworkProxy::NoProxy);
    if (!Socket_->bind(QHostAddress(QHostAddress::AnyIPv4), localPort)) {
        Error_ = Socket_->errorString();
    }
    connect(Socket_, &QUdpSocket::readyRead, this, &TUdpEndpoint::ReadPending);
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
        bool isIPv4 = false;
        datagram.Address = sender.toIPv4Address(&isIPv4);
        if (!isIPv4) {
            continue;
        }
        datagram.Truncated = MaxDatagramSize_ > 0 && size > MaxDatagramSize_;
        datagram.Data =
            QByteArray(Buffer_.constData(), datagram.Truncated ? MaxDatagramSize_ : size);
        emit DatagramReceived(datagram);
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
