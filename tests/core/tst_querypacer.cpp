#include <QSignalSpy>
#include <QTest>

#include "core/querypacer.h"

class TestQueryPacer : public QObject
{
    Q_OBJECT

private slots:
    void dispatchMayStopTheRound();
};

namespace {

QList<std::int32_t> Ids(int count)
{
    QList<std::int32_t> ids;
    for (int i = 1; i <= count; ++i) {
        ids << i;
    }
    return ids;
}

} // namespace

void TestQueryPacer::dispatchMayStopTheRound()
{
    QList<std::int32_t> sent;
    TQueryPacer* pacer = nullptr;
    TQueryPacer owner([] { return -1; },
                      [&](std::int32_t id) {
                          sent << id;
                          if (id == 3) {
                              pacer->Stop();
                          }
                      });
    pacer = &owner;
    QSignalSpy finished(&owner, &TQueryPacer::Finished);
    owner.Start(Ids(10));
    QCOMPARE(sent, (QList<std::int32_t>{1, 2, 3}));
    QCOMPARE(finished.count(), 0);
}

QTEST_GUILESS_MAIN(TestQueryPacer)
#include "tst_querypacer.moc"
