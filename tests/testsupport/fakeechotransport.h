#pragma once

#include <QList>
#include <QSet>
#include <QTimer>

#include <functional>

#include "model/icmpecho.h"

// An echo transport for tests: it records every request, answers those sent
// to the addresses in Answering from the event loop (as a socket would),
// and stays silent for any other.
class TFakeEchoTransport : public TEchoTransport
{
    Q_OBJECT

public:
    struct TSent
    {
        std::uint32_t Destination;
        std::uint16_t Sequence;
        QByteArray Payload;
        int Ttl;
    };

    QList<TSent> Sent;
    QSet<std::uint32_t> Answering;
    int SendError = 0;
    // Runs inside Send, after the request was recorded.
    std::function<void(const TSent&)> OnSend;

    int Send(std::uint32_t destination, std::uint16_t sequence, const QByteArray& payload,
             int ttl) override
    {
        const TSent sent{destination, sequence, payload, ttl};
        Sent.append(sent);
        if (OnSend) {
            OnSend(sent);
        }
        if (SendError != 0) {
            return SendError;
        }
        if (Answering.contains(destination)) {
            QTimer::singleShot(0, this, [this, sent] { Answer(sent); });
        }
        return 0;
    }

    void Answer(const TSent& sent)
    {
        emit EchoReply(sent.Destination, sent.Sequence, sent.Payload);
    }
};
