#include <QAction>
#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <memory>

#include "browser/frmoptions.h"
#include "browser/frmserverlist.h"
#include "browser/joinpingcommands.h"
#include "browser/trayicon.h"
#include "core/makerweb.h"
#include "core/serverlistfile.h"
#include "core/settings.h"
#include "core/settingsio.h"
#include "core/settingsstore.h"
#include "fakeudpserver.h"
#include "gamereplies.h"
#include "model/icmpecho.h"
#include "windowfixture.h"

namespace {

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

} // namespace

class TestLifecycle : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstShowLoadsTheSettings();
    void storedPlaceFitsTheScreen();
    void startInTray_data();
    void startInTray();
    void minimiseGoesToTray();
    void shutdownSaves_data();
    void shutdownSaves();
    void shortcutsTriggerTheirItems_data();
    void shortcutsTriggerTheirItems();
    void menuCommands();
    void newsCheckAtFirstActivation_data();
    void newsCheckAtFirstActivation();
    void sortedAfterTheListIsLoaded_data();
    void sortedAfterTheListIsLoaded();

private:
    // Writes Values to the store file the window will load.
    void StoreSettings(const TSettingsValues& values);
    void MakeWindow(const QString& storePath = {});
    QAction* Action(const char* name) const;

    std::unique_ptr<TWindowFixture> X_;
    TSettings* Settings_ = nullptr;
    TScriptedDialogs* Dialogs_ = nullptr;
    TfrmServerList* Window_ = nullptr;
};

void TestLifecycle::init()
{
    X_ = std::make_unique<TWindowFixture>();
    Settings_ = &X_->Settings;
    Dialogs_ = &X_->Dialogs;
}

void TestLifecycle::cleanup()
{
    QCOMPARE(Dialogs_->Unanswered(), 0);
    X_.reset();
    Window_ = nullptr;
}

void TestLifecycle::StoreSettings(const TSettingsValues& values)
{
    TFileSettingsStore store(TFileSettingsStore::DefaultPath());
    store.Load();
    QVERIFY(SaveSettings(store, values));
}

void TestLifecycle::MakeWindow(const QString& storePath)
{
    X_->OpenStore(storePath);
    Window_ = &X_->Build();
}

QAction* TestLifecycle::Action(const char* name) const
{
    return Window_->findChild<QAction*>(QLatin1String(name));
}

void TestLifecycle::firstShowLoadsTheSettings()
{
    TSettingsValues stored;
    stored.OSQueryALL = stored.UseDelay = true;
    stored.Colors[csListBG] = TColor::FromRgb(0x20, 0x30, 0x40);
    stored.ListRect = QRect(50, 60, 700, 500);
    stored.ListLayout = {{200, 100, 60, 50, 80, 150}, {0, 1, 2, 3, 4, 5}, true, 0};
    StoreSettings(stored);
    {
        TFileSettingsStore store(TFileSettingsStore::DefaultPath());
        store.Load();
        store.SetValue(SettingsKey(), "MaxQueries", TStoreValue::FromText("many"));
        QVERIFY(store.Save());
    }
    MakeWindow();
    TFakeUdpServer server;
    server.SetReply(Q3StatusReply("Up", "q3dm17", 16));
    Window_->AddServer(server.Address(), server.Port(), gtQuake3);
    QVERIFY(!Settings_->Values().UseDelay); // not before the first show

    Window_->ShowAtStart();
    QVERIFY(Window_->StartupDone());
    QVERIFY(Settings_->Values().UseDelay);
    QCOMPARE(Window_->geometry(), stored.ListRect);
    auto* list = Window_->findChild<QTreeView*>("lvServers");
    QCOMPARE(list->palette().color(QPalette::Base), QColor(0x20, 0x30, 0x40));
    QCOMPARE(list->columnWidth(0), 200);
    // Restored as checked, the delay box works at once.
    QVERIFY(X_->Windows.Options->findChild<QSpinBox*>("seQueryDelay")->isEnabled());

    // The wrongly typed value is reported and keeps its default, and the
    // start-up went on: "Query all" ran.
    QTRY_COMPARE_WITH_TIMEOUT(Dialogs_->Shown().size(), 1, 5000);
    QCOMPARE(Dialogs_->Shown()[0].Kind, TScriptedDialogs::TKind::Error);
    QCOMPARE(Dialogs_->Shown()[0].Text, QString("Invalid data type for 'MaxQueries'"));
    QCOMPARE(Settings_->Values().MaxQueries, 15);
    QTRY_COMPARE_WITH_TIMEOUT(server.RequestCount(), 1, 5000);
}

