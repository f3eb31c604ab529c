#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <functional>
#include <memory>

#include "browser/frmoptions.h"
#include "core/settings.h"
#include "scripteddialogs.h"

using TAct = std::function<void(TfrmOptions&, TScriptedDialogs&)>;
using TEdit = std::function<void(TSettingsValues&)>;
Q_DECLARE_METATYPE(TAct)
Q_DECLARE_METATYPE(TEdit)

namespace {

template <typename T> T* Find(const QWidget& parent, const char* name)
{
    T* found = parent.findChild<T*>(QLatin1String(name));
    if (!found) {
        qFatal("no control %s", name);
    }
    return found;
}

// Clicks a button; a check box or radio button on its mark, as the rest of
// a wide one does not take clicks.
void ClickOn(QAbstractButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
}

TAct Click(const char* name)
{
    return [name](TfrmOptions& form, TScriptedDialogs&) {
        ClickOn(Find<QAbstractButton>(form, name));
    };
}

// Types Text into a box after selecting what it shows, then presses Enter.
TAct Type(const char* name, const QString& text)
{
    return [name, text](TfrmOptions& form, TScriptedDialogs&) {
        QWidget* box = Find<QWidget>(form, name);
        box->setFocus();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Return);
    };
}

TAct ChooseColour(const char* name, int index)
{
    return [name, index](TfrmOptions& form, TScriptedDialogs&) {
        auto* chooser = Find<TColorChooser>(form, name);
        emit chooser->activated(index < 0 ? chooser->count() - 1 : index);
    };
}

} // namespace

class TestFrmOptions : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void controlsChangeSettingsAtOnce_data();
    void controlsChangeSettingsAtOnce();
    void controlsFollowTheSettings();
    void numberBoxesTakeFiveDigits_data();
    void numberBoxesTakeFiveDigits();
    void noLimitWarns();
    void delayBoxFollowsItsCheckBox();
    void browseButtons_data();
    void browseButtons();
    void buddyListEditing();
    void pagesAndClosing();

private:
    std::unique_ptr<TSettings> Settings_;
    std::unique_ptr<TScriptedDialogs> Dialogs_;
    std::unique_ptr<TfrmOptions> Form_;
};

void TestFrmOptions::init()
{
    Settings_ = std::make_unique<TSettings>();
    Dialogs_ = std::make_unique<TScriptedDialogs>();
    Form_ = std::make_unique<TfrmOptions>(*Settings_, *Dialogs_);
    Form_->show();
    QVERIFY(QTest::qWaitForWindowActive(Form_.get()));
}

void TestFrmOptions::cleanup()
{
    QCOMPARE(Dialogs_->Unanswered(), 0);
    Form_.reset();
    Dialogs_.reset();
    Settings_.reset();
}

