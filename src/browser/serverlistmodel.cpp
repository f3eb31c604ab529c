#include "browser/serverlistmodel.h"

#include <QCollator>
#include <QColor>

#include <algorithm>
#include <numeric>

#include "browser/gameicons.h"
#include "core/settings.h"
#include "model/replybuffer.h"

namespace {

QColor ToQColor(TColor color)
{
    return QColor(color.Red(), color.Green(), color.Blue());
}

// Texts every new row shares, so that an unqueried row allocates only its
// address.
const QString& SharedText(int which)
{
    static const QString texts[] = {QStringLiteral("Unknown"), QStringLiteral("-")};
    return texts[which];
}

const QString& SharedGameName(TGameType game)
{
    static const std::array<QString, gtUnknown + 1> names = [] {
        std::array<QString, gtUnknown + 1> made;
        for (int i = 0; i <= gtUnknown; ++i) {
            made[i] = GameTypeName(i);
        }
        return made;
    }();
    return names[qMin(int(game), int(gtUnknown))];
}

} // namespace

TServerListModel::TServerListModel(const TSettings& settings, QObject* parent)
    : QAbstractTableModel(parent), Settings_(settings)
{
    FlushTimer_.setSingleShot(true);
    connect(&FlushTimer_, &QTimer::timeout, this, &TServerListModel::FlushChanges);
    LastFlush_.start();
}

TServerListModel::~TServerListModel() = default;

int TServerListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(Rows_.size());
}

int TServerListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TServerListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(Rows_.size()) || index.column() >= ColumnCount) {
        return {};
    }
    const TRow& row = *Rows_[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return row.Cells[index.column()];
    case Qt::DecorationRole:
        if (index.column() == colName && row.Icon >= 0) {
            return TGameIcons::Icon(row.Icon);
        }
        return {};
    case Qt::ForegroundRole: {
        // A selected row is drawn in the view's highlighted text colour.
        const TGenericServer& server = *row.Server;
        const auto& colors = Settings_->Colors;
        if (server.Favorite) {
            return ToQColor(colors[csFavorite]);
        }
        switch (server.Status) {
        case qsTimeout:
            return ToQColor(colors[csTimeout]);
        case qsIdle:
            return ToQColor(colors[csIdle]);
        case qsWorking:
            return ToQColor(colors[csWorking]);
        case qsNew:
            return QColor(Qt::black);
        }
        return {};
    }
    case Qt::TextAlignmentRole:
        if (index.column() == colPing || index.column() == colPlayers) {
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        }
        return {};
    default:
        return {};
    }
}

QVariant TServerListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        static const char* const captions[ColumnCount] = {"Name", "Map name", "Players",
                                                          "Ping", "Game",     "Address"};
        return QString::fromLatin1(captions[section]);
    }
    if (role == Qt::InitialSortOrderRole) {
        return int(Qt::AscendingOrder);
    }
    if (role == Qt::TextAlignmentRole && (section == colPing || section == colPlayers)) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

void TServerListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount) {
        return;
    }
    SortColumn_ = column;
    SortOrder_ = order;

    std::vector<int> sequence(Rows_.size());
    std::iota(sequence.begin(), sequence.end(), 0);
    const bool ascending = order == Qt::AscendingOrder;
    if (column == colPing) {
        std::vector<int> pings(Rows_.size());
        for (size_t i = 0; i < Rows_.size(); ++i) {
            pings[i] = ToIntDef(Rows_[i]->Cells[colPing].toLatin1());
        }
        std::stable_sort(sequence.begin(), sequence.end(), [&](int a, int b) {
            return ascending ? pings[a] < pings[b] : pings[b] < pings[a];
        });
    } else {
        // Sort keys make each comparison a byte compare; the collator is the
        // one QString::localeAwareCompare uses.
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseSensitive);
        std::vector<QCollatorSortKey> keys;
        keys.reserve(Rows_.size());
        for (const auto& row : Rows_) {
            keys.push_back(collator.sortKey(row->Cells[column]));
        }
        std::stable_sort(sequence.begin(), sequence.end(), [&](int a, int b) {
            return ascending ? keys[a].compare(keys[b]) < 0 : keys[b].compare(keys[a]) < 0;
        });
    }

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<std::unique_ptr<TRow>> sorted;
    sorted.reserve(Rows_.size());
    for (int from : sequence) {
        sorted.push_back(std::move(Rows_[from]));
    }
    Rows_ = std::move(sorted);
    Renumber(0);

    // Selections and the current row follow their records.
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    std::vector<int> newRow(sequence.size());
    for (size_t to = 0; to < sequence.size(); ++to) {
        newRow[sequence[to]] = int(to);
    }
    for (const QModelIndex& index : before) {
        after.append(index.isValid() && index.row() < int(newRow.size())
                         ? createIndex(newRow[index.row()], index.column())
                         : QModelIndex());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    if (DirtyLast_ >= 0) {
        // Pending changes were counted in the old order.
        DirtyFirst_ = 0;
        DirtyLast_ = int(Rows_.size()) - 1;
    }
}

