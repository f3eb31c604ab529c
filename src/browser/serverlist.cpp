#include "browser/serverlist.h"

#include "browser/serverdetails.h"
#include "browser/serverlistmodel.h"
#include "browser/serverlistrows.h"
#include "browser/serverlistview.h"
#include "core/serverquerier.h"
#include "model/apppaths.h"

TServerList::TServerList(const TSettings& settings, TServerQuerier& querier,
                         TServerDetails& details, QWidget* parent)
    : QObject(parent), Settings_(settings), Querier_(querier), Details_(details),
      TemplatesDir_(TAppPaths::TemplatesDir())
{
    Model_ = new TServerListModel(Settings_, this);
    View_ = new TServerListView(Model_, parent);
    connect(Model_, &TServerListModel::ServersRemoved, this, &TServerList::Removed);
    connect(View_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TServerList::SelectionChanged);
}

TServerList::~TServerList()
{
    // The rows go before the coordinator: it has nothing left to forget.
    Model_->disconnect(this);
}

int TServerList::Count() const
{
    return Model_->rowCount();
}

const TGenericServer* TServerList::Server(int row) const
{
    return Model_->Server(row);
}

int TServerList::RowOf(std::int32_t id) const
{
    return Model_->RowOf(id);
}

QString TServerList::Cell(int row, int column) const
{
    return Model_->Cell(row, column);
}

bool TServerList::Target(std::int32_t id, TQueryTarget& target) const
{
    const TGenericServer* server = Model_->Server(Model_->RowOf(id));
    if (!server) {
        return false;
    }
    target = {GameInfo(server->GameType), server->Info.Host, server->Info.Port};
    return true;
}

// ---------------------------------------------------------------------------
// Adding, changing and removing rows

std::unique_ptr<TGenericServer> TServerList::NewRecord(const QString& host, int port,
                                                       TGameType game) const
{
    auto server = TGenericServer::Create(TemplatesDir_);
    server->Info.Host = host;
    server->Info.Port = port;
    server->GameType = game;
    server->Status = qsNew;
    server->Name = QByteArrayLiteral("Unknown");
    return server;
}

int TServerList::Add(const QList<TServerAddress>& servers)
{
    std::vector<TServerListModel::TNewRow> rows;
    rows.reserve(std::size_t(servers.size()));
    for (const TServerAddress& address : servers) {
        rows.push_back({NewRecord(address.Host, address.Port, address.Game), std::nullopt});
    }
    return Model_->Append(std::move(rows));
}

void TServerList::AddLoaded(const QList<TServerListLine>& lines)
{
    Model_->Append(LoadedRows(lines, [this](const QString& host, int port, TGameType game) {
        return NewRecord(host, port, game);
    }));
}

