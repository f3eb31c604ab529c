#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

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

// A figure of this process's /proc/self/status in kB ("VmRSS" resident now,
// "VmHWM" the peak); 0 when it cannot be read.
inline long ProcStatusKb(const QByteArray& field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':')) {
            return line.mid(field.size() + 1).trimmed().split(' ').first().toLong();
        }
    }
    return 0;
}

// The middle of Values (the upper one of the two middles of an even count).
inline double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

inline void PrintFigure(const char* what, double value, const char* unit)
{
    std::printf("%-58s %14.3f %s\n", what, value, unit);
    std::fflush(stdout);
}

// Measures the longest time the event loop spent away between two turns.
class TStallMeter : public QObject
{
public:
    TStallMeter()
    {
        Timer_.setInterval(0);
        connect(&Timer_, &QTimer::timeout, this, [this] {
            Longest_ = qMax(Longest_, Clock_.nsecsElapsed());
            Clock_.restart();
        });
    }
    void Start()
    {
        Longest_ = 0;
        Clock_.start();
        Timer_.start();
    }
    double StopMs()
    {
        Timer_.stop();
        return double(Longest_) / 1e6;
    }

private:
    QTimer Timer_;
    QElapsedTimer Clock_;
    qint64 Longest_ = 0;
};
