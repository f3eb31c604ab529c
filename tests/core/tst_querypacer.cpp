#include <QSignalSpy>
#include <QTest>

#include "core/querypacer.h"
#include "core/settings.h"

class TestQueryPacer : public QObject
{
    Q_OBJECT

private slots:
    void slicesAcrossTurns();
    void delayBeforeEachDispatch();
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

void TestQueryPacer::slicesAcrossTurns()
{
    TSettings settings;
    QList<std::int32_t> sent;
    TQueryPacer pacer(settings, [&](std::int32_t id) { sent << id; });
    QSignalSpy finished(&pacer, &TQueryPacer::Finished);
    pacer.Start(Ids(1000));
    // The first slice goes at once; the rest waits for later turns.
    QVERIFY(!sent.isEmpty());
    QVERIFY(sent.size() <= TQueryPacer::SliceCount);
    QVERIFY(pacer.IsActive());
    QCOMPARE(pacer.Pending(), 1000 - sent.size());
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 5000);
    QCOMPARE(sent, Ids(1000));
    QVERIFY(!pacer.IsActive());
}

void TestQueryPacer::delayBeforeEachDispatch()
{
    TSettings settings;
    settings.Change([](TSettingsValues& v) {
        v.UseDelay = true;
        v.QueryDelay = 40;
    });
    QList<qint64> times;
    QElapsedTimer clock;
    clock.start();
    TQueryPacer pacer(settings, [&](std::int32_t) { times << clock.elapsed(); });
    QSignalSpy finished(&pacer, &TQueryPacer::Finished);
    pacer.Start(Ids(3));
    QVERIFY(times.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 5000);
    QCOMPARE(times.size(), 3);
    // Timers may fire late on a busy machine, never early.
    QVERIFY(times[0] >= 39);
    QVERIFY(times[2] - times[0] >= 2 * 39);
}

void TestQueryPacer::dispatchMayStopTheRound()
{
    TSettings settings;
    QList<std::int32_t> sent;
    TQueryPacer* pacer = nullptr;
    TQueryPacer owner(settings, [&](std::int32_t id) {
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
