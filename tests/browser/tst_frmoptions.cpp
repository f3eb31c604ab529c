#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include <functional>
#include <memory>

#include "browser/frmoptions.h"
#include "core/settings.h"
#include "scripteddialogs.h"

using TEdit = std::function<void(TSettingsValues&)>;
using TSteps = QList<std::pair<QString, QString>>; // control, what to do with it
Q_DECLARE_METATYPE(TEdit)

class TestFrmOptions : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void controlsChangeSettingsAtOnce_data();
    void controlsChangeSettingsAtOnce();
    void noLimitWarns();
    void buddyListEditing();
    void buddiesOutsideLatin1();
    void pagesAndClosing();

private:
    template <typename T> T* Find(const QString& name) const;
    // Brings the control's page to the front and uses it as a user would:
    // clicks a button ("click", or "file:PATH" to choose PATH in the file
    // dialog it opens), picks a colour's entry (its number), or types Input
    // into a box and presses Enter.
    void Use(const QString& name, const QString& input = QStringLiteral("click"));

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

template <typename T> T* TestFrmOptions::Find(const QString& name) const
{
    T* found = Form_->findChild<T*>(name);
    if (!found) {
        qFatal("no control %s", qPrintable(name));
    }
    return found;
}

void TestFrmOptions::Use(const QString& name, const QString& input)
{
    QWidget* control = Find<QWidget>(name);
    auto* pages = Find<QTabWidget>("pcOptions");
    for (int page = 0; page < pages->count(); ++page) {
        if (pages->widget(page)->isAncestorOf(control)) {
            pages->setCurrentIndex(page);
        }
    }
    if (auto* chooser = qobject_cast<TColorChooser*>(control)) {
        emit chooser->activated(input.toInt());
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        if (input.startsWith("file:")) {
            Dialogs_->AnswerFileName(input.mid(5));
        }
        // On the mark: the rest of a wide check box takes no clicks.
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
    } else {
        control->setFocus();
        QTest::keyClick(control, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(control, input);
        QTest::keyClick(control, Qt::Key_Return);
    }
}

void TestFrmOptions::controlsChangeSettingsAtOnce_data()
{
    QTest::addColumn<TSteps>("steps");
    QTest::addColumn<TEdit>("expected");
    // Number boxes take five digits at most; the delay box works once its
    // check box is on.
    QTest::newRow("query") << TSteps{{"seMaxQueries", "1234567"},
                                     {"seQueryTimeout", "3000"},
                                     {"seRetry", "0"},
                                     {"cbUseDelay", "click"},
                                     {"seQueryDelay", "40"},
                                     {"cbAllowFormat", "click"},
                                     {"sePingTimeout", "900"}}
                           << TEdit([](TSettingsValues& v) {
                                  v.MaxQueries = 12345;
                                  v.QueryTimeout = 3000;
                                  v.Retry = 0;
                                  v.UseDelay = v.AllowFormat = true;
                                  v.QueryDelay = 40;
                                  v.PingTimeout = 900;
                              });
    QTest::newRow("general") << TSteps{{"cbLaunchConfirmation", "click"},
                                       {"cbOJSaveList", "click"},
                                       {"rbOJClose", "click"},
                                       {"cbOSQueryALL", "click"},
                                       {"cbOSTray", "click"},
                                       {"cbAllowStats", "click"},
                                       {"edStatsUsername", "Ranger"}}
                             << TEdit([](TSettingsValues& v) {
                                    v.LaunchConfirmation = v.OJSaveList = v.AllowStats = false;
                                    v.OnJoin = jaClose;
                                    v.OSQueryALL = v.OSTray = true;
                                    v.StatsUsername = "Ranger";
                                });
    QTest::newRow("paths, buddies and colours")
        << TSteps{{"edTribes2", "/t2/tribes2.exe"},
                  {"sbKingpin", "file:/kp/kingpin.exe"},
                  {"sbSoF", "file:"},
                  {"cbUseBuddyList", "click"},
                  {"ccListBG", "9"}}
        << TEdit([](TSettingsValues& v) {
               v.GamePaths[gtTribes2] = "/t2/tribes2.exe";
               v.GamePaths[gtKingpin] = "/kp/kingpin.exe"; // the SoF dialog was cancelled
               v.UseBuddyList = true;
               v.Colors[csListBG] = TColor::FromRgb(255, 0, 0); // entry 9, "Red"
           });
}

void TestFrmOptions::controlsChangeSettingsAtOnce()
{
    QFETCH(TSteps, steps);
    QFETCH(TEdit, expected);
    TSettingsValues values;
    expected(values);
    for (const auto& [name, input] : steps) {
        Use(name, input);
    }
    QCOMPARE(Settings_->Values(), values);
    for (const TScriptedDialogs::TShown& shown : Dialogs_->Shown()) {
        QVERIFY(shown.Text == "Kingpin executable (kingpin.exe);;All files (*)" ||
                shown.Text == "Soldier of Fortune (SoF.exe);;All files (*)");
    }

    // The last entry asks for any colour.
    auto* favorite = Find<TColorChooser>("ccFavorite");
    Dialogs_->AnswerColor(TColor::FromRgb(0x12, 0x34, 0x56));
    Use("ccFavorite", QString::number(favorite->count() - 1));
    QCOMPARE(Settings_->Values().Colors[csFavorite], TColor::FromRgb(0x12, 0x34, 0x56));
    QCOMPARE(favorite->currentText(), QString("#123456"));
}

void TestFrmOptions::noLimitWarns()
{
    const QString warning = "WARNING! It is NOT recommended to enable this option\n"
                            "unless you are on a high speed internet connection.\n"
                            "May cause timeouts to working servers!";
    Use("cbNoLimit");
    QVERIFY(Find<QCheckBox>("cbNoLimit")->isChecked());
    QVERIFY(Settings_->Values().NoLimit);
    QCOMPARE(Dialogs_->Shown().size(), 1);
    QCOMPARE(Dialogs_->Shown()[0].Kind, TScriptedDialogs::TKind::Warning);
    QCOMPARE(Dialogs_->Shown()[0].Title, QString("Warning"));
    QCOMPARE(Dialogs_->Shown()[0].Text, warning);

    // A changed ping time-out warns again while "No limit" is on, once per
    // change and not per digit typed; unchecking says nothing.
    Use("sePingTimeout", "2500");
    QCOMPARE(Dialogs_->Shown().size(), 2);
    Use("cbNoLimit");
    Use("sePingTimeout", "900");
    QCOMPARE(Dialogs_->Shown().size(), 2);
}

void TestFrmOptions::buddyListEditing()
{
    auto* name = Find<QLineEdit>("edBuddyName");
    for (const char* buddy : {"Sarge", "", "*Bot?", "Sarge"}) {
        name->setText(QLatin1String(buddy));
        Use("btAddBuddy");
        QVERIFY(name->text().isEmpty());
        QVERIFY(name->hasFocus());
    }
    QCOMPARE(Settings_->Values().Buddies,
             TBuddyList({{"Sarge", true}, {"", true}, {"*Bot?", true}, {"Sarge", true}}));

    // The check mark is the case-sensitive mark; "&Remove" takes every
    // selected entry.
    auto* list = Find<QListWidget>("lbBuddies");
    list->item(2)->setCheckState(Qt::Unchecked);
    for (int row : {0, 1, 3}) {
        list->item(row)->setSelected(true);
    }
    Use("btRemoveBuddy");
    QCOMPARE(Settings_->Values().Buddies, TBuddyList({{"*Bot?", false}}));
}

// A buddy typed in letters outside Latin-1 is its UTF-8, shown as typed;
// one the list showed is listed again with its own bytes.
void TestFrmOptions::buddiesOutsideLatin1()
{
    const QByteArray vlad = "\xD0\x92\xD0\xBB\xD0\xB0\xD0\xB4";
    // Latin-1 bytes that also read as UTF-8: the list shows one letter.
    const QByteArray twoLetters = "\xDF\xA9";
    Settings_->Change([&](TSettingsValues& v) { v.Buddies = {{twoLetters, true}}; });
    auto* name = Find<QLineEdit>("edBuddyName");
    name->setText(QStringLiteral("Влад"));
    Use("btAddBuddy");
    name->setText(QStringLiteral("café"));
    Use("btAddBuddy");
    QCOMPARE(Settings_->Values().Buddies,
             TBuddyList({{twoLetters, true}, {vlad, true}, {"caf\xE9", true}}));
    auto* list = Find<QListWidget>("lbBuddies");
    QCOMPARE(list->item(1)->text(), QStringLiteral("Влад"));
    list->item(1)->setCheckState(Qt::Unchecked);
    QCOMPARE(Settings_->Values().Buddies,
             TBuddyList({{twoLetters, true}, {vlad, false}, {"caf\xE9", true}}));
}

void TestFrmOptions::pagesAndClosing()
{
    auto* pages = Find<QTabWidget>("pcOptions");
    QCOMPARE(pages->currentWidget()->objectName(), QString("tsGeneral"));
    pages->setCurrentIndex(4);
    Use("btOK");
    QVERIFY(Form_->isHidden());
    QCOMPARE(Form_->result(), int(QDialog::Accepted));

    // Opens again on the page last shown; Escape closes it as "&OK >>"
    // does, from whichever control has the focus.
    Form_->setResult(QDialog::Rejected);
    Form_->show();
    QVERIFY(QTest::qWaitForWindowActive(Form_.get()));
    QCOMPARE(pages->currentWidget()->objectName(), QString("tsColors"));
    Find<QWidget>("ccPlayerBG")->setFocus();
    QTest::keyClick(Find<QWidget>("ccPlayerBG"), Qt::Key_Escape);
    QVERIFY(Form_->isHidden());
    QCOMPARE(Form_->result(), int(QDialog::Accepted));
}

QTEST_MAIN(TestFrmOptions)
#include "tst_frmoptions.moc"
