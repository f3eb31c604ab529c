#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <memory>

#include "browser/frmserverlist.h"
#include "browser/serverlistmodel.h"
#include "core/settings.h"
#include "core/settingsstore.h"
#include "filters/frmfilter.h"
#include "scripteddialogs.h"
#include "tempappfolder.h"

using TKind = TScriptedDialogs::TKind;

namespace {

TGenericFilter F(int type, int op, const QByteArray& pattern = {}, int number = 0)
{
    return {std::uint8_t(type), std::uint8_t(op), pattern, number};
}

} // namespace

// The tool bar's profile controls on the real main window.
class TestProfileBar : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void listedAtFirstShow_data();
    void listedAtFirstShow();
    void removeProfile();
    void applyProfile_data();
    void applyProfile();
    void newFilterListsTheSavedProfile();
    void closingKeepsStoredProfiles();

private:
    void Open();
    QStringList Listed() const;
    QStringList ServerNames() const;
    bool ControlsEnabled() const;
    template <typename T> T* Find(const char* name) const
    {
        T* found = Window_->findChild<T*>(QLatin1String(name));
        if (!found) {
            qFatal("no control %s", name);
        }
        return found;
    }

    std::unique_ptr<TTempAppFolder> Folder_;
    std::unique_ptr<TSettings> Settings_;
    std::unique_ptr<TScriptedDialogs> Dialogs_;
    std::unique_ptr<TFileSettingsStore> Store_;
    std::unique_ptr<TfrmServerList> Window_;
};

void TestProfileBar::init()
{
    Folder_ = std::make_unique<TTempAppFolder>();
    Settings_ = std::make_unique<TSettings>();
    Dialogs_ = std::make_unique<TScriptedDialogs>();
    Store_ = std::make_unique<TFileSettingsStore>(TFileSettingsStore::DefaultPath());
}

void TestProfileBar::cleanup()
{
    QCOMPARE(Dialogs_->Unanswered(), 0);
    Window_.reset();
    Store_.reset();
    Dialogs_.reset();
    Settings_.reset();
    Folder_.reset();
}

void TestProfileBar::Open()
{
    Window_ = std::make_unique<TfrmServerList>(*Settings_, *Dialogs_, *Store_);
    Window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(Window_.get()));
}

QStringList TestProfileBar::Listed() const
{
    QStringList names;
    const QComboBox* list = Find<QComboBox>("cbProfileList");
    for (int i = 0; i < list->count(); ++i) {
        names << list->itemText(i);
    }
    return names;
}

QStringList TestProfileBar::ServerNames() const
{
    QStringList names;
    for (int row = 0; row < Window_->ServerCount(); ++row) {
        names << QString::fromLatin1(Window_->Server(row)->Name);
    }
    return names;
}

bool TestProfileBar::ControlsEnabled() const
{
    const bool apply = Find<QToolButton>("sbApplyProfile")->isEnabled();
    if (Find<QToolButton>("sbRemoveProfile")->isEnabled() != apply ||
        Find<QComboBox>("cbProfileList")->isEnabled() != apply ||
        Find<QCheckBox>("cbInvert")->isEnabled() != apply) {
        qFatal("profile controls disagree");
    }
    return apply;
}

void TestProfileBar::listedAtFirstShow_data()
{
    QTest::addColumn<QStringList>("stored");
    QTest::newRow("none") << QStringList();
    QTest::newRow("in store order") << QStringList{"Zeta", "Alpha", "CTF only"};
}

void TestProfileBar::listedAtFirstShow()
{
    QFETCH(QStringList, stored);
    for (const QString& name : stored) {
        QVERIFY(SaveProfile(*Store_, name, {F(8, 6)}));
    }
    Open();
    QCOMPARE(Listed(), stored);
    QCOMPARE(Find<QComboBox>("cbProfileList")->currentIndex(), stored.isEmpty() ? -1 : 0);
    QCOMPARE(ControlsEnabled(), !stored.isEmpty());
    // Listing again does not add the profiles twice.
    Window_->LoadProfiles();
    QCOMPARE(Listed(), stored);
}

void TestProfileBar::removeProfile()
{
    QVERIFY(SaveProfile(*Store_, "One", {F(8, 6)}));
    QVERIFY(SaveProfile(*Store_, "Two", {F(8, 7)}));
    Open();
    Find<QComboBox>("cbProfileList")->setCurrentIndex(1);
    QTest::mouseClick(Find<QToolButton>("sbRemoveProfile"), Qt::LeftButton);
    QCOMPARE(Listed(), QStringList{"One"});
    QCOMPARE(Find<QComboBox>("cbProfileList")->currentIndex(), 0);
    QVERIFY(ControlsEnabled());
    QTest::mouseClick(Find<QToolButton>("sbRemoveProfile"), Qt::LeftButton);
    QVERIFY(Listed().isEmpty());
    QVERIFY(!ControlsEnabled());
    QVERIFY(Dialogs_->Shown().isEmpty()); // no confirmation

    TFileSettingsStore reloaded(TFileSettingsStore::DefaultPath());
    QCOMPARE(reloaded.Load(), TFileSettingsStore::TLoadResult::Loaded);
    QVERIFY(reloaded.ValueNames(FiltersKey()).isEmpty());
}

