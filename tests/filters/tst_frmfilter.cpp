#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include <memory>

#include "core/settingsstore.h"
#include "filters/frmfilter.h"
#include "scripteddialogs.h"
#include "tempappfolder.h"

using TKind = TScriptedDialogs::TKind;

class TestFrmFilter : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void captionsAndDefaults();
    void addConditions_data();
    void addConditions();
    void tabsStartAfresh();
    void removeCondition();
    void saveStoresReversed();
    void refusedSaveKeepsTheEditor_data();
    void refusedSaveKeepsTheEditor();
    void leaving_data();
    void leaving();

private:
    template <typename T> T* Find(const char* name) const
    {
        T* found = Window_->findChild<T*>(QLatin1String(name));
        if (!found) {
            qFatal("no control %s", name);
        }
        return found;
    }
    void Click(const char* name) const
    {
        QTest::mouseClick(Find<QAbstractButton>(name), Qt::LeftButton);
    }
    void ShowTab(const char* name) const
    {
        Find<QTabWidget>("pcFilter")->setCurrentWidget(Find<QWidget>(name));
    }
    // Adds a condition as a user would: the tab, the drop-down entry, the
    // radio button, the value, then the tab's add button.
    void AddCondition(const char* tab, int entry, const char* radio, const QString& value = {});
    QList<QStringList> Rows() const;
    QString ProfileName() const { return Find<QLineEdit>("edProfileName")->text(); }
    void TypeProfileName(const QString& name) const;

    std::unique_ptr<TTempAppFolder> Folder_;
    std::unique_ptr<TScriptedDialogs> Dialogs_;
    std::unique_ptr<TFileSettingsStore> Store_;
    std::unique_ptr<TfrmFilter> Window_;
};

void TestFrmFilter::init()
{
    Folder_ = std::make_unique<TTempAppFolder>();
    Dialogs_ = std::make_unique<TScriptedDialogs>();
    Store_ = std::make_unique<TFileSettingsStore>(TFileSettingsStore::DefaultPath());
    Window_ = std::make_unique<TfrmFilter>(*Store_, *Dialogs_);
    Window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(Window_.get()));
}

void TestFrmFilter::cleanup()
{
    QCOMPARE(Dialogs_->Unanswered(), 0);
    Window_.reset();
    Store_.reset();
    Dialogs_.reset();
    Folder_.reset();
}

void TestFrmFilter::AddCondition(const char* tab, int entry, const char* radio,
                                 const QString& value)
{
    ShowTab(tab);
    const QString name = QLatin1String(tab);
    if (name == "tsStrings") {
        Find<QComboBox>("cbStringType")->setCurrentIndex(entry);
        QTest::keyClicks(Find<QLineEdit>("edPattern"), value);
    } else if (name == "tsIntegers") {
        Find<QComboBox>("cbIntegerType")->setCurrentIndex(entry);
        QSpinBox* number = Find<QSpinBox>("seNumber");
        number->selectAll();
        QTest::keyClicks(number, value);
    } else {
        Find<QComboBox>("cbBooleanType")->setCurrentIndex(entry);
    }
    // On the radio button's circle, as a user aims.
    QAbstractButton* option = Find<QAbstractButton>(radio);
    QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));
    Click(name == "tsStrings"    ? "sbAddString"
          : name == "tsIntegers" ? "sbAddInteger"
                                 : "sbAddBoolean");
}

QList<QStringList> TestFrmFilter::Rows() const
{
    QList<QStringList> rows;
    const QTreeWidget* list = Find<QTreeWidget>("lvProfile");
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        rows.append({item->text(0), item->text(1), item->text(2)});
    }
    return rows;
}

void TestFrmFilter::TypeProfileName(const QString& name) const
{
    ShowTab("tsFilterList");
    QLineEdit* edit = Find<QLineEdit>("edProfileName");
    edit->clear();
    QTest::keyClicks(edit, name);
}

