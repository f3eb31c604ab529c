#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QUrl>

class QTcpServer;
class QTcpSocket;

// A web server on loopback for tests: it listens on 127.0.0.1 on a free port,
// answers GET requests for the pages it was given with "200 OK" and anything
// else with "404 Not Found", and remembers every path asked for.
class TFakeHttpServer : public QObject
{
    Q_OBJECT

public:
    explicit TFakeHttpServer(QObject* parent = nullptr);

    // Path (with its query, "/morvix/news") answers with Body as text/html.
    void SetPage(const QString& path, const QByteArray& body) { Pages_.insert(path, body); }

    // "http://127.0.0.1:PORT".
    QString Address() const;
    QUrl Url(const QString& path) const { return QUrl(Address() + path); }

    // The paths asked for, in order.
    const QStringList& Requests() const { return Requests_; }
    int RequestCount(const QString& path) const { return int(Requests_.count(path)); }

signals:
    void Requested(const QString& path);

private:
    void Answer(QTcpSocket* socket);

    QTcpServer* Server_ = nullptr;
    QHash<QString, QByteArray> Pages_;
    QStringList Requests_;
};
