// The main window with 10,000 rows, offscreen: adding them, sorting, a query
// round against loopback servers with "No limit" beside the same round made
// by the query coordinator alone and by the bare engine, removing a
// scattered half of the rows, and memory per row.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <memory>
#include <vector>

#include "benchutil.h"
#include "browser/frmserverlist.h"
#include "browser/serverlistmodel.h"
#include "core/serverquerier.h"
#include "core/settings.h"
#include "fakeudpserver.h"
#include "protocols/q3aquery.h"
#include "windowfixture.h"

namespace {

constexpr int kRows = 10000;
constexpr int kServers = 100;
constexpr int kSlice = 64; // dispatches per turn when the engines run alone
constexpr int kRuns = 5;   // rounds of each kind

// Loopback Quake 3 servers; every reply names the server differently so
// that sorting by name has work to do.
std::vector<std::unique_ptr<TFakeUdpServer>> MakeServers()
{
    std::vector<std::unique_ptr<TFakeUdpServer>> servers;
    static int counter = 0;
    for (int i = 0; i < kServers; ++i) {
        auto server = std::make_unique<TFakeUdpServer>();
        server->SetResponder([](const QByteArray&) {
            const int n = ++counter;
            QByteArray reply("\xFF\xFF\xFF\xFFstatusResponse\n\\", 20);
            reply += "sv_hostname\\" + QByteArray(n % 2 ? "Arena " : "arena ") +
                     QByteArray::number((n * 7919) % 100003) + "\\mapname\\q3dm" +
                     QByteArray::number(n % 19) + "\\sv_maxclients\\16\\gamename\\baseq3\n";
            for (int p = 0; p < n % 5; ++p) {
                reply +=
                    QByteArray::number(p * 3) + " 50 \"Player" + QByteArray::number(p) + "\"\n";
            }
            return QList<QByteArray>{reply};
        });
        servers.push_back(std::move(server));
    }
    return servers;
}

struct TRoundFigures
{
    double Seconds = 0;
    double StallMs = 0;
    int Answered = 0;
    int TimedOut = 0;
};

// The same round with the Quake 3 engine alone: no window, no list; the
// requests go out in slices per turn as the window's dispatcher sends them,
// and a time-out is retried up to twice as the window does.
TRoundFigures EnginesAlone(const std::vector<std::unique_ptr<TFakeUdpServer>>& servers)
{
    TQ3AQuery engine;
    engine.SetMaxQueries(0);
    engine.SetTimeout(1500);
    std::vector<int> retries(kRows, 0);
    TRoundFigures figures;
    int outstanding = 0;
    int next = 0;
    QEventLoop loop;
    QObject::connect(&engine, &TQ3AQuery::OnComplete, &loop, [&](const TQ3AServer&) {
        ++figures.Answered;
        if (--outstanding == 0 && next == kRows) {
            loop.quit();
        }
    });
    QObject::connect(&engine, &TBasicQuery::OnTimeout, &loop, [&](const TBasicData& reply) {
        if (retries[reply.Tag] < 2) {
            ++retries[reply.Tag];
            engine.SetHostname(reply.Host);
            engine.SetPort(reply.Port);
            engine.Query(reply.Tag);
            return;
        }
        ++figures.TimedOut;
        if (--outstanding == 0 && next == kRows) {
            loop.quit();
        }
    });
    QTimer pacer;
    pacer.setInterval(0);
    QObject::connect(&pacer, &QTimer::timeout, &loop, [&] {
        for (int i = 0; i < kSlice && next < kRows; ++i, ++next) {
            const TFakeUdpServer& server = *servers[next % kServers];
            engine.SetHostname(server.Address());
            engine.SetPort(server.Port());
            engine.Query(next);
            ++outstanding;
        }
        if (next == kRows) {
            pacer.stop();
        }
    });
    TStallMeter stall;
    QElapsedTimer clock;
    clock.start();
    stall.Start();
    pacer.start();
    loop.exec();
    figures.StallMs = stall.StopMs();
    figures.Seconds = double(clock.nsecsElapsed()) / 1e9;
    return figures;
}

// The same round through the query coordinator, without a window: the
// limits the window gives it, no list and nothing shown.
TRoundFigures CoordinatorAlone(const std::vector<std::unique_ptr<TFakeUdpServer>>& servers)
{
    TServerQuerier querier(
        [&servers](std::int32_t id, TQueryTarget& target) {
            const TFakeUdpServer& server = *servers[std::size_t(id) % kServers];
            target = {GameInfo(gtQuake3), server.Address(), server.Port()};
            return true;
        },
        [] {
            return TQueryLimits{0, 1500, 2, -1, true};
        });
    TRoundFigures figures;
    QObject::connect(&querier, &TServerQuerier::ServerFinished, &querier,
                     [&](std::int32_t, TQueryOutcome outcome) {
                         figures.Answered += outcome == TQueryOutcome::Answered;
                         figures.TimedOut += outcome == TQueryOutcome::TimedOut;
                     });
    QList<std::int32_t> ids;
    for (int i = 0; i < kRows; ++i) {
        ids.append(i);
    }
    QEventLoop loop;
    QObject::connect(&querier, &TServerQuerier::RoundFinished, &loop, &QEventLoop::quit);
    TStallMeter stall;
    QElapsedTimer clock;
    clock.start();
    stall.Start();
    querier.StartRound(ids);
    loop.exec();
    figures.StallMs = stall.StopMs();
    figures.Seconds = double(clock.nsecsElapsed()) / 1e9;
    return figures;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    TWindowFixture fixture;
    fixture.Settings.Change([](TSettingsValues& values) {
        values.NoLimit = true;
        values.QueryTimeout = 1500;
        values.Retry = 2;
    });
    auto servers = MakeServers();

    std::printf("Server list, %d rows, %d loopback Quake 3 servers, offscreen\n", kRows, kServers);
    TfrmServerList& window = fixture.Build();
    window.show();
    QCoreApplication::processEvents(); // let the window come up before measuring

    const long before = ProcStatusKb("VmRSS");
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kRows; ++i) {
        const TFakeUdpServer& server = *servers[i % kServers];
        window.AddServer(server.Address(), server.Port(), gtQuake3);
    }
    const double addSeconds = double(clock.nsecsElapsed()) / 1e9;
    QCoreApplication::processEvents(); // the view lays the rows out
    const double addShownSeconds = double(clock.nsecsElapsed()) / 1e9;
    const long after = ProcStatusKb("VmRSS");
    PrintFigure("add 10,000 rows", addSeconds, "s");
    PrintFigure("add 10,000 rows, laid out in the view", addShownSeconds, "s");
    PrintFigure("memory per unqueried row (RSS delta)", double(after - before) * 1024.0 / kRows,
                "bytes");

