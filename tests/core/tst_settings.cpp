#include <QSignalSpy>
#include <QTest>

#include "core/settings.h"

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void defaults();
    void changeAnnounces();
    void limits_data();
    void limits();
    void storeNames();
};

void TestSettings::defaults()
{
    const TSettings settings;
    const TSettingsValues& v = settings.Values();
    QCOMPARE(v.MaxQueries, 15);
    QCOMPARE(v.QueryTimeout, 1500);
    QCOMPARE(v.Retry, 2);
    QCOMPARE(v.UseDelay, false);
    QCOMPARE(v.QueryDelay, 100);
    QCOMPARE(v.PingTimeout, 1500);
    QCOMPARE(v.NoLimit, false);
    QCOMPARE(v.UseBuddyList, false);
    QCOMPARE(v.LaunchConfirmation, true);
    QCOMPARE(v.OJCopyIP, true);
    QCOMPARE(v.OnJoin, jaTray);
    QCOMPARE(v.OJSaveList, true);
    QCOMPARE(v.OSQueryALL, false);
    QCOMPARE(v.OSTray, false);
    QCOMPARE(v.AllowStats, true);
    QCOMPARE(v.AllowFormat, false);
    QCOMPARE(v.StatsUsername, QStringLiteral("Newbie"));
    QCOMPARE(v.DefaultGameType, -1);
    QCOMPARE(v.ListLayout.SortCol, 0);
    QCOMPARE(v.ListLayout.Ascending, true);
    const std::uint32_t colors[] = {0x00FF0000, 0x00800000, 0x00000080, 0x000000FF, 0x00FFFFFF,
                                    0x00FFFFFF, 0x00FFFFFF, 0x00C0C0C0, 0x00000000, 0x00000000};
    for (int i = 0; i < ColorSettingCount; ++i) {
        QCOMPARE(v.Colors[i].Value, colors[i]);
    }
    // Red is the low byte.
    QCOMPARE(TColor{0x000000FF}.Red(), 255);
    QCOMPARE(TColor::FromRgb(0x12, 0x34, 0x56).Value, 0x00563412u);
}

void TestSettings::changeAnnounces()
{
    TSettings settings;
    QSignalSpy changed(&settings, &TSettings::Changed);
    QSignalSpy colors(&settings, &TSettings::ColorsChanged);

    settings.Change([](TSettingsValues& v) { v.Retry = 2; }); // the same value
    QCOMPARE(changed.count(), 0);
    settings.Change([](TSettingsValues& v) { v.Buddies.append({"Sarge", false}); });
    QCOMPARE(changed.count(), 1);
    QCOMPARE(colors.count(), 0);
    settings.Change([](TSettingsValues& v) { v.Colors[csListBG] = TColor::FromRgb(1, 2, 3); });
    QCOMPARE(changed.count(), 2);
    QCOMPARE(colors.count(), 1);
    settings.Reset();
    QCOMPARE(colors.count(), 2);
    QVERIFY(settings->Buddies.isEmpty());
    QCOMPARE(settings.Values(), TSettingsValues());
}

void TestSettings::limits_data()
{
    QTest::addColumn<int>("maxQueries");
    QTest::addColumn<int>("timeout");
    QTest::addColumn<int>("retry");
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("gameType");
    QTest::addColumn<QList<int>>("expected");
    QTest::newRow("inside") << 99999 << 50 << 0 << 1 << 9 << QList<int>{99999, 50, 0, 1, 9};
    QTest::newRow("below") << 0 << 49 << -1 << 0 << -2 << QList<int>{1, 50, 0, 1, -1};
    QTest::newRow("above") << 100000 << 1 << 100000 << 100000 << 10
                           << QList<int>{99999, 50, 99999, 99999, -1};
}

void TestSettings::limits()
{
    QFETCH(int, maxQueries);
    QFETCH(int, timeout);
    QFETCH(int, retry);
    QFETCH(int, delay);
    QFETCH(int, gameType);
    QFETCH(QList<int>, expected);
    TSettings settings;
    settings.Change([&](TSettingsValues& v) {
        v.MaxQueries = maxQueries;
        v.QueryTimeout = timeout;
        v.Retry = retry;
        v.QueryDelay = delay;
        v.DefaultGameType = gameType;
        v.Colors[csIdle].Value = 0xFF123456;
    });
    QCOMPARE((QList<int>{settings->MaxQueries, settings->QueryTimeout, settings->Retry,
                         settings->QueryDelay, settings->DefaultGameType}),
             expected);
    QCOMPARE(settings->Colors[csIdle].Value, 0x00123456u);
}

void TestSettings::storeNames()
{
    QCOMPARE(QByteArray(TSettings::ColorName(csWorking)), QByteArray("qsWorking"));
    QCOMPARE(QByteArray(TSettings::ColorName(csOtherFont)), QByteArray("OtherFont"));
    QStringList order;
    for (TGameType game : TSettings::GamePathOrder()) {
        order << QString::fromLatin1(TSettings::GamePathName(game));
    }
    QCOMPARE(order, (QStringList{"Tribes", "QuakeWorld", "Quake2", "Quake3", "Half-life", "KingPin",
                                 "Sin", "Heretic 2", "SoF", "Tribes2"}));
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
