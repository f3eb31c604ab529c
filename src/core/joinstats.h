#pragma once

#include <QByteArray>
#include <QDate>
#include <QObject>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class TGenericServer;

// "user|game|game folder|host:port" of a join, with every "|" taken out of
// the four texts. The user name becomes Latin-1 bytes when every character
// fits, its UTF-8 bytes otherwise.
QByteArray JoinStatsData(const QString& username, const TGenericServer& server);
// The low 8 bits of the year plus the month.
std::uint8_t JoinStatsKey(QDate date);
// Every byte of Data plus Key (modulo 256) as "%" and two upper-case hex
// digits.
QByteArray EncodeJoinStats(QByteArrayView data, std::uint8_t key);

// The join statistics report to the maker's web server, sent with Qt's
// HTTP client; the join never waits for it.
class TJoinStats : public QObject
{
    Q_OBJECT

public:
    // Reports go to Address (the build's maker web address unless given);
    // an empty address sends nothing.
    explicit TJoinStats(QObject* parent = nullptr);
    TJoinStats(const QString& address, QObject* parent = nullptr);
    ~TJoinStats() override;

    // Whether reports can be sent at all; the options window shows the stats
    // option disabled with UnavailableTip when not.
    bool Available() const { return !Address_.isEmpty(); }
    static QString UnavailableTip();

    // Where a failed report is told (the status bar).
    std::function<void(const QString&)> ShowStatus;
    // Today's date, which keys the encoding.
    std::function<QDate()> Today = [] { return QDate::currentDate(); };

    // The address a report of Server by Username goes to.
    QUrl ReportUrl(const QString& username, const TGenericServer& server) const;
    // Sends the report; false, with nothing sent, when not Available.
    bool Report(const QString& username, const TGenericServer& server);

signals:
    // A report left for Url.
    void ReportSent(const QUrl& url);
    // A report came back: 0, or the code its status text showed.
    void ReportFinished(int code);

private:
    void Done(QNetworkReply* reply);

    QString Address_;
    QNetworkAccessManager* StatsHTTP_;
};
