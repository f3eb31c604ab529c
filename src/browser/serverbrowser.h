#pragma once

#include <QList>
#include <QString>

#include <cstdint>
#include <functional>

#include "model/genericserver.h"

class QWidget;

// The columns of the server list, in their designed order.
enum TServerColumn : int
{
    colName,
    colMap,
    colPlayers,
    colPing,
    colGame,
    colAddress,
    ColumnCount,
};

// A server to put into the list: where it is and which game it runs.
struct TServerAddress
{
    QString Host;
    int Port = 0;
    TGameType Game = gtUnknown;
};

// What the tool windows, tool bars and master requests may do with the main
// window's server list, instead of taking the whole window. The main window
// (TfrmServerList) implements it.
//
// Rows are addressed by their index in display order; a row's record is
// read-only here and changed only through ChangeServer, so that every change
// reaches the screen. Removing rows has this one path: whatever is still
// being asked for the removed servers stops counting in the query round.
class TServerBrowser
{
public:
    virtual ~TServerBrowser() = default;

    // The rows in the order the list shows them.
    virtual int ServerCount() const = 0;
    // The record of a row; nullptr for a row that does not exist.
    virtual const TGenericServer* Server(int row) const = 0;
    // The row of the record with Id, or -1 once it is gone.
    virtual int RowOf(std::int32_t id) const = 0;
    // The text a cell shows (a TServerColumn).
    virtual QString Cell(int row, int column) const = 0;

    // The selected rows, in ascending order.
    virtual QList<int> SelectedRows() const = 0;
    // Selects row Row alone, makes it the current row, scrolls to it and
    // gives the list the focus.
    virtual void SelectServer(int row) = 0;

    // Appends an unqueried server ("Unknown", "-") and returns its row.
    virtual int AddServer(const QString& host, int port, TGameType game) = 0;
    // Appends unqueried servers in one step and returns the row of the first.
    virtual int AddServers(const QList<TServerAddress>& servers) = 0;
    // Removes the rows (any order), freeing their records.
    virtual void RemoveServers(const QList<int>& rows) = 0;

    // Shows Text in a cell without touching the record ("NO PING REPLY",
    // a ping); the next reply of the server writes the cells anew.
    virtual void SetCell(int row, int column, const QString& text) = 0;
    // Lets Change edit the record of a row, then redraws the row (its colour
    // follows the record's status and favourite mark) and the players and
    // rules panes when they show that server.
    virtual void ChangeServer(int row, const std::function<void(TGenericServer&)>& change) = 0;

    // The status bar's text; it is painted at once, or at the end of the
    // current 20 ms frame.
    virtual void ShowStatus(const QString& text) = 0;
    // The main window, as the parent of tool windows and dialogs.
    virtual QWidget* BrowserWidget() = 0;
    // Writes the server list file now; false when nothing was written
    // (the user was told).
    virtual bool SaveServerList() = 0;
    // True: the program goes to the tray (the window hides); false: back.
    virtual void ShowInTray(bool flag) = 0;
    // Closes the main window: the program saves and ends.
    virtual void CloseMainWindow() = 0;
    // Replaces the clipboard's content with Text.
    virtual void CopyToClipboard(const QString& text) = 0;
};
