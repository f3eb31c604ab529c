#pragma once

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QHash>
#include <QTimer>

#include <array>
#include <climits>
#include <memory>
#include <optional>
#include <vector>

#include "browser/serverbrowser.h"
#include "core/serverresults.h"
#include "model/genericserver.h"

class TSettings;

// The rows of the server list. Each row owns one TGenericServer and the
// texts the list shows for it; a record is found by its row or by its Id,
// which queries carry as their tag, so that a reply finds its record after
// rows were removed or sorted, or finds nothing when its record is gone.
//
// The model sorts itself when asked (a header click) and keeps that order
// until the next sort: changing a row never moves it. The text colour of a
// row follows its record's status and favourite mark, with the colours read
// from the settings at each paint. Changed rows reach the views at most once
// per 20 ms frame, so a round of ten thousand replies paints as it goes
// without painting ten thousand times.
class TServerListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    using TColumn = TServerColumn;
    using enum TServerColumn;

    explicit TServerListModel(const TSettings& settings, QObject* parent = nullptr);
    ~TServerListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // Sorts the rows by Column: "Ping" as numbers (anything else counts as
    // 0), every other column as text in the user's locale, case-sensitively.
    // Rows that compare equal keep their order. A column outside the list
    // leaves the rows as they are.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Appends a row for a new, unqueried server and returns its index.
    int Append(std::unique_ptr<TGenericServer> server);
    // A row to append: its record and, unless it shows the texts of a new
    // row, the texts it shows.
    struct TNewRow
    {
        std::unique_ptr<TGenericServer> Server;
        std::optional<TRowTexts> Texts;
    };
    // Appends the rows in one step (one insertion for the views) and returns
    // the index of the first; rowCount() when Rows is empty.
    int Append(std::vector<TNewRow> rows);

    // The record of a row, or nullptr for a row that does not exist.
    TGenericServer* Server(int row) const;
    // The row of the record with Id, or -1 when it is gone.
    int RowOf(std::int32_t id) const;

    QString Cell(int row, int column) const;
    int IconIndex(int row) const;

    // Sets the caption and the cells of a shown reply or final time-out.
    void SetTexts(int row, const TRowTexts& texts);
    void SetCell(int row, int column, const QString& text);
    void SetIcon(int row, int iconIndex);
    // Redraws a row whose record's status or favourite mark changed.
    void RowChanged(int row);
    // Changed rows are announced together, at most once per FrameMs: a
    // round of queries changes thousands of rows, and a view that repaints
    // for each of them spends the round painting. data() always answers the
    // current values; FlushChanges announces the pending changes at once.
    void FlushChanges();
    static constexpr int FrameMs = 20;
    // Redraws every row (colours changed).
    void AllRowsChanged();

    // Removes the given rows (any order, duplicates allowed), freeing their
    // records; ServersRemoved names them. Up to RemoveRunsAtMost runs of
    // neighbouring rows are announced one by one, more in one reset (the
    // views then lose their selection, which the caller puts back).
    void Remove(QList<int> rows);
    static constexpr int RemoveRunsAtMost = 64;
    // Removes every row.
    void Clear();

    // The column of the last sort, -1 before the first one.
    int SortColumn() const { return SortColumn_; }
    Qt::SortOrder SortOrder() const { return SortOrder_; }

signals:
    // The records of these Ids were removed with their rows.
    void ServersRemoved(const QList<std::int32_t>& ids);

private:
    struct TRow
    {
        std::unique_ptr<TGenericServer> Server;
        std::array<QString, ColumnCount> Cells;
        int Icon = -1;
        int Position = 0; // the row's current index
    };

    void Renumber(int from);
    std::unique_ptr<TRow> MakeRow(TNewRow&& row, int position) const;

    const TSettings& Settings_;
    std::vector<std::unique_ptr<TRow>> Rows_;
    QHash<std::int32_t, TRow*> ById_;
    int DirtyFirst_ = INT_MAX;
    int DirtyLast_ = -1;
    QTimer FlushTimer_;
    QElapsedTimer LastFlush_;
    int SortColumn_ = -1;
    Qt::SortOrder SortOrder_ = Qt::AscendingOrder;
};
