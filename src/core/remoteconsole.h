#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <cstdint>
#include <optional>

class TUdpEndpoint;
struct TDatagram;

// How a console line is coloured: black for server output and the user's
// own commands, blue for notes about the challenge and the socket, maroon
// for what went wrong.
enum class TConsoleTone
{
    Output,
    Note,
    Error,
};

// The two kinds of remote console.
enum class TConsoleKind
{
    HalfLife,
    Quake3,
};

// Where an address box sends to: the box split at its last ':' with the
// kind's default port (27015, 27950) when there is no number after it.
// Valid when the host is not blank and the port lies from 1 to 65535.
struct TConsoleTarget
{
    QString Host;
    int Port = 0;
    bool Valid = false;
};
TConsoleTarget ConsoleTarget(const QString& box, TConsoleKind kind);

// What one datagram from an administered server says: a Half-Life challenge
// (without the control bytes at its ends), console lines as the server sent
// them, Half-Life's "Done." (an output of two zero bytes), or nothing the
// console knows.
struct TConsoleReply
{
    enum class TKind
    {
        Other,
        Challenge,
        Lines,
        Done,
    };
    TKind Kind = TKind::Other;
    QByteArray Challenge;
    QList<QByteArray> Lines;
};
TConsoleReply ReadConsoleReply(QByteArrayView datagram);

// The datagrams a remote console sends.
QByteArray HLChallengeRequest();
QByteArray HLCommand(const QByteArray& challenge, const QString& password, const QString& command);
QByteArray Q3Command(const QString& password, const QString& command);

// The remote console of Half-Life and Quake 3 servers without its window:
// the requests, the Half-Life challenge (cached until NewHLID, commands
// waiting for it), the log address feature, and what every reply shows,
// raised as Message lines for the window to print.
//
// One UDP endpoint serves both kinds. It listens on port 2000, where the
// Half-Life log stream is sent; when that port is taken it takes any free
// port, says so once, and the log address command names the port it has.
// Only datagrams from the addresses of the servers being administered count;
// anything else is ignored. A command waiting for a challenge that does not
// come is dropped, with a maroon line, after ChallengeTimeout.
class TRemoteConsole : public QObject
{
    Q_OBJECT

public:
    static constexpr std::uint16_t LogPort = 2000;

    explicit TRemoteConsole(QObject* parent = nullptr);
    ~TRemoteConsole() override;

    // Opens the endpoint on Port (LogPort, or any free one when it is
    // taken), saying in a Message when it is not the one asked for.
    void Start(std::uint16_t port = LogPort);
    bool IsListening() const;
    std::uint16_t LocalPort() const;

    // What the address and password boxes hold now.
    void SetServer(TConsoleKind kind, const QString& box);
    void SetPassword(TConsoleKind kind, const QString& password);

    // Enter in an input box: the command goes out through its kind's path
    // and is shown as the user's own line. Blank text does nothing.
    void Type(TConsoleKind kind, const QString& command);
    // A Half-Life command: sent with the cached challenge, or waiting for
    // one that is requested. True when the datagram (the command or the
    // challenge request) went out, or is going out once the name resolves.
    bool SendHLCommand(const QString& command);
    bool SendQ3Command(const QString& command);

    // Forgets the cached challenge; the next command asks for a new one.
    void NewHLID();

    // The log address feature: the server is told to send its log to
    // LocalAddress at this console's port, and to start logging. Enabled
    // only when both commands went out.
    void EnableLog(const QString& localAddress);
    // Tells the server to stop logging when the feature is on.
    void DisableLog();
    bool LogEnabled() const { return LogEnabled_; }

    QByteArray CachedChallenge() const { return Challenge_; }
    QStringList PendingCommands() const { return Pending_; }

    void SetChallengeTimeout(int ms) { ChallengeTimer_.setInterval(ms); }
    int ChallengeTimeout() const { return ChallengeTimer_.interval(); }

signals:
    void Message(const QString& text, TConsoleTone tone);

private:
    bool SendHL(const QString& command, bool wait);
    bool Send(TConsoleKind kind, const QByteArray& packet);
    bool SendTo(TConsoleKind kind, std::uint32_t address, std::uint16_t port,
                const QByteArray& packet);
    void Received(const TDatagram& datagram);
    void PassPending();
    void ChallengeTimedOut();
    void InvalidTarget();

    struct TSide
    {
        QString Box;
        QString Password;
        // The address this side last sent to: replies from it count.
        std::optional<std::uint32_t> Address;
        // Names resolved while the box kept its text, so commands keep
        // their order and are not held up by a lookup each.
        QHash<QString, std::uint32_t> Resolved;
    };
    TSide& Side(TConsoleKind kind) { return kind == TConsoleKind::HalfLife ? HL_ : Q3_; }

    TUdpEndpoint* Endpoint_ = nullptr;
    TSide HL_;
    TSide Q3_;
    QByteArray Challenge_;
    QStringList Pending_;
    bool LogEnabled_ = false;
    QTimer ChallengeTimer_;
};
