// The player search window over a main list of 10,000 servers, offscreen:
// a local search of their stored player tables (16 players each), the same
// scan without the window, and a network search of the 10,000 rows against
// loopback servers (on a thread of their own) with the longest event-loop
// stall while it runs.
//   bench_playersearch [CONCURRENT-REQUESTS]   (default 500)
#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QThread>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <ctime>
#include <memory>
#include <vector>

#include "benchutil.h"
#include "browser/frmserverlist.h"
#include "core/playersearch.h"
#include "core/settings.h"
#include "fakeudpserver.h"
#include "gamereplies.h"
#include "tools/frmsearch.h"
#include "windowfixture.h"

namespace {

constexpr int kRows = 10000;
constexpr int kServers = 100;
constexpr int kPlayers = 16;
constexpr int kRuns = 5;

// Player J of server N; every 37th is a "Smith", the common name searched for.
QByteArray PlayerName(int n, int j)
{
    const int k = n * kPlayers + j;
    return k % 37 == 0 ? "[Clan]John Smith " + QByteArray::number(k)
                       : "Player " + QByteArray::number(k);
}

// The longest stretch of this thread's own processor time between two turns
// of the event loop: the stall the program itself causes, without the time
// other processes of a busy machine take the processor away.
class TCpuStallMeter : public QObject
{
public:
    TCpuStallMeter()
    {
        Timer_.setInterval(0);
        connect(&Timer_, &QTimer::timeout, this, [this] {
            const double now = ThreadMs();
            Longest_ = std::max(Longest_, now - Last_);
            Last_ = now;
        });
    }
    void Start()
    {
        Longest_ = 0;
        Last_ = ThreadMs();
        Timer_.start();
    }
    double StopMs()
    {
        Timer_.stop();
        return Longest_;
    }

private:
    static double ThreadMs()
    {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
    }
    QTimer Timer_;
    double Last_ = 0;
    double Longest_ = 0;
};

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const int concurrency = argc > 1 ? std::max(1, atoi(argv[1])) : 500;
    TWindowFixture fixture;
    fixture.Settings.Change([concurrency](TSettingsValues& values) {
        values.MaxQueries = concurrency;
        values.QueryTimeout = 1500;
    });
    if (!fixture.Show()) {
        return 1;
    }
    TfrmServerList& main = fixture.Main();
    TfrmSearch& search = *fixture.Windows.Search;

    // Loopback Quake 3 servers, each answering with 16 players. They run on
    // a thread of their own, as real servers run elsewhere: on this one their
    // answering would count as the window's stalls.
    QThread serverThread;
    serverThread.start();
    QObject serverContext;
    serverContext.moveToThread(&serverThread);
    std::vector<std::unique_ptr<TFakeUdpServer>> servers;
    std::vector<std::uint16_t> ports;
    QMetaObject::invokeMethod(
        &serverContext,
        [&] {
            for (int i = 0; i < kServers; ++i) {
                auto server = std::make_unique<TFakeUdpServer>();
                TScriptedGameServer script;
                script.Name = "Arena " + QByteArray::number(i);
                script.MaxPlayers = kPlayers;
                for (int j = 0; j < kPlayers; ++j) {
                    script.Players << PlayerName(i, j);
                }
                server->SetResponder([script](const QByteArray& request) {
                    return GameReply(gtQuake3, request, script);
                });
                ports.push_back(server->Port());
                servers.push_back(std::move(server));
            }
        },
        Qt::BlockingQueuedConnection);
    QList<TServerAddress> rows;
    for (int i = 0; i < kRows; ++i) {
        rows.append({QStringLiteral("127.0.0.1"), ports[std::size_t(i % kServers)], gtQuake3});
    }
    main.AddServers(rows);
    for (int i = 0; i < kRows; ++i) {
        main.ChangeServer(i, [i](TGenericServer& server) {
            server.Name = "Arena " + QByteArray::number(i);
            server.PlayerTable = {{"Name", "Frags", "Ping"}};
            for (int j = 0; j < kPlayers; ++j) {
                server.PlayerTable.append(
                    {PlayerName(i, j), QByteArray::number(j * 3), QByteArray::number(40 + j)});
            }
        });
    }

