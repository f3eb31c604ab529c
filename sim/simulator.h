#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QStringList>

#include "simmaster.h"
#include "simserver.h"

// What to simulate.
struct TSimConfig
{
    QMap<TGameType, int> Servers; // servers per game
    std::uint32_t Seed = 1;
    // Relative weights of the behaviours servers are given.
    QMap<TSimBehaviour, int> Mix = {{TSimBehaviour::Answer, 1}};
    TSimServerOptions ServerOptions;
    // Fixed ports of masters; a master not named gets any free port.
    QMap<TMasterProtocol, std::uint16_t> MasterPorts;
    int DurationSeconds = 0; // 0: until stopped

    // The query forms of the Half-Life servers, taken in turn.
    QList<TSimHLForm> HLForms = {TSimHLForm::Old};
    // Which Half-Life masters there are: the old kind, the Steam kind, or both.
    bool HLOldMaster = true;
    bool HLSteamMaster = false;
    std::uint16_t HLSteamMasterPort = 0; // 0: any free port
    qsizetype HLSteamPageSize = 231;
    // Protocol versions of the Quake 3 servers, taken in turn; empty: every
    // server reports 68 and the master lists them whatever version is asked.
    QList<int> Q3Protocols;
};

// Reads morvix-sim's command line (without the program name). False with
// Error set for a usage error; Help is set for --help.
bool ParseSimArguments(const QStringList& arguments, TSimConfig& config, QString& error,
                       bool& help);

// The usage text of morvix-sim.
QString SimUsage();

// The master protocols' short names on the command line.
QString MasterShortName(TMasterProtocol protocol);

// Game servers and the four master servers on 127.0.0.1, each on its own
// UDP socket, all driven by the thread's event loop.
class TSimulator : public QObject
{
    Q_OBJECT

public:
    explicit TSimulator(TSimConfig config, QObject* parent = nullptr);

    // Creates and binds every server and master; false with Error set when
    // a socket cannot be had (a fixed master port in use, no descriptors left).
    bool Start(QString& error);

    const QList<TSimServer*>& Servers() const { return Servers_; }
    const QList<TSimMaster*>& Masters() const { return Masters_; }
    // The servers of one game, in the order they were made.
    QList<TSimServer*> ServersOf(TGameType game) const;
    TSimMaster* Master(TMasterProtocol protocol) const;
    // The Half-Life master of the Steam kind, if there is one.
    TSimMaster* HLSteamMaster() const;

    // What was bound: the document morvix-sim prints.
    QJsonObject BoundDocument() const;
    TSimCounters Totals() const;

private:
    TSimBehaviour DrawBehaviour(QRandomGenerator& random) const;
    bool AddMaster(TMasterProtocol protocol, bool steam, QString& error);

    TSimConfig Config_;
    QList<TSimServer*> Servers_;
    QList<TSimMaster*> Masters_;
};
