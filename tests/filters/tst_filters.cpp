#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <memory>
#include <tuple>

#include "browser/frmserverlist.h"
#include "browser/serverlistmodel.h"
#include "core/settings.h"
#include "core/settingsstore.h"
#include "filters/frmfilter.h"
#include "windowfixture.h"

namespace {

TGenericFilter F(int type, int op, const QByteArray& pattern = {}, int number = 0)
{
    return {std::uint8_t(type), std::uint8_t(op), pattern, number};
}

template <typename T = QWidget> T* Find(const QWidget* root, const char* name)
{
    T* found = root->findChild<T*>(QLatin1String(name));
    if (!found) {
        qFatal("no control %s", name);
    }
    return found;
}

void Click(const QWidget* root, const char* name)
{
    QTest::mouseClick(Find(root, name), Qt::LeftButton);
}

} // namespace

// The filter window and the main window's profile tool bar, used as a
// user would.
class TestFilters : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void tabsStartAfresh();
    void save_data();
    void save();
    void leaving_data();
    void leaving();

    void profileToolBar();
    void applyProfile();

private:
    // The tab, its drop-down entry, a radio button (none: the preselected
    // one) and the value, then the tab's add button.
    void AddCondition(const char* tab, int entry, const char* radio, const QString& value = {});
    int RowCount() const { return Find<QTreeWidget>(&Filter(), "lvProfile")->topLevelItemCount(); }
    void TypeProfileName(const QString& name);
    QString ProfileName() const { return Find<QLineEdit>(&Filter(), "edProfileName")->text(); }
    void OpenMain();
    QStringList Listed() const;
    // Whether the drop-down, both buttons and the check box are enabled.
    QList<bool> ProfileControls() const;

    TfrmFilter& Filter() const { return *X->Windows.Filter; }

    std::unique_ptr<TWindowFixture> X;
};

void TestFilters::init()
{
    X = std::make_unique<TWindowFixture>();
    X->Build();
}

void TestFilters::cleanup()
{
    QCOMPARE(X->Dialogs.Unanswered(), 0);
    X.reset();
}

void TestFilters::AddCondition(const char* tab, int entry, const char* radio, const QString& value)
{
    TfrmFilter* window = &Filter();
    window->show();
    Find<QTabWidget>(window, "pcFilter")->setCurrentWidget(Find(window, tab));
    const QByteArray name(tab);
    const int kind = name == "tsStrings" ? 0 : name == "tsIntegers" ? 1 : 2;
    Find<QComboBox>(window, kind == 0   ? "cbStringType"
                            : kind == 1 ? "cbIntegerType"
                                        : "cbBooleanType")
        ->setCurrentIndex(entry);
    if (kind == 0) {
        QTest::keyClicks(Find(window, "edPattern"), value);
    } else if (kind == 1) {
        Find<QSpinBox>(window, "seNumber")->selectAll();
        QTest::keyClicks(Find(window, "seNumber"), value);
    }
    if (*radio) {
        // On the radio button's circle, where a user aims.
        QWidget* option = Find(window, radio);
        QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));
    }
    Click(window, kind == 0 ? "sbAddString" : kind == 1 ? "sbAddInteger" : "sbAddBoolean");
}

void TestFilters::TypeProfileName(const QString& name)
{
    Filter().show();
    Find<QLineEdit>(&Filter(), "edProfileName")->clear();
    QTest::keyClicks(Find(&Filter(), "edProfileName"), name);
}

void TestFilters::tabsStartAfresh()
{
    auto* tabs = Find<QTabWidget>(&Filter(), "pcFilter");
    AddCondition("tsStrings", 1, "rbStringNoMatch", "left over");
    QCOMPARE(tabs->currentWidget(), Find(&Filter(), "tsFilterList")); // back after adding
    tabs->setCurrentWidget(Find(&Filter(), "tsStrings"));
    QCOMPARE(Find<QLineEdit>(&Filter(), "edPattern")->text(), QString());
    AddCondition("tsIntegers", 2, "rbIntegerEqual", "42");
    tabs->setCurrentWidget(Find(&Filter(), "tsIntegers"));
    QCOMPARE(Find<QSpinBox>(&Filter(), "seNumber")->value(), 0);
    AddCondition("tsBooleans", 1, "rbBooleanFalse");
    QCOMPARE(Filter().Filters(), (TFilterList{F(2, 2, "left over"), F(7, 5, {}, 42), F(9, 7)}));
    Filter().hide();
    Filter().show();
    for (const char* list : {"cbStringType", "cbIntegerType", "cbBooleanType"}) {
        QCOMPARE(Find<QComboBox>(&Filter(), list)->currentIndex(), 0);
    }
    QCOMPARE(tabs->currentWidget(), Find(&Filter(), "tsFilterList"));
}

