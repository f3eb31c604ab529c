#include <QAction>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <memory>

#include "browser/frmserverlist.h"
#include "core/settings.h"
#include "core/settingsstore.h"
#include "scripteddialogs.h"
#include "tempappfolder.h"
#include "update/frmupdate.h"

using TKind = TScriptedDialogs::TKind;

class TestFrmUpdate : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void menuItemStaysDisabled();
    void controls();
    void checkForUpdatesResetsAndShowsModal();
    void buttonsAndEscape_data();
    void buttonsAndEscape();

private:
    template <typename T> T* Control(const char* name) const
    {
        return Update_->findChild<T*>(QLatin1String(name));
    }

    std::unique_ptr<TTempAppFolder> Folder_;
    std::unique_ptr<TSettings> Settings_;
    std::unique_ptr<TScriptedDialogs> Dialogs_;
    std::unique_ptr<TFileSettingsStore> Store_;
    std::unique_ptr<TfrmServerList> Window_;
    TfrmUpdate* Update_ = nullptr; // owned by the main window
};

void TestFrmUpdate::init()
{
    Folder_ = std::make_unique<TTempAppFolder>();
    Settings_ = std::make_unique<TSettings>();
    Dialogs_ = std::make_unique<TScriptedDialogs>();
    Store_ = std::make_unique<TFileSettingsStore>(TFileSettingsStore::DefaultPath());
    Window_ = std::make_unique<TfrmServerList>(*Settings_, *Dialogs_, *Store_);
    Update_ = new TfrmUpdate(Window_.get(), *Dialogs_);
    // Wired as the program wires it: the item's command is the window's,
    // and nothing enables the item.
    connect(Window_->findChild<QAction*>("miFileUpdate"), &QAction::triggered, Update_,
            &TfrmUpdate::CheckForUpdates);
    Window_->show();
    QVERIFY(QTest::qWaitForWindowActive(Window_.get()));
}

void TestFrmUpdate::cleanup()
{
    QCOMPARE(Dialogs_->Unanswered(), 0);
    Window_.reset();
    Store_.reset();
    Dialogs_.reset();
    Settings_.reset();
    Folder_.reset();
}

void TestFrmUpdate::menuItemStaysDisabled()
{
    QAction* item = Window_->findChild<QAction*>("miFileUpdate");
    QCOMPARE(item->text(), QString("&Check for updates..."));
    QVERIFY(Window_->StartupDone());
    QVERIFY(!item->isEnabled());
    item->trigger();
    QVERIFY(Dialogs_->Shown().isEmpty());
    QVERIFY(!Update_->isVisible());
}

void TestFrmUpdate::controls()
{
    QCOMPARE(Update_->windowTitle(), QString("Morvix WebUpdate"));
    // A fixed frame with a title and no buttons in it.
    QVERIFY(Update_->windowFlags().testFlag(Qt::CustomizeWindowHint));
    QVERIFY(!Update_->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!Update_->windowFlags().testFlag(Qt::WindowMinMaxButtonsHint));
    Update_->show();
    QVERIFY(QTest::qWaitForWindowExposed(Update_));
    QCOMPARE(Update_->minimumSize(), Update_->maximumSize());
    // Until the first reset.
    QCOMPARE(Control<QLabel>("lblFileName")->text(), QString("(no file in progress)"));
    QCOMPARE(Control<QProgressBar>("pbFileProgress")->maximum(), 100);
}

void TestFrmUpdate::checkForUpdatesResetsAndShowsModal()
{
    // Left over from an earlier opening.
    Update_->Reset(false);
    Control<QProgressBar>("pbFileProgress")->setValue(60);

    Update_->CheckForUpdates();
    QCOMPARE(Dialogs_->Shown().size(), 1);
    QCOMPARE(Dialogs_->Shown().at(0).Text, QString("This feature requires an internet connection. "
                                                   "Please make sure you are online."));
    QVERIFY(Update_->isVisible());
    QCOMPARE(Update_->windowModality(), Qt::ApplicationModal);
    QVERIFY(Control<QLabel>("lblFileName")->text().isEmpty());
    QCOMPARE(Control<QProgressBar>("pbFileProgress")->value(), 0);
    QVERIFY(Control<QPushButton>("sbBack")->isEnabled());
    QVERIFY(Control<QPushButton>("sbCheckNow")->isEnabled());
}

void TestFrmUpdate::buttonsAndEscape_data()
{
    QTest::addColumn<bool>("checkFirst"); // "Check for updates >>" before leaving
    QTest::addColumn<bool>("escape");     // leave by Escape, or by "<< Back"
    QTest::newRow("back") << false << false;
    QTest::newRow("escape") << false << true;
    QTest::newRow("escape after checking") << true << true;
}

void TestFrmUpdate::buttonsAndEscape()
{
    QFETCH(bool, checkFirst);
    QFETCH(bool, escape);
    Update_->CheckForUpdates();
    QVERIFY(QTest::qWaitForWindowActive(Update_));
    auto* back = Control<QPushButton>("sbBack");
    auto* check = Control<QPushButton>("sbCheckNow");
    if (checkFirst) {
        QTest::mouseClick(check, Qt::LeftButton);
        // Nothing is fetched; the window stays with both buttons disabled.
        QVERIFY(Update_->isVisible());
        QVERIFY(!back->isEnabled());
        QVERIFY(!check->isEnabled());
    }
    if (escape) {
        QTest::keyClick(Update_, Qt::Key_Escape);
    } else {
        QTest::mouseClick(back, Qt::LeftButton);
    }
    QVERIFY(!Update_->isVisible());
    QCOMPARE(Update_->result(), int(QDialog::Rejected));
}

QTEST_MAIN(TestFrmUpdate)
#include "tst_frmupdate.moc"
