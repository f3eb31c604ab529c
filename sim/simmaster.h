#pragma once

#include <QByteArray>
#include <QHash>
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
    QList<QByteArray> Answer(const QByteArray& request);

    // A Half-Life master of the Steam kind: it answers "1" requests with one
    // page of PageSize servers after the last address the request names,
    // and no longer the old request.
    void SetHLSteam(qsizetype pageSize);
    bool IsHLSteam() const { return SteamPageSize_ > 0; }
    qsizetype SteamPageSize() const { return SteamPageSize_; }

    // For a Quake 3 master: the protocol version of each listed server, in
    // the order of Servers. With them a request lists only the servers of
    // the version it names; without them (as before servers had versions)
    // every server, whatever the version.
    void SetProtocols(const QList<int>& protocols);
    const QList<int>& Protocols() const { return Protocols_; }

    // The latest request that was answered.
    const QByteArray& LastRequest() const { return LastRequest_; }

    static inline const QByteArray MasterName = "Morvix simulated master";
    static inline const QByteArray MessageOfTheDay =
        "Welcome! Every server listed here runs on this machine.";

private:
    void ReadPending();

    TMasterProtocol Protocol_;
    QList<TMasterServer> Servers_;
    QList<QByteArray> Datagrams_;
    qsizetype SteamPageSize_ = 0;
    QHash<QByteArray, qsizetype> SteamIndex_; // "address:port" to its place
    QList<int> Protocols_;
    QHash<int, QList<QByteArray>> ByVersion_;
    QByteArray LastRequest_;
    qint64 Requests_ = 0;
    QString Error_;
    QUdpSocket* Socket_;
};
