// One query round through the main window, offscreen, over the servers of an
// address list: the round morvix-query makes with the same options, for
// bench/run.sh to set the window's cost beside the bare engine's.
//   bench_windowround [--timeout MS] [--retries N] [--max-queries N] --file LIST
// The list holds "GAME ADDRESS[:PORT]" lines as morvix-query reads them. The
// window gets the list's rows, runs "Query all" with those settings and ends
// when the round has finished and no follow-up query (Half-Life players and
// rules, Tribes 2 info) is left; it prints the rows answered and timed out,
// the replies the system dropped on the window's sockets, the round's
// seconds, the longest time the event loop did not get round to a 2 ms timer
// during the round, and the peak resident memory.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QTimer>

#include <cstdio>

#include "benchutil.h"
#include "browser/frmserverlist.h"
#include "cli/queryoptions.h"
#include "core/serverquerier.h"
#include "core/settings.h"
#include "model/basicquery.h"
#include "model/gamecatalogue.h"
#include "model/udpendpoint.h"
#include "windowfixture.h"

namespace {

// Replies the system dropped on every query component's socket so far.
std::uint64_t Dropped(const TServerQuerier& querier)
{
    std::uint64_t dropped = 0;
    QSet<const TBasicQuery*> seen;
    for (const TGameInfo& game : GameCatalogue()) {
        for (const TQueryStep& step : game.Chain) {
            const TBasicQuery* engine = querier.Component(QLatin1String(step.Component));
            if (engine && !seen.contains(engine)) {
                seen.insert(engine);
                dropped += engine->Endpoint().DroppedDatagrams().value_or(0);
            }
        }
    }
    return dropped;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);

    TQueryOptions options;
    QString error;
    QList<TQueryTarget> targets;
    QFile list;
    if (ParseQueryArguments(app.arguments().mid(1), options, error)) {
        list.setFileName(options.File);
        if (options.File.isEmpty() || !list.open(QIODevice::ReadOnly)) {
            error = QStringLiteral("cannot read the address list '%1'").arg(options.File);
        } else {
            ReadTargets(list, options.File, options.DefaultGame, targets, error);
        }
        if (error.isEmpty() && targets.isEmpty()) {
            error = QStringLiteral("the address list '%1' names no server").arg(options.File);
        }
    }
    if (!error.isEmpty()) {
        std::fprintf(stderr, "bench_windowround: %s\n", qPrintable(error));
        return 2;
    }

    // The window's own files (list file, settings) go to a temporary folder.
    TWindowFixture fixture;
    fixture.Settings.Change([&](TSettingsValues& values) {
        values.NoLimit = options.MaxQueries == 0;
        if (options.MaxQueries > 0) {
            values.MaxQueries = options.MaxQueries;
        }
        values.QueryTimeout = options.TimeoutMs;
        values.Retry = options.Retries;
    });
    TfrmServerList& window = fixture.Build();

    QElapsedTimer clock;
    // A cheap tick instead of a zero timer, which would spin the loop and
    // take the round's CPU: the longest gap between two ticks, less the
    // interval, is the longest the loop was held.
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(2);
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QObject::connect(&tick, &QTimer::timeout, &app, [&] {
        longestGap = qMax(longestGap, sinceTick.nsecsElapsed());
        sinceTick.restart();
    });
    std::uint64_t droppedBefore = 0;
    bool roundOver = false;
    bool finished = false;
    // The round is over, and no follow-up query is left.
    const auto finishWhenIdle = [&] {
        if (finished || !roundOver || !window.Querier().IsIdle()) {
            return;
        }
        finished = true;
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        tick.stop();
        longestGap = qMax(longestGap, sinceTick.nsecsElapsed());
        int answered = 0;
        int timedOut = 0;
        for (int row = 0; row < window.ServerCount(); ++row) {
            answered += window.Server(row)->Status == qsIdle;
            timedOut += window.Server(row)->Status == qsTimeout;
        }
        std::printf("servers %lld\nanswered %d\ntimed_out %d\ndropped %llu\nround_s %.3f\n"
                    "stall_ms %.1f\nreceive_buffer_bytes %d\npeak_kb %ld\n",
                    static_cast<long long>(window.ServerCount()), answered, timedOut,
                    static_cast<unsigned long long>(Dropped(window.Querier()) - droppedBefore),
                    seconds, qMax(0.0, double(longestGap) / 1e6 - tick.interval()),
                    window.Querier().FirstComponent(gtQuake3)->Endpoint().ReceiveBufferSize(),
                    ProcStatusKb("VmHWM"));
        QCoreApplication::quit();
    };
    QObject::connect(&window.Querier(), &TServerQuerier::Idle, &app, finishWhenIdle);
    QObject::connect(&window, &TfrmServerList::QueryRoundFinished, &app, [&] {
        roundOver = true;
        finishWhenIdle();
    });

    window.show();
    // After the first show's start-up steps, as a user's "Query all" comes.
    QTimer::singleShot(0, &app, [&] {
        clock.start();
        droppedBefore = Dropped(window.Querier());
        for (const TQueryTarget& target : targets) {
            window.AddServer(target.Host, target.Port, target.Game->Type);
        }
        // The stall is the round's: adding the rows is measured elsewhere.
        sinceTick.start();
        tick.start();
        window.QueryAll();
    });
    return QApplication::exec();
}
