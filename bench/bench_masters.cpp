// Master answers of 10,000 servers, in datagrams of at most 1400 bytes as
// real masters send them: the time to decode them, and to decode them and
// raise every server's event to a connected slot.
#include <QList>
#include <QRandomGenerator>

#include <cstdlib>

#include "benchutil.h"
#include "masters/hlmaster.h"
#include "masters/q3master.h"
#include "masters/t2master.h"
#include "masters/tribesmaster.h"

namespace {

constexpr int ServerCount = 10000;
constexpr int DatagramBytes = 1400;

// A master's decoder, callable as the socket would call it.
template <typename T> class TBenchMaster : public T
{
public:
    using T::ProcessReply;
};

struct TAnswer
{
    const char* Name;
    QList<QByteArray> Accepted; // each datagram's bytes after the prefix, when it is checked
};

void AppendAddress(QByteArray& to, QRandomGenerator& random)
{
    for (int i = 0; i < 4; ++i) {
        to.append(char(random.bounded(1, 256)));
    }
}

void AppendPort(QByteArray& to, std::uint16_t port, bool bigEndian)
{
    to.append(char(bigEndian ? port >> 8 : port & 0xFF));
    to.append(char(bigEndian ? port & 0xFF : port >> 8));
}

std::uint16_t Port(QRandomGenerator& random)
{
    return std::uint16_t(27000 + random.bounded(2000));
}

// The list in datagrams of PerDatagram entries; Header gives the bytes that
// start datagram i, after its prefix.
template <typename Entry, typename Header>
QList<QByteArray> Split(int perDatagram, Header header, Entry entry)
{
    QList<QByteArray> datagrams;
    const int count = (ServerCount + perDatagram - 1) / perDatagram;
    for (int i = 0, listed = 0; i < count; ++i) {
        const int entries = qMin(perDatagram, ServerCount - listed);
        QByteArray datagram = header(i, count, entries);
        for (int k = 0; k < entries; ++k) {
            entry(datagram);
        }
        listed += entries;
        datagrams << datagram;
    }
    return datagrams;
}

TAnswer HLAnswer(QRandomGenerator& random)
{
    // Only the first datagram carries the prefix; the others are entries only.
    return {"Half-Life", Split(
                             DatagramBytes / 6, [](int, int, int) { return QByteArray(); },
                             [&](QByteArray& to) {
                                 AppendAddress(to, random);
                                 AppendPort(to, Port(random), true);
                             })};
}

TAnswer Q3Answer(QRandomGenerator& random)
{
    const int perDatagram = (DatagramBytes - 22 - 7) / 7;
    TAnswer answer{"Quake 3", Split(
                                  perDatagram, [](int, int, int) { return QByteArray(); },
                                  [&](QByteArray& to) {
                                      to.append('\\');
                                      AppendAddress(to, random);
                                      AppendPort(to, Port(random), true);
                                  })};
    answer.Accepted.last().append("\\EOT\0\0\0", 7);
    return answer;
}

TAnswer TribesAnswer(QRandomGenerator& random)
{
    const QByteArray name = "Dynamix Master";
    const QByteArray motd = "Welcome to Starsiege: Tribes. Please play fair and have fun.";
    const auto header = [&](int i, int count, int entries) {
        QByteArray bytes;
        bytes.append(char(i + 1)).append(char(count)).append(4, '\0');
        if (i == 0) {
            bytes.append(char(name.size())).append(name).append(char(motd.size())).append(motd);
        }
        AppendPort(bytes, std::uint16_t(entries), true);
        return bytes;
    };
    return {"Starsiege: Tribes",
            Split((DatagramBytes - 10 - 2 - 76) / 7, header, [&](QByteArray& to) {
                to.append('\x06');
                AppendAddress(to, random);
                AppendPort(to, Port(random), false);
            })};
}

TAnswer T2Answer(QRandomGenerator& random)
{
    const auto header = [](int i, int count, int entries) {
        QByteArray bytes;
        bytes.append(char(i)).append(char(count));
        AppendPort(bytes, std::uint16_t(entries), false);
        return bytes;
    };
    return {"Tribes 2", Split((DatagramBytes - 10) / 6, header, [&](QByteArray& to) {
                AppendAddress(to, random);
                AppendPort(to, Port(random), false);
            })};
}

template <typename T, typename Signal, typename Decode>
void Measure(const TAnswer& answer, Signal signal, Decode decode)
{
    int decoded = 0;
    const double decodeNs = MeasureNs([&] {
        decoded = 0;
        for (const QByteArray& datagram : answer.Accepted) {
            decoded += decode(datagram);
        }
    });

    TBenchMaster<T> master;
    int received = 0;
    qsizetype checksum = 0;
    QObject::connect(&master, signal, [&](const TMasterServer& server) {
        ++received;
        checksum += server.Port + server.IP.size();
    });
    const double emitNs = MeasureNs([&] {
        received = 0;
        for (const QByteArray& datagram : answer.Accepted) {
            master.ProcessReply(datagram);
        }
    });
    if (decoded != ServerCount || received != ServerCount || checksum == 0) {
        std::fprintf(stderr, "%s: %d decoded, %d received\n", answer.Name, decoded, received);
        std::exit(1);
    }

    char what[96];
    std::snprintf(what, sizeof what, "%s, %d servers in %d datagrams: decode", answer.Name,
                  ServerCount, int(answer.Accepted.size()));
    PrintFigure(what, decodeNs / 1e6, "ms");
    std::snprintf(what, sizeof what, "%s: decode and signal each to a slot", answer.Name);
    PrintFigure(what, emitNs / 1e6, "ms");
    PrintFigure("  per server", emitNs / ServerCount, "ns");
}

} // namespace

int main()
{
    QRandomGenerator random(20240601);
    const auto count = [](const QList<TMasterServer>& servers) { return int(servers.size()); };
    Measure<THLMaster>(HLAnswer(random), &THLMaster::OnServer,
                       [&](QByteArrayView data) { return count(THLMaster::Decode(data)); });
    Measure<TQ3Master>(Q3Answer(random), &TQ3Master::OnServer,
                       [&](QByteArrayView data) { return count(TQ3Master::Decode(data)); });
    Measure<TTribesMaster>(
        TribesAnswer(random), &TTribesMaster::OnServer,
        [&](QByteArrayView data) { return count(TTribesMaster::Decode(data).Servers); });
    Measure<TT2Master>(T2Answer(random), &TT2Master::OnComplete,
                       [&](QByteArrayView data) { return count(TT2Master::Decode(data)); });
    return 0;
}
