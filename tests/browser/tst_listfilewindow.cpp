#include <QColor>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QTreeView>

#include <memory>

#include "browser/frmserverlist.h"
#include "browser/serverlistmodel.h"
#include "core/masterlist.h"
#include "core/serverlistfile.h"
#include "core/settings.h"
#include "core/settingsstore.h"
#include "fakeudpserver.h"
#include "scripteddialogs.h"
#include "tempappfolder.h"
#include "testutil.h"

using TKind = TScriptedDialogs::TKind;

namespace {

const QByteArray kHeader = QByteArray(ServerListHeader) + "\r\n";

} // namespace

class TestListFileWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void loadAtFirstShow();
    void headerOnlyLoadsNothingSilently();
    void saveAtCloseAndLoadAgain();
    void failedSaveIsReported();
    void unreadableListIsNeverReplaced();
    void stoppedStartUpKeepsTheList();

private:
    void NewWindow();
    void Show();
    QStringList Cells(int row) const;
    QColor RowColour(int row) const;
    QString ListPath() const { return TServerListFile::DefaultPath(); }

    std::unique_ptr<TTempAppFolder> Folder_;
    std::unique_ptr<TSettings> Settings_;
    std::unique_ptr<TScriptedDialogs> Dialogs_;
    std::unique_ptr<TFileSettingsStore> Store_;
    std::unique_ptr<TfrmServerList> Window_;
};

void TestListFileWindow::init()
{
    Folder_ = std::make_unique<TTempAppFolder>();
    Settings_ = std::make_unique<TSettings>();
    Settings_->Change([](TSettingsValues& values) {
        values.QueryTimeout = 100;
        values.Retry = 0;
    });
    Dialogs_ = std::make_unique<TScriptedDialogs>();
    Store_ = std::make_unique<TFileSettingsStore>(TFileSettingsStore::DefaultPath());
    NewWindow();
}

void TestListFileWindow::cleanup()
{
    Window_.reset();
    Store_.reset();
    Dialogs_.reset();
    Settings_.reset();
    Folder_.reset();
}

void TestListFileWindow::NewWindow()
{
    Window_.reset();
    Window_ = std::make_unique<TfrmServerList>(*Settings_, *Dialogs_, *Store_);
}

void TestListFileWindow::Show()
{
    Window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(Window_.get()));
}

QStringList TestListFileWindow::Cells(int row) const
{
    QStringList cells;
    for (int column = 0; column < TServerListModel::ColumnCount; ++column) {
        cells << Window_->Model().Cell(row, column);
    }
    return cells;
}

QColor TestListFileWindow::RowColour(int row) const
{
    return Window_->Model().index(row, 0).data(Qt::ForegroundRole).value<QColor>();
}

void TestListFileWindow::loadAtFirstShow()
{
    QVERIFY(WriteFileBytes(ListPath(),
                           kHeader + Bytes("Quake 3\x00"
                                           "192.168.1.20:27950\x00My Server\x00q3dm17\x00"
                                           "3/16\x00"
                                           "48\x00"
                                           "baseq3\x00"
                                           "1\r\n"
                                           "Heretic 2\x00"
                                           "10.0.0.9\x00QUERY TIME OUT\x00---\x00---\x00---\x00\x00"
                                           "0\r\n"
                                           "Doom\x00"
                                           "1.1.1.1:1\x00x\x00x\x00x\x00x\x00x\x00"
                                           "1\r\n"
                                           "Quake 3\r\n"
                                           "Half-Life\x00"
                                           "fe80::2:27016\x00"
                                           "HL\x00"
                                           "de_dust\x00"
                                           "12/16\x00"
                                           "70\x00"
                                           "cstrike\x00"
                                           "0\r\n")));
    QCOMPARE(Window_->ServerCount(), 0);
    Show();
    QCOMPARE(Window_->ServerCount(), 4);
    QCOMPARE(Window_->StatusText(), QStringLiteral("Successfully loaded 4 servers from disk db."));

    QCOMPARE(Cells(0), (QStringList{"My Server", "q3dm17", "3/16", "48", "Quake 3 / baseq3",
                                    "192.168.1.20:27950"}));
    QCOMPARE(Cells(1), (QStringList{"QUERY TIME OUT", "---", "---", "---", "Heretic 2 / ",
                                    "10.0.0.9:28001"}));
    QCOMPARE(Cells(2), (QStringList{"Quake 3", "Quake 3", "Quake 3", "Quake 3", "Quake 3 / Quake 3",
                                    "Quake 3:28001"}));
    QCOMPARE(Cells(3),
             (QStringList{"HL", "de_dust", "12/16", "70", "Half-Life / cstrike", "fe80::2:27016"}));

    const TGenericServer& first = *Window_->Server(0);
    QCOMPARE(first.GameType, gtQuake3);
    QCOMPARE(first.Info.Host, QString("192.168.1.20"));
    QCOMPARE(first.Info.Port, 27950);
    QCOMPARE(int(first.Info.Ping), 48);
    QCOMPARE(first.NumPlayers, 3);
    QCOMPARE(first.MaxPlayers, 16);
    QCOMPARE(first.Status, qsNew);
    QVERIFY(first.NoReply);
    QVERIFY(first.Favorite);
    QCOMPARE(Window_->Server(1)->GameType, gtHeretic2);
    QCOMPARE(Window_->Server(3)->Info.Host, QString("fe80::2"));
    QCOMPARE(Window_->Model().IconIndex(3), GameInfo(gtHalfLife)->IconIndex);

    // Favourites in their colour at once, the rest black as new rows.
    const TColor favorite = (*Settings_)->Colors[csFavorite];
    QCOMPARE(RowColour(0), QColor(favorite.Red(), favorite.Green(), favorite.Blue()));
    QCOMPARE(RowColour(1), QColor(Qt::black));
    QCOMPARE(RowColour(3), QColor(Qt::black));
}

