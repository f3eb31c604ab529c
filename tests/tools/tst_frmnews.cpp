#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>

#include <memory>

#include "browser/frmserverlist.h"
#include "core/makerweb.h"
#include "core/settings.h"
#include "core/settingsio.h"
#include "core/settingsstore.h"
#include "fakehttpserver.h"
#include "scripteddialogs.h"
#include "tempappfolder.h"
#include "tools/frmnews.h"

namespace {

const QString kNewsPath = QStringLiteral("/morvix/news");
const QString kScriptPath = QStringLiteral("/morvix/script");

// A link over the whole page, so that a click anywhere follows it.
const QByteArray kWeekly = "<html><head><title>Weekly</title></head><body>"
                           "<a id=\"pop\" href=\"/morvix/other\" target=\"_blank\" "
                           "style=\"position:fixed;left:0;top:0;right:0;bottom:0\">"
                           "Read it in a new window</a></body></html>";
const QByteArray kScripted = "<html><head><title>Weekly</title></head>"
                             "<body onload=\"window.open('/morvix/popup')\">News</body></html>";

const char* const kSettingUp = "Setting up news connection...please wait";

bool WebEngineLoaded()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6WebEngineCore");
}

} // namespace

class TestFrmNews : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // Runs first: no other test has started a web engine yet.
    void webEngineStartsAtFirstOpen();
    void newWindowsAreRefused_data();
    void newWindowsAreRefused();
    void escapeHidesAndThePageStays();
    void newsAtFirstActivation_data();
    void newsAtFirstActivation();
    void retrieveLatestNews_data();
    void retrieveLatestNews();
    void missingModuleIsToldInTheWindow();

private:
    // The main window and the news window wired as the program wires them;
    // the maker's address is Address.
    void MakeWindows(const QString& address);
    QStatusBar* Status() const { return News_->findChild<QStatusBar*>("sbWebStatus"); }
    QWidget* Browser() const { return News_->findChild<QWidget*>("wbNews"); }
    // Waits until the page has loaded with its title in the caption.
    void WaitForWeekly(int requests = 1);

    std::unique_ptr<TTempAppFolder> Folder_;
    std::unique_ptr<TFakeHttpServer> Web_;
    std::unique_ptr<TSettings> Settings_;
    std::unique_ptr<TScriptedDialogs> Dialogs_;
    std::unique_ptr<TFileSettingsStore> Store_;
    std::unique_ptr<TfrmServerList> Window_;
    TfrmNews* News_ = nullptr; // owned by the main window
};

void TestFrmNews::init()
{
    Folder_ = std::make_unique<TTempAppFolder>();
    Web_ = std::make_unique<TFakeHttpServer>();
    Web_->SetPage(kNewsPath, kWeekly);
    Web_->SetPage(kScriptPath, kScripted);
    Settings_ = std::make_unique<TSettings>();
    Dialogs_ = std::make_unique<TScriptedDialogs>();
    Store_ = std::make_unique<TFileSettingsStore>(TFileSettingsStore::DefaultPath());
}

void TestFrmNews::cleanup()
{
    Window_.reset();
    News_ = nullptr;
    Store_.reset();
    Dialogs_.reset();
    Settings_.reset();
    Web_.reset();
    Folder_.reset();
    SetMakerWebAddressForTests(std::nullopt);
}

void TestFrmNews::MakeWindows(const QString& address)
{
    SetMakerWebAddressForTests(address);
    Window_ = std::make_unique<TfrmServerList>(*Settings_, *Dialogs_, *Store_);
    News_ = new TfrmNews(Window_.get(), *Store_, NewsPage(),
                         NewsBrowserModule(QStringLiteral(MORVIX_NEWSVIEW_MODULE)));
    connect(Window_.get(), &TfrmServerList::NewsDue, News_, &TfrmNews::OpenDueNews);
    if (!News_->NewsAddress().isEmpty()) {
        Window_->BindCommand("miHelpNews", [news = News_] { news->RetrieveLatestNews(); });
    }
}

