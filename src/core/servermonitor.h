#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "model/genericserver.h"

class TBasicQuery;
class TDialogs;

// The state of a server that tells the monitor to alert.
enum class TMonitorCondition : std::uint8_t
{
    MapChange, // the map differs from the one of the reply before
    NotFull,   // fewer players than slots
    Matches,   // the user's own conditions below
};

// What the monitor watches for and how it alerts; the window's controls.
struct TMonitorOptions
{
    int UpdateCycleMs = 1000;
    TMonitorCondition Condition = TMonitorCondition::NotFull;
    bool UseMapPattern = false;
    QString MapPattern; // * and ? are wildcards; case-sensitive
    bool UsePlayerCount = false;
    bool UseMoreThan = false;
    int MoreThan = 0;
    bool UseLessThan = false;
    int LessThan = 0;

    bool ShowMessage = false;
    bool PlaySound = false;
    QString SoundFile;
    bool JoinGame = false;
};

// What of a reply the monitor looks at.
struct TMonitorReading
{
    QByteArray Name;
    QByteArray Map;
    int NumPlayers = 0;
    int MaxPlayers = 0;
    QByteArray GameName;
};

// Whether a reading meets the condition. LastMap is the map of the reply
// before (empty for the first reply of a watch).
bool MonitorConditionMet(const TMonitorOptions& options, const TMonitorReading& reading,
                         const QByteArray& lastMap);

// The text of the alert's message box for the watched server.
QString MonitorAlertText(const TGenericServer& server);

// Watches one game server: asks it for its status again and again and
// alerts the user once it reaches the chosen state. It has one query
// component of its own per game (15 requests, 2000 ms each); a request
// that is not answered in time is dropped silently.
//
// A watch starts with one query; its reply switches the update timer on, so
// that further queries follow at the update cycle whether or not the one
// before was answered. The first alert ends the watch, as do Stop and a
// change of the watched server's game to none.
//
// Replies are evaluated one at a time from the event loop, never inside
// the engine's reply handler: an alert's message box may run the event loop
// for long, and replies arriving meanwhile are routed by their engine as
// usual and wait here for their turn. A reply evaluated after its watch has
// ended (after an alert, Stop or Cancel) updates the watched server but
// raises nothing and restarts nothing.
class TServerMonitor : public QObject
{
    Q_OBJECT

public:
    explicit TServerMonitor(TDialogs& dialogs, QObject* parent = nullptr);
    ~TServerMonitor() override;

    TMonitorOptions Options;

    // Plays a sound file without waiting for it; unset: no sound.
    std::function<void(const QString& file)> PlaySound;
    // Starts the game joined to the server (no password).
    std::function<void(const TGenericServer& server)> JoinGame;

    // The server to watch; the next query goes there. A watch under way
    // goes on with the new server.
    void SetServer(const QString& host, int port, TGameType game);
    const TGenericServer& Server() const { return *Server_; }

    // Enters monitor mode with the current options: one query now.
    void Start();
    // Ends the watch: no further query, no alert.
    void Stop();

    bool IsWatching() const { return Watching_; }
    bool TimerActive() const { return Timer_.isActive(); }
    // Replies evaluated so far, modulo 5: the heartbeat.
    int Heartbeat() const { return Heartbeat_; }
    // The component that queries servers of Game; nullptr for no game.
    TBasicQuery* Component(TGameType game) const;

signals:
    void HeartbeatChanged(int value);
    // Raised when a watch ends by an alert; the alert methods have run.
    void Alerted();
    // Raised when a watch starts (true) or ends (false) for any reason.
    void WatchingChanged(bool watching);

private:
    template <typename TQuery, typename TRecord>
    void AddComponent(TGameType game, const char* name, TMonitorReading (*read)(const TRecord&));
    void SendQuery();
    void Tick();
    void Received(std::int32_t tag, const TMonitorReading& reading);
    void EvaluatePending();
    void Evaluate(const TMonitorReading& reading);
    void Alert();
    void EndWatch();

    TDialogs& Dialogs_;
    std::unique_ptr<TGenericServer> Server_;
    std::array<TBasicQuery*, gtUnknown> Components_{};
    std::array<std::function<void(std::int32_t)>, gtUnknown> Send_;
    QTimer Timer_;

    struct TPending
    {
        std::int32_t Watch;
        TMonitorReading Reading;
    };
    QList<TPending> Pending_;
    bool EvaluationQueued_ = false;
    bool Checking_ = false;
    bool Watching_ = false;
    // Numbers the watches; a request carries its watch's number as its tag.
    std::int32_t Watch_ = 0;
    QByteArray LastMap_;
    int Heartbeat_ = 0;
};
