#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

#include <memory>

#include "browser/frmserverlist.h"
#include "core/servermonitor.h"
#include "fakeudpserver.h"
#include "gamereplies.h"
#include "model/basicquery.h"
#include "tools/frmmonitor.h"
#include "windowfixture.h"

using TKind = TScriptedDialogs::TKind;

namespace {

const char* const ConditionControls[] = {"cbMap",      "editMapPattern", "cbPlayercount",
                                         "cbMoreThan", "seMoreThan",     "cbLessThan",
                                         "seLessThan"};

} // namespace

class TestFrmMonitor : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void commandsNeedASelectedServer_data();
    void commandsNeedASelectedServer();
    void conditionControlsFollowTheChoice_data();
    void conditionControlsFollowTheChoice();
    void heartbeatAndAlertOnScreen();
    void trayStepKeepsMonitoring();
    void cancelStopsAndCloses();
    void soundFileFromTheDialog();
    void typedAddress_data();
    void typedAddress();

private:
    template <typename T> T* Control(const char* name) const
    {
        return Monitor_->findChild<T*>(QLatin1String(name));
    }
    void Click(const char* name) const
    {
        QTest::mouseClick(Control<QAbstractButton>(name), Qt::LeftButton);
    }
    int AddFullServer(int players);

    std::unique_ptr<TWindowFixture> X_;
    std::unique_ptr<TFakeUdpServer> Server_;
    TfrmServerList* Window_ = nullptr;
    TfrmMonitor* Monitor_ = nullptr;
};

void TestFrmMonitor::init()
{
    X_ = std::make_unique<TWindowFixture>();
    Window_ = &X_->Build();
    Monitor_ = X_->Windows.Monitor;
    QVERIFY(Monitor_);
    Window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(Window_));
    Server_ = std::make_unique<TFakeUdpServer>();
}

void TestFrmMonitor::cleanup()
{
    Server_.reset();
    X_.reset();
}

// A Quake 3 server of 4 slots whose players leave one per query, from Players on.
int TestFrmMonitor::AddFullServer(int players)
{
    Server_->SetResponder([this, players](const QByteArray&) {
        QList<QByteArray> lines;
        for (int i = 0; i < std::max(0, players - Server_->RequestCount() + 1); ++i) {
            lines << "1 40 \"p" + QByteArray::number(i) + '"';
        }
        return QList<QByteArray>{Q3StatusReply("Full house", "q3dm6", 4, lines)};
    });
    return Window_->AddServer(Server_->Address(), Server_->Port(), gtQuake3);
}

void TestFrmMonitor::commandsNeedASelectedServer_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("select");
    QTest::newRow("menu, nothing selected") << "miOtherMonitor" << false;
    QTest::newRow("pop-up, nothing selected") << "pmMonitor" << false;
    QTest::newRow("menu") << "miOtherMonitor" << true;
    QTest::newRow("pop-up") << "pmMonitor" << true;
}

void TestFrmMonitor::commandsNeedASelectedServer()
{
    QFETCH(QString, command);
    QFETCH(bool, select);
    const int row = AddFullServer(4);
    if (select) {
        Window_->SelectServer(row);
    }
    auto* action = Window_->findChild<QAction*>(command);
    QVERIFY(action && action->isEnabled());
    action->trigger();
    QCOMPARE(Monitor_->isVisible(), select);
    if (!select) {
        return;
    }
    QVERIFY(QTest::qWaitForWindowExposed(Monitor_));
    QCOMPARE(Monitor_->windowTitle(), QStringLiteral("Server monitor"));
    QCOMPARE(Monitor_->windowModality(), Qt::ApplicationModal);
    QCOMPARE(Control<QLineEdit>("editServerAddress")->text(),
             QStringLiteral("127.0.0.1:%1").arg(Server_->Port()));
    QVERIFY(
        Control<QComboBox>("cbGameType")->currentText().startsWith(QStringLiteral("Quake 3 (")));
    QVERIFY(!Control<QLineEdit>("editServerAddress")->isEnabled());
    QVERIFY(!Control<QComboBox>("cbGameType")->isEnabled());
    QCOMPARE(Control<QSpinBox>("seUpdate")->value(), 1000);
    QVERIFY(Control<QRadioButton>("rbNotFull")->isChecked());
}

