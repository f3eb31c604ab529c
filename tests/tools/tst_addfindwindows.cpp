#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>

#include <memory>

#include "browser/frmserverlist.h"
#include "core/serverlistfile.h"
#include "core/settings.h"
#include "core/settingsstore.h"
#include "scripteddialogs.h"
#include "tempappfolder.h"
#include "testutil.h"
#include "tools/frmadd.h"
#include "tools/frmfind.h"
#include "windowfixture.h"

using TKind = TScriptedDialogs::TKind;

namespace {

// Types Text into Widget key by key, also letters that have no key of their
// own on the test's keyboard (QTest::keyClicks takes ASCII only).
void Type(QWidget* widget, const QString& text)
{
    for (QChar c : text) {
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

} // namespace

class TestAddFindWindows : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void menuCommandsOpenToolWindows();
    void adding_data();
    void adding();
    void typedHostSurvivesTheList();
    void choosingGameTypeOffersItsPort_data();
    void choosingGameTypeOffersItsPort();
    void storedGameTypeComesBack();
    void cancelEscapeAndHelp();
    void findAndFindNext();

private:
    template <typename T> T* Add(const char* name) const
    {
        return Add_->findChild<T*>(QLatin1String(name));
    }
    template <typename T> T* Find(const char* name) const
    {
        return Find_->findChild<T*>(QLatin1String(name));
    }
    QAction* Command(const char* name) const
    {
        return Window_->findChild<QAction*>(QLatin1String(name));
    }
    QList<int> Selected() const { return Window_->SelectedRows(); }

    std::unique_ptr<TWindowFixture> X_;
    TSettings* Settings_ = nullptr;
    TScriptedDialogs* Dialogs_ = nullptr;
    TfrmServerList* Window_ = nullptr;
    TfrmAdd* Add_ = nullptr;   // owned by the main window
    TfrmFind* Find_ = nullptr; // owned by the main window
};

void TestAddFindWindows::init()
{
    X_ = std::make_unique<TWindowFixture>();
    Settings_ = &X_->Settings;
    Dialogs_ = &X_->Dialogs;
    Window_ = &X_->Build();
    Add_ = X_->Windows.Add;
    Find_ = X_->Windows.Find;
    Window_->show();
    QVERIFY(QTest::qWaitForWindowActive(Window_));
}

void TestAddFindWindows::cleanup()
{
    X_.reset();
}

void TestAddFindWindows::menuCommandsOpenToolWindows()
{
    QAction* manualAdd = Command("miListManualAdd");
    QVERIFY(manualAdd->isEnabled());
    QCOMPARE(manualAdd->shortcut(), QKeySequence(Qt::Key_Insert));
    QAction* findServer = Command("miOtherFindServer");
    QVERIFY(findServer->isEnabled());
    QCOMPARE(findServer->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));

    Add<QLineEdit>("editHostname")->setText("left over");
    QTest::keyClick(Window_, Qt::Key_Insert);
    QVERIFY(Add_->isVisible() && Add_->windowFlags().testFlag(Qt::Tool));
    QCOMPARE(Add<QLineEdit>("editHostname")->text(), QString());
    QTRY_VERIFY(Add<QLineEdit>("editHostname")->hasFocus());
    // Neither window blocks the main window.
    QCOMPARE(QApplication::activeModalWidget(), nullptr);

