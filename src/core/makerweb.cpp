#include "core/makerweb.h"

namespace {

std::optional<QString>& AddressForTests()
{
    static std::optional<QString> address;
    return address;
}

} // namespace

QString MakerWebAddress()
{
    if (AddressForTests()) {
        return AddressForTests()->trimmed();
    }
    return QStringLiteral(MORVIX_MAKER_URL).trimmed();
}

void SetMakerWebAddressForTests(const std::optional<QString>& address)
{
    AddressForTests() = address;
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

QUrl NewsPage()
{
    return MakerPage(QStringLiteral("/morvix/news"));
}
