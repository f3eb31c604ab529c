#include "core/serverresults.h"

#include "model/replybuffer.h"

QByteArray CleanServerName(QByteArrayView text)
{
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && quint8(text[from]) <= ' ') {
        ++from;
    }
    while (to > from && quint8(text[to - 1]) <= ' ') {
        --to;
    }
    // Tabs are among the bytes below 32, so keeping 32 to 126 removes them too.
    return KeepPrintable(text.sliced(from, to - from));
}

int SplitHostPort(QString& text, int defaultPort)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon < 0) {
        return defaultPort;
    }
    bool isNumber = false;
    const int port = text.sliced(colon + 1).trimmed().toInt(&isNumber);
    text.truncate(colon);
    return isNumber ? port : defaultPort;
}

int GameImageIndex(const TGenericServer& server, bool buddyPresent)
{
    const TGameInfo* game = GameInfo(server.GameType);
    if (!game) {
        return -1;
    }
    return game->IconIndex + (buddyPresent ? 10 : 0);
}

QString AddressText(const TGenericServer& server)
{
    return server.Info.Host + QLatin1Char(':') + QString::number(server.Info.Port);
}

TRowTexts ReplyRowTexts(const TGenericServer& server, bool allowFormat)
{
    return {
        QString::fromLatin1(allowFormat ? CleanServerName(server.Name) : server.Name),
        QString::fromLatin1(server.Map),
        QString::number(server.NumPlayers) + QLatin1Char('/') + QString::number(server.MaxPlayers),
        QString::number(server.Info.Ping),
        GameTypeName(server.GameType) + QStringLiteral(" / ") +
            QString::fromLatin1(server.GameName),
    };
}

TRowTexts TimeoutRowTexts()
{
    const QString gone = QStringLiteral("---");
    return {QStringLiteral("QUERY TIME OUT"), gone, gone, gone, gone};
}

QString ServerInfoText(const TGenericServer& server, const QString& mapCell,
                       const QString& gameCell)
{
    // Built by concatenation: a server name may itself hold "%1".
    const QString wide = QStringLiteral("      ");
    return QString::fromLatin1(server.Name) + wide + mapCell + wide +
           QString::number(server.NumPlayers) + QLatin1Char('/') +
           QString::number(server.MaxPlayers) + QStringLiteral("   ") +
           QString::number(server.Info.Ping) + wide + gameCell + wide + AddressText(server);
}

void ApplyFinalTimeout(TGenericServer& server, const TBasicData& reply)
{
    server.NoReply = true;
    server.Info = reply;
    server.Status = qsTimeout;
    server.Name = "QUERY TIME OUT";
}