void TServerList::Remove(const QList<int>& rows)
{
    // A selection of thousands of scattered rows is thousands of ranges that
    // every removed run would walk and split, and a removal of many runs
    // resets the views: what remains of the selection, the current row and
    // the row at the top are kept by their records and put back after.
    QItemSelectionModel& selection = *View_->selectionModel();
    std::vector<bool> removed(std::size_t(Model_->rowCount()), false);
    for (int row : rows) {
        if (row >= 0 && row < int(removed.size())) {
            removed[std::size_t(row)] = true;
        }
    }
    const auto survivor = [&](int row) {
        return row >= 0 && row < int(removed.size()) && !removed[std::size_t(row)]
                   ? Model_->Server(row)->Id
                   : 0;
    };
    QList<std::int32_t> kept;
    for (int row : SelectedRows()) {
        if (const std::int32_t id = survivor(row)) {
            kept.append(id);
        }
    }
    const std::int32_t current = survivor(selection.currentIndex().row());
    const std::int32_t top = survivor(View_->indexAt(QPoint(0, 0)).row());

    Removing_ = true;
    selection.clearSelection();
    Model_->Remove(rows);
    QList<int> keptRows;
    for (std::int32_t id : kept) {
        keptRows.append(Model_->RowOf(id));
    }
    std::sort(keptRows.begin(), keptRows.end());
    QItemSelection restored;
    for (qsizetype i = 0; i < keptRows.size();) {
        qsizetype last = i;
        while (last + 1 < keptRows.size() && keptRows[last + 1] == keptRows[last] + 1) {
            ++last;
        }
        restored.select(Model_->index(keptRows[i], 0), Model_->index(keptRows[last], 0));
        i = last + 1;
    }
    selection.select(restored, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    if (current) {
        selection.setCurrentIndex(Model_->index(Model_->RowOf(current), 0),
                                  QItemSelectionModel::NoUpdate);
    }
    if (top) {
        View_->scrollTo(Model_->index(Model_->RowOf(top), 0), QAbstractItemView::PositionAtTop);
    }
    Removing_ = false;
    SelectionChanged();
}

void TServerList::Clear()
{
    Querier_.Stop();
    Model_->Clear();
}

void TServerList::Removed(const QList<std::int32_t>& ids)
{
    Querier_.Forget(ids);
    if (ids.contains(Details_.ServerId())) {
        Details_.Follow(0);
    }
    if (Model_->rowCount() == 0) {
        Querier_.Stop();
    }
}

void TServerList::SetCell(int row, int column, const QString& text)
{
    Model_->SetCell(row, column, text);
}

void TServerList::Change(int row, const std::function<void(TGenericServer&)>& change)
{
    if (TGenericServer* server = Model_->Server(row)) {
        change(*server);
        Model_->RowChanged(row);
        if (server->Id == Details_.ServerId()) {
            Details_.Show(*server);
        }
    }
}

// ---------------------------------------------------------------------------
// Selection

QList<int> TServerList::SelectedRows() const
{
    // From the selection's ranges: Qt's selectedRows asks every range about
    // every row, which takes seconds for thousands of scattered rows.
    QList<int> rows;
    for (const QItemSelectionRange& range : View_->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            rows.append(row);
        }
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

const TGenericServer* TServerList::FirstSelected(int* row) const
{
    const QList<int> rows = SelectedRows();
    if (rows.isEmpty()) {
        return nullptr;
    }
    if (row) {
        *row = rows.first();
    }
    return Model_->Server(rows.first());
}

void TServerList::Select(int row)
{
    const QModelIndex at = Model_->index(row, 0);
    if (!at.isValid()) {
        return;
    }
    View_->selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect |
                                                     QItemSelectionModel::Rows);
    View_->scrollTo(at);
    View_->setFocus();
}

void TServerList::SelectionChanged()
{
    if (Removing_) {
        return;
    }
    // Exactly one row selected: one range of one row. Counted on the ranges,
    // so that a selection of thousands of rows costs no list of them.
    const QItemSelection selection = View_->selectionModel()->selection();
    const bool one = selection.size() == 1 && selection.first().height() == 1;
    const TGenericServer* server = one ? Model_->Server(selection.first().top()) : nullptr;
    Details_.Follow(server ? server->Id : 0);
    if (server) {
        Details_.Show(*server);
    }
}

void TServerList::ShowDetails(int row)
{
    if (const TGenericServer* server = Model_->Server(row); server && !server->NoReply) {
        Details_.Follow(server->Id);
        Details_.Show(*server);
    }
}

// ---------------------------------------------------------------------------
// Queries

void TServerList::Query(int row)
{
    if (const TGenericServer* server = Model_->Server(row)) {
        Querier_.Query(server->Id);
    }
}

void TServerList::QueryAll()
{
    ResetRetries();
    QList<std::int32_t> ids;
    ids.reserve(Model_->rowCount());
    for (int row = 0; row < Model_->rowCount(); ++row) {
        ids.append(Model_->Server(row)->Id);
    }
    Querier_.StartRound(std::move(ids));
}

void TServerList::QuerySelected()
{
    const QList<int> rows = SelectedRows();
    if (rows.size() <= 1) {
        // A single server joins a round that is still being dispatched
        // instead of cutting it short, and keeps its retries.
        if (!Querier_.IsDispatching()) {
            Querier_.ResetProgress();
        }
        if (!rows.isEmpty()) {
            Query(rows.first());
        }
        return;
    }
    ResetRetries();
    QList<std::int32_t> ids;
    ids.reserve(rows.size());
    for (auto it = rows.crbegin(); it != rows.crend(); ++it) {
        ids.append(Model_->Server(*it)->Id);
    }
    Querier_.StartRound(std::move(ids));
}

void TServerList::ResetRetries()
{
    Querier_.ResetRetries();
    for (int row = 0; row < Model_->rowCount(); ++row) {
        Model_->Server(row)->RetryCount = 0;
    }
}