void TestFilters::save_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("withConditions");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("stored");
    QTest::newRow("last row first") << "Small CTF" << true << "Profile saved successfully!"
                                    << "8,6,,0,6,4,,-5,1,1,*ctf*,0,";
    // A refused save keeps what the user typed, to mend and save again.
    QTest::newRow("no name") << QString() << true << "You must enter a valid profile name."
                             << QString();
    QTest::newRow("blank name") << "  " << true << "You must enter a valid profile name."
                                << QString();
    QTest::newRow("no conditions") << "Empty" << false << "No filters to save!" << QString();
}

void TestFilters::save()
{
    QFETCH(QString, name);
    QFETCH(bool, withConditions);
    QFETCH(QString, message);
    QFETCH(QString, stored);
    TypeProfileName(name);
    if (withConditions) {
        // Each tab with its preselected radio button but one.
        AddCondition("tsStrings", 0, "", "*c,t,f*");
        AddCondition("tsIntegers", 1, "rbIntegerMore", "-5");
        AddCondition("tsStrings", 3, "", "taken out again");
        AddCondition("tsBooleans", 0, "");
        auto* list = Find<QTreeWidget>(&Filter(), "lvProfile");
        list->setCurrentItem(list->topLevelItem(2));
        Click(&Filter(), "sbRemoveFilter");
    }
    Click(&Filter(), "sbSaveFilter");
    QCOMPARE(X->Dialogs.Shown().size(), 1);
    QCOMPARE(X->Dialogs.Shown()[0].Text, message);
    const bool saved = !stored.isEmpty();
    QCOMPARE(RowCount(), withConditions && !saved ? 3 : 0);
    QCOMPARE(ProfileName(), saved ? QString() : name);
    TFileSettingsStore reloaded(TFileSettingsStore::DefaultPath());
    reloaded.Load();
    QCOMPARE(reloaded.Value(FiltersKey(), name.trimmed()),
             saved ? std::optional(TStoreValue::FromText(stored)) : std::nullopt);
}

void TestFilters::leaving_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("closes");
    QTest::newRow("back") << "back" << true;
    QTest::newRow("escape") << "escape" << true;
    QTest::newRow("clear profile") << "clear" << false;
}

void TestFilters::leaving()
{
    QFETCH(QString, how);
    QFETCH(bool, closes);
    QSignalSpy finished(&Filter(), &QDialog::finished);
    TypeProfileName("Kept");
    AddCondition("tsBooleans", 0, "");
    if (how == "back") {
        Click(&Filter(), "sbBack");
    } else if (how == "escape") {
        QTest::keyClick(&Filter(), Qt::Key_Escape);
    } else {
        Click(&Filter(), "sbClearProfile");
    }
    QCOMPARE(Filter().isVisible(), !closes);
    QCOMPARE(finished.size(), closes ? 1 : 0);
    QCOMPARE(RowCount(), 0);
    QVERIFY(Filter().Filters().isEmpty());
    // Closing keeps the name for the next opening; clearing empties it.
    QCOMPARE(ProfileName(), closes ? QString("Kept") : QString());
}

void TestFilters::OpenMain()
{
    QVERIFY(X->Show());
}

QStringList TestFilters::Listed() const
{
    QStringList names;
    const auto* list = Find<QComboBox>(&X->Main(), "cbProfileList");
    for (int i = 0; i < list->count(); ++i) {
        names << list->itemText(i);
    }
    return names;
}

QList<bool> TestFilters::ProfileControls() const
{
    QList<bool> enabled;
    for (const char* name : {"cbProfileList", "sbApplyProfile", "sbRemoveProfile", "cbInvert"}) {
        enabled << Find(&X->Main(), name)->isEnabled();
    }
    return enabled;
}

