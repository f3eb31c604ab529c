#pragma once

#include <QObject>
#include <QString>

#include <memory>

#include "core/pingsweep.h"

class TDialogs;
class TJoinStats;
class TLauncher;
class TPing;
class TServerBrowser;
class TServerJoin;
class TSettings;

// The server list as the ping sweep sees it, over the window's rows: what
// a sweep finds reaches the record through ChangeServer and the screen
// through the row's cells.
class TBrowserPingRows final : public TPingRows
{
public:
    explicit TBrowserPingRows(TServerBrowser& browser) : Browser_(browser) {}

    int RowCount() const override;
    const TGenericServer* RowServer(int row) const override;
    int RowOfServer(std::int32_t id) const override;
    void SetCellText(int row, TPingColumn column, const QString& text) override;
    void SetRoundTrip(int row, std::uint32_t milliseconds) override;

private:
    TServerBrowser& Browser_;
};

// What the main window starts outside the list: joining the selected
// server (the pop-up "&Join"), the ICMP ping of the list ("&ICMP Ping All",
// "ICMP Ping Selected", "&Ping", "&Abort ping!") and the maker's web pages
// of the Help menu. It owns the launcher, the join report, the join itself,
// the echo component and the sweep, and points their status texts, the
// clipboard, the list's saving, the window's closing and the tray at the
// window through TServerBrowser.
class TJoinPingCommands : public QObject
{
    Q_OBJECT

public:
    // MakerAddress is the maker's web server (the build's, as a rule): the
    // join reports and the help pages go there; empty, there are neither.
    TJoinPingCommands(TServerBrowser& browser, const TSettings& settings, TDialogs& dialogs,
                      const QString& makerAddress, QObject* parent = nullptr);
    ~TJoinPingCommands() override;

    TLauncher& Launcher() const { return *Launcher_; }
    TJoinStats& Stats() const { return *Stats_; }
    TServerJoin& Join() const { return *Join_; }
    TPing& Ping() const { return *Ping_; }
    TPingSweep& Sweep() const { return *Sweep_; }
    const QString& MakerAddress() const { return MakerAddress_; }

    // The pop-up "&Join": the first selected row, password asked when the
    // server has one. False when nothing started.
    bool JoinSelected();
    // "&ICMP Ping All", "ICMP Ping Selected" (and "&Ping"), "&Abort ping!".
    void PingAll();
    void PingSelected();
    void AbortPing();
    // Opens the page at Path on the maker's web server as a game is
    // launched, failures told in the status bar. False when it did not open
    // (or there is no maker address).
    bool OpenMakerPage(const QString& path);

private:
    TServerBrowser& Browser_;
    QString MakerAddress_;
    TBrowserPingRows Rows_;
    std::unique_ptr<TLauncher> Launcher_;
    TJoinStats* Stats_;
    std::unique_ptr<TServerJoin> Join_;
    TPing* Ping_;
    TPingSweep* Sweep_;
};
