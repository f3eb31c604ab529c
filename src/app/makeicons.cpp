// morvix-make-icons FOLDER: writes the program's icon as FOLDER/<n>x<n>/apps/morvix.png
// for every size desktops look for, from the same drawing as the window icon.

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>

#include <cstdio>

#include "browser/gameicons.h"

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: morvix-make-icons FOLDER\n");
        return 2;
    }
    for (int size : TGameIcons::WindowIconSizes) {
        const QString folder =
            QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        if (!QDir().mkpath(folder) ||
            !TGameIcons::DrawWindowIcon(size).save(folder + QStringLiteral("/morvix.png"))) {
            std::fprintf(stderr, "morvix-make-icons: cannot write %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
