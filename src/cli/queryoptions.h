#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "core/querytarget.h"
#include "model/gamecatalogue.h"

class QIODevice;

// What morvix-query was asked to do.
struct TQueryOptions
{
    QList<TQueryTarget> Targets;
    const TGameInfo* DefaultGame = nullptr; // GAME on the command line
    QString File;                           // --file; "-" is standard input

    const TGameInfo* MasterGame = nullptr; // --master GAME HOST[:PORT]
    QString MasterHost;
    int MasterPort = 0;
    bool QueryListed = false; // --query
    bool SteamMaster = false; // --master-kind steam: a Half-Life master of the Steam kind
    QList<int> Q3Protocols = {48, 68, 71}; // --q3-protocols

    // The browser's defaults for its "Query timeout", "Retries" and
    // "Concurrent requests" settings.
    int TimeoutMs = 1500;
    int Retries = 2;
    int MaxQueries = 15; // per query component; 0 = no limit

    bool Players = false;
    bool Rules = false;
    bool Json = false;
    bool Help = false;
};

// The port a master is asked at when none is given (the browser's own).
constexpr int DefaultMasterPort = 27999;

// Reads the command line (without the program name). False with Error set
// for a usage error. Addresses of --file are not read here (ReadTargets).
bool ParseQueryArguments(const QStringList& arguments, TQueryOptions& options, QString& error);

// Splits "HOST[:PORT]" at its last colon; DefaultPort when there is none.
// False when the host is empty or the port is not a number from 1 to 65535.
bool ParseAddress(const QString& text, int defaultPort, QString& host, int& port);

// Reads one address per line, "ADDRESS[:PORT]" or "GAME ADDRESS[:PORT]";
// blank lines and lines starting with "#" are skipped. An address without a
// game takes DefaultGame. False with Error naming the line for a bad one.
bool ReadTargets(QIODevice& input, const QString& source, const TGameInfo* defaultGame,
                 QList<TQueryTarget>& targets, QString& error);

// The usage text.
QString QueryUsage();