// A stored place larger than the screen or hanging off it is fitted to the
// screen it is mostly on.
void TestLifecycle::storedPlaceFitsTheScreen()
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    TSettingsValues stored;
    stored.ListRect =
        QRect(screen.left() + 100, screen.top() + 50, screen.width() * 3, screen.height() + 400);
    StoreSettings(stored);
    MakeWindow();
    Window_->ShowAtStart();
    QVERIFY(Window_->StartupDone());
    // Its size is the screen's; the platform may shift it by its frame.
    const QRect placed = Window_->geometry();
    QVERIFY2(screen.adjusted(-4, -4, 4, 4).contains(placed),
             qPrintable(QStringLiteral("%1,%2").arg(placed.x()).arg(placed.y())));
    QCOMPARE(Window_->geometry().size(), screen.size());
}

void TestLifecycle::startInTray_data()
{
    QTest::addColumn<bool>("trayAvailable");
    QTest::addColumn<bool>("restore"); // or close from the tray
    QTest::newRow("restored from the tray") << true << true;
    QTest::newRow("closed from the tray") << true << false;
    QTest::newRow("no notification area") << false << false;
}

void TestLifecycle::startInTray()
{
    QFETCH(bool, trayAvailable);
    QFETCH(bool, restore);
    TSettingsValues stored;
    stored.OSTray = true;
    StoreSettings(stored);
    const QByteArray before = ReadFile(TFileSettingsStore::DefaultPath());
    MakeWindow();
    Window_->Tray().SetAvailability([=] { return trayAvailable; });
    QSignalSpy shutDown(Window_, &TfrmServerList::ShutDown);
    Window_->ShowAtStart();
    if (!trayAvailable) {
        // Nowhere to come back from a hidden window: it starts minimised.
        QVERIFY(Window_->isMinimized() && Window_->isVisible());
        QVERIFY(!Window_->Tray().IsVisible());
        QVERIFY(Window_->StartupDone());
        return;
    }
    QVERIFY(!Window_->isVisible());
    QVERIFY(Window_->Tray().IsVisible());
    QCOMPARE(Window_->Tray().Icon()->toolTip(), QString("Morvix"));
    QVERIFY(!Window_->StartupDone());
    if (restore) {
        // The first show runs the start-up steps.
        emit Window_->Tray().Icon()->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(Window_->isVisible());
        QVERIFY(Window_->StartupDone());
        return;
    }

    // Closed from the tray before the window was ever shown: the settings
    // were never loaded, so nothing is saved over them.
    Window_->Tray().Menu()->findChild<QAction*>("pmTrayClose")->trigger();
    QCOMPARE(shutDown.count(), 1);
    QVERIFY(!Window_->Tray().IsVisible());
    QCOMPARE(ReadFile(TFileSettingsStore::DefaultPath()), before);
}

void TestLifecycle::minimiseGoesToTray()
{
    MakeWindow();
    Window_->Tray().SetAvailability([] { return true; });
    Window_->ShowAtStart();
    QVERIFY(QTest::qWaitForWindowExposed(Window_));

    Window_->showMinimized();
    QTRY_VERIFY_WITH_TIMEOUT(!Window_->isVisible(), 5000);
    QVERIFY(Window_->Tray().IsVisible());
    QVERIFY(!Window_->isMinimized());

    // A double click on the icon, or "&Restore", brings the window back.
    emit Window_->Tray().Icon()->activated(QSystemTrayIcon::DoubleClick);
    QVERIFY(Window_->isVisible() && !Window_->isMinimized());
    QVERIFY(!Window_->Tray().IsVisible());
    Window_->ShowInTray(true);
    Window_->Tray().Menu()->findChild<QAction*>("pmTrayRestore")->trigger();
    QVERIFY(Window_->isVisible() && !Window_->Tray().IsVisible());
}

void TestLifecycle::shutdownSaves_data()
{
    QTest::addColumn<bool>("canSave");
    QTest::newRow("saved") << true;
    // The old file is there, but no file can be created beside it: its name
    // leaves no room for the temporary file's longer name.
    QTest::newRow("no room for a new file") << false;
}

