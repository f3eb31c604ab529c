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
    if (QFileInfo::exists(besideProgram) || !program.exists() || program.isWritable()) {
        return besideProgram + QLatin1Char('/');
    }
    return DataDir() + QStringLiteral("/Templates/");
}