void TestProfileBar::applyProfile_data()
{
    QTest::addColumn<TFilterList>("filters");
    QTest::addColumn<bool>("invert");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QStringList>("kept");
    QTest::addColumn<int>("removals");
    QTest::addColumn<QString>("status");
    const QStringList all{"Alpha CTF", "Bravo", "Unknown", "Delta CTF", "Unknown"};
    QTest::newRow("answered No") << TFilterList{F(8, 6)} << false << false << all << 0 << "";
    QTest::newRow("favourites") << TFilterList{F(8, 6)} << false << true
                                << QStringList{"Alpha CTF", "Unknown"} << 2
                                << "Running 1 filters on serverlist.";
    QTest::newRow("favourites, inverted")
        << TFilterList{F(8, 6)} << true << true << QStringList{"Bravo", "Delta CTF", "Unknown"} << 2
        << "Running 1 filters on serverlist.";
    QTest::newRow("ctf names") << TFilterList{F(1, 1, "*ctf*")} << false << true
                               << QStringList{"Alpha CTF", "Delta CTF"} << 2
                               << "Running 1 filters on serverlist.";
    QTest::newRow("password, never answered kept")
        << TFilterList{F(9, 6)} << false << true << QStringList{"Alpha CTF", "Unknown", "Unknown"}
        << 2 << "Ignored password filter, a queried server is required.";
    QTest::newRow("no conditions")
        << TFilterList{} << false << true << all << 0 << "Running 0 filters on serverlist.";
    QTest::newRow("no conditions, inverted") << TFilterList{} << true << true << QStringList() << 1
                                             << "Running 0 filters on serverlist.";
}

void TestProfileBar::applyProfile()
{
    QFETCH(TFilterList, filters);
    QFETCH(bool, invert);
    QFETCH(bool, yes);
    QFETCH(QStringList, kept);
    QFETCH(int, removals);
    QFETCH(QString, status);
    QVERIFY(SaveProfile(*Store_, "Other", {F(0, 0)}));
    QVERIFY(SaveProfile(*Store_, "Chosen", filters));
    Open();
    // Answered favourite with a password, answered without a password rule,
    // never answered favourite, answered with password "0", never answered.
    const struct
    {
        const char* Name;
        bool Answered;
        bool Favorite;
        const char* Password;
    } servers[] = {{"Alpha CTF", true, true, "1"},
                   {"Bravo", true, false, nullptr},
                   {"Unknown", false, true, nullptr},
                   {"Delta CTF", true, false, "0"},
                   {"Unknown", false, false, nullptr}};
    for (const auto& server : servers) {
        TGenericServer* record = Window_->Server(Window_->AddServer("127.0.0.1", 27960, gtQuake3));
        record->Name = server.Name;
        record->NoReply = !server.Answered;
        record->Favorite = server.Favorite;
        if (server.Password) {
            record->AddRule("password", server.Password);
        }
    }
    Find<QComboBox>("cbProfileList")->setCurrentIndex(1);
    Find<QCheckBox>("cbInvert")->setChecked(invert);
    Dialogs_->AnswerQuestion(yes);
    QSignalSpy removed(&Window_->Model(), &QAbstractItemModel::rowsRemoved);
    QTest::mouseClick(Find<QToolButton>("sbApplyProfile"), Qt::LeftButton);

    QCOMPARE(Dialogs_->Shown().size(), 1);
    QCOMPARE(Dialogs_->Shown()[0].Kind, TKind::Question);
    QCOMPARE(Dialogs_->Shown()[0].Title, QString("Confirmation"));
    QCOMPARE(
        Dialogs_->Shown()[0].Text.split('\n'),
        (QStringList{"This will remove all (or keep if Invert profile is checked)",
                     "servers that does NOT match ALL the filters in the selected",
                     "profile. Some filters also require that the servers have been",
                     "queried at least once since Morvix startup. Do you wish to", "continue?"}));
    QCOMPARE(ServerNames(), kept);
    // One removal per run of neighbouring rows: the rows go in one batch.
    QCOMPARE(removed.size(), removals);
    QCOMPARE(Window_->StatusText(), status);
}

void TestProfileBar::newFilterListsTheSavedProfile()
{
    Open();
    QAction* newFilter = Find<QAction>("miListNewFilter");
    QVERIFY(!newFilter->isEnabled()); // no filter window yet
    auto* filterWindow = new TfrmFilter(*Store_, *Dialogs_, Window_.get());
    Window_->SetFilterWindow(filterWindow);
    QVERIFY(newFilter->isEnabled());

    newFilter->trigger();
    QVERIFY(filterWindow->isVisible());
    QVERIFY(filterWindow->isModal());
    QTest::keyClicks(filterWindow->findChild<QLineEdit*>("edProfileName"), "Busy servers");
    filterWindow->AddIntegerFilter(); // ping less than 0
    filterWindow->AddBooleanFilter(); // favourite
    QTest::mouseClick(filterWindow->findChild<QPushButton*>("sbSaveFilter"), Qt::LeftButton);
    QVERIFY(Listed().isEmpty()); // listed once the window closes
    QTest::mouseClick(filterWindow->findChild<QPushButton*>("sbBack"), Qt::LeftButton);
    QVERIFY(!filterWindow->isVisible());
    QCOMPARE(Listed(), QStringList{"Busy servers"});
    QVERIFY(ControlsEnabled());
    QCOMPARE(Dialogs_->Shown().size(), 1);
    QCOMPARE(Dialogs_->Shown()[0].Text, QString("Profile saved successfully!"));
}

void TestProfileBar::closingKeepsStoredProfiles()
{
    QVERIFY(SaveProfile(*Store_, "Kept", {F(8, 6)}));
    Open();
    QCOMPARE(Listed(), QStringList{"Kept"});
    Window_->close();
    QVERIFY(Listed().isEmpty());
    QCOMPARE(ReadProfiles(*Store_).size(), 1);
}

QTEST_MAIN(TestProfileBar)
#include "tst_profilebar.moc"
