#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

#include "browser/serverbrowser.h"

class QWidget;
class TServerDetails;
class TServerListModel;
class TServerListView;
class TServerQuerier;
class TSettings;
struct TQueryTarget;
struct TServerListLine;

// The main window's server list: the rows (TServerListModel) in lvServers
// (TServerListView), the selection, the queries of rows, and the one way
// rows are added, changed and removed. The players and rules pane follows
// the one selected server. Whatever removes rows, the coordinator forgets
// their servers in the same step, so a round never waits for them.
class TServerList : public QObject
{
    Q_OBJECT

public:
    TServerList(const TSettings& settings, TServerQuerier& querier, TServerDetails& details,
                QWidget* parent);
    ~TServerList() override;

    TServerListModel& Model() const { return *Model_; }
    TServerListView& View() const { return *View_; }

    // Rows, as TServerBrowser describes them.
    int Count() const;
    const TGenericServer* Server(int row) const;
    int RowOf(std::int32_t id) const;
    QString Cell(int row, int column) const;
    QList<int> SelectedRows() const;
    // The first selected row's record (and its row), or nullptr.
    const TGenericServer* FirstSelected(int* row = nullptr) const;
    void Select(int row);
    int Add(const QList<TServerAddress>& servers);
    // Appends the rows of a list file's lines in one step.
    void AddLoaded(const QList<TServerListLine>& lines);
    void Remove(const QList<int>& rows);
    void Clear();
    void SetCell(int row, int column, const QString& text);
    void Change(int row, const std::function<void(TGenericServer&)>& change);
    // Shows the players and rules of a row's server, and follows it.
    void ShowDetails(int row);
    // The game and address of the server with Id, for the coordinator;
    // false once it is gone.
    bool Target(std::int32_t id, TQueryTarget& target) const;

    // Queries: one row at once, the selected rows, every row.
    void Query(int row);
    void QuerySelected();
    void QueryAll();
    // Every row's first query may be retried again.
    void ResetRetries();

private:
    std::unique_ptr<TGenericServer> NewRecord(const QString& host, int port, TGameType game) const;
    void Removed(const QList<std::int32_t>& ids);
    void SelectionChanged();

    const TSettings& Settings_;
    TServerQuerier& Querier_;
    TServerDetails& Details_;
    QString TemplatesDir_;
    TServerListModel* Model_ = nullptr;
    TServerListView* View_ = nullptr;
    // Rows are being removed: the selection's many changes meanwhile are
    // looked at once, afterwards.
    bool Removing_ = false;
};
