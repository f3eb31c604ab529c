#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>

#include <memory>
#include <vector>

#include "browser/frmserverlist.h"
#include "core/settings.h"
#include "fakeudpserver.h"
#include "gamereplies.h"
#include "paintprobe.h"
#include "tools/frmsearch.h"
#include "windowfixture.h"

using TBehaviour = TFakeUdpServer::TBehaviour;
using TKind = TScriptedDialogs::TKind;

class TestFrmSearch : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowAtStart();
    void nothingToSearch_data();
    void nothingToSearch();
    void networkSearch();
    void abortThenSearchAgain();
    void escapeClosesWhileSearching();
    void localSearch();
    void patternHistories();
    void saveToHtmlFromPopup_data();
    void saveToHtmlFromPopup();

private:
    template <typename T> T* Child(const char* name) const
    {
        T* found = Search_->findChild<T*>(QLatin1String(name));
        if (!found) {
            qFatal("no control %s", name);
        }
        return found;
    }
    QAction* Command(const char* name) const
    {
        return Window_->findChild<QAction*>(QLatin1String(name));
    }
    // A loopback server of Game in the main list; its row is the list's last.
    TFakeUdpServer& AddServer(TGameType game, const QByteArray& name,
                              const QList<QByteArray>& players,
                              TBehaviour behaviour = TBehaviour::Answer, int delayMs = 0)
    {
        auto& fake = Servers_.emplace_back(std::make_unique<TFakeUdpServer>());
        TScriptedGameServer script;
        script.Name = name;
        script.Players = players;
        fake->SetResponder(
            [game, script](const QByteArray& request) { return GameReply(game, request, script); });
        fake->SetBehaviour(behaviour, delayMs);
        const int row = Window_->AddServer(fake->Address(), fake->Port(), game);
        Window_->ChangeServer(row, [&](TGenericServer& server) { server.Name = name; });
        return *fake;
    }
    QString Address(const TFakeUdpServer& fake) const
    {
        return fake.Address() + QLatin1Char(':') + QString::number(fake.Port());
    }
    QAbstractItemModel* Results() const { return Child<QTreeView>("lvSearchResults")->model(); }
    QStringList Row(int row) const
    {
        QStringList cells;
        for (int column = 0; column < 4; ++column) {
            cells << Results()->index(row, column).data().toString();
        }
        return cells;
    }
    QString Status() const { return Search_->StatusText(); }
    void Type(const char* box, const QString& text)
    {
        QComboBox* combo = Child<QComboBox>(box);
        combo->lineEdit()->selectAll();
        // Text outside Latin-1 has no keys of the test's keyboard.
        if (text.toLatin1() == text.toUtf8()) {
            QTest::keyClicks(combo->lineEdit(), text);
        } else {
            combo->lineEdit()->insert(text);
        }
    }
    // True when the window shows the idle controls.
    bool Idle() const
    {
        return Child<QPushButton>("btnSearch")->isEnabled() &&
               Child<QPushButton>("btnClear")->isEnabled() &&
               !Child<QPushButton>("btnAbort")->isEnabled() &&
               Child<QProgressBar>("animSearch")->maximum() != 0;
    }

    std::unique_ptr<TWindowFixture> X_;
    TfrmServerList* Window_ = nullptr;
    TfrmSearch* Search_ = nullptr;
    std::vector<std::unique_ptr<TFakeUdpServer>> Servers_;
};

void TestFrmSearch::init()
{
    X_ = std::make_unique<TWindowFixture>();
    // Short time-outs keep the silent servers' turns brief, yet long enough
    // for a loopback answer on a busy machine.
    X_->Settings.Change([](TSettingsValues& values) { values.QueryTimeout = 1000; });
    QVERIFY(X_->Show());
    Window_ = &X_->Main();
    Search_ = X_->Windows.Search;
    QVERIFY(Search_);
}

void TestFrmSearch::cleanup()
{
    X_.reset();
    Servers_.clear();
}

