#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QRandomGenerator>

#include <functional>

#include "simworld.h"

class QUdpSocket;

// How a simulated server treats the queries it receives.
enum class TSimBehaviour
{
    Answer,    // one reply per query
    Silent,    // never answers
    Late,      // answers after the configured delay
    Garbage,   // answers with random bytes
    Oversized, // answers with more bytes than a reply may hold
    Duplicate, // answers every query twice
};

const char* BehaviourName(TSimBehaviour behaviour);

// Which queries a simulated Half-Life server answers: the old "details",
// "players" and "rules", the Steam form ("TSource Engine Query" and the
// players and rules requests with their challenge), or both.
enum class TSimHLForm
{
    Old,
    Steam,
    Both,
};

const char* HLFormName(TSimHLForm form);

// How a Steam-form server answers the info request: asking for a challenge
// first (as servers do today) or not, and in the Steam layout ("I") or the
// older one ("m") that servers of the first Steam years sent.
struct TSimSteamInfoStyle
{
    bool Challenge = true;
    bool OldLayout = false;
};

// What every simulated server shares.
struct TSimServerOptions
{
    double Loss = 0;   // probability that a datagram is dropped on arrival
    int LateMs = 3000; // delay of a late server's answers
    QByteArray RconPassword = "secret";
    // Bytes of console text a Quake 3 server puts in one output datagram
    // before it sends the rest in the next.
    int ConsoleChunk = 1008;
    std::uint32_t Seed = 1;
    // Above 0: a server with players starts full, and every so many ms its
    // last player leaves or comes back.
    int FullCycleMs = 0;
    // Steam-form Half-Life answers longer than this are split.
    qsizetype HLDatagramSize = 1400;
};

// Counters of one server, or of all of them.
struct TSimCounters
{
    qint64 Received = 0; // datagrams that arrived
    qint64 Dropped = 0;  // of those, lost on purpose
    qint64 Answered = 0; // datagrams sent
};

// One simulated game server on its own UDP socket on 127.0.0.1. It answers
// its game's queries from its records as its behaviour says; Half-Life and
// Quake 3 servers also have a remote console.
class TSimServer : public QObject
{
    Q_OBJECT

public:
    TSimServer(TSimGameState state, TSimBehaviour behaviour, const TSimServerOptions& options,
               std::uint32_t seed, QObject* parent = nullptr);

    // Binds 127.0.0.1 at Port (0: any free port); false with ErrorText set
    // when the port cannot be had.
    bool Bind(std::uint16_t port = 0);
    std::uint16_t Port() const;
    QString ErrorText() const { return Error_; }

    const TSimGameState& State() const { return State_; }
    TSimGameState& State() { return State_; }

    // Half-Life servers only; both are chosen before the first query.
    TSimHLForm HLForm() const { return HLForm_; }
    void SetHLForm(TSimHLForm form) { HLForm_ = form; }
    const TSimSteamInfoStyle& SteamInfoStyle() const { return SteamInfoStyle_; }
    void SetSteamInfoStyle(const TSimSteamInfoStyle& style) { SteamInfoStyle_ = style; }
    // The challenge the Steam-form queries must carry.
    const QByteArray& SteamChallenge() const { return SteamChallenge_; }
    TSimBehaviour Behaviour() const { return Behaviour_; }
    bool HasConsole() const;
    const TSimCounters& Counters() const { return Counters_; }

    // The replies to one query datagram as an answering server sends them;
    // empty for a datagram that is no query of this server's game.
    QList<QByteArray> Replies(const QByteArray& request);
    // What the console answers to Command (with the password right).
    QByteArray RunConsole(const QByteArray& command);

private:
    void ReadPending();
    void Handle(const QByteArray& datagram, const QHostAddress& from, std::uint16_t port);
    bool HandleConsole(const QByteArray& datagram, const QHostAddress& from, std::uint16_t port);
    void Send(const QByteArray& datagram, const QHostAddress& to, std::uint16_t port);
    void Log(const QByteArray& entry);
    void TogglePlayer();
    QByteArray Corrupted(const QByteArray& reply);
    QByteArray WithRequestKey(QByteArray reply, const QByteArray& request) const;
    // The datagrams that answer a Steam-form query; none for anything else.
    QList<QByteArray> SteamReplies(const QByteArray& request);
    QByteArray CachedAnswer(const QByteArray& key, const std::function<QByteArray()>& encode);

    TSimGameState State_;
    TSimBehaviour Behaviour_;
    TSimServerOptions Options_;
    QRandomGenerator Random_;
    QByteArray Challenge_;
    TSimHLForm HLForm_ = TSimHLForm::Old;
    TSimSteamInfoStyle SteamInfoStyle_;
    QByteArray SteamChallenge_;
    std::uint32_t SplitId_ = 0;
    // Encoded replies by query, until a console command changes the records.
    QHash<QByteArray, QByteArray> Cache_;
    QHostAddress LogAddress_;
    std::uint16_t LogPort_ = 0;
    bool LogOn_ = false;
    TSimCounters Counters_;
    // The server full, while its players come and go.
    TSimGameState Full_;
    bool PlayerAway_ = false;
    QString Error_;
    QUdpSocket* Socket_;
};
