// One query round through the main window, offscreen, over the servers of an
// address list: the round morvix-query makes with the same options, for
// bench/run.sh to set the window's cost beside the bare engine's.
//   bench_windowround [--timeout MS] [--retries N] [--max-queries N] --file LIST
// The list holds "GAME ADDRESS[:PORT]" lines as morvix-query reads them. The
// window gets the list's rows, runs "Query all" with those settings and ends
// when the round has finished and no follow-up query (Half-Life players and
// rules, Tribes 2 info) is left; it prints the rows answered and timed out,
// the round's seconds and the peak resident memory.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <cstdio>

#include "benchutil.h"
#include "browser/frmserverlist.h"
#include "cli/queryoptions.h"
#include "core/serverquerier.h"
#include "core/settings.h"
#include "windowfixture.h"

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
    bool roundOver = false;
    bool finished = false;
    // The round is over, and no follow-up query is left.
    const auto finishWhenIdle = [&] {
        if (finished || !roundOver || !window.Querier().IsIdle()) {
            return;
        }
        finished = true;
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        int answered = 0;
        int timedOut = 0;
        for (int row = 0; row < window.ServerCount(); ++row) {
            answered += window.Server(row)->Status == qsIdle;
            timedOut += window.Server(row)->Status == qsTimeout;
        }
        std::printf("servers %lld\nanswered %d\ntimed_out %d\nround_s %.3f\npeak_kb %ld\n",
                    static_cast<long long>(window.ServerCount()), answered, timedOut, seconds,
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
        for (const TQueryTarget& target : targets) {
            window.AddServer(target.Host, target.Port, target.Game->Type);
        }
        window.QueryAll();
    });
    return QApplication::exec();
}
