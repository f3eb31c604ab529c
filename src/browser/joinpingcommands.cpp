#include "browser/joinpingcommands.h"

#include "browser/serverbrowser.h"
#include "core/joinserver.h"
#include "core/joinstats.h"
#include "core/launcher.h"
#include "core/makerweb.h"
#include "model/icmpecho.h"

namespace {

int ColumnOf(TPingColumn column)
{
    switch (column) {
    case TPingColumn::Name:
        return colName;
    case TPingColumn::Map:
        return colMap;
    case TPingColumn::Players:
        return colPlayers;
    case TPingColumn::Ping:
        break;
    }
    return colPing;
}

} // namespace

// ---------------------------------------------------------------------------
// TBrowserPingRows

int TBrowserPingRows::RowCount() const
{
    return Browser_.ServerCount();
}

const TGenericServer* TBrowserPingRows::RowServer(int row) const
{
    return Browser_.Server(row);
}

int TBrowserPingRows::RowOfServer(std::int32_t id) const
{
    return Browser_.RowOf(id);
}

void TBrowserPingRows::SetCellText(int row, TPingColumn column, const QString& text)
{
    Browser_.SetCell(row, ColumnOf(column), text);
}

void TBrowserPingRows::SetRoundTrip(int row, std::uint32_t milliseconds)
{
    Browser_.ChangeServer(
        row, [milliseconds](TGenericServer& server) { server.Info.Ping = milliseconds; });
    Browser_.SetCell(row, colPing, QString::number(milliseconds));
}

// ---------------------------------------------------------------------------
// TJoinPingCommands

TJoinPingCommands::TJoinPingCommands(TServerBrowser& browser, const TSettings& settings,
                                     TDialogs& dialogs, const QString& makerAddress,
                                     QObject* parent)
    : QObject(parent), Browser_(browser), MakerAddress_(makerAddress.trimmed()), Rows_(browser),
      Launcher_(std::make_unique<TLauncher>(dialogs))
{
    const auto status = [this](const QString& text) { Browser_.ShowStatus(text); };
    Launcher_->ShowStatus = status;

    Stats_ = new TJoinStats(MakerAddress_, this);
    Stats_->ShowStatus = status;

    Join_ = std::make_unique<TServerJoin>(settings, dialogs, *Launcher_, Stats_);
    Join_->Hooks.ShowStatus = status;
    Join_->Hooks.CopyToClipboard = [this](const QString& text) { Browser_.CopyToClipboard(text); };
    Join_->Hooks.SaveServerList = [this] { Browser_.SaveServerList(); };
    Join_->Hooks.CloseProgram = [this] { Browser_.CloseMainWindow(); };
    Join_->Hooks.ShowInTray = [this](bool flag) { Browser_.ShowInTray(flag); };

    Ping_ = new TPing(this);
    Sweep_ = new TPingSweep(Rows_, *Ping_, this);
    Sweep_->ShowStatus = status;
}

TJoinPingCommands::~TJoinPingCommands()
{
    // The sweep answers the echo component's signals: it goes first.
    delete Sweep_;
}

bool TJoinPingCommands::JoinSelected()
{
    const QList<int> rows = Browser_.SelectedRows();
    const TGenericServer* server = rows.isEmpty() ? nullptr : Browser_.Server(rows.first());
    return server && Join_->JoinWithPrompt(*server);
}

void TJoinPingCommands::PingAll()
{
    Sweep_->PingAll();
}

void TJoinPingCommands::PingSelected()
{
    const QList<int> rows = Browser_.SelectedRows();
    if (!rows.isEmpty()) {
        Sweep_->PingSelected(rows.first());
    }
}

void TJoinPingCommands::AbortPing()
{
    Sweep_->AbortPing();
}

bool TJoinPingCommands::OpenMakerPage(const QString& path)
{
    const QUrl page = MakerPage(MakerAddress_, path);
    return page.isValid() && Launcher_->LaunchProgram(page.toString(), {});
}
