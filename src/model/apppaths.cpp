#include "model/apppaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString TAppPaths::Root_;

void TAppPaths::SetRoot(const QString& root)
{
    Root_ = root;
}

QString TAppPaths::ProgramDir()
{
    if (!Root_.isEmpty()) {
        return Root_ + QStringLiteral("/program");
    }
    return QCoreApplication::applicationDirPath();
}

QString TAppPaths::DataDir()
{
    if (!Root_.isEmpty()) {
        return Root_ + QStringLiteral("/data");
    }
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/morvix");
}

QString TAppPaths::ConfigDir()
{
    if (!Root_.isEmpty()) {
        return Root_ + QStringLiteral("/config");
    }
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/morvix");
}

QString TAppPaths::TemplatesDir()
{
    const QString besideProgram = ProgramDir() + QStringLiteral("/Templates");
    const QFileInfo program(ProgramDir());
    // A complete set beside the program is used where it stands, even
    // read-only; an empty folder there (made by a run with more rights) must
    // not keep a user from a set of their own. Otherwise the list file's rule.
    if (QFileInfo::exists(besideProgram + QStringLiteral("/HTML/index.html")) ||
        !program.exists() || (program.isDir() && program.isWritable())) {
        return besideProgram + QLatin1Char('/');
    }
    return DataDir() + QStringLiteral("/Templates/");
}

QString TAppPaths::SharedTemplatesDir()
{
    // The path from the installed program to its data is fixed at build
    // time, relative, so an installation moved as a whole still finds it.
    return QDir::cleanPath(ProgramDir() + QStringLiteral("/" MORVIX_SHARED_TEMPLATES_DIR)) +
           QLatin1Char('/');
}