    QTest::keyClick(Window_, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(Find_->isVisible());
    QTRY_VERIFY(Find<QLineEdit>("editFind")->hasFocus());
}

void TestAddFindWindows::adding_data()
{
    QTest::addColumn<int>("gameType");
    QTest::addColumn<int>("portBox");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("message"); // empty: added
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("staysOpen");
    const QString empty = "Hostname may not be empty.";
    const QString range = "Server port must be in a valid range (1-65535).";
    const QString noGame = "No game type selected. No game added.";
    QTest::newRow("port from the text")
        << 1 << 27910 << "10.0.0.5:27961" << QString() << "10.0.0.5" << 27961 << false;
    QTest::newRow("empty port") << 1 << 27910 << "10.0.0.5:" << QString() << "10.0.0.5" << 27910
                                << false;
    QTest::newRow("port zero") << 1 << 27910 << "10.0.0.5:0" << QString() << "10.0.0.5" << 27910
                               << false;
    QTest::newRow("no colon") << 9 << 28000 << "t2.example.net" << QString() << "t2.example.net"
                              << 28000 << false;
    QTest::newRow("host outside ASCII")
        << 1 << 27910 << QStringLiteral("quake.пример.рф:27960") << QString()
        << "quake.xn--e1afmkfd.xn--p1ai" << 27960 << false;
    QTest::newRow("port too large")
        << 1 << 27910 << "10.0.0.5:70000" << range << QString() << 0 << true;
    QTest::newRow("blank address") << 1 << 27910 << "   " << empty << QString() << 0 << true;
    QTest::newRow("no game type") << -1 << 27500 << "10.0.0.5" << noGame << QString() << 0 << false;
}

void TestAddFindWindows::adding()
{
    QFETCH(int, gameType);
    QFETCH(int, portBox);
    QFETCH(QString, address);
    QFETCH(QString, message);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(bool, staysOpen);
    Settings_->Change([&](TSettingsValues& values) { values.DefaultGameType = gameType; });
    Command("miListManualAdd")->trigger();
    Add<QSpinBox>("sePort")->setValue(portBox);
    Type(Add<QLineEdit>("editHostname"), address);
    QTest::mouseClick(Add<QPushButton>("sbOK"), Qt::LeftButton);

    QCOMPARE(Add_->isVisible(), staysOpen);
    if (message.isEmpty()) {
        QCOMPARE(Dialogs_->Shown().size(), 0);
        QCOMPARE(Window_->ServerCount(), 1);
        const TGenericServer& server = *Window_->Server(0);
        QCOMPARE(server.Info.Host, host);
        QCOMPARE(server.Info.Port, port);
        QCOMPARE(server.GameType, gameType == 1 ? gtQuake2 : gtTribes2);
        QCOMPARE(server.Name, QByteArray("Unknown"));
    } else {
        QCOMPARE(Dialogs_->Shown().size(), 1);
        QCOMPARE(Dialogs_->Shown().first().Text, message);
        QCOMPARE(Window_->ServerCount(), 0);
    }
}

// A host typed with letters outside ASCII goes to the list file in its IDNA
// form and comes back from it the same, never as "?" marks.
void TestAddFindWindows::typedHostSurvivesTheList()
{
    Settings_->Change([&](TSettingsValues& values) { values.DefaultGameType = 2; });
    Command("miListManualAdd")->trigger();
    Type(Add<QLineEdit>("editHostname"), QStringLiteral("quake.пример.рф:27960"));
    QTest::mouseClick(Add<QPushButton>("sbOK"), Qt::LeftButton);
    QCOMPARE(Window_->ServerCount(), 1);
    QVERIFY(Window_->close());
    QVERIFY(
        ReadFileBytes(TServerListFile::DefaultPath())
            .contains(QByteArray("Quake 3") + '\0' + "quake.xn--e1afmkfd.xn--p1ai:27960" + '\0'));

    Window_ = &X_->Restart();
    QVERIFY(X_->Show());
    QCOMPARE(Window_->ServerCount(), 1);
    QCOMPARE(Window_->Server(0)->Info.Host, QStringLiteral("quake.xn--e1afmkfd.xn--p1ai"));
    QCOMPARE(Window_->Server(0)->Info.Port, 27960);
}

void TestAddFindWindows::choosingGameTypeOffersItsPort_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("port");
    const int ports[] = {27500, 27910, 27950, 27015, 28001, 31510, 22450, 28910, 28910, 28000};
    for (int index = 0; index < 10; ++index) {
        QTest::addRow("%d", index) << index << ports[index];
    }
}

void TestAddFindWindows::choosingGameTypeOffersItsPort()
{
    QFETCH(int, index);
    QFETCH(int, port);
    Command("miListManualAdd")->trigger();
    auto* gameType = Add<QComboBox>("cbGameType");
    Add<QSpinBox>("sePort")->setValue(1);
    // The user steps onto the entry with the keyboard.
    gameType->setCurrentIndex(index - 1);
    QTest::keyClick(gameType, Qt::Key_Down);
    QCOMPARE(gameType->currentIndex(), index);
    QCOMPARE(Add<QSpinBox>("sePort")->value(), port);
    QCOMPARE((*Settings_)->DefaultGameType, index);
}

void TestAddFindWindows::storedGameTypeComesBack()
{
    Command("miListManualAdd")->trigger();
    auto* gameType = Add<QComboBox>("cbGameType");
    gameType->setCurrentIndex(2);
    QTest::keyClick(gameType, Qt::Key_Down);
    // A port the user typed stays while other settings change.
    Add<QSpinBox>("sePort")->setValue(27016);
    Settings_->Change([](TSettingsValues& values) { values.Retry = 5; });
    QCOMPARE(Add<QSpinBox>("sePort")->value(), 27016);
    QVERIFY(Window_->close());

    // The next start selects it again with its standard port.
    TfrmServerList& window = X_->Restart();
    TfrmAdd* add = X_->Windows.Add;
    QCOMPARE(add->findChild<QComboBox*>("cbGameType")->currentIndex(), -1);
    window.show();
    QCOMPARE(add->findChild<QComboBox*>("cbGameType")->currentIndex(), 3);
    QCOMPARE(add->findChild<QSpinBox*>("sePort")->value(), 27015);
}

