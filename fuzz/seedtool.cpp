// morvix-fuzz-seeds FOLDER: writes the seeds of every reader into
// FOLDER/<reader>/, one file per seed.
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>

#include "readers.h"
#include "seeds.h"

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: morvix-fuzz-seeds FOLDER\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    for (const TFuzzReader& reader : FuzzReaders()) {
        const QString folder = root + QLatin1Char('/') + QLatin1String(reader.Name);
        if (!QDir().mkpath(folder)) {
            std::fprintf(stderr, "cannot make %s\n", qPrintable(folder));
            return 1;
        }
        int n = 0;
        for (const QByteArray& seed : FuzzSeeds(reader.Name)) {
            QFile file(folder + QStringLiteral("/seed-%1").arg(++n, 3, 10, QLatin1Char('0')));
            if (!file.open(QIODevice::WriteOnly) || file.write(seed) != seed.size()) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
                return 1;
            }
        }
    }
    return 0;
}