    auto* pattern = search.findChild<QComboBox*>(QStringLiteral("cbTextPattern"));
    auto* local = search.findChild<QCheckBox*>(QStringLiteral("cbLocalSearch"));
    auto* results = search.findChild<QTreeView*>(QStringLiteral("lvSearchResults"))->model();
    search.Open();
    pattern->setEditText(QStringLiteral("*smith*"));
    search.findChild<QCheckBox*>(QStringLiteral("cbCase"))->setChecked(false);

    std::printf("Player search, %d rows x %d players, %d loopback Quake 3 servers, offscreen\n",
                kRows, kPlayers, kServers);

    // The scan alone, without the window.
    TSearchConditions conditions;
    conditions.TextPattern = QStringLiteral("*smith*");
    conditions.CaseSensitive = false;
    conditions.Games.fill(true);
    std::vector<double> scan;
    qsizetype scanHits = 0;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer clock;
        clock.start();
        scanHits = 0;
        for (int i = 0; i < kRows; ++i) {
            scanHits += SearchStoredPlayers(*main.Server(i), conditions).size();
        }
        scan.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::printf("  local scan alone, median of %d: %.1f ms (%lld hits)\n", kRuns, Median(scan),
                static_cast<long long>(scanHits));

    // The window's local search: the press until its rows are in the list.
    local->setChecked(true);
    std::vector<double> window;
    for (int run = 0; run < kRuns; ++run) {
        search.Clear();
        QElapsedTimer clock;
        clock.start();
        search.Search();
        window.push_back(double(clock.nsecsElapsed()) / 1e6);
        // Between runs only: a turn of the loop lets the list paint its rows.
        QEventLoop turn;
        QTimer::singleShot(0, &turn, &QEventLoop::quit);
        turn.exec();
    }
    std::printf("  local search in the window, median of %d: %.1f ms (%d rows, \"%s\")\n", kRuns,
                Median(window), results->rowCount(), qPrintable(search.StatusText()));

    // A network search of every row.
    local->setChecked(false);
    std::vector<double> seconds;
    std::vector<double> stalls;
    std::vector<double> cpuStalls;
    for (int run = 0; run < kRuns; ++run) {
        search.Clear();
        TStallMeter stall;
        TCpuStallMeter cpuStall;
        QEventLoop loop;
        QElapsedTimer clock;
        double firstHitMs = -1;
        QObject::connect(results, &QAbstractItemModel::rowsInserted, &loop, [&] {
            if (firstHitMs < 0) {
                firstHitMs = double(clock.nsecsElapsed()) / 1e6;
            }
        });
        QObject::connect(&search.Engine(), &TPlayerSearch::Finished, &loop, &QEventLoop::quit);
        clock.start();
        stall.Start();
        cpuStall.Start();
        double pressMs = 0;
        QTimer::singleShot(0, &search, [&] {
            QElapsedTimer press;
            press.start();
            search.Search();
            pressMs = double(press.nsecsElapsed()) / 1e6;
        });
        loop.exec();
        stalls.push_back(stall.StopMs());
        cpuStalls.push_back(cpuStall.StopMs());
        seconds.push_back(double(clock.nsecsElapsed()) / 1e9);
        std::printf("  network run %d: %.2f s, longest stall %.1f ms (its own processor time %.1f "
                    "ms), first hit after %.1f ms, "
                    "the press %.1f ms, %d rows, \"%s\"\n",
                    run + 1, seconds.back(), stalls.back(), cpuStalls.back(), firstHitMs, pressMs,
                    results->rowCount(), qPrintable(search.StatusText()));
    }
    std::printf(
        "  network search, \"Concurrent requests\" %d, median of %d: %.2f s, longest "
        "stall %.1f ms (worst %.1f ms); in its own processor time %.1f ms (worst %.1f ms)\n",
        concurrency, kRuns, Median(seconds), Median(stalls),
        *std::max_element(stalls.begin(), stalls.end()), Median(cpuStalls),
        *std::max_element(cpuStalls.begin(), cpuStalls.end()));
    QMetaObject::invokeMethod(
        &serverContext, [&] { servers.clear(); }, Qt::BlockingQueuedConnection);
    serverThread.quit();
    serverThread.wait();
    return 0;
}