void TestFilters::applyProfile()
{
    QVERIFY(SaveProfile(*X->Store, "Other", {F(0, 0)}));
    QVERIFY(SaveProfile(*X->Store, "Password protected", {F(9, 6)}));
    OpenMain();
    // Answered favourite with a password, answered without a password rule,
    // never answered favourite, answered with password "0", never answered.
    const std::tuple<const char*, bool, const char*> servers[] = {{"Alpha", true, "1"},
                                                                  {"Bravo", false, ""},
                                                                  {"Unknown", true, ""},
                                                                  {"Delta", false, "0"},
                                                                  {"Unknown", false, ""}};
    for (const auto& [name, favorite, password] : servers) {
        X->Main().ChangeServer(X->Main().AddServer("127.0.0.1", 1, gtQuake3),
                               [&](TGenericServer& record) {
                                   record.Name = name;
                                   record.NoReply = record.Name == "Unknown";
                                   record.Favorite = favorite;
                                   if (*password) {
                                       record.AddRule("password", password);
                                   }
                               });
    }
    Find<QComboBox>(&X->Main(), "cbProfileList")->setCurrentIndex(1);
    Find<QCheckBox>(&X->Main(), "cbInvert")->setChecked(true);
    QSignalSpy removed(&X->Main().Model(), &QAbstractItemModel::rowsRemoved);
    const auto names = [this] {
        QStringList names;
        for (int row = 0; row < X->Main().ServerCount(); ++row) {
            names << QString::fromLatin1(X->Main().Server(row)->Name);
        }
        return names;
    };
    X->Dialogs.AnswerQuestion(false);
    Click(&X->Main(), "sbApplyProfile");
    QCOMPARE(names().size(), 5);
    X->Dialogs.AnswerQuestion(true);
    Click(&X->Main(), "sbApplyProfile");

    QCOMPARE(X->Dialogs.Shown().size(), 2);
    QCOMPARE(X->Dialogs.Shown()[1].Title, QString("Confirmation"));
    QCOMPARE(X->Dialogs.Shown()[1].Text, ApplyProfileQuestion());
    // Inverted, the servers with a password go, and those that never
    // answered with them: rows 4, 2 and 0, each its own run in one removal.
    QCOMPARE(names(), (QStringList{"Bravo", "Delta"}));
    QCOMPARE(removed.size(), 3);
    QCOMPARE(X->Main().StatusText(),
             QString("Ignored password filter, a queried server is required."));
}

void TestFilters::profileToolBar()
{
    QVERIFY(SaveProfile(*X->Store, "Zeta", {F(8, 6)}));
    QVERIFY(SaveProfile(*X->Store, "Alpha", {F(8, 7)}));
    OpenMain();
    QCOMPARE(Listed(), (QStringList{"Zeta", "Alpha"})); // the store's order
    QCOMPARE(ProfileControls(), QList<bool>(4, true));
    auto* list = Find<QComboBox>(&X->Main(), "cbProfileList");
    list->setCurrentIndex(1);
    Click(&X->Main(), "sbRemoveProfile");
    QCOMPARE(Listed(), QStringList{"Zeta"});
    QCOMPARE(list->currentIndex(), 0);
    Click(&X->Main(), "sbRemoveProfile");
    QCOMPARE(ProfileControls(), QList<bool>(4, false));
    QVERIFY(X->Dialogs.Shown().isEmpty()); // removed without a question

    Find<QAction>(&X->Main(), "miListNewFilter")->trigger();
    QVERIFY(Filter().isVisible() && Filter().isModal());
    TypeProfileName("Busy servers");
    AddCondition("tsIntegers", 2, "rbIntegerMore", "0");
    Click(&Filter(), "sbSaveFilter");
    QVERIFY(Listed().isEmpty()); // listed once the window closes
    Click(&Filter(), "sbBack");
    QCOMPARE(Listed(), QStringList{"Busy servers"});
    QCOMPARE(ProfileControls(), QList<bool>(4, true));
    const QList<TFilterProfile> stored{{"Busy servers", {F(7, 4)}}};
    TFileSettingsStore reloaded(TFileSettingsStore::DefaultPath());
    QCOMPARE(reloaded.Load(), TFileSettingsStore::TLoadResult::Loaded);
    QCOMPARE(ReadProfiles(reloaded), stored);

    // Shutdown takes the profiles off the list and leaves them stored.
    X->Main().close();
    QVERIFY(Listed().isEmpty());
    QCOMPARE(ReadProfiles(*X->Store), stored);
}

QTEST_MAIN(TestFilters)
#include "tst_filters.moc"