void TestFrmOptions::controlsChangeSettingsAtOnce_data()
{
    QTest::addColumn<TAct>("act");
    QTest::addColumn<TEdit>("expected");
    const auto page = [](int index) -> TAct {
        return [index](TfrmOptions& form, TScriptedDialogs&) {
            Find<QTabWidget>(form, "pcOptions")->setCurrentIndex(index);
        };
    };
    const auto then = [](TAct first, TAct second) -> TAct {
        return [first, second](TfrmOptions& form, TScriptedDialogs& dialogs) {
            first(form, dialogs);
            second(form, dialogs);
        };
    };
    const TAct query = page(1);

    QTest::newRow("concurrent requests") << then(query, Type("seMaxQueries", "250"))
                                         << TEdit([](TSettingsValues& v) { v.MaxQueries = 250; });
    QTest::newRow("query timeout") << then(query, Type("seQueryTimeout", "3000"))
                                   << TEdit([](TSettingsValues& v) { v.QueryTimeout = 3000; });
    QTest::newRow("retries") << then(query, Type("seRetry", "0"))
                             << TEdit([](TSettingsValues& v) { v.Retry = 0; });
    QTest::newRow("query delay") << then(query,
                                         then(Click("cbUseDelay"), Type("seQueryDelay", "40")))
                                 << TEdit([](TSettingsValues& v) {
                                        v.UseDelay = true;
                                        v.QueryDelay = 40;
                                    });
    QTest::newRow("format names") << then(query, Click("cbAllowFormat"))
                                  << TEdit([](TSettingsValues& v) { v.AllowFormat = true; });
    QTest::newRow("ping timeout") << then(query, Type("sePingTimeout", "900"))
                                  << TEdit([](TSettingsValues& v) { v.PingTimeout = 900; });
    QTest::newRow("join options") << then(Click("cbLaunchConfirmation"),
                                          then(Click("cbOJCopyIP"), Click("cbOJSaveList")))
                                  << TEdit([](TSettingsValues& v) {
                                         v.LaunchConfirmation = v.OJCopyIP = v.OJSaveList = false;
                                     });
    QTest::newRow("join leaves") << Click("rbOJNoop")
                                 << TEdit([](TSettingsValues& v) { v.OnJoin = jaNoop; });
    QTest::newRow("join closes") << Click("rbOJClose")
                                 << TEdit([](TSettingsValues& v) { v.OnJoin = jaClose; });
    QTest::newRow("start-up") << then(Click("cbOSQueryALL"), Click("cbOSTray"))
                              << TEdit([](TSettingsValues& v) { v.OSQueryALL = v.OSTray = true; });
    QTest::newRow("stats") << then(Click("cbAllowStats"), Type("edStatsUsername", "Ranger"))
                           << TEdit([](TSettingsValues& v) {
                                  v.AllowStats = false;
                                  v.StatsUsername = "Ranger";
                              });
    QTest::newRow("game path typed")
        << then(page(2), Type("edTribes2", "/games/t2/tribes2.exe"))
        << TEdit([](TSettingsValues& v) { v.GamePaths[gtTribes2] = "/games/t2/tribes2.exe"; });
    QTest::newRow("buddy search") << then(page(3), Click("cbUseBuddyList"))
                                  << TEdit([](TSettingsValues& v) { v.UseBuddyList = true; });
    QTest::newRow("named colour") << then(page(4), ChooseColour("ccListBG", 9)) // Red
                                  << TEdit([](TSettingsValues& v) {
                                         v.Colors[csListBG] = TColor::FromRgb(255, 0, 0);
                                     });
    QTest::newRow("custom colour")
        << then(page(4), TAct([](TfrmOptions& form, TScriptedDialogs& dialogs) {
                    dialogs.AnswerColor(TColor::FromRgb(0x12, 0x34, 0x56));
                    ChooseColour("ccFavorite", -1)(form, dialogs);
                }))
        << TEdit([](TSettingsValues& v) {
               v.Colors[csFavorite] = TColor::FromRgb(0x12, 0x34, 0x56);
           });
    QTest::newRow("custom colour cancelled")
        << then(page(4), TAct([](TfrmOptions& form, TScriptedDialogs& dialogs) {
                    dialogs.AnswerColor(std::nullopt);
                    ChooseColour("ccqsIdle", -1)(form, dialogs);
                }))
        << TEdit([](TSettingsValues&) {});
}

void TestFrmOptions::controlsChangeSettingsAtOnce()
{
    QFETCH(TAct, act);
    QFETCH(TEdit, expected);
    TSettingsValues values;
    expected(values);
    act(*Form_, *Dialogs_);
    QCOMPARE(Settings_->Values(), values);
}

void TestFrmOptions::controlsFollowTheSettings()
{
    Settings_->Change([](TSettingsValues& v) {
        v.MaxQueries = 77;
        v.UseDelay = true;
        v.OnJoin = jaClose;
        v.StatsUsername = "Loaded";
        v.GamePaths[gtSoF] = "/sof";
        v.Buddies = {{"Sarge", false}, {"Doom", true}};
        v.Colors[csRuleBG] = TColor::FromRgb(0xAB, 0xCD, 0xEF);
        v.Colors[csToolbarsBG] = TColor::FromRgb(0, 0x80, 0);
    });
    QCOMPARE(Find<QSpinBox>(*Form_, "seMaxQueries")->value(), 77);
    QVERIFY(Find<QSpinBox>(*Form_, "seQueryDelay")->isEnabled());
    QVERIFY(Find<QRadioButton>(*Form_, "rbOJClose")->isChecked());
    QVERIFY(!Find<QRadioButton>(*Form_, "rbOJTray")->isChecked());
    QCOMPARE(Find<QLineEdit>(*Form_, "edStatsUsername")->text(), QString("Loaded"));
    QCOMPARE(Find<QLineEdit>(*Form_, "edSoF")->text(), QString("/sof"));
    auto* buddies = Find<QListWidget>(*Form_, "lbBuddies");
    QCOMPARE(buddies->count(), 2);
    QCOMPARE(buddies->item(0)->text(), QString("Sarge"));
    QCOMPARE(buddies->item(0)->checkState(), Qt::Unchecked);
    QCOMPARE(buddies->item(1)->checkState(), Qt::Checked);
    QCOMPARE(Find<TColorChooser>(*Form_, "ccRuleBG")->currentText(), QString("#ABCDEF"));
    QCOMPARE(Find<TColorChooser>(*Form_, "ccToolbarsBG")->currentText(), QString("Green"));
    QCOMPARE(Find<TColorChooser>(*Form_, "ccToolbarFont")->currentText(), QString("Black"));
    // Showing them changed nothing back.
    QCOMPARE(Settings_->Values().StatsUsername, QString("Loaded"));
    QVERIFY(Dialogs_->Shown().isEmpty());
}