void TestLifecycle::shutdownSaves()
{
    QFETCH(bool, canSave);
    TSettingsValues old;
    old.StatsUsername = "Old";
    StoreSettings(old);
    QString path = TFileSettingsStore::DefaultPath();
    if (!canSave) {
        path = TAppPaths::ConfigDir() + '/' + QString(245, 'm') + ".json";
        WriteFile(path, ReadFile(TFileSettingsStore::DefaultPath()));
    }
    const QByteArray before = ReadFile(path);
    MakeWindow(path);
    Window_->ShowAtStart();
    QCOMPARE(Settings_->Values().StatsUsername, QString("Old"));
    Settings_->Change([](TSettingsValues& v) { v.Buddies = {{"Doom", false}, {"Doom", true}}; });
    Window_->AddServer("127.0.0.1", 27960, gtQuake3);
    Window_->findChild<QTreeView*>("lvServers")->setColumnWidth(1, 123);
    QSignalSpy shutDown(Window_, &TfrmServerList::ShutDown);

    QVERIFY(Window_->close());
    QCOMPARE(shutDown.count(), 1);
    QCOMPARE(Window_->ServerCount(), 0);
    if (!canSave) {
        QCOMPARE(Dialogs_->Shown().size(), 1);
        QCOMPARE(Dialogs_->Shown()[0].Title, QString("Settings not saved"));
        QVERIFY(Dialogs_->Shown()[0].Text.contains(X_->Store->ErrorString()));
        QCOMPARE(ReadFile(path), before);
        return;
    }
    QVERIFY(Dialogs_->Shown().isEmpty());
    TFileSettingsStore saved(path);
    saved.Load();
    TSettings restarted;
    QVERIFY(LoadSettings(saved, restarted).isEmpty());
    QCOMPARE(restarted->Buddies, TBuddyList({{"Doom", true}})); // one entry per text
    QCOMPARE(restarted->ListLayout.Sizes.value(1), 123);
    QCOMPARE(restarted->ListRect, Window_->geometry());
}

void TestLifecycle::shortcutsTriggerTheirItems_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    for (const auto& [name, key, modifiers] :
         std::initializer_list<std::tuple<const char*, int, int>>{
             {"miListManualAdd", Qt::Key_Insert, 0},
             {"miListRemove", Qt::Key_Delete, 0},
             {"miQueryAll", Qt::Key_A, Qt::ControlModifier},
             {"miQuerySelected", Qt::Key_S, Qt::ControlModifier},
             {"miQueryPingAll", Qt::Key_Q, Qt::ControlModifier},
             {"miQueryPingSelected", Qt::Key_W, Qt::ControlModifier},
             {"miOtherFindPlayer", Qt::Key_E, Qt::ControlModifier},
             {"miOtherFindServer", Qt::Key_F, Qt::ControlModifier},
         }) {
        QTest::newRow(name) << QString(name) << key << modifiers;
    }
}