void TestFrmFilter::captionsAndDefaults()
{
    QCOMPARE(Window_->windowTitle(), QString("New filter"));
    const QTabWidget* tabs = Find<QTabWidget>("pcFilter");
    QCOMPARE(tabs->currentWidget(), Find<QWidget>("tsFilterList"));
    const QStringList tabTexts{"Filter profile", "Strings", "Numbers", "Booleans"};
    for (int i = 0; i < tabTexts.size(); ++i) {
        QCOMPARE(tabs->tabText(i), tabTexts[i]);
    }
    const auto entries = [this](const char* name) {
        QStringList texts;
        const QComboBox* list = Find<QComboBox>(name);
        for (int i = 0; i < list->count(); ++i) {
            texts << list->itemText(i);
        }
        return texts;
    };
    QCOMPARE(entries("cbStringType"), (QStringList{"Name", "Version", "Game / Type", "Map"}));
    QCOMPARE(entries("cbIntegerType"), (QStringList{"Ping", "Player max", "Player count"}));
    QCOMPARE(entries("cbBooleanType"), (QStringList{"Favorite", "Password protected"}));
    const QList<std::pair<const char*, QString>> buttons{
        {"rbStringMatch", "must match following pattern"},
        {"rbStringNoMatch", "may not match following pattern"},
        {"rbIntegerLess", "must be less than the following number"},
        {"rbIntegerMore", "must be more than the following number"},
        {"rbIntegerEqual", "must be equal to the following number"},
        {"rbBooleanTrue", "must be True"},
        {"rbBooleanFalse", "must be False"},
        {"sbAddString", "&Add to profile >>"},
        {"sbAddInteger", "&Add to profile >>"},
        {"sbAddBoolean", "Add to profile >>"},
        {"sbRemoveFilter", "&Remove"},
        {"sbBack", "<< Back"},
        {"sbClearProfile", "&Clear profile"},
        {"sbSaveFilter", "&Save profile >>"},
    };
    for (const auto& [name, caption] : buttons) {
        QCOMPARE(Find<QAbstractButton>(name)->text(), caption);
    }
    QVERIFY(Find<QRadioButton>("rbStringMatch")->isChecked());
    QVERIFY(Find<QRadioButton>("rbIntegerLess")->isChecked());
    QVERIFY(Find<QRadioButton>("rbBooleanTrue")->isChecked());
    QCOMPARE(Find<QLabel>("lbPatternNote")->text(), QString("(You may use ? and * as wildcards)"));
    const QTreeWidgetItem* header = Find<QTreeWidget>("lvProfile")->headerItem();
    QCOMPARE((QStringList{header->text(0), header->text(1), header->text(2)}),
             (QStringList{"Type", "Operator", "Data"}));
    // "Without limits": the whole 32-bit range.
    QCOMPARE(Find<QSpinBox>("seNumber")->minimum(), INT_MIN);
    QCOMPARE(Find<QSpinBox>("seNumber")->maximum(), INT_MAX);
}