void TestFrmMonitor::conditionControlsFollowTheChoice_data()
{
    QTest::addColumn<QString>("radio");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("map changes") << "rbMapChange" << false;
    QTest::newRow("a slot opens") << "rbNotFull" << false;
    QTest::newRow("my conditions") << "rbCondition" << true;
}

void TestFrmMonitor::conditionControlsFollowTheChoice()
{
    QFETCH(QString, radio);
    QFETCH(bool, enabled);
    Monitor_->Monitor(Server_->Address(), Server_->Port(), true, gtQuake3);
    Control<QRadioButton>("rbCondition")->click();
    Control<QRadioButton>(qPrintable(radio))->click();
    for (const char* name : ConditionControls) {
        QVERIFY2(Control<QWidget>(name)->isEnabled() == enabled, name);
    }
    // Monitoring locks them all; a stop opens only those that count.
    Server_->SetBehaviour(TFakeUdpServer::TBehaviour::Silent);
    Click("sbOK");
    for (const char* name : ConditionControls) {
        QVERIFY2(!Control<QWidget>(name)->isEnabled(), name);
    }
    QVERIFY(!Control<QWidget>("sbOK")->isEnabled());
    QVERIFY(!Control<QWidget>("seUpdate")->isEnabled());
    Click("sbAbort");
    QVERIFY(Control<QWidget>("sbOK")->isEnabled());
    for (const char* name : ConditionControls) {
        QVERIFY2(Control<QWidget>(name)->isEnabled() == enabled, name);
    }
}

void TestFrmMonitor::heartbeatAndAlertOnScreen()
{
    Window_->SelectServer(AddFullServer(6));
    Window_->findChild<QAction*>(QStringLiteral("pmMonitor"))->trigger();
    Control<QSpinBox>("seUpdate")->setValue(100);
    Control<QCheckBox>("cbShowmessage")->setChecked(true);
    auto* bar = Control<QProgressBar>("sbStatus");
    QCOMPARE(bar->maximum(), 5);
    QList<int> beats;
    connect(bar, &QProgressBar::valueChanged, this, [&beats](int value) { beats << value; });
    Click("sbOK");
    // 6, 5, 4 players are full; 3 of 4 alerts at the fourth reply.
    QTRY_COMPARE_WITH_TIMEOUT(X_->Dialogs.Shown().size(), 1, 10000);
    QCOMPARE(beats, (QList<int>{1, 2, 3, 4}));
    QCOMPARE(X_->Dialogs.Shown()[0].Kind, TKind::Information);
    QCOMPARE(X_->Dialogs.Shown()[0].Text,
             QStringLiteral("Server Full house [127.0.0.1:%1] just matched your criteria.")
                 .arg(Server_->Port()));
    QVERIFY(Control<QWidget>("sbOK")->isEnabled());
    QVERIFY(!Monitor_->Engine().TimerActive());
    QVERIFY(Monitor_->isVisible());
}

void TestFrmMonitor::trayStepKeepsMonitoring()
{
    Window_->SelectServer(AddFullServer(4));
    Window_->findChild<QAction*>(QStringLiteral("miOtherMonitor"))->trigger();
    Control<QSpinBox>("seUpdate")->setValue(100);
    Control<QCheckBox>("cbTray")->setChecked(true);
    Click("sbOK");
    // The window closes and the main window leaves the screen (to the tray,
    // or minimised where there is no tray) ...
    QVERIFY(!Monitor_->isVisible());
    QTRY_VERIFY(!Window_->isVisible() || Window_->isMinimized());
    // ... while the server is still asked, until its slot opens.
    QTRY_COMPARE_WITH_TIMEOUT(Monitor_->Engine().IsWatching(), false, 10000);
    QVERIFY(Server_->RequestCount() >= 2);
    QCOMPARE(Monitor_->Engine().Server().NumPlayers, 3);
}