void TestFrmNews::WaitForWeekly(int requests)
{
    QTRY_COMPARE_WITH_TIMEOUT(Web_->RequestCount(kNewsPath), requests, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(News_->windowTitle(), QString("Morvix - Weekly"), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(Status()->currentMessage(), QString("Download complete..."), 20000);
}

void TestFrmNews::webEngineStartsAtFirstOpen()
{
    // Recent news: the first activation opens nothing.
    WriteLastNews(*Store_, QDateTime::currentDateTime());
    MakeWindows(Web_->Address());
    Window_->show();
    QVERIFY(QTest::qWaitForWindowActive(Window_.get()));
    QCOMPARE(News_->windowTitle(), QString("Morvix"));
    QVERIFY(!Browser());
    QVERIFY2(!WebEngineLoaded(), "the web engine was loaded before the news was shown");

    QSignalSpy status(Status(), &QStatusBar::messageChanged);
    News_->OpenNews(Web_->Url(kNewsPath));
    QVERIFY(News_->isVisible());
    QVERIFY(Browser());
    QVERIFY(WebEngineLoaded());
    QCOMPARE(Status()->currentMessage(), QString(kSettingUp));
    WaitForWeekly();
    QStringList shown;
    for (const QList<QVariant>& message : status) {
        shown.append(message.at(0).toString());
    }
    shown.removeAll(QString());
    QCOMPARE(shown, QStringList({kSettingUp, "Downloading news...", "Download complete..."}));
}

void TestFrmNews::newWindowsAreRefused_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<bool>("click");
    QTest::addColumn<QString>("wanted");
    QTest::newRow("link to a new window") << kNewsPath << true << "/morvix/other";
    QTest::newRow("script opening a window") << kScriptPath << false << "/morvix/popup";
}

void TestFrmNews::newWindowsAreRefused()
{
    QFETCH(QString, page);
    QFETCH(bool, click);
    QFETCH(QString, wanted);
    WriteLastNews(*Store_, QDateTime::currentDateTime());
    MakeWindows(Web_->Address());
    QSignalSpy refused(News_, &TfrmNews::NewWindowRefused);
    News_->OpenNews(Web_->Url(page));
    QTRY_COMPARE_WITH_TIMEOUT(News_->windowTitle(), QString("Morvix - Weekly"), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(Status()->currentMessage(), QString("Download complete..."), 20000);
    const QWidgetList before = QApplication::topLevelWidgets();
    if (click) {
        QWidget* input = Browser()->focusProxy() ? Browser()->focusProxy() : Browser();
        QTest::mouseClick(input, Qt::LeftButton, {}, input->rect().center());
    }

    QTRY_COMPARE_WITH_TIMEOUT(refused.count(), 1, 20000);
    QCOMPARE(QApplication::topLevelWidgets(), before);
    QVERIFY(!Web_->Requests().contains(wanted));
    QCOMPARE(News_->windowTitle(), QString("Morvix - Weekly"));
}

void TestFrmNews::escapeHidesAndThePageStays()
{
    WriteLastNews(*Store_, QDateTime::currentDateTime());
    MakeWindows(Web_->Address());
    News_->OpenNews(Web_->Url(kNewsPath));
    QVERIFY(QTest::qWaitForWindowActive(News_));
    WaitForWeekly();
    QWidget* browser = Browser();

    QWidget* input = browser->focusProxy() ? browser->focusProxy() : browser;
    input->setFocus();
    QTest::keyClick(input, Qt::Key_Escape);
    QVERIFY(!News_->isVisible());
    QCOMPARE(Browser(), browser);
    QCOMPARE(News_->windowTitle(), QString("Morvix - Weekly"));
    QCOMPARE(Web_->RequestCount(kNewsPath), 1);

    // The next opening loads the page again, in the same browser.
    QSignalSpy status(Status(), &QStatusBar::messageChanged);
    News_->OpenNews(Web_->Url(kNewsPath));
    QVERIFY(News_->isVisible());
    QCOMPARE(Status()->currentMessage(), QString(kSettingUp));
    QTRY_COMPARE_WITH_TIMEOUT(Web_->RequestCount(kNewsPath), 2, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(Status()->currentMessage(), QString("Download complete..."), 20000);
    QCOMPARE(Browser(), browser);
}

void TestFrmNews::newsAtFirstActivation_data()
{
    QTest::addColumn<double>("daysAgo"); // negative: no "LastNews"
    QTest::addColumn<bool>("address");
    QTest::addColumn<bool>("opens");
    QTest::newRow("never shown") << -1.0 << true << true;
    QTest::newRow("19.9 days ago") << 19.9 << true << false;
    QTest::newRow("20.0 days ago") << 20.0 << true << true;
    QTest::newRow("never shown, no address") << -1.0 << false << false;
}

void TestFrmNews::newsAtFirstActivation()
{
    QFETCH(double, daysAgo);
    QFETCH(bool, address);
    QFETCH(bool, opens);
    if (daysAgo >= 0) {
        // Whole days keep the local time of day, whatever the clock changes.
        const int days = int(daysAgo);
        WriteLastNews(*Store_, QDateTime::currentDateTime().addDays(-days).addSecs(
                                   -qint64((daysAgo - days) * 86400)));
    }
    const double before = ReadLastNews(*Store_);
    MakeWindows(address ? Web_->Address() : QString());
    Window_->show();
    // The check runs when the main window is first activated; the news
    // window, when it opens, takes the activation.
    QTRY_VERIFY(Window_->isActiveWindow() || News_->isVisible());

    QCOMPARE(News_->isVisible(), opens);
    QCOMPARE(News_->BrowserStarted(), opens);
    if (!opens) {
        QCOMPARE(ReadLastNews(*Store_), before);
        QCOMPARE(Web_->Requests(), QStringList());
        return;
    }
    const double now = ToStoredDate(QDateTime::currentDateTime());
    QVERIFY2(ReadLastNews(*Store_) <= now && ReadLastNews(*Store_) > now - 60.0 / 86400,
             "LastNews was not set to the time of opening");
    WaitForWeekly();

    // Once per run.
    const double stored = ReadLastNews(*Store_);
    News_->hide();
    QWidget other;
    other.show();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    Window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(Window_.get()));
    QVERIFY(!News_->isVisible());
    QCOMPARE(ReadLastNews(*Store_), stored);
}

void TestFrmNews::retrieveLatestNews_data()
{
    QTest::addColumn<bool>("address");
    QTest::newRow("with the maker's address") << true;
    QTest::newRow("without an address") << false;
}

void TestFrmNews::retrieveLatestNews()
{
    QFETCH(bool, address);
    WriteLastNews(*Store_, QDateTime::currentDateTime().addDays(-3));
    const double before = ReadLastNews(*Store_);
    MakeWindows(address ? Web_->Address() : QString());
    Window_->show();
    QVERIFY(QTest::qWaitForWindowActive(Window_.get()));

    QAction* item = Window_->findChild<QAction*>("miHelpNews");
    QCOMPARE(item->text(), QString("Retrieve latest news"));
    QCOMPARE(item->isEnabled(), address);
    QCOMPARE(item->toolTip().contains("MORVIX_MAKER_URL"), !address);
    item->trigger();
    QCOMPARE(News_->isVisible(), address);
    if (address) {
        WaitForWeekly();
        QCOMPARE(News_->NewsAddress(), Web_->Url(kNewsPath));
    }
    QCOMPARE(ReadLastNews(*Store_), before);
}

void TestFrmNews::missingModuleIsToldInTheWindow()
{
    QWidget parent;
    TfrmNews news(&parent, *Store_, Web_->Url(kNewsPath),
                  NewsBrowserModule(Folder_->Path() + "/morvix-newsview.so"));
    news.RetrieveLatestNews();
    QVERIFY(news.isVisible());
    QVERIFY(!news.BrowserStarted());
    auto* message = news.findChild<QLabel*>("lblNoBrowser");
    QVERIFY(message->isVisible());
    QVERIFY(message->text().contains("morvix-newsview.so"));
    QCOMPARE(Web_->Requests(), QStringList());
}

QTEST_MAIN(TestFrmNews)
#include "tst_frmnews.moc"