void TestFrmOptions::numberBoxesTakeFiveDigits_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("minimum");
    QTest::newRow("concurrent requests") << "seMaxQueries" << 1;
    QTest::newRow("query timeout") << "seQueryTimeout" << 50;
    QTest::newRow("retries") << "seRetry" << 0;
    QTest::newRow("delay") << "seQueryDelay" << 1;
    QTest::newRow("ping timeout") << "sePingTimeout" << 1;
}

void TestFrmOptions::numberBoxesTakeFiveDigits()
{
    QFETCH(QString, name);
    QFETCH(int, minimum);
    auto* box = Form_->findChild<QSpinBox*>(name);
    QVERIFY(box);
    QCOMPARE(box->minimum(), minimum);
    QCOMPARE(box->maximum(), 99999);
    Settings_->Change([](TSettingsValues& v) { v.UseDelay = true; }); // enables the delay box
    Find<QTabWidget>(*Form_, "pcOptions")->setCurrentIndex(1);
    Type(qPrintable(name), "1234567")(*Form_, *Dialogs_);
    QCOMPARE(box->text(), QString("12345"));
}

void TestFrmOptions::noLimitWarns()
{
    const QString warning = "WARNING! It is NOT recommended to enable this option\n"
                            "unless you are on a high speed internet connection.\n"
                            "May cause timeouts to working servers!";
    Find<QTabWidget>(*Form_, "pcOptions")->setCurrentIndex(1);
    auto* noLimit = Find<QCheckBox>(*Form_, "cbNoLimit");
    QVERIFY(!noLimit->isChecked());

    ClickOn(noLimit);
    QVERIFY(noLimit->isChecked());
    QVERIFY(Settings_->Values().NoLimit);
    QCOMPARE(Dialogs_->Shown().size(), 1);
    QCOMPARE(Dialogs_->Shown()[0].Kind, TScriptedDialogs::TKind::Warning);
    QCOMPARE(Dialogs_->Shown()[0].Title, QString("Warning"));
    QCOMPARE(Dialogs_->Shown()[0].Text, warning);

    // A changed ping time-out warns again while "No limit" is on, once per
    // change and not per digit typed.
    Type("sePingTimeout", "2500")(*Form_, *Dialogs_);
    QCOMPARE(Dialogs_->Shown().size(), 2);
    QCOMPARE(Dialogs_->Shown()[1].Text, warning);

    ClickOn(noLimit);
    QVERIFY(!Settings_->Values().NoLimit);
    Type("sePingTimeout", "900")(*Form_, *Dialogs_);
    QCOMPARE(Dialogs_->Shown().size(), 2);
}

void TestFrmOptions::delayBoxFollowsItsCheckBox()
{
    Find<QTabWidget>(*Form_, "pcOptions")->setCurrentIndex(1);
    auto* delay = Find<QSpinBox>(*Form_, "seQueryDelay");
    auto* useDelay = Find<QCheckBox>(*Form_, "cbUseDelay");
    QVERIFY(!delay->isEnabled());
    ClickOn(useDelay);
    QVERIFY(delay->isEnabled());
    ClickOn(useDelay);
    QVERIFY(!delay->isEnabled());
    QVERIFY(!Settings_->Values().UseDelay);
}

void TestFrmOptions::browseButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("game");
    QTest::addColumn<QString>("filter");
    QTest::newRow("Tribes") << "sbTribes" << int(gtTribes) << "Tribes executable (Tribes.exe)";
    QTest::newRow("QuakeWorld") << "sbQuakeWorld" << int(gtQuakeWorld)
                                << "QuakeWorld executable (*qwcl.exe)";
    QTest::newRow("Quake 2") << "sbQuake2" << int(gtQuake2) << "Quake 2 executable (Quake2.exe)";
    QTest::newRow("Quake 3") << "sbQuake3" << int(gtQuake3) << "Quake 3 executable (Quake3.exe)";
    QTest::newRow("Half-Life") << "sbHalfLife" << int(gtHalfLife)
                               << "Half-life executable (hl.exe)";
    QTest::newRow("Kingpin") << "sbKingpin" << int(gtKingpin) << "Kingpin executable (kingpin.exe)";
    QTest::newRow("Sin") << "sbSin" << int(gtSin) << "Sin executable (*.exe)";
    QTest::newRow("Heretic 2") << "sbHeretic2" << int(gtHeretic2) << "Heretic 2 (*.exe)";
    QTest::newRow("SoF") << "sbSoF" << int(gtSoF) << "Soldier of Fortune (SoF.exe)";
    QTest::newRow("Tribes 2") << "sbTribes2" << int(gtTribes2)
                              << "Tribes 2 executable (tribes2.exe)";
}