void TestFrmFilter::addConditions_data()
{
    QTest::addColumn<QByteArray>("tab");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QByteArray>("radio");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("row");
    QTest::addColumn<TGenericFilter>("filter");
    QTest::newRow("name with commas")
        << QByteArray("tsStrings") << 0 << QByteArray("rbStringMatch") << "*C,T,F*"
        << QStringList{"Name", "must match pattern", "*CTF*"} << TGenericFilter{1, 1, "*CTF*", 0};
    QTest::newRow("game type may not match")
        << QByteArray("tsStrings") << 2 << QByteArray("rbStringNoMatch") << "Tribes*"
        << QStringList{"Game type", "may not match pattern", "Tribes*"}
        << TGenericFilter{3, 2, "Tribes*", 0};
    QTest::newRow("map") << QByteArray("tsStrings") << 3 << QByteArray("rbStringMatch") << "q3dm?"
                         << QStringList{"Map", "must match pattern", "q3dm?"}
                         << TGenericFilter{4, 1, "q3dm?", 0};
    QTest::newRow("ping below") << QByteArray("tsIntegers") << 0 << QByteArray("rbIntegerLess")
                                << "100" << QStringList{"Ping", "must be less than", "100"}
                                << TGenericFilter{5, 3, {}, 100};
    QTest::newRow("player max above a negative")
        << QByteArray("tsIntegers") << 1 << QByteArray("rbIntegerMore") << "-5"
        << QStringList{"Max players", "must be more than", "-5"} << TGenericFilter{6, 4, {}, -5};
    QTest::newRow("player count equal")
        << QByteArray("tsIntegers") << 2 << QByteArray("rbIntegerEqual") << "0"
        << QStringList{"Player count", "must be equal to", "0"} << TGenericFilter{7, 5, {}, 0};
    QTest::newRow("favourite") << QByteArray("tsBooleans") << 0 << QByteArray("rbBooleanTrue")
                               << QString() << QStringList{"Server is favorite", "must be true", ""}
                               << TGenericFilter{8, 6, {}, 0};
    QTest::newRow("no password") << QByteArray("tsBooleans") << 1 << QByteArray("rbBooleanFalse")
                                 << QString()
                                 << QStringList{"Password protected", "must be false", ""}
                                 << TGenericFilter{9, 7, {}, 0};
}

void TestFrmFilter::addConditions()
{
    QFETCH(QByteArray, tab);
    QFETCH(int, entry);
    QFETCH(QByteArray, radio);
    QFETCH(QString, value);
    QFETCH(QStringList, row);
    QFETCH(TGenericFilter, filter);
    AddCondition(tab.constData(), entry, radio.constData(), value);
    QCOMPARE(Find<QTabWidget>("pcFilter")->currentWidget(), Find<QWidget>("tsFilterList"));
    QCOMPARE(Rows(), QList<QStringList>{row});
    QCOMPARE(Window_->Filters(), TFilterList{filter});
}

void TestFrmFilter::tabsStartAfresh()
{
    AddCondition("tsStrings", 1, "rbStringNoMatch", "left over");
    ShowTab("tsStrings");
    QCOMPARE(Find<QLineEdit>("edPattern")->text(), QString());
    ShowTab("tsIntegers");
    Find<QSpinBox>("seNumber")->setValue(42);
    ShowTab("tsBooleans");
    Find<QComboBox>("cbBooleanType")->setCurrentIndex(1);
    ShowTab("tsIntegers");
    QCOMPARE(Find<QSpinBox>("seNumber")->value(), 0);
    Find<QComboBox>("cbIntegerType")->setCurrentIndex(2);

    Window_->hide();
    Window_->show();
    QCOMPARE(Find<QComboBox>("cbStringType")->currentIndex(), 0);
    QCOMPARE(Find<QComboBox>("cbIntegerType")->currentIndex(), 0);
    QCOMPARE(Find<QComboBox>("cbBooleanType")->currentIndex(), 0);
    QCOMPARE(Find<QTabWidget>("pcFilter")->currentWidget(), Find<QWidget>("tsFilterList"));
}

void TestFrmFilter::removeCondition()
{
    AddCondition("tsStrings", 0, "rbStringMatch", "A");
    AddCondition("tsStrings", 0, "rbStringMatch", "B");
    AddCondition("tsStrings", 0, "rbStringMatch", "C");
    QTreeWidget* list = Find<QTreeWidget>("lvProfile");
    list->setCurrentItem(list->topLevelItem(1));
    Click("sbRemoveFilter");
    QCOMPARE(Window_->Filters(), (TFilterList{{1, 1, "A", 0}, {1, 1, "C", 0}}));
    QCOMPARE(Rows().size(), 2);
    QCOMPARE(Rows()[1][2], QString("C"));
}

