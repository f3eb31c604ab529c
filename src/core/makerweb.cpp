#include "core/makerweb.h"

QString MakerWebAddress()
{
    return QStringLiteral(MORVIX_MAKER_URL).trimmed();
}

QUrl MakerPage(const QString& path)
{
    return MakerPage(MakerWebAddress(), path);
}

QUrl MakerPage(const QString& address, const QString& path)
{
    if (address.isEmpty()) {
        return {};
    }
    QString base = address;
    if (!base.contains(QLatin1String("://"))) {
        base.prepend(QLatin1String("https://"));
    }
    while (base.endsWith(QLatin1Char('/'))) {
        base.chop(1);
    }
    return QUrl(base + path, QUrl::StrictMode);
}
