#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>

#include <functional>

class QUdpSocket;

// A game or master server on loopback for tests: it binds 127.0.0.1 on a free
// port and answers each request datagram as scripted.
class TFakeUdpServer : public QObject
{
    Q_OBJECT

public:
    enum class TBehaviour
    {
        Answer,              // one reply per request
        Silent,              // no reply at all
        AnswerTwice,         // the same reply twice
        AnswerFromOtherPort, // the reply leaves from a second socket
        AnswerLate,          // the reply leaves after Delay ms
        Oversized,           // a reply of OversizedBytes bytes instead of the scripted one
    };

    explicit TFakeUdpServer(QObject* parent = nullptr);

    std::uint16_t Port() const;
    QString Address() const { return QStringLiteral("127.0.0.1"); }

    // Every request is answered with these datagrams (one request can be
    // answered by several, as master servers do).
    void SetReply(const QByteArray& reply) { Replies_ = {reply}; }
    void SetReplies(const QList<QByteArray>& replies) { Replies_ = replies; }
    // Computes the replies from the request instead.
    void SetResponder(std::function<QList<QByteArray>(const QByteArray&)> responder)
    {
        Responder_ = std::move(responder);
    }
    void SetBehaviour(TBehaviour behaviour, int delayMs = 0)
    {
        Behaviour_ = behaviour;
        Delay_ = delayMs;
    }

    // Sends Data to the last client from the server's own port, unasked.
    void SendToLastClient(const QByteArray& data);

    const QList<QByteArray>& Requests() const { return Requests_; }
    int RequestCount() const { return int(Requests_.size()); }

    static constexpr int OversizedBytes = 4096;

signals:
    void RequestReceived(const QByteArray& request);
    // Emitted after each datagram the server sends.
    void ReplySent(const QByteArray& datagram);

private:
    void ReadPending();
    void Answer(const QHostAddress& to, std::uint16_t port, const QByteArray& request);

    QUdpSocket* Socket_;
    QUdpSocket* OtherSocket_;
    QList<QByteArray> Replies_;
    std::function<QList<QByteArray>(const QByteArray&)> Responder_;
    TBehaviour Behaviour_ = TBehaviour::Answer;
    int Delay_ = 0;
    QList<QByteArray> Requests_;
    QHostAddress LastClient_;
    std::uint16_t LastClientPort_ = 0;
};