void TestFrmSearch::windowAtStart()
{
    QAction* findPlayer = Command("miOtherFindPlayer");
    QVERIFY(findPlayer->isEnabled());
    QCOMPARE(findPlayer->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
    QVERIFY(!Search_->isVisible());
    QTest::keyClick(Window_, Qt::Key_E, Qt::ControlModifier);
    QVERIFY(QTest::qWaitForWindowExposed(Search_));
    QCOMPARE(Search_->windowModality(), Qt::ApplicationModal);
    QCOMPARE(Search_->windowTitle(), QStringLiteral("Player search"));
    QCOMPARE(Search_->size(), QSize(403, 292));
    QCOMPARE(Search_->minimumSize(), Search_->maximumSize());

    auto* tabs = Child<QTabWidget>("pcSearch");
    QCOMPARE(tabs->tabText(tabs->indexOf(Child<QWidget>("tsSearch"))),
             QStringLiteral("Player search"));
    QCOMPARE(Child<QLabel>("lblPatternNote")->text(),
             QStringLiteral("(? and * may be used as wildcards)"));
    QVERIFY(Child<QCheckBox>("cbCase")->isChecked());
    QVERIFY(!Child<QCheckBox>("cbLocalSearch")->isChecked());
    QCOMPARE(Child<QPushButton>("btnSearch")->text(), QStringLiteral("&Search now"));
    QCOMPARE(Child<QPushButton>("btnAbort")->text(), QStringLiteral("&Abort search"));
    QCOMPARE(Child<QPushButton>("btnClear")->text(), QStringLiteral("&Clear"));
    QVERIFY(Idle());
    QVERIFY(!Child<QTreeView>("lvSearchResults")->isVisible());
    QCOMPARE(Child<QAction>("pmCopyIP")->text(), QStringLiteral("Copy address to clipboard"));
    QCOMPARE(Child<QAction>("pmCopyRow")->text(), QStringLiteral("Copy row to clipboard"));

    const QStringList games = {
        "Starsiege: Tribes servers",  "Quake World servers", "Quake 2 servers",   "Quake 3 servers",
        "Half-life servers",          "Kingpin servers",     "Heretic 2 servers", "Sin servers",
        "Soldier of Fortune servers", "Tribes 2 servers"};
    auto* list = Child<QListWidget>("cbGames");
    QCOMPARE(list->count(), games.size());
    for (int i = 0; i < list->count(); ++i) {
        QCOMPARE(list->item(i)->text(), games[i]);
        QCOMPARE(list->item(i)->checkState(), Qt::Checked);
    }
    const QStringList captions = {"Name", "Found in column", "Game", "Server address"};
    for (int i = 0; i < captions.size(); ++i) {
        QCOMPARE(Results()->headerData(i, Qt::Horizontal).toString(), captions[i]);
    }
    QVERIFY(Child<QTreeView>("lvSearchResults")->header()->sectionsMovable());

    // Every showing checks every game again.
    list->item(3)->setCheckState(Qt::Unchecked);
    Search_->close();
    findPlayer->trigger();
    QCOMPARE(list->item(3)->checkState(), Qt::Checked);
}

void TestFrmSearch::nothingToSearch_data()
{
    QTest::addColumn<bool>("withServer");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty list") << false << QString()
                                << QStringLiteral("No servers in list, please add some.");
    QTest::newRow("no server passes") << true << QStringLiteral("Sent 0 server query messages...")
                                      << QStringLiteral("No server matched your conditions.");
}

void TestFrmSearch::nothingToSearch()
{
    QFETCH(bool, withServer);
    QFETCH(QString, status);
    QFETCH(QString, message);
    if (withServer) {
        AddServer(gtQuake3, "a server", {"Alice"});
        Window_->AddServer(QStringLiteral("127.0.0.1"), 1, gtUnknown);
    }
    Search_->Open();
    Type("cbServerPattern", QStringLiteral("nothing like it"));
    QTest::mouseClick(Child<QPushButton>("btnSearch"), Qt::LeftButton);
    QCOMPARE(X_->Dialogs.Shown().size(), 1);
    QCOMPARE(X_->Dialogs.Shown().first().Kind, TKind::Information);
    QCOMPARE(X_->Dialogs.Shown().first().Text, message);
    QCOMPARE(Status(), status);
    QVERIFY(Idle());
    QCOMPARE(Search_->height(), TfrmSearch::CollapsedHeight);
    for (const auto& server : Servers_) {
        QCOMPARE(server->RequestCount(), 0);
    }
}

void TestFrmSearch::networkSearch()
{
    TFakeUdpServer& q3 = AddServer(gtQuake3, "Frag Hall", {"Alice", "Bob"});
    TFakeUdpServer& hl = AddServer(gtHalfLife, "Crates", {"alice"});
    TFakeUdpServer& silent = AddServer(gtQuake2, "Quiet", {"Alicia"}, TBehaviour::Silent);
    Search_->Open();
    Type("cbTextPattern", QStringLiteral("ali*"));
    Child<QCheckBox>("cbCase")->setChecked(false);
    auto* view = Child<QTreeView>("lvSearchResults");
    TPaintProbe paints(view->viewport());

    QTest::mouseClick(Child<QPushButton>("btnSearch"), Qt::LeftButton);
    QCOMPARE(Status(), QStringLiteral("Sent 3 server query messages..."));
    QVERIFY(!Child<QPushButton>("btnSearch")->isEnabled());
    QVERIFY(!Child<QPushButton>("btnClear")->isEnabled());
    QVERIFY(Child<QPushButton>("btnAbort")->isEnabled());
    QCOMPARE(Child<QProgressBar>("animSearch")->maximum(), 0);
    QCOMPARE(Search_->height(), TfrmSearch::ExpandedHeight);
    QVERIFY(view->isVisible());
    // A second press while the search runs does nothing.
    Search_->Search();

    QTRY_COMPARE_WITH_TIMEOUT(
        Status(), QStringLiteral("Searched 3 servers (1 timed out). Search gave 2 hits."), 5000);
    QVERIFY(Idle());
    QCOMPARE(Search_->height(), TfrmSearch::ExpandedHeight);
    QCOMPARE(Results()->rowCount(), 2);
    QSet<QStringList> rows = {Row(0), Row(1)};
    QSet<QStringList> expected = {{"Alice", "Name", "Quake 3", Address(q3)},
                                  {"alice", "Name", "Half-Life", Address(hl)}};
    QCOMPARE(rows, expected);
    QCOMPARE(q3.RequestCount() + hl.RequestCount() + silent.RequestCount(), 3);
    // The rows reached the screen.
    QTRY_VERIFY(paints.Count() > 0);
    QVERIFY(view->visualRect(Results()->index(1, 0)).intersects(view->viewport()->rect()));

    // Sorting by a header, then the other way round on a second click.
    const auto clickHeader = [view](int section) {
        QHeaderView* header = view->header();
        const int x = header->sectionViewportPosition(section) + header->sectionSize(section) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    };
    clickHeader(2);
    QCOMPARE(Row(0)[2], QStringLiteral("Half-Life"));
    clickHeader(2);
    QCOMPARE(Row(0)[2], QStringLiteral("Quake 3"));

    // The copy commands work on the selected row only.
    QApplication::clipboard()->setText(QStringLiteral("before"));
    Child<QAction>("pmCopyRow")->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
    view->setCurrentIndex(Results()->index(0, 1));
    Child<QAction>("pmCopyRow")->trigger();
    QCOMPARE(QApplication::clipboard()->text(), "Alice\tName\tQuake 3\t" + Address(q3));
    Child<QAction>("pmCopyIP")->trigger();
    QCOMPARE(QApplication::clipboard()->text(), Address(q3));

    // Clear empties the list; the window keeps its height.
    QTest::mouseClick(Child<QPushButton>("btnClear"), Qt::LeftButton);
    QCOMPARE(Results()->rowCount(), 0);
    QCOMPARE(Search_->height(), TfrmSearch::ExpandedHeight);
}

void TestFrmSearch::abortThenSearchAgain()
{
    // The first server answers only after the search was aborted and a new
    // one started; the new search's own server answers later still.
    TFakeUdpServer& early = AddServer(gtQuake3, "Early", {"Old"}, TBehaviour::AnswerLate, 200);
    Search_->Open();
    QTest::mouseClick(Child<QPushButton>("btnSearch"), Qt::LeftButton);
    QVERIFY(Search_->IsSearching());
    QTest::mouseClick(Child<QPushButton>("btnAbort"), Qt::LeftButton);
    QVERIFY(Idle());
    QCOMPARE(Search_->height(), TfrmSearch::CollapsedHeight);

    Window_->RemoveServers({0});
    TFakeUdpServer& late = AddServer(gtTribes2, "Late", {"New"}, TBehaviour::AnswerLate, 1000);
    QSignalSpy earlySent(&early, &TFakeUdpServer::ReplySent);
    QTest::mouseClick(Child<QPushButton>("btnSearch"), Qt::LeftButton);
    QCOMPARE(Status(), QStringLiteral("Sent 1 server query messages..."));
    QTRY_COMPARE_WITH_TIMEOUT(earlySent.size(), 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(
        Status(), QStringLiteral("Searched 1 servers (0 timed out). Search gave 1 hits."), 5000);
    QCOMPARE(Results()->rowCount(), 1);
    QCOMPARE(Row(0), (QStringList{"New", "Name", "Tribes 2", Address(late)}));
}

void TestFrmSearch::escapeClosesWhileSearching()
{
    // The answer can come only once the loop runs again, after Escape.
    TFakeUdpServer& server = AddServer(gtQuakeWorld, "World", {"Zed"});
    Search_->Open();
    QTest::mouseClick(Child<QPushButton>("btnSearch"), Qt::LeftButton);
    QVERIFY(Search_->IsSearching());
    QTest::keyClick(Child<QComboBox>("cbTextPattern")->lineEdit(), Qt::Key_Escape);
    QVERIFY(!Search_->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(Results()->rowCount(), 1, 5000);
    QTRY_VERIFY(!Search_->IsSearching());

    // Shown again: the results and the height are as they were.
    Command("miOtherFindPlayer")->trigger();
    QCOMPARE(Results()->rowCount(), 1);
    QCOMPARE(Row(0), (QStringList{"Zed", "Name", "QuakeWorld", Address(server)}));
    QCOMPARE(Search_->height(), TfrmSearch::ExpandedHeight);
}

void TestFrmSearch::localSearch()
{
    TFakeUdpServer& tribes = AddServer(gtTribes, "Base", {});
    TFakeUdpServer& q2 = AddServer(gtQuake2, "Q2", {});
    Window_->ChangeServer(0, [](TGenericServer& server) {
        server.PlayerTable = {{"Name", "Team"}, {"Hunter", "Blood Eagle"}, {"Eagle Eye", "x"}};
    });
    Window_->ChangeServer(1, [](TGenericServer& server) {
        server.PlayerTable = {{"Name", "Frags"}, {"eagle", "3"}};
    });
    Search_->Open();
    Child<QCheckBox>("cbLocalSearch")->setChecked(true);
    Type("cbTextPattern", QStringLiteral("*Eagle*"));
    QTest::mouseClick(Child<QPushButton>("btnSearch"), Qt::LeftButton);
    QCOMPARE(Status(), QStringLiteral("Local search completed."));
    QVERIFY(Idle());
    QCOMPARE(Results()->rowCount(), 2);
    QCOMPARE(Row(0), (QStringList{"Blood Eagle", "Team", "Tribes", Address(tribes)}));
    QCOMPARE(Row(1), (QStringList{"Eagle Eye", "Name", "Tribes", Address(tribes)}));
    QCOMPARE(Search_->height(), TfrmSearch::ExpandedHeight);

    Child<QCheckBox>("cbCase")->setChecked(false);
    QTest::mouseClick(Child<QPushButton>("btnSearch"), Qt::LeftButton);
    QCOMPARE(Results()->rowCount(), 5);
    QCOMPARE(Row(4), (QStringList{"eagle", "Name", "Quake 2", Address(q2)}));
    QCOMPARE(tribes.RequestCount() + q2.RequestCount(), 0);
}

void TestFrmSearch::patternHistories()
{
    Search_->Open();
    QComboBox* text = Child<QComboBox>("cbTextPattern");
    QComboBox* server = Child<QComboBox>("cbServerPattern");
    const auto leave = [&](const char* box, const QString& typed) {
        Type(box, typed);
        Child<QComboBox>(box)->lineEdit()->setFocus();
        QTRY_VERIFY(Child<QComboBox>(box)->lineEdit()->hasFocus());
        Child<QCheckBox>("cbCase")->setFocus();
        QTRY_VERIFY(Child<QCheckBox>("cbCase")->hasFocus());
    };
    leave("cbTextPattern", QStringLiteral("foo"));
    leave("cbTextPattern", QStringLiteral("Foo"));
    leave("cbTextPattern", QString());
    leave("cbTextPattern", QString::fromUtf8("J\xC3\xB6rg*"));
    leave("cbServerPattern", QStringLiteral("*CTF*"));
    QCOMPARE(text->count(), 2);
    QCOMPARE(X_->Settings->PlayerNamePatterns,
             (QStringList{"foo", QString::fromUtf8("J\xC3\xB6rg*")}));
    QCOMPARE(X_->Settings->ServerNamePatterns, QStringList{"*CTF*"});
    QCOMPARE(server->count(), 1);

    // Kept in the store at exit and back at the next start, the first
    // pattern in the box.
    Window_->close();
    TfrmServerList& again = X_->Restart();
    QVERIFY(X_->Show());
    Q_UNUSED(again);
    TfrmSearch* search = X_->Windows.Search;
    auto* restored = search->findChild<QComboBox*>(QStringLiteral("cbTextPattern"));
    QCOMPARE(restored->count(), 2);
    QCOMPARE(restored->itemText(1), QString::fromUtf8("J\xC3\xB6rg*"));
    QCOMPARE(restored->currentText(), QStringLiteral("foo"));
    QCOMPARE(search->findChild<QComboBox*>(QStringLiteral("cbServerPattern"))->currentText(),
             QStringLiteral("*CTF*"));
}

void TestFrmSearch::saveToHtmlFromPopup_data()
{
    QTest::addColumn<bool>("answered");
    QTest::newRow("answered") << true;
    QTest::newRow("never answered") << false;
}

void TestFrmSearch::saveToHtmlFromPopup()
{
    QFETCH(bool, answered);
    const int row = Window_->AddServer(QStringLiteral("10.0.0.9"), 27960, gtQuake3);
    Window_->ChangeServer(row, [answered](TGenericServer& server) {
        server.Name = "Fort <b>";
        server.NoReply = !answered;
        server.PlayerTable = {{"Name"}, {"Player & Co"}};
    });
    QAction* save = Command("pmSaveHtml");
    QVERIFY(save->isEnabled());
    QCOMPARE(save->text(), QStringLiteral("&Save to HTML"));
    // No row selected: nothing.
    save->trigger();
    QVERIFY(X_->Dialogs.Shown().isEmpty());

    Window_->SelectServer(row);
    const QString path = X_->Folder.Path() + QStringLiteral("/page.html");
    X_->Dialogs.AnswerFileName(path);
    save->trigger();
    QCOMPARE(X_->Dialogs.Shown().size(), 1);
    if (!answered) {
        QCOMPARE(X_->Dialogs.Shown().first().Kind, TKind::Information);
        QVERIFY(X_->Dialogs.Shown().first().Text.startsWith("This server cannot be save to HTML"));
        QVERIFY(!QFile::exists(path));
        return;
    }
    QCOMPARE(X_->Dialogs.Shown().first().Kind, TKind::SaveFileName);
    QCOMPARE(X_->Dialogs.Shown().first().Text.isEmpty(), false);
    QFile page(path);
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QByteArray written = page.readAll();
    QVERIFY(written.contains("Fort &lt;b&gt;"));
    QVERIFY(written.contains("Player &amp; Co"));
}

QTEST_MAIN(TestFrmSearch)
#include "tst_frmsearch.moc"