void TestAddFindWindows::cancelEscapeAndHelp()
{
    Settings_->Change([](TSettingsValues& values) { values.DefaultGameType = 0; });
    auto* address = Add<QLineEdit>("editHostname");

    for (bool escape : {false, true}) {
        Command("miListManualAdd")->trigger();
        address->setText("10.0.0.1");
        if (escape) {
            QTest::keyClick(address, Qt::Key_Escape);
        } else {
            QTest::mouseClick(Add<QPushButton>("sbCancel"), Qt::LeftButton);
        }
        QVERIFY(!Add_->isVisible());
    }
    QCOMPARE(Window_->ServerCount(), 0);

    Command("miListManualAdd")->trigger();
    QTest::mouseClick(Add<QPushButton>("sbHelp"), Qt::LeftButton);
    QCOMPARE(Dialogs_->Shown().size(), 1);
    QCOMPARE(Dialogs_->Shown().first().Text, TfrmAdd::HelpText);
    QVERIFY(Add_->isVisible());

    // Enter in the address box adds.
    QTest::keyClicks(address, "10.0.0.7:27501");
    QTest::keyClick(address, Qt::Key_Return);
    QCOMPARE(Window_->ServerCount(), 1);
    QCOMPARE(Window_->Server(0)->Info.Port, 27501);
    QCOMPARE(Window_->Server(0)->GameType, gtQuakeWorld);
    QVERIFY(!Add_->isVisible());
}

void TestAddFindWindows::findAndFindNext()
{
    for (const char* name : {"Alpha One", "beta", "ALPHA two"}) {
        Window_->ChangeServer(Window_->AddServer("10.0.0.1", 27960, gtQuake3),
                              [name](TGenericServer& server) { server.Name = name; });
    }
    Window_->SelectServer(1);
    Command("miOtherFindServer")->trigger();
    QTest::keyClicks(Find<QLineEdit>("editFind"), "alpha");
    QTest::mouseClick(Find<QPushButton>("sbFind"), Qt::LeftButton);
    QVERIFY(!Find_->isVisible());
    QCOMPARE(Selected(), QList<int>{0});
    auto* list = Window_->findChild<QTreeView*>("lvServers");
    QCOMPARE(list->currentIndex().row(), 0);
    QTRY_VERIFY(list->hasFocus());

    // The keyword stays; Find Next goes on below.
    Command("miOtherFindServer")->trigger();
    QCOMPARE(Find<QLineEdit>("editFind")->text(), QStringLiteral("alpha"));
    QTest::mouseClick(Find<QPushButton>("sbFindNext"), Qt::LeftButton);
    QCOMPARE(Selected(), QList<int>{2});
    QCOMPARE(Find_->NextStartRow(), 3);

    Command("miOtherFindServer")->trigger();
    QTest::mouseClick(Find<QPushButton>("sbFindNext"), Qt::LeftButton);
    QCOMPARE(Dialogs_->Shown().size(), 1);
    QCOMPARE(Dialogs_->Shown().first().Text, QStringLiteral("No server(s) found!"));
    QCOMPARE(Find_->NextStartRow(), 3);
    QCOMPARE(Selected(), QList<int>{2});

    // Find starts at the top again; Enter in the box is Find.
    QTest::keyClick(Find<QLineEdit>("editFind"), Qt::Key_Return);
    QCOMPARE(Selected(), QList<int>{0});

    // An empty keyword is in no name.
    Command("miOtherFindServer")->trigger();
    Find<QLineEdit>("editFind")->clear();
    QTest::mouseClick(Find<QPushButton>("sbFind"), Qt::LeftButton);
    QCOMPARE(Dialogs_->Shown().size(), 2);
    QCOMPARE(Dialogs_->Shown().last().Text, QStringLiteral("No server(s) found!"));
    QVERIFY(Find_->isVisible());
    QTest::keyClick(Find<QLineEdit>("editFind"), Qt::Key_Escape);
    QVERIFY(!Find_->isVisible());
}

QTEST_MAIN(TestAddFindWindows)
#include "tst_addfindwindows.moc"
