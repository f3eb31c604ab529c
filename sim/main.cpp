#include <QCoreApplication>
#include <QJsonDocument>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include "simulator.h"

namespace {

int SignalPipe[2] = {-1, -1};

void OnSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(SignalPipe[1], &byte, 1);
}

// Every server has a socket of its own: take all the descriptors allowed.
void RaiseDescriptorLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    RaiseDescriptorLimit();

    TSimConfig config;
    QString error;
    bool help = false;
    if (!ParseSimArguments(app.arguments().mid(1), config, error, help)) {
        std::fprintf(stderr, "morvix-sim: %s\nTry 'morvix-sim --help'.\n", qPrintable(error));
        return 2;
    }
    if (help) {
        std::fputs(qPrintable(SimUsage()), stdout);
        return 0;
    }

    // SIGINT and SIGTERM end the event loop from the loop itself.
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, SignalPipe) != 0) {
        std::perror("morvix-sim: socketpair");
        return 1;
    }
    QSocketNotifier signalNotifier(SignalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = read(SignalPipe[0], &byte, 1);
        QCoreApplication::quit();
    });
    struct sigaction action
    {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    TSimulator simulator(config);
    if (!simulator.Start(error)) {
        std::fprintf(stderr, "morvix-sim: %s\n", qPrintable(error));
        return 1;
    }
    std::fputs(QJsonDocument(simulator.BoundDocument()).toJson(QJsonDocument::Indented).constData(),
               stdout);
    std::fflush(stdout);

    if (config.DurationSeconds > 0) {
        QTimer::singleShot(config.DurationSeconds * 1000, &app, &QCoreApplication::quit);
    }
    const int status = app.exec();
    const TSimCounters totals = simulator.Totals();
    std::fprintf(stderr, "morvix-sim: %lld datagrams received, %lld lost on purpose, %lld sent\n",
                 totals.Received, totals.Dropped, totals.Answered);
    return status;
}