void TestFrmMonitor::cancelStopsAndCloses()
{
    Window_->SelectServer(AddFullServer(100));
    Window_->findChild<QAction*>(QStringLiteral("pmMonitor"))->trigger();
    Control<QSpinBox>("seUpdate")->setValue(100);
    Click("sbOK");
    QTRY_VERIFY_WITH_TIMEOUT(Monitor_->Engine().TimerActive(), 10000);
    // The close box leaves the watch running.
    Monitor_->close();
    QVERIFY(Monitor_->Engine().IsWatching());
    Window_->findChild<QAction*>(QStringLiteral("pmMonitor"))->trigger();
    Click("sbBack");
    QVERIFY(!Monitor_->isVisible());
    QVERIFY(!Monitor_->Engine().IsWatching());
    QVERIFY(!Monitor_->Engine().TimerActive());
    QVERIFY(Control<QWidget>("sbOK")->isEnabled());
}

void TestFrmMonitor::soundFileFromTheDialog()
{
    Monitor_->Monitor(Server_->Address(), Server_->Port(), true, gtQuake3);
    X_->Dialogs.AnswerFileName(QStringLiteral("/sounds/alarm.wav"));
    Click("sbWaveBrowse");
    QCOMPARE(Control<QLineEdit>("editWAV")->text(), QStringLiteral("/sounds/alarm.wav"));
    QCOMPARE(X_->Dialogs.Shown().back().Kind, TKind::OpenFileName);
    QVERIFY(X_->Dialogs.Shown().back().Text.contains(QStringLiteral("*.wav")));
    // Cancelling keeps the file.
    Click("sbWaveBrowse");
    QCOMPARE(Control<QLineEdit>("editWAV")->text(), QStringLiteral("/sounds/alarm.wav"));
}

void TestFrmMonitor::typedAddress_data()
{
    QTest::addColumn<QString>("typed"); // %1: the server's port
    QTest::addColumn<bool>("valid");
    QTest::newRow("host and port") << "127.0.0.1:%1" << true;
    QTest::newRow("host alone keeps the port") << "127.0.0.1" << true;
    QTest::newRow("no host") << ":%1" << false;
    QTest::newRow("blank") << "  " << false;
}

void TestFrmMonitor::typedAddress()
{
    QFETCH(QString, typed);
    QFETCH(bool, valid);
    Server_->SetBehaviour(TFakeUdpServer::TBehaviour::Silent);
    // Unlocked, the window watches what is typed into it.
    Monitor_->Monitor(QStringLiteral("192.0.2.1"), Server_->Port(), false, gtQuake3);
    auto* address = Control<QLineEdit>("editServerAddress");
    QVERIFY(address->isEnabled());
    QVERIFY(Control<QComboBox>("cbGameType")->isEnabled());
    address->setText(typed.contains(u'%') ? typed.arg(Server_->Port()) : typed);
    Click("sbOK");
    QCOMPARE(Monitor_->Engine().IsWatching(), valid);
    if (valid) {
        QTRY_COMPARE(Server_->RequestCount(), 1);
        QCOMPARE(Monitor_->Engine().Server().Info.Host, QStringLiteral("127.0.0.1"));
    } else {
        QCOMPARE(X_->Dialogs.Shown().size(), 1);
        QCOMPARE(X_->Dialogs.Shown()[0].Kind, TKind::Warning);
        QVERIFY(Control<QWidget>("sbOK")->isEnabled());
    }
}

QTEST_MAIN(TestFrmMonitor)
#include "tst_frmmonitor.moc"
