#include "wire/masterwire.h"

#include <QHostAddress>

#include <functional>

#include "masters/hlsteammaster.h"

namespace {

void AppendEntry(QByteArray& out, const TMasterServer& server, bool portBigEndian)
{
    const quint32 address = QHostAddress(server.IP).toIPv4Address();
    out.append(char(address >> 24)).append(char(address >> 16)).append(char(address >> 8));
    out.append(char(address));
    const auto port = std::uint16_t(server.Port);
    if (portBigEndian) {
        out.append(char(port >> 8)).append(char(port & 0xFF));
    } else {
        out.append(char(port & 0xFF)).append(char(port >> 8));
    }
}

// Splits Servers into datagrams of at most MaxDatagram bytes: Head(i) is
// the start of datagram i, Tail the bytes the last one ends with. At least
// one datagram, even for no servers.
QList<QByteArray> Split(const QList<TMasterServer>& servers, qsizetype maxDatagram,
                        qsizetype entrySize, const std::function<QByteArray(int)>& head,
                        const std::function<void(QByteArray&, const TMasterServer&)>& entry,
                        QByteArrayView tail = {})
{
    QList<QByteArray> datagrams;
    qsizetype next = 0;
    do {
        QByteArray datagram = head(int(datagrams.size()));
        const qsizetype room =
            qMax<qsizetype>(1, (maxDatagram - datagram.size() - tail.size()) / entrySize);
        const qsizetype end = qMin(servers.size(), next + room);
        for (; next < end; ++next) {
            entry(datagram, servers[next]);
        }
        datagrams.append(datagram);
    } while (next < servers.size());
    datagrams.last().append(tail);
    return datagrams;
}

// Datagrams the list needs when each holds Room entries.
int DatagramCount(qsizetype servers, qsizetype room)
{
    return int(qMax<qsizetype>(1, (servers + room - 1) / room));
}

} // namespace

QList<QByteArray> EncodeHLMasterList(const QList<TMasterServer>& servers, qsizetype maxDatagram)
{
    return Split(
        servers, maxDatagram, 6,
        [](int index) {
            return index == 0 ? QByteArray("\xFF\xFF\xFF\xFF\x64\x0D", 6) : QByteArray();
        },
        [](QByteArray& out, const TMasterServer& server) { AppendEntry(out, server, true); });
}

QList<QByteArray> EncodeQ3MasterList(const QList<TMasterServer>& servers, qsizetype maxDatagram)
{
    return Split(
        servers, maxDatagram, 7,
        [](int) { return QByteArray("\xFF\xFF\xFF\xFFgetserversResponse"); },
        [](QByteArray& out, const TMasterServer& server) {
            out.append('\\');
            AppendEntry(out, server, true);
        },
        QByteArrayView("\\EOT\0\0\0", 7));
}

QList<QByteArray> EncodeTribesMasterList(const QList<TMasterServer>& servers,
                                         QByteArrayView masterName, QByteArrayView motd,
                                         qsizetype maxDatagram)
{
    const auto pstring = [](QByteArrayView text) {
        const qsizetype length = qMin<qsizetype>(text.size(), 255);
        return char(length) + text.first(length).toByteArray();
    };
    const QByteArray greeting = pstring(masterName) + pstring(motd);
    // Header 10 06, number, count, two 2-byte fields, the count of entries;
    // the first datagram's greeting takes room from its entries.
    const qsizetype fixed = 2 + 1 + 1 + 4 + 2;
    const qsizetype firstRoom = qMax<qsizetype>(1, (maxDatagram - fixed - greeting.size()) / 7);
    const qsizetype room = qMax<qsizetype>(1, (maxDatagram - fixed) / 7);
    const int total =
        servers.size() <= firstRoom ? 1 : 1 + DatagramCount(servers.size() - firstRoom, room);

    QList<QByteArray> datagrams;
    qsizetype next = 0;
    for (int number = 1; number <= total; ++number) {
        QByteArray datagram("\x10\x06", 2);
        datagram.append(char(number)).append(char(total)).append(QByteArray(4, '\0'));
        if (number == 1) {
            datagram.append(greeting);
        }
        const qsizetype end = qMin(servers.size(), next + (number == 1 ? firstRoom : room));
        const auto count = std::uint16_t(end - next);
        datagram.append(char(count >> 8)).append(char(count & 0xFF));
        for (; next < end; ++next) {
            datagram.append('\x06');
            AppendEntry(datagram, servers[next], false);
        }
        datagrams.append(datagram);
    }
    return datagrams;
}

