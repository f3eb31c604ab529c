#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <unistd.h>

#include "cli/querytool.h"

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QFile out;
    QFile err;
    QFile in;
    if (!out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        !err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        !in.open(stdin, QIODevice::ReadOnly)) {
        std::fputs("morvix-query: cannot open the standard streams\n", stderr);
        return 1;
    }
    TQueryTool tool(&out, &err);
    QObject::connect(&tool, &TQueryTool::Finished, &app, &QCoreApplication::exit);
    tool.Start(app.arguments().mid(1), &in, isatty(STDIN_FILENO) != 0, isatty(STDERR_FILENO) != 0);
    return app.exec();
}
