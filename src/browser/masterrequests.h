#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

#include "core/masterlist.h"
#include "masters/masterserver.h"
#include "model/gamecatalogue.h"

class QMenu;
class TDialogs;
class TServerBrowser;
class THLMaster;
class THLSteamMaster;
class TMaster;
class TQ3Master;
class TQ3MultiMaster;
class TT2Master;
class TTribesMaster;

// The server list's side of the master servers: the master sub-menus of
// "&Import", the request a click on one of them starts, and what becomes of
// each server, time-out, odd packet and message of the day a master reports.
// It owns one component per master protocol: HLMaster, Q3Master,
// TribesMaster and T2Master, and HLSteamMaster for Half-Life masters of the
// Steam kind. Q3Master asks for the servers of each protocol version in
// turn and lists their union.
//
// Every listed server becomes a new, unqueried row. A master lists thousands
// of servers in a burst of datagrams; they wait in arrival order and are
// added in slices, one batch per turn of the event loop, so the window keeps
// answering and the status bar counts them as they come.
class TMasterRequests : public QObject
{
    Q_OBJECT

public:
    TMasterRequests(TServerBrowser& browser, TDialogs& dialogs, QObject* parent = nullptr);
    ~TMasterRequests() override;

    // Replaces the items of Import with one sub-menu per game, named
    // "miMasterGame" and its index, holding one item per master, named
    // "miMasterServ" and its index, whose click asks that master in the form
    // of its kind (kept in the item's data).
    void BuildMenu(QMenu& import, const QList<TMasterGame>& games);

    // A click on a master's menu item (Sender): asks the master it names for
    // the servers of the game its sub-menu names.
    void OnMasterClick(QObject* sender);
    // Asks a master of Game for its list; for a game without master
    // protocol it only says so.
    void RequestMaster(const QString& host, int port, TGameType game,
                       TMasterKind kind = TMasterKind::Documented);

    // The protocol versions a Quake 3 master is asked for, in order; an
    // empty list or one without a usable version keeps the current ones.
    void SetQ3Versions(const QList<int>& versions);

    // Servers added to the list since the last request.
    int ReceivedCount() const { return Received_; }
    // Servers received but not added yet.
    qsizetype PendingCount() const { return Pending_.size() - Next_; }
    // Adds every server still waiting, at once.
    void AddPending();

    THLMaster& HLMaster() const { return *HLMaster_; }
    THLSteamMaster& HLSteamMaster() const { return *HLSteamMaster_; }
    TQ3MultiMaster& Q3Master() const { return *Q3Master_; }
    TTribesMaster& TribesMaster() const { return *TribesMaster_; }
    TT2Master& T2Master() const { return *T2Master_; }

    // One turn of the event loop adds at most this many waiting servers and
    // stops early when the slice's time is used up.
    static constexpr int SliceCount = 1024;
    static constexpr int SliceMs = 5;

private:
    struct TPending
    {
        TGameType Game;
        TMasterServer Server;
    };

    template <typename TComponent> TComponent* AddMaster(const char* name, TGameType game);
    void Receive(TGameType game, const TMasterServer& server);
    void AddSlice();
    void Add(qsizetype count);
    // Shows a text about the answer after the servers that came before it.
    void ShowAfterPending(const QString& text);

    TServerBrowser& Browser_;
    TDialogs& Dialogs_;
    THLMaster* HLMaster_ = nullptr;
    THLSteamMaster* HLSteamMaster_ = nullptr;
    TQ3MultiMaster* Q3Master_ = nullptr;
    TTribesMaster* TribesMaster_ = nullptr;
    TT2Master* T2Master_ = nullptr;

    QList<TPending> Pending_;
    qsizetype Next_ = 0;
    int Received_ = 0;
    bool NewImport_ = false; // no request of the import asked last has left yet
    QTimer SliceTimer_;
};