void TestListFileWindow::headerOnlyLoadsNothingSilently()
{
    QVERIFY(WriteFileBytes(ListPath(), kHeader));
    Show();
    QCOMPARE(Window_->ServerCount(), 0);
    QCOMPARE(Window_->StatusText(), QString());
    QCOMPARE(Dialogs_->Shown().size(), 0);
}

void TestListFileWindow::saveAtCloseAndLoadAgain()
{
    TFakeUdpServer silent;
    silent.SetBehaviour(TFakeUdpServer::TBehaviour::Silent);
    Show();
    Window_->AddServer("10.0.0.1", 27960, gtQuake3);
    Window_->AddServer(silent.Address(), silent.Port(), gtTribes);
    Window_->AddServer("10.0.0.3", 27015, gtHalfLife);
    Window_->SetFavorite(2, true);
    Window_->QueryServer(1);
    QTRY_COMPARE_WITH_TIMEOUT(Window_->Model().Cell(1, TServerListModel::colName),
                              QStringLiteral("QUERY TIME OUT"), 5000);
    Window_->findChild<QTreeView*>("lvServers")
        ->sortByColumn(TServerListModel::colAddress, Qt::DescendingOrder);
    QVERIFY(Window_->close());

    const QByteArray timedOut = "Tribes" + QByteArray(1, '\0') +
                                "127.0.0.1:" + QByteArray::number(silent.Port()) +
                                Bytes("\x00QUERY TIME OUT\x00---\x00---\x00---\x00\x00"
                                      "0\r\n");
    QCOMPARE(ReadFileBytes(ListPath()), kHeader + timedOut +
                                            Bytes("Half-Life\x00"
                                                  "10.0.0.3:27015\x00Unknown\x00-\x00-\x00-\x00\x00"
                                                  "1\r\n"
                                                  "Quake 3\x00"
                                                  "10.0.0.1:27960\x00Unknown\x00-\x00-\x00-\x00\x00"
                                                  "0\r\n"));

    QList<QStringList> before;
    QList<bool> favourites;
    for (int row = 0; row < Window_->ServerCount(); ++row) {
        before << Cells(row);
        favourites << Window_->Server(row)->Favorite;
    }
    NewWindow();
    Show();
    QCOMPARE(Window_->ServerCount(), 3);
    for (int row = 0; row < 3; ++row) {
        QStringList cells = Cells(row);
        // Only the game cell of a loaded row adds its game variant.
        QCOMPARE(cells.takeAt(TServerListModel::colGame),
                 GameTypeName(Window_->Server(row)->GameType) + " / ");
        before[row].removeAt(TServerListModel::colGame);
        QCOMPARE(cells, before[row]);
        QCOMPARE(Window_->Server(row)->Favorite, favourites[row]);
    }
}

void TestListFileWindow::failedSaveIsReported()
{
    Show();
    Window_->AddServer("10.0.0.1", 27960, gtQuake3);
    // A folder now stands where the file goes.
    QVERIFY(QDir().mkpath(ListPath()));
    QVERIFY(Window_->close());
    QCOMPARE(Dialogs_->Shown().size(), 1);
    QCOMPARE(Dialogs_->Shown().first().Kind, TKind::Error);
    QVERIFY(Dialogs_->Shown().first().Text.contains(ListPath()));
    QVERIFY(QFileInfo(ListPath()).isDir());
}

void TestListFileWindow::unreadableListIsNeverReplaced()
{
    QVERIFY(QDir().mkpath(ListPath()));
    Show();
    QCOMPARE(Dialogs_->Shown().size(), 1);
    QCOMPARE(Dialogs_->Shown().first().Kind, TKind::Error);
    QVERIFY(Dialogs_->Shown().first().Text.contains(ListPath()));

    Window_->AddServer("10.0.0.1", 27960, gtQuake3);
    QVERIFY(!Window_->SaveServerList());
    QVERIFY(Window_->close());
    QCOMPARE(Dialogs_->Shown().size(), 1);
    QVERIFY(QFileInfo(ListPath()).isDir());
}

void TestListFileWindow::stoppedStartUpKeepsTheList()
{
    const QByteArray list = kHeader + Bytes("Quake 3\x00"
                                            "10.0.0.1:27960\x00Kept\x00m\x00-\x00-\x00\x00"
                                            "1\r\n");
    QVERIFY(WriteFileBytes(ListPath(), list));
    Store_->SetValue(MastersKey + "\\Quake 3", "master.example.org", TStoreValue::FromText("x"));
    Show();
    QCOMPARE(Dialogs_->Shown().size(), 1);
    QCOMPARE(Dialogs_->Shown().first().Text,
             QStringLiteral("Invalid data type for 'master.example.org'"));
    QCOMPARE(Window_->ServerCount(), 0);
    // The list that was not read stays as it is when the window closes.
    Window_->AddServer("10.0.0.2", 27960, gtQuake3);
    QVERIFY(Window_->close());
    QCOMPARE(ReadFileBytes(ListPath()), list);
}

QTEST_MAIN(TestListFileWindow)
#include "tst_listfilewindow.moc"
