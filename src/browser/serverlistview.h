#pragma once

#include <QTreeView>

struct TListLayout;
struct TSettingsValues;

// A flat, report-style list view for large lists: uniform row heights, no
// tree decoration, and a tip with the whole text over a cell that is too
// narrow to show it. It keeps its column widths, order and sort state in a
// TListLayout of the settings.
class TServerListView : public QTreeView
{
    Q_OBJECT

public:
    explicit TServerListView(QAbstractItemModel* model, QWidget* parent = nullptr);

    // Whether the text of Index does not fit its cell.
    bool IsElided(const QModelIndex& index) const;

    // Copies the column widths, order and sort state into Layout.
    void SaveLayout(TListLayout& layout) const;
    // Takes the column widths, a complete column order, and the sort column
    // and direction, by which the rows are sorted now.
    void ApplyLayout(const TListLayout& layout);
    // Sorts the rows again by the sort column and direction shown.
    void SortAgain();
    // Gives the name column the room the other columns leave.
    void FitNameColumn();
    // The list's background (every other row a shade apart) and white text
    // on selected rows.
    void ApplyColors(const TSettingsValues& values);

protected:
    bool viewportEvent(QEvent* event) override;
    // Repaints only the rows of the range that are on screen: during a round
    // thousands of rows change, most of them scrolled out of sight.
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = {}) override;
};