    // Rounds alternate between the engine alone, the coordinator alone and
    // the window, five of each, so that load from elsewhere on the machine
    // hits them alike; the medians are compared.
    std::vector<TRoundFigures> alone;
    std::vector<TRoundFigures> coordinator;
    std::vector<TRoundFigures> inWindow;
    for (int run = 0; run < kRuns; ++run) {
        alone.push_back(EnginesAlone(servers));
        coordinator.push_back(CoordinatorAlone(servers));

        TStallMeter stall;
        QEventLoop loop;
        const auto finished = QObject::connect(&window, &TfrmServerList::QueryRoundFinished, &loop,
                                               &QEventLoop::quit);
        clock.restart();
        stall.Start();
        window.QueryAll();
        loop.exec();
        QObject::disconnect(finished);
        TRoundFigures figures;
        figures.StallMs = stall.StopMs();
        figures.Seconds = double(clock.nsecsElapsed()) / 1e9;
        for (int row = 0; row < window.ServerCount(); ++row) {
            figures.Answered += window.Server(row)->Status == qsIdle;
            figures.TimedOut += window.Server(row)->Status == qsTimeout;
        }
        inWindow.push_back(figures);
    }
    const auto median = [](std::vector<TRoundFigures> runs, double TRoundFigures::*field) {
        std::sort(runs.begin(), runs.end(),
                  [field](const auto& a, const auto& b) { return a.*field < b.*field; });
        return runs[runs.size() / 2].*field;
    };
    const auto worst = [](const std::vector<TRoundFigures>& runs, double TRoundFigures::*field) {
        double most = 0;
        for (const auto& run : runs) {
            most = std::max(most, run.*field);
        }
        return most;
    };
    for (const auto& [name, runs] :
         {std::pair{"engines alone", &alone}, std::pair{"coordinator alone", &coordinator},
          std::pair{"window", &inWindow}}) {
        const QByteArray prefix = QByteArray(name) + ": ";
        PrintFigure((prefix + "query round, median of 5").constData(),
                    median(*runs, &TRoundFigures::Seconds), "s");
        PrintFigure((prefix + "longest event-loop stall, median of 5").constData(),
                    median(*runs, &TRoundFigures::StallMs), "ms");
        PrintFigure((prefix + "longest event-loop stall, worst of 5").constData(),
                    worst(*runs, &TRoundFigures::StallMs), "ms");
        PrintFigure((prefix + "answered in the last round").constData(), runs->back().Answered,
                    "servers");
        PrintFigure((prefix + "timed out in the last round").constData(), runs->back().TimedOut,
                    "servers");
    }
    PrintFigure("window round / engines alone (medians)",
                median(inWindow, &TRoundFigures::Seconds) / median(alone, &TRoundFigures::Seconds),
                "x");
    PrintFigure("window round / coordinator alone (medians)",
                median(inWindow, &TRoundFigures::Seconds) /
                    median(coordinator, &TRoundFigures::Seconds),
                "x");

    auto* view = window.findChild<QTreeView*>(QStringLiteral("lvServers"));
    for (auto [column, name] : {std::pair{int(TServerListModel::colName), "name"},
                                std::pair{int(TServerListModel::colPing), "ping"}}) {
        for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
            clock.restart();
            view->sortByColumn(column, order);
            QCoreApplication::processEvents();
            const QByteArray what = QByteArray("sort 10,000 answered rows by ") + name +
                                    (order == Qt::AscendingOrder ? ", ascending" : ", descending");
            PrintFigure(what.constData(), double(clock.nsecsElapsed()) / 1e9, "s");
        }
    }

    // Every other row selected, sorted as the list now stands: 5,000 ranges
    // and as many runs of rows to remove.
    {
        // Gone before the removal: each of its ranges holds an index of a row.
        QItemSelection selection;
        for (int row = 0; row < kRows; row += 2) {
            const QModelIndex index = view->model()->index(row, 0);
            selection.select(index, index);
        }
        view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect |
                                                      QItemSelectionModel::Rows);
    }
    clock.restart();
    window.RemoveSelected();
    const double removeSeconds = double(clock.nsecsElapsed()) / 1e9;
    QCoreApplication::processEvents();
    PrintFigure("remove 5,000 scattered selected rows of 10,000", removeSeconds, "s");
    PrintFigure("the same, laid out in the view", double(clock.nsecsElapsed()) / 1e9, "s");
    PrintFigure("rows left", window.ServerCount(), "rows");
    return 0;
}
