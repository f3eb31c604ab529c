// Imports from the masters of today's kinds over loopback, against the
// simulator's masters: 10,000 Half-Life servers paged from a Steam-kind
// master (231 a page), and 10,000 Quake 3 servers under three protocol
// versions asked one after another. Prints the wall time of each import,
// the pages or versions asked and the longest event-loop stall.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdlib>

#include "benchutil.h"
#include "masters/hlsteammaster.h"
#include "masters/q3multimaster.h"
#include "simmaster.h"

namespace {

constexpr int ServerCount = 10000;

QList<TMasterServer> Servers()
{
    QList<TMasterServer> servers;
    for (int i = 0; i < ServerCount; ++i) {
        servers.append(
            {QStringLiteral("10.%1.%2.%3").arg(i >> 16 & 0xFF).arg(i >> 8 & 0xFF).arg(i & 0xFF),
             27015 + i % 100});
    }
    return servers;
}

// Runs one import: Start asks, the list ends with OnListEnd. Returns the
// milliseconds it took, or exits when the list came back wrong.
template <typename TComponent>
double Import(const char* what, TComponent& master, int expected, int runs = 5)
{
    QList<double> times;
    double stall = 0;
    for (int run = 0; run < runs; ++run) {
        int received = 0;
        bool complete = false;
        bool ended = false;
        QObject context;
        QObject::connect(&master, &TComponent::OnServer, &context,
                         [&](const TMasterServer&) { ++received; });
        // The benchmark's own loop runs until the list ends (or a minute).
        QEventLoop loop;
        QObject::connect(&master, &TComponent::OnListEnd, &context, [&](bool whole) {
            complete = whole;
            ended = true;
            loop.quit();
        });
        QObject::connect(&master, &TMaster::OnTimeout, &context, [&] { loop.quit(); });
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        TStallMeter meter;
        meter.Start();
        QElapsedTimer clock;
        clock.start();
        master.Request();
        if (!ended) {
            loop.exec();
        }
        times << double(clock.nsecsElapsed()) / 1e6;
        stall = qMax(stall, meter.StopMs());
        if (!complete || received != expected) {
            std::fprintf(stderr, "%s: %d of %d servers, %s\n", what, received, expected,
                         complete ? "complete" : "incomplete");
            std::exit(1);
        }
    }
    std::sort(times.begin(), times.end());
    PrintFigure(what, times[times.size() / 2], "ms (median of 5)");
    PrintFigure("  longest event-loop stall", stall, "ms");
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QList<TMasterServer> servers = Servers();

    TSimMaster steamSim(TMasterProtocol::HalfLife, servers);
    steamSim.SetHLSteam(231);
    TSimMaster q3Sim(TMasterProtocol::Quake3, servers);
    QList<int> versions;
    for (int i = 0; i < ServerCount; ++i) {
        versions << QList<int>{48, 68, 71}[i % 3];
    }
    q3Sim.SetProtocols(versions);
    if (!steamSim.Bind() || !q3Sim.Bind()) {
        std::fprintf(stderr, "cannot bind the simulated masters\n");
        return 1;
    }

    THLSteamMaster steam;
    steam.SetHostname(QStringLiteral("127.0.0.1"));
    steam.SetPort(steamSim.Port());
    Import("Steam-kind master: 10,000 servers, 231 a page", steam, ServerCount);
    PrintFigure("  pages asked", steam.Pages(), "");

    TQ3MultiMaster q3;
    q3.SetHostname(QStringLiteral("127.0.0.1"));
    q3.SetPort(q3Sim.Port());
    Import("Quake 3 master: 10,000 servers under 48, 68 and 71", q3, ServerCount);
    return 0;
}
