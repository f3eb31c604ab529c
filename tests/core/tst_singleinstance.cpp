#include <QLocalServer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "core/singleinstance.h"
#include "testutil.h"

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void secondStartActivatesTheFirst();
    void otherSettingsFileIsAnotherProgram();
    void nameLeftBehindIsTakenOver();
    void samePathNamesTheSameProgram();
};

void TestSingleInstance::secondStartActivatesTheFirst()
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/settings.json";
    auto first = std::make_unique<TSingleInstance>(path);
    QVERIFY(first->Claim());
    QSignalSpy activated(first.get(), &TSingleInstance::ActivationRequested);

    TSingleInstance second(path);
    QVERIFY(!second.Claim());
    QTRY_COMPARE_WITH_TIMEOUT(activated.count(), 1, 5000);
    TSingleInstance third(path);
    QVERIFY(!third.Claim());
    QTRY_COMPARE_WITH_TIMEOUT(activated.count(), 2, 5000);

    // Once the first has gone, the next start is the program.
    first.reset();
    TSingleInstance next(path);
    QVERIFY(next.Claim());
}

void TestSingleInstance::otherSettingsFileIsAnotherProgram()
{
    QTemporaryDir users;
    QTemporaryDir demo;
    TSingleInstance user(users.path() + "/settings.json");
    QVERIFY(user.Claim());
    TSingleInstance demoProgram(demo.path() + "/settings.json");
    QVERIFY(demoProgram.Claim());
}

// A program that was killed leaves its socket's name behind; nobody answers
// on it, so the next start takes it over.
void TestSingleInstance::nameLeftBehindIsTakenOver()
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/settings.json";
    const QString name = TSingleInstance::ServerName(path);
    const QString socketFile = QDir::tempPath() + '/' + name;
    QVERIFY(WriteFileBytes(socketFile, "left behind"));
    TSingleInstance program(path);
    QVERIFY(program.Claim());
    QSignalSpy activated(&program, &TSingleInstance::ActivationRequested);
    TSingleInstance second(path);
    QVERIFY(!second.Claim());
    QTRY_COMPARE_WITH_TIMEOUT(activated.count(), 1, 5000);
}

void TestSingleInstance::samePathNamesTheSameProgram()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("config"));
    QVERIFY(QFile::link(dir.path() + "/config", dir.path() + "/link"));
    const QString name = TSingleInstance::ServerName(dir.path() + "/config/settings.json");
    QCOMPARE(TSingleInstance::ServerName(dir.path() + "/link/settings.json"), name);
    QCOMPARE(TSingleInstance::ServerName(dir.path() + "/config/../config/settings.json"), name);
    QVERIFY(TSingleInstance::ServerName(dir.path() + "/config/other.json") != name);
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
