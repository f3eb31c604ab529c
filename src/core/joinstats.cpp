#include "core/joinstats.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include "core/makerweb.h"
#include "model/genericserver.h"
#include "model/networktext.h"

namespace {

// A report that hangs gives up after this long (ms).
constexpr int kTransferTimeout = 30000;

QByteArray WithoutBars(QByteArray text)
{
    return text.replace('|', QByteArray());
}

} // namespace

QByteArray JoinStatsData(const QString& username, const TGenericServer& server)
{
    return WithoutBars(BytesOfText(username)) + '|' +
           WithoutBars(GameTypeName(server.GameType).toLatin1()) + '|' +
           WithoutBars(server.GameName) + '|' + WithoutBars(server.Info.Host.toUtf8()) + ':' +
           QByteArray::number(server.Info.Port);
}

std::uint8_t JoinStatsKey(QDate date)
{
    return std::uint8_t((date.year() + date.month()) & 0xFF);
}

QByteArray EncodeJoinStats(QByteArrayView data, std::uint8_t key)
{
    static const char digits[] = "0123456789ABCDEF";
    QByteArray encoded;
    encoded.reserve(data.size() * 3);
    for (const char byte : data) {
        const std::uint8_t shifted = std::uint8_t(std::uint8_t(byte) + key);
        encoded += '%';
        encoded += digits[shifted >> 4];
        encoded += digits[shifted & 0x0F];
    }
    return encoded;
}

TJoinStats::TJoinStats(QObject* parent) : TJoinStats(MakerWebAddress(), parent) {}

TJoinStats::TJoinStats(const QString& address, QObject* parent)
    : QObject(parent), Address_(address.trimmed()), StatsHTTP_(new QNetworkAccessManager(this))
{
    StatsHTTP_->setObjectName(QStringLiteral("StatsHTTP"));
}

TJoinStats::~TJoinStats() = default;

QString TJoinStats::UnavailableTip()
{
    return QStringLiteral("This build of Morvix has no statistics server (MORVIX_MAKER_URL), so "
                          "joins are not reported.");
}

QUrl TJoinStats::ReportUrl(const QString& username, const TGenericServer& server) const
{
    QUrl url = MakerPage(Address_, QStringLiteral("/morvix/joingame.php"));
    if (url.isEmpty()) {
        return url;
    }
    const QDate today = Today ? Today() : QDate::currentDate();
    const QByteArray encoded =
        EncodeJoinStats(JoinStatsData(username, server), JoinStatsKey(today));
    url.setQuery(QStringLiteral("data=") + QString::fromLatin1(encoded), QUrl::StrictMode);
    return url;
}

bool TJoinStats::Report(const QString& username, const TGenericServer& server)
{
    const QUrl url = ReportUrl(username, server);
    if (!url.isValid() || url.isEmpty()) {
        return false;
    }
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QByteArrayLiteral("Mozilla/3.0 (compatible)"));
    request.setRawHeader("Accept", "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*");
    request.setTransferTimeout(kTransferTimeout);
    QNetworkReply* reply = StatsHTTP_->get(request);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { Done(reply); });
    emit ReportSent(url);
    return true;
}

void TJoinStats::Done(QNetworkReply* reply)
{
    reply->deleteLater();
    int code = 0;
    if (reply->error() != QNetworkReply::NoError) {
        // The server's own status says most (404, 500); without one, Qt's
        // error number.
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        code = status >= 400 ? status : int(reply->error());
        if (ShowStatus) {
            ShowStatus(QStringLiteral("An error occured while trying to update stats! (") +
                       QString::number(code) + QLatin1Char(')'));
        }
    }
    emit ReportFinished(code);
}
