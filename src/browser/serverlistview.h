#pragma once

#include <QTreeView>

// A flat, report-style list view for large lists: uniform row heights, no
// tree decoration, and a tip with the whole text over a cell that is too
// narrow to show it.
class TServerListView : public QTreeView
{
    Q_OBJECT

public:
    explicit TServerListView(QWidget* parent = nullptr);

    // Whether the text of Index does not fit its cell.
    bool IsElided(const QModelIndex& index) const;

protected:
    bool viewportEvent(QEvent* event) override;
};
