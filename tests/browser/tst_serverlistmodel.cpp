#include <QItemSelectionModel>
#include <QRandomGenerator>
#include <QTest>

#include "browser/serverlistmodel.h"
#include "core/settings.h"
#include "tempappfolder.h"

class TestServerListModel : public QObject
{
    Q_OBJECT

private slots:
    void identityThroughSortsAndRemovals();
    void selectionFollowsItsRecords();

private:
    std::unique_ptr<TGenericServer> NewServer(int port);

    TTempAppFolder Folder_;
    TSettings Settings_;
};

std::unique_ptr<TGenericServer> TestServerListModel::NewServer(int port)
{
    auto server = TGenericServer::Create(Folder_.Path());
    server->Info.Host = QStringLiteral("10.0.0.1");
    server->Info.Port = port;
    server->GameType = gtQuake3;
    return server;
}

// Random sorts and removals against a plain list of Ids: every Id must lead
// to the row that holds its record, and a removed Id to none.
void TestServerListModel::identityThroughSortsAndRemovals()
{
    TServerListModel model(Settings_);
    QRandomGenerator random(20261206);
    QList<std::int32_t> removed;
    for (int i = 0; i < 300; ++i) {
        const int row = model.Append(NewServer(i));
        model.SetTexts(row, {QString::number(random.bounded(50)),
                             {},
                             {},
                             QString::number(random.bounded(500)),
                             {}});
    }
    for (int step = 0; step < 40; ++step) {
        if (step % 2 == 0) {
            model.sort(random.bounded(int(TServerListModel::ColumnCount)),
                       random.bounded(2) ? Qt::AscendingOrder : Qt::DescendingOrder);
        } else {
            // Duplicates and rows outside the list are allowed and ignored.
            QList<int> rows{-1, model.rowCount()};
            for (int i = 0; i < 6; ++i) {
                rows << random.bounded(model.rowCount());
            }
            removed << model.Remove(rows);
        }
        for (int row = 0; row < model.rowCount(); ++row) {
            QCOMPARE(model.RowOf(model.Server(row)->Id), row);
        }
        for (std::int32_t id : removed) {
            QCOMPARE(model.RowOf(id), -1);
        }
    }
    QCOMPARE(model.rowCount() + removed.size(), 300);
}

void TestServerListModel::selectionFollowsItsRecords()
{
    TServerListModel model(Settings_);
    QItemSelectionModel selection(&model);
    for (int port : {5, 1, 4, 2, 3}) {
        const int row = model.Append(NewServer(port));
        model.SetTexts(row, {{}, {}, {}, QString::number(port), {}});
    }
    selection.select(model.index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection.select(model.index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection.setCurrentIndex(model.index(3, 0), QItemSelectionModel::NoUpdate);
    model.sort(TServerListModel::colPing, Qt::AscendingOrder);

    QList<int> selectedPorts;
    for (const QModelIndex& index : selection.selectedRows()) {
        selectedPorts << model.Server(index.row())->Info.Port;
    }
    std::sort(selectedPorts.begin(), selectedPorts.end());
    QCOMPARE(selectedPorts, (QList<int>{2, 5}));
    QCOMPARE(model.Server(selection.currentIndex().row())->Info.Port, 2);
}

QTEST_MAIN(TestServerListModel)
#include "tst_serverlistmodel.moc"
