#include <QSignalSpy>
#include <QTest>

#include "core/settings.h"

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void changeAnnounces();
    void limits_data();
    void limits();
};

void TestSettings::changeAnnounces()
{
    TSettings settings;
    QSignalSpy changed(&settings, &TSettings::Changed);
    QSignalSpy colors(&settings, &TSettings::ColorsChanged);

    settings.Change([](TSettingsValues& v) { v.Retry = 2; }); // the default again
    QCOMPARE(changed.count(), 0);
    settings.Change([](TSettingsValues& v) { v.Buddies.append({"Sarge", false}); });
    QCOMPARE(changed.count(), 1);
    QCOMPARE(colors.count(), 0);
    settings.Change([](TSettingsValues& v) { v.Colors[csListBG] = TColor::FromRgb(1, 2, 3); });
    QCOMPARE(changed.count(), 2);
    QCOMPARE(colors.count(), 1);
    QCOMPARE(settings->Colors[csListBG].Value, 0x00030201u); // red in the low byte
    settings.Reset();
    QCOMPARE(colors.count(), 2);
    QCOMPARE(settings.Values(), TSettingsValues());
}

void TestSettings::limits_data()
{
    QTest::addColumn<QList<int>>(
        "given"); // MaxQueries, QueryTimeout, Retry, QueryDelay, DefaultGameType
    QTest::addColumn<QList<int>>("kept");
    QTest::newRow("inside") << QList<int>{99999, 50, 0, 1, 9} << QList<int>{99999, 50, 0, 1, 9};
    QTest::newRow("below") << QList<int>{0, 49, -1, 0, -2} << QList<int>{1, 50, 0, 1, -1};
    QTest::newRow("above") << QList<int>{100000, 100000, 100000, 100000, 10}
                           << QList<int>{99999, 99999, 99999, 99999, -1};
}

void TestSettings::limits()
{
    QFETCH(QList<int>, given);
    QFETCH(QList<int>, kept);
    TSettings settings;
    settings.Change([&](TSettingsValues& v) {
        v.MaxQueries = given[0];
        v.QueryTimeout = given[1];
        v.Retry = given[2];
        v.QueryDelay = given[3];
        v.DefaultGameType = given[4];
        v.Colors[csIdle].Value = 0xFF123456;
    });
    QCOMPARE((QList<int>{settings->MaxQueries, settings->QueryTimeout, settings->Retry,
                         settings->QueryDelay, settings->DefaultGameType}),
             kept);
    QCOMPARE(settings->Colors[csIdle].Value, 0x00123456u);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
