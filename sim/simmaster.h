#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>

#include "masters/masterserver.h"
#include "model/gamecatalogue.h"

class QUdpSocket;

// A simulated master server on 127.0.0.1: it answers its protocol's list
// request with the servers it was given, in datagrams of at most 1400 bytes.
class TSimMaster : public QObject
{
    Q_OBJECT

public:
    TSimMaster(TMasterProtocol protocol, QList<TMasterServer> servers, QObject* parent = nullptr);

    bool Bind(std::uint16_t port = 0);
    std::uint16_t Port() const;
    QString ErrorText() const { return Error_; }
    TMasterProtocol Protocol() const { return Protocol_; }
    const QList<TMasterServer>& Servers() const { return Servers_; }
    qint64 Requests() const { return Requests_; }

    // The datagrams that answer Request; none when it is not this master's
    // list request.
    QList<QByteArray> Answer(const QByteArray& request) const;

    static inline const QByteArray MasterName = "Morvix simulated master";
    static inline const QByteArray MessageOfTheDay =
        "Welcome! Every server listed here runs on this machine.";

private:
    void ReadPending();

    TMasterProtocol Protocol_;
    QList<TMasterServer> Servers_;
    QList<QByteArray> Datagrams_;
    qint64 Requests_ = 0;
    QString Error_;
    QUdpSocket* Socket_;
};
