// Preloaded into morvix by bench/startup.sh (LD_PRELOAD): the program starts
// as usual, builds its windows and runs its start-up steps, and its event
// loop ends as soon as it first runs out of work. Before it ends, the
// resident memory and whether the web engine was loaded are printed on
// standard error.
#include <QApplication>
#include <QFile>
#include <QTimer>

#include <dlfcn.h>

#include <cstdio>

namespace {

QByteArray ProcFile(const char* path)
{
    QFile file(QString::fromLatin1(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

int QApplication::exec()
{
    QTimer::singleShot(0, qApp, [] {
        QByteArray rss;
        for (const QByteArray& line : ProcFile("/proc/self/status").split('\n')) {
            if (line.startsWith("VmRSS:")) {
                rss = line.mid(6).trimmed();
            }
        }
        std::fprintf(stderr, "startup-quit: rss %s, web engine %s\n", rss.constData(),
                     ProcFile("/proc/self/maps").contains("libQt6WebEngineCore") ? "loaded"
                                                                                 : "not loaded");
        QCoreApplication::quit();
    });
    using TExec = int (*)();
    static const auto real = reinterpret_cast<TExec>(dlsym(RTLD_NEXT, "_ZN12QApplication4execEv"));
    return real();
}
