#include "model/genericserver.h"

#include <QDir>

#include "model/apppaths.h"

std::unique_ptr<TGenericServer> TGenericServer::Create(const QString& templatesDir)
{
    static std::int32_t lastId = 0;

    std::unique_ptr<TGenericServer> server(new TGenericServer);
    server->Id = ++lastId;
    if (lastId == std::numeric_limits<std::int32_t>::max()) {
        lastId = 0;
    }

    QString dir = templatesDir.isEmpty() ? TAppPaths::TemplatesDir() : templatesDir;
    if (!dir.endsWith(QLatin1Char('/'))) {
        dir += QLatin1Char('/');
    }
    server->TemplatesDir = dir;

    const QString iniPath = dir + QStringLiteral("HTML/define.ini");
    if (!QFileInfo::exists(iniPath)) {
        // A folder that cannot be created (a read-only place) only means
        // that the defaults are used.
        QDir().mkpath(dir + QStringLiteral("HTML"));
    }
    server->Styles = LoadHtmlStyles(iniPath);
    return server;
}

void TGenericServer::AddRule(const QByteArray& name, const QByteArray& value)
{
    Rules.append({name, value});
}

void TGenericServer::ClearRules()
{
    Rules.clear();
}

QByteArray TGenericServer::GetRule(QByteArrayView name) const
{
    for (const TRule& rule : Rules) {
        if (rule.Name == name) {
            return rule.Value;
        }
    }
    return {};
}
