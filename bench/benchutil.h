#pragma once

#include <QElapsedTimer>

#include <cstdio>
#include <functional>

// Runs Work repeatedly for at least MinMs milliseconds and returns the mean
// time of one run in nanoseconds.
inline double MeasureNs(const std::function<void()>& work, int minMs = 500)
{
    work(); // warm up
    QElapsedTimer clock;
    clock.start();
    long long runs = 0;
    do {
        work();
        ++runs;
    } while (clock.elapsed() < minMs);
    return double(clock.nsecsElapsed()) / double(runs);
}

inline void PrintFigure(const char* what, double value, const char* unit)
{
    std::printf("%-58s %14.3f %s\n", what, value, unit);
    std::fflush(stdout);
}