QList<QByteArray> EncodeT2MasterList(const QList<TMasterServer>& servers, qsizetype maxDatagram)
{
    const qsizetype fixed = 6 + 2 + 2;
    const qsizetype room = qMax<qsizetype>(1, (maxDatagram - fixed) / 6);
    const int total = DatagramCount(servers.size(), room);
    QList<QByteArray> datagrams;
    for (int index = 0; index < total; ++index) {
        QByteArray datagram("\x08\x00\x00\x00\x00\x00", 6);
        datagram.append(char(index)).append(char(total));
        const qsizetype begin = index * room;
        const qsizetype end = qMin(servers.size(), begin + room);
        const auto count = std::uint16_t(end - begin);
        datagram.append(char(count & 0xFF)).append(char(count >> 8));
        for (qsizetype i = begin; i < end; ++i) {
            AppendEntry(datagram, servers[i], false);
        }
        datagrams.append(datagram);
    }
    return datagrams;
}

QByteArray EncodeHLSteamMasterPage(const QList<TMasterServer>& servers, bool last)
{
    QByteArray page("\xFF\xFF\xFF\xFF\x66\x0A", 6);
    page.reserve(6 + 6 * (servers.size() + 1));
    for (const TMasterServer& server : servers) {
        AppendEntry(page, server, true);
    }
    if (last) {
        page.append(QByteArray(6, '\0'));
    }
    return page;
}

bool ParseHLSteamMasterRequest(QByteArrayView request, THLSteamMasterRequest& parsed)
{
    if (request.size() < 2 || request[0] != '1') {
        return false;
    }
    parsed.Region = std::uint8_t(request[1]);
    const QByteArrayView rest = request.sliced(2);
    const qsizetype end = rest.indexOf('\0');
    if (end < 0) {
        return false;
    }
    parsed.LastAddress = rest.first(end).toByteArray();
    const QByteArrayView filter = rest.sliced(end + 1);
    const qsizetype filterEnd = filter.indexOf('\0');
    parsed.Filter = (filterEnd < 0 ? filter : filter.first(filterEnd)).toByteArray();
    return true;
}

QByteArray EncodeHLSteamMasterAnswer(const QList<TMasterServer>& servers,
                                     QByteArrayView lastAddress, qsizetype pageSize)
{
    qsizetype from = 0;
    for (qsizetype i = 0; i < servers.size(); ++i) {
        const TMasterServer& server = servers[i];
        if (lastAddress == THLSteamMaster::AddressText(server)) {
            from = i + 1;
            break;
        }
    }
    const qsizetype size = qMax<qsizetype>(1, pageSize);
    const qsizetype end = qMin(servers.size(), from + size);
    return EncodeHLSteamMasterPage(servers.mid(from, end - from), end == servers.size());
}

QList<QByteArray> EncodeHLSteamMasterList(const QList<TMasterServer>& servers, qsizetype pageSize)
{
    const qsizetype size = qMax<qsizetype>(1, pageSize);
    QList<QByteArray> pages;
    qsizetype from = 0;
    do {
        const qsizetype end = qMin(servers.size(), from + size);
        pages.append(EncodeHLSteamMasterPage(servers.mid(from, end - from), end == servers.size()));
        from = end;
    } while (from < servers.size());
    return pages;
}