void TestFrmFilter::saveStoresReversed()
{
    TypeProfileName("Small CTF");
    AddCondition("tsStrings", 0, "rbStringMatch", "*ctf*");
    AddCondition("tsIntegers", 1, "rbIntegerLess", "12");
    AddCondition("tsBooleans", 0, "rbBooleanFalse");
    Click("sbSaveFilter");
    QCOMPARE(Dialogs_->Shown().size(), 1);
    QCOMPARE(Dialogs_->Shown()[0].Kind, TKind::Information);
    QCOMPARE(Dialogs_->Shown()[0].Text, QString("Profile saved successfully!"));
    QVERIFY(Rows().isEmpty());
    QCOMPARE(ProfileName(), QString());

    // A second profile; saving the first name again replaces it in its place.
    TypeProfileName("Other");
    AddCondition("tsBooleans", 1, "rbBooleanTrue");
    Click("sbSaveFilter");
    TypeProfileName("Small CTF");
    AddCondition("tsStrings", 0, "rbStringMatch", "*ctf*");
    AddCondition("tsIntegers", 1, "rbIntegerLess", "12");
    AddCondition("tsBooleans", 0, "rbBooleanFalse");
    Click("sbSaveFilter");

    TFileSettingsStore reloaded(TFileSettingsStore::DefaultPath());
    QCOMPARE(reloaded.Load(), TFileSettingsStore::TLoadResult::Loaded);
    QCOMPARE(reloaded.Value(FiltersKey(), "Small CTF"),
             TStoreValue::FromText("8,7,,0,6,3,,12,1,1,*ctf*,0,"));
    QCOMPARE(reloaded.ValueNames(FiltersKey()), (QStringList{"Small CTF", "Other"}));
}

void TestFrmFilter::refusedSaveKeepsTheEditor_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("withCondition");
    QTest::addColumn<QString>("message");
    QTest::newRow("no name") << QString() << true << "You must enter a valid profile name.";
    QTest::newRow("blank name") << "   " << true << "You must enter a valid profile name.";
    QTest::newRow("no conditions") << "Empty" << false << "No filters to save!";
}

void TestFrmFilter::refusedSaveKeepsTheEditor()
{
    QFETCH(QString, name);
    QFETCH(bool, withCondition);
    QFETCH(QString, message);
    TypeProfileName(name);
    if (withCondition) {
        AddCondition("tsIntegers", 0, "rbIntegerLess", "80");
    }
    Click("sbSaveFilter");
    QCOMPARE(Dialogs_->Shown().size(), 1);
    QCOMPARE(Dialogs_->Shown()[0].Text, message);
    QVERIFY(!Store_->KeyExists(FiltersKey()));
    // What the user typed is still there to mend and save again.
    QCOMPARE(Rows().size(), withCondition ? 1 : 0);
    QCOMPARE(ProfileName(), name);
}

void TestFrmFilter::leaving_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<QString>("nameAfter");
    QTest::newRow("back") << "back" << true << "Kept";
    QTest::newRow("escape") << "escape" << true << "Kept";
    QTest::newRow("close box") << "close" << true << "Kept";
    QTest::newRow("clear profile") << "clear" << false << "";
}

void TestFrmFilter::leaving()
{
    QFETCH(QString, how);
    QFETCH(bool, closes);
    QFETCH(QString, nameAfter);
    QSignalSpy finished(Window_.get(), &QDialog::finished);
    TypeProfileName("Kept");
    AddCondition("tsBooleans", 0, "rbBooleanTrue");
    AddCondition("tsStrings", 0, "rbStringMatch", "x");
    if (how == "back") {
        Click("sbBack");
    } else if (how == "escape") {
        QTest::keyClick(Window_.get(), Qt::Key_Escape);
    } else if (how == "close") {
        Window_->close();
    } else {
        Click("sbClearProfile");
    }
    QCOMPARE(Window_->isVisible(), !closes);
    QCOMPARE(finished.size(), closes ? 1 : 0);
    QVERIFY(Rows().isEmpty());
    QVERIFY(Window_->Filters().isEmpty());
    QCOMPARE(ProfileName(), nameAfter);
    QVERIFY(Dialogs_->Shown().isEmpty());
}

QTEST_MAIN(TestFrmFilter)
#include "tst_frmfilter.moc"