std::unique_ptr<TServerListModel::TRow> TServerListModel::MakeRow(TNewRow&& row, int position) const
{
    auto entry = std::make_unique<TRow>();
    entry->Position = position;
    entry->Icon = GameImageIndex(*row.Server, false);
    if (row.Texts) {
        entry->Cells[colName] = row.Texts->Caption;
        entry->Cells[colMap] = row.Texts->Map;
        entry->Cells[colPlayers] = row.Texts->Players;
        entry->Cells[colPing] = row.Texts->Ping;
        entry->Cells[colGame] = row.Texts->Game;
    } else {
        entry->Cells[colName] = SharedText(0);
        entry->Cells[colMap] = SharedText(1);
        entry->Cells[colPlayers] = SharedText(1);
        entry->Cells[colPing] = SharedText(1);
        entry->Cells[colGame] = SharedGameName(row.Server->GameType);
    }
    entry->Cells[colAddress] = AddressText(*row.Server);
    entry->Server = std::move(row.Server);
    return entry;
}

int TServerListModel::Append(std::unique_ptr<TGenericServer> server)
{
    std::vector<TNewRow> rows;
    rows.push_back({std::move(server), std::nullopt});
    return Append(std::move(rows));
}

int TServerListModel::Append(std::vector<TNewRow> rows)
{
    const int first = int(Rows_.size());
    if (rows.empty()) {
        return first;
    }
    beginInsertRows({}, first, first + int(rows.size()) - 1);
    for (TNewRow& row : rows) {
        auto entry = MakeRow(std::move(row), int(Rows_.size()));
        ById_.insert(entry->Server->Id, entry.get());
        Rows_.push_back(std::move(entry));
    }
    endInsertRows();
    return first;
}

TGenericServer* TServerListModel::Server(int row) const
{
    return row >= 0 && row < int(Rows_.size()) ? Rows_[row]->Server.get() : nullptr;
}

int TServerListModel::RowOf(std::int32_t id) const
{
    const TRow* row = ById_.value(id, nullptr);
    return row ? row->Position : -1;
}

QString TServerListModel::Cell(int row, int column) const
{
    if (row < 0 || row >= int(Rows_.size()) || column < 0 || column >= ColumnCount) {
        return {};
    }
    return Rows_[row]->Cells[column];
}

int TServerListModel::IconIndex(int row) const
{
    return row >= 0 && row < int(Rows_.size()) ? Rows_[row]->Icon : -1;
}

void TServerListModel::SetTexts(int row, const TRowTexts& texts)
{
    if (row < 0 || row >= int(Rows_.size())) {
        return;
    }
    auto& cells = Rows_[row]->Cells;
    cells[colName] = texts.Caption;
    cells[colMap] = texts.Map;
    cells[colPlayers] = texts.Players;
    cells[colPing] = texts.Ping;
    cells[colGame] = texts.Game;
    RowChanged(row);
}

void TServerListModel::SetCell(int row, int column, const QString& text)
{
    if (row < 0 || row >= int(Rows_.size()) || column < 0 || column >= ColumnCount) {
        return;
    }
    Rows_[row]->Cells[column] = text;
    RowChanged(row);
}

