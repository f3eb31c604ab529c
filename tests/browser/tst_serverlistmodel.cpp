#include <QElapsedTimer>
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
    void changesReachTheViewsOncePerFrame();

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
    connect(&model, &TServerListModel::ServersRemoved, this,
            [&removed](const QList<std::int32_t>& ids) { removed << ids; });
    for (int i = 0; i < 600; ++i) {
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
            // Duplicates and rows outside the list are allowed and ignored;
            // now and then more runs than are announced one by one.
            QList<int> rows{-1, model.rowCount()};
            const int count = step % 6 == 1 ? TServerListModel::RemoveRunsAtMost + 20 : 6;
            for (int i = 0; i < count && model.rowCount() > 0; ++i) {
                rows << random.bounded(model.rowCount());
            }
            model.Remove(rows);
        }
        for (int row = 0; row < model.rowCount(); ++row) {
            QCOMPARE(model.RowOf(model.Server(row)->Id), row);
        }
        for (std::int32_t id : removed) {
            QCOMPARE(model.RowOf(id), -1);
        }
    }
    QCOMPARE(model.rowCount() + removed.size(), 600);
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

void TestServerListModel::changesReachTheViewsOncePerFrame()
{
    // Changes come in bursts, as replies of a round do: each burst reaches
    // the views as one announcement covering its rows, without anyone
    // asking for it, and no two announcements fall in one 20 ms frame.
    TServerListModel model(Settings_);
    for (int i = 0; i < 100; ++i) {
        model.Append(NewServer(i));
    }
    QElapsedTimer clock;
    clock.start();
    QList<qint64> told;
    QList<QPair<int, int>> ranges;
    connect(&model, &QAbstractItemModel::dataChanged, this,
            [&](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                told << clock.elapsed();
                ranges << qMakePair(topLeft.row(), bottomRight.row());
            });
    for (int burst = 0; burst < 5; ++burst) {
        const qsizetype before = told.size();
        for (int row = 10 * burst; row < 10 * burst + 10; ++row) {
            model.SetCell(row, TServerListModel::colPing, QString::number(row));
        }
        QTRY_COMPARE_WITH_TIMEOUT(told.size(), before + 1, 1000);
        QVERIFY(ranges.last().first <= 10 * burst && 10 * burst + 9 <= ranges.last().second);
    }
    for (qsizetype i = 1; i < told.size(); ++i) {
        QVERIFY2(told[i] - told[i - 1] >= TServerListModel::FrameMs - 2,
                 qPrintable(QString::number(told[i] - told[i - 1])));
    }
}

QTEST_MAIN(TestServerListModel)
#include "tst_serverlistmodel.moc"