void TestFrmOptions::browseButtons()
{
    QFETCH(QString, button);
    QFETCH(int, game);
    QFETCH(QString, filter);
    Find<QTabWidget>(*Form_, "pcOptions")->setCurrentIndex(2);
    auto* browse = Form_->findChild<QToolButton*>(button);
    QVERIFY(browse);

    Dialogs_->AnswerFileName("/games/chosen");
    QTest::mouseClick(browse, Qt::LeftButton);
    QCOMPARE(Dialogs_->Shown().last().Kind, TScriptedDialogs::TKind::OpenFileName);
    QCOMPARE(Dialogs_->Shown().last().Text, filter + ";;All files (*)");
    TSettingsValues expected;
    expected.GamePaths[game] = "/games/chosen";
    QCOMPARE(Settings_->Values(), expected);

    // Cancelled: the path stays.
    Dialogs_->AnswerFileName(QString());
    QTest::mouseClick(browse, Qt::LeftButton);
    QCOMPARE(Settings_->Values(), expected);
}

void TestFrmOptions::buddyListEditing()
{
    Find<QTabWidget>(*Form_, "pcOptions")->setCurrentIndex(3);
    auto* name = Find<QLineEdit>(*Form_, "edBuddyName");
    auto* add = Find<QPushButton>(*Form_, "btAddBuddy");
    auto* list = Find<QListWidget>(*Form_, "lbBuddies");

    for (const char* buddy : {"Sarge", "", "*Bot?", "Sarge"}) {
        name->setText(QLatin1String(buddy));
        QTest::mouseClick(add, Qt::LeftButton);
        QVERIFY(name->text().isEmpty());
        QVERIFY(name->hasFocus());
    }
    QCOMPARE(Settings_->Values().Buddies,
             TBuddyList({{"Sarge", true}, {"", true}, {"*Bot?", true}, {"Sarge", true}}));

    // The check mark is the case-sensitive mark.
    list->item(2)->setCheckState(Qt::Unchecked);
    QCOMPARE(Settings_->Values().Buddies[2], (TBuddy{"*Bot?", false}));

    list->item(0)->setSelected(true);
    list->item(1)->setSelected(true);
    list->item(3)->setSelected(true);
    QTest::mouseClick(Find<QPushButton>(*Form_, "btRemoveBuddy"), Qt::LeftButton);
    QCOMPARE(Settings_->Values().Buddies, TBuddyList({{"*Bot?", false}}));
    QCOMPARE(list->count(), 1);
}

void TestFrmOptions::pagesAndClosing()
{
    auto* pages = Find<QTabWidget>(*Form_, "pcOptions");
    QCOMPARE(pages->currentWidget()->objectName(), QString("tsGeneral"));
    QStringList captions;
    for (int page = 0; page < pages->count(); ++page) {
        captions << pages->tabText(page);
    }
    QCOMPARE(captions,
             QStringList({"General", "Query", "Game configurations", "&Buddy list", "Colors"}));
    QCOMPARE(Form_->windowTitle(), QString("Options"));
    QCOMPARE(Find<QPushButton>(*Form_, "btOK")->text(), QString("&OK >>"));

    pages->setCurrentIndex(4);
    QTest::mouseClick(Find<QPushButton>(*Form_, "btOK"), Qt::LeftButton);
    QVERIFY(Form_->isHidden());
    QCOMPARE(Form_->result(), int(QDialog::Accepted));

    // Opens again on the page last shown; Escape closes it as OK does, from
    // whichever control has the focus.
    Form_->setResult(QDialog::Rejected);
    Form_->show();
    QVERIFY(QTest::qWaitForWindowActive(Form_.get()));
    QCOMPARE(pages->currentWidget()->objectName(), QString("tsColors"));
    auto* chooser = Find<TColorChooser>(*Form_, "ccPlayerBG");
    chooser->setFocus();
    QTest::keyClick(chooser, Qt::Key_Escape);
    QVERIFY(Form_->isHidden());
    QCOMPARE(Form_->result(), int(QDialog::Accepted));
}

QTEST_MAIN(TestFrmOptions)
#include "tst_frmoptions.moc"