void TServerListModel::SetIcon(int row, int iconIndex)
{
    if (row < 0 || row >= int(Rows_.size()) || Rows_[row]->Icon == iconIndex) {
        return;
    }
    Rows_[row]->Icon = iconIndex;
    RowChanged(row);
}

void TServerListModel::RowChanged(int row)
{
    if (row < 0 || row >= int(Rows_.size())) {
        return;
    }
    DirtyFirst_ = qMin(DirtyFirst_, row);
    DirtyLast_ = qMax(DirtyLast_, row);
    if (!FlushTimer_.isActive()) {
        FlushTimer_.start(qMax(0, FrameMs - int(LastFlush_.elapsed())));
    }
}

void TServerListModel::FlushChanges()
{
    FlushTimer_.stop();
    LastFlush_.restart();
    const int last = qMin(DirtyLast_, int(Rows_.size()) - 1);
    const int first = DirtyFirst_;
    DirtyFirst_ = INT_MAX;
    DirtyLast_ = -1;
    if (first <= last) {
        emit dataChanged(index(first, 0), index(last, ColumnCount - 1));
    }
}

void TServerListModel::AllRowsChanged()
{
    if (!Rows_.empty()) {
        RowChanged(0);
        RowChanged(int(Rows_.size()) - 1);
    }
}

void TServerListModel::Remove(QList<int> rows)
{
    std::sort(rows.begin(), rows.end(), std::greater<>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [this](int row) { return row < 0 || row >= int(Rows_.size()); }),
               rows.end());
    if (rows.isEmpty()) {
        return;
    }
    // Contiguous runs, from the last row to the first.
    QList<QPair<int, int>> runs;
    for (qsizetype i = 0; i < rows.size();) {
        const int last = rows[i];
        int first = last;
        while (++i < rows.size() && rows[i] == first - 1) {
            first = rows[i];
        }
        runs.append({first, last});
    }
    QList<std::int32_t> removed;
    removed.reserve(rows.size());
    const auto forget = [&](int row) {
        removed.append(Rows_[row]->Server->Id);
        ById_.remove(Rows_[row]->Server->Id);
    };
    if (runs.size() <= RemoveRunsAtMost) {
        for (const auto& [first, last] : runs) {
            beginRemoveRows({}, first, last);
            for (int row = first; row <= last; ++row) {
                forget(row);
            }
            Rows_.erase(Rows_.begin() + first, Rows_.begin() + last + 1);
            endRemoveRows();
        }
    } else {
        // Thousands of scattered rows: every announced run costs the views a
        // walk over every index they ever kept (Qt's table of them never
        // shrinks), so the rows go in one reset instead.
        beginResetModel();
        std::vector<bool> gone(Rows_.size(), false);
        for (int row : rows) {
            gone[std::size_t(row)] = true;
            forget(row);
        }
        std::size_t kept = 0;
        for (std::size_t row = 0; row < Rows_.size(); ++row) {
            if (!gone[row]) {
                Rows_[kept++] = std::move(Rows_[row]);
            }
        }
        Rows_.resize(kept);
        endResetModel();
    }
    const int lowest = runs.last().first;
    Renumber(lowest);
    if (DirtyLast_ >= lowest) {
        DirtyLast_ = int(Rows_.size()) - 1;
        DirtyFirst_ = qMin(DirtyFirst_, lowest);
    }
    emit ServersRemoved(removed);
}

void TServerListModel::Clear()
{
    if (Rows_.empty()) {
        return;
    }
    QList<std::int32_t> removed;
    removed.reserve(qsizetype(Rows_.size()));
    beginResetModel();
    for (auto it = Rows_.rbegin(); it != Rows_.rend(); ++it) {
        removed.append((*it)->Server->Id);
    }
    Rows_.clear();
    ById_.clear();
    DirtyFirst_ = INT_MAX;
    DirtyLast_ = -1;
    endResetModel();
    emit ServersRemoved(removed);
}

void TServerListModel::Renumber(int from)
{
    for (int i = from; i < int(Rows_.size()); ++i) {
        Rows_[i]->Position = i;
    }
}