void TestLifecycle::shortcutsTriggerTheirItems()
{
    QFETCH(QString, name);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    MakeWindow();
    Window_->ShowAtStart();
    QVERIFY(QTest::qWaitForWindowActive(Window_));
    Window_->AddServer("127.0.0.1", 9, gtQuake3);
    auto* list = Window_->findChild<QTreeView*>("lvServers");
    list->setFocus();
    list->selectionModel()->select(list->model()->index(0, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);

    // Each key reaches its item and runs it while it is enabled (items of
    // windows still to come stand disabled).
    QAction* action = Action(qPrintable(name));
    QCOMPARE(action->shortcut(), QKeySequence(key | modifiers));
    QSignalSpy triggered(action, &QAction::triggered);
    QTest::keyClick(list, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(triggered.count(), action->isEnabled() ? 1 : 0);
    if (name == "miListRemove") {
        QCOMPARE(Window_->ServerCount(), 0);
    } else if (name.startsWith("miQueryPing")) {
        // The ping starts with the host's lookup, unless the system allows no
        // ICMP echo, which the status bar then says.
        const QString whyNot = Window_->JoinPing().Ping().ErrorText();
        QCOMPARE(Window_->StatusText(),
                 whyNot.isEmpty() ? QStringLiteral("Looking up host 127.0.0.1") : whyNot);
    } else if (name.startsWith("miQuery") && action->isEnabled()) {
        QCOMPARE(Window_->SentCount(), 1);
    }
}

void TestLifecycle::menuCommands()
{
    MakeWindow();
    Window_->ShowAtStart();
    QVERIFY(QTest::qWaitForWindowExposed(Window_));
    auto* list = Window_->findChild<QTreeView*>("lvServers");
    QColor seenWhileOpen;
    QString pageShown;
    bool wasModal = false;
    QTimer::singleShot(0, this, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        wasModal = modal == X_->Windows.Options;
        pageShown =
            X_->Windows.Options->findChild<QTabWidget*>("pcOptions")->currentWidget()->objectName();
        auto* chooser = X_->Windows.Options->findChild<TColorChooser*>("ccListBG");
        emit chooser->activated(4); // Navy
        seenWhileOpen = list->palette().color(QPalette::Base);
        QTest::keyClick(modal ? modal : X_->Windows.Options, Qt::Key_Escape);
    });
    Action("miFileOptions")->trigger();
    QVERIFY(wasModal);
    QCOMPARE(pageShown, QString("tsGeneral"));
    QCOMPARE(seenWhileOpen, QColor(0, 0, 0x80));
    QCOMPARE(Settings_->Values().Colors[csListBG], TColor::FromRgb(0, 0, 0x80));

    // The web pages need the maker's address, a build setting; without it
    // their items say why they stand disabled.
    for (const char* name : {"miHelpOnline", "miHelpHomepage"}) {
        QCOMPARE(Action(name)->isEnabled(), !MakerWebAddress().isEmpty());
        QCOMPARE(Action(name)->toolTip().contains("MORVIX_MAKER_URL"), MakerWebAddress().isEmpty());
    }
}

void TestLifecycle::newsCheckAtFirstActivation_data()
{
    QTest::addColumn<double>("daysAgo"); // negative: never
    QTest::addColumn<int>("raised");
    QTest::newRow("never shown") << -1.0 << 1;
    QTest::newRow("19.9 days ago") << 19.9 << 0;
}

void TestLifecycle::newsCheckAtFirstActivation()
{
    QFETCH(double, daysAgo);
    QFETCH(int, raised);
    {
        TFileSettingsStore store(TFileSettingsStore::DefaultPath());
        if (daysAgo >= 0) {
            WriteLastNews(store, QDateTime::currentDateTime().addSecs(-qint64(daysAgo * 86400)));
        }
        QVERIFY(store.Save());
    }
    const QByteArray before = ReadFile(TFileSettingsStore::DefaultPath());
    MakeWindow();
    QSignalSpy newsDue(Window_, &TfrmServerList::NewsDue);
    Window_->ShowAtStart();
    QVERIFY(QTest::qWaitForWindowActive(Window_));
    QCOMPARE(newsDue.count(), raised);

    // Once per run: another activation does not check again.
    QWidget other;
    other.show();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    Window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(Window_));
    QCOMPARE(newsDue.count(), raised);
    QCOMPARE(ReadFile(TFileSettingsStore::DefaultPath()), before);
}

void TestLifecycle::sortedAfterTheListIsLoaded_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("ascending");
    QTest::addColumn<QStringList>("names"); // the list's order after start-up
    QTest::newRow("name, descending") << int(colName) << false << QStringList{"c", "b", "a"};
    QTest::newRow("ping, ascending") << int(colPing) << true << QStringList{"b", "c", "a"};
    QTest::newRow("address, ascending") << int(colAddress) << true << QStringList{"a", "b", "c"};
}

void TestLifecycle::sortedAfterTheListIsLoaded()
{
    // The list file keeps the order the rows had when it was saved; the
    // stored sort column and direction order them again at start-up.
    QFETCH(int, column);
    QFETCH(bool, ascending);
    QFETCH(QStringList, names);
    TSettingsValues stored;
    stored.ListLayout.SortCol = column;
    stored.ListLayout.Ascending = ascending;
    StoreSettings(stored);
    TServerListFile file;
    QVERIFY(file.Write({
        {gtQuake3, "10.0.0.1:27960", "a", "m", "1/8", "90", "baseq3", false},
        {gtQuake3, "10.0.0.3:27960", "c", "m", "1/8", "25", "baseq3", false},
        {gtQuake3, "10.0.0.2:27960", "b", "m", "1/8", "7", "baseq3", false},
    }));
    MakeWindow();
    Window_->ShowAtStart();
    QVERIFY(Window_->StartupDone());
    auto* list = Window_->findChild<QTreeView*>("lvServers");
    QStringList shown;
    for (int row = 0; row < list->model()->rowCount(); ++row) {
        shown << list->model()->index(row, colName).data().toString();
    }
    QCOMPARE(shown, names);
    QCOMPARE(list->header()->sortIndicatorSection(), column);
    QCOMPARE(list->header()->sortIndicatorOrder(),
             ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

QTEST_MAIN(TestLifecycle)
#include "tst_lifecycle.moc"
