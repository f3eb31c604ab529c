#include "core/htmltemplates.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "model/apppaths.h"

QStringList HtmlTemplateFiles()
{
    return {QStringLiteral("index.html"), QStringLiteral("define.ini")};
}

QString ShippedHtmlTemplate(const QString& file)
{
    const QString installed = TAppPaths::SharedTemplatesDir() + QStringLiteral("HTML/") + file;
    if (QFileInfo(installed).isFile()) {
        return installed;
    }
    return QStringLiteral(":/Templates/HTML/") + file;
}

bool InstallHtmlTemplates(const QString& templatesDir, QString* error)
{
    const auto fail = [&](const QString& message) {
        if (error) {
            *error = message;
        }
        return false;
    };

    const QString folder = templatesDir + QStringLiteral("HTML");
    if (QFileInfo::exists(folder + QStringLiteral("/index.html"))) {
        return true;
    }
    if (!QDir().mkpath(folder)) {
        return fail(QStringLiteral("The template folder \"%1\" could not be created.").arg(folder));
    }
    for (const QString& file : HtmlTemplateFiles()) {
        const QString target = folder + QLatin1Char('/') + file;
        if (QFileInfo::exists(target)) {
            continue;
        }
        QFile source(ShippedHtmlTemplate(file));
        if (!source.open(QIODevice::ReadOnly)) {
            return fail(QStringLiteral("The template \"%1\" could not be read: %2")
                            .arg(source.fileName(), source.errorString()));
        }
        const QByteArray contents = source.readAll();
        // A copy cut short would look like a template of the user's and
        // would never be replaced, so it appears only when whole. Unbuffered,
        // since a buffered write cut short at commit goes unnoticed.
        QSaveFile copy(target);
        if (!copy.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
            copy.write(contents) != contents.size() || !copy.commit()) {
            // A write cut short sets no error of its own.
            const QString reason =
                copy.error() != QFileDevice::NoError
                    ? copy.errorString()
                    : QStringLiteral("the disk is full or the file is too large.");
            copy.cancelWriting();
            return fail(
                QStringLiteral("The template \"%1\" could not be written: %2").arg(target, reason));
        }
    }
    return true;
}
