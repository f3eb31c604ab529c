#include <QHostAddress>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <vector>

#include "core/pingsweep.h"
#include "fakeechotransport.h"
#include "model/genericserver.h"
#include "model/icmpecho.h"
#include "tempappfolder.h"

namespace {

const QString kNone = QStringLiteral("---");

// The server list as the sweep sees it, with every cell it was told to write.
class TFakeRows : public TPingRows
{
public:
    struct TWrite
    {
        std::int32_t Id; // the record of the row written to
        TPingColumn Column;
        QString Text;
    };

    std::vector<std::unique_ptr<TGenericServer>> Servers;
    QList<QStringList> Cells; // Name, Map, Players, Ping
    QList<TWrite> Writes;

    TGenericServer& Add(const QString& host)
    {
        auto server = TGenericServer::Create();
        server->Info.Host = host;
        server->Info.Port = 27960;
        server->Info.Ping = 77;
        server->Name = "Server at " + host.toLatin1();
        server->Map = "q3dm17";
        Cells.append({QString::fromLatin1(server->Name), QStringLiteral("q3dm17"),
                      QStringLiteral("3/8"), QStringLiteral("77")});
        Servers.push_back(std::move(server));
        return *Servers.back();
    }
    void Remove(int row)
    {
        Servers.erase(Servers.begin() + row);
        Cells.removeAt(row);
    }
    int RowOf(const QString& host) const
    {
        for (int row = 0; row < RowCount(); ++row) {
            if (Servers[size_t(row)] && Servers[size_t(row)]->Info.Host == host) {
                return row;
            }
        }
        return -1;
    }
    QList<std::int32_t> PingWritesFor() const
    {
        QList<std::int32_t> ids;
        for (const TWrite& write : Writes) {
            if (write.Column == TPingColumn::Ping) {
                ids << write.Id;
            }
        }
        return ids;
    }

    int RowCount() const override { return int(Servers.size()); }
    TGenericServer* RowServer(int row) const override { return Servers[size_t(row)].get(); }
    int RowOfServer(std::int32_t id) const override
    {
        for (int row = 0; row < RowCount(); ++row) {
            if (Servers[size_t(row)] && Servers[size_t(row)]->Id == id) {
                return row;
            }
        }
        return -1;
    }
    void SetCellText(int row, TPingColumn column, const QString& text) override
    {
        Cells[row][int(column)] = text;
        Writes.append({Servers[size_t(row)]->Id, column, text});
    }
};

std::uint32_t Ipv4(const QString& text)
{
    return QHostAddress(text).toIPv4Address();
}

} // namespace

class TestPingSweep : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void sweepTextsAndCells();
    void emptyListDoesNothing();
    void abortEndsAfterTheCurrentServer();
    void singleRowEndsSilently();
    void rowsRemovedMeanwhile_data();
    void rowsRemovedMeanwhile();
    void newCommandReplacesRunningSweep();
    void realEchoOnLoopback();

private:
    // A sweep over Rows through a fake transport that answers the addresses
    // in Answering and stays silent for the others.
    void Build(const QStringList& answering);

    std::unique_ptr<TTempAppFolder> Folder_;
    std::unique_ptr<TFakeRows> Rows_;
    std::unique_ptr<TPing> Ping_;
    TFakeEchoTransport* Transport_ = nullptr;
    std::unique_ptr<TPingSweep> Sweep_;
    QStringList Status_;
};

void TestPingSweep::init()
{
    Folder_ = std::make_unique<TTempAppFolder>();
    Rows_ = std::make_unique<TFakeRows>();
    Ping_ = std::make_unique<TPing>();
    Status_.clear();
}

void TestPingSweep::cleanup()
{
    Sweep_.reset();
    Ping_.reset();
    Rows_.reset();
    Folder_.reset();
}

void TestPingSweep::Build(const QStringList& answering)
{
    auto transport = std::make_unique<TFakeEchoTransport>();
    for (const QString& host : answering) {
        transport->Answering.insert(Ipv4(host));
    }
    Transport_ = transport.get();
    Ping_->SetTransport(std::move(transport));
    Ping_->SetTimeout(100);
    Sweep_ = std::make_unique<TPingSweep>(*Rows_, *Ping_);
    Sweep_->ShowStatus = [this](const QString& text) { Status_ << text; };
}

void TestPingSweep::sweepTextsAndCells()
{
    TGenericServer& answering = Rows_->Add(QStringLiteral("127.0.0.1"));
    Rows_->Add(QStringLiteral("no such host"));
    TGenericServer& silent = Rows_->Add(QStringLiteral("127.0.0.3"));
    Build({QStringLiteral("127.0.0.1")});
    QSignalSpy finished(Sweep_.get(), &TPingSweep::Finished);

    Sweep_->PingAll();
    QVERIFY(Sweep_->Running());
    QVERIFY(finished.wait(5000));
    QCOMPARE(Status_, (QStringList{
                          "Looking up host 127.0.0.1",
                          "Found hostname for 127.0.0.1. Sending ping...",
                          "Looking up host no such host",
                          "Unable to resolve no such host.",
                          "Looking up host 127.0.0.3",
                          "Found hostname for 127.0.0.3. Sending ping...",
                          "Ping completed.",
                      }));
    QVERIFY(!Sweep_->Running());

    // The answered row shows the round trip, which the record keeps too.
    const QString roundTrip = Rows_->Cells[0][int(TPingColumn::Ping)];
    QCOMPARE(roundTrip, QString::number(Ping_->Reply().RoundTripTime));
    QCOMPARE(answering.Info.Ping, Ping_->Reply().RoundTripTime);
    QCOMPARE(Rows_->Cells[0][int(TPingColumn::Name)], QStringLiteral("Server at 127.0.0.1"));
    // The unresolved row is left as it was.
    QCOMPARE(Rows_->Cells[1][int(TPingColumn::Name)], QStringLiteral("Server at no such host"));
    // The silent one shows the verdict, but its record keeps what the game
    // query found.
    QCOMPARE(Rows_->Cells[2], (QStringList{QStringLiteral("NO PING REPLY"), kNone, kNone, kNone}));
    QCOMPARE(silent.Name, QByteArray("Server at 127.0.0.3"));
    QCOMPARE(silent.Info.Ping, 77u);
    QCOMPARE(Transport_->Sent.size(), 2);
}

void TestPingSweep::emptyListDoesNothing()
{
    Build({});
    QSignalSpy finished(Sweep_.get(), &TPingSweep::Finished);
    Sweep_->PingAll();
    QVERIFY(!Sweep_->Running());
    QVERIFY(Status_.isEmpty());
    QCOMPARE(finished.count(), 0);
}

void TestPingSweep::abortEndsAfterTheCurrentServer()
{
    const QStringList hosts{"127.0.0.1", "127.0.0.2", "127.0.0.3"};
    for (const QString& host : hosts) {
        Rows_->Add(host);
    }
    Build(hosts);
    // The abort comes while the second server's echo is awaited.
    Transport_->OnSend = [this](const TFakeEchoTransport::TSent& sent) {
        if (sent.Destination == Ipv4(QStringLiteral("127.0.0.2"))) {
            Sweep_->AbortPing();
        }
    };
    QSignalSpy finished(Sweep_.get(), &TPingSweep::Finished);
    Sweep_->PingAll();
    QVERIFY(finished.wait(5000));
    QCOMPARE(Status_.last(), QStringLiteral("Ping stopped."));
    QCOMPARE(Transport_->Sent.size(), 2);
    // The server being pinged was finished first.
    QVERIFY(Rows_->Cells[1][int(TPingColumn::Ping)] != QStringLiteral("77"));
    QCOMPARE(Rows_->Cells[2][int(TPingColumn::Ping)], QStringLiteral("77"));

    // The next sweep starts over from the first row and runs to the end.
    Transport_->OnSend = nullptr;
    Status_.clear();
    Sweep_->PingAll();
    QVERIFY(finished.wait(5000));
    QCOMPARE(Status_.first(), QStringLiteral("Looking up host 127.0.0.1"));
    QCOMPARE(Status_.last(), QStringLiteral("Ping completed."));
    QCOMPARE(Transport_->Sent.size(), 5);
}

void TestPingSweep::singleRowEndsSilently()
{
    const QStringList hosts{"127.0.0.1", "127.0.0.2", "127.0.0.3"};
    for (const QString& host : hosts) {
        Rows_->Add(host);
    }
    Build(hosts);
    QSignalSpy finished(Sweep_.get(), &TPingSweep::Finished);
    Sweep_->PingSelected(1);
    QVERIFY(Sweep_->Single());
    QVERIFY(finished.wait(5000));
    QCOMPARE(Status_, (QStringList{"Looking up host 127.0.0.2",
                                   "Found hostname for 127.0.0.2. Sending ping..."}));
    QCOMPARE(Rows_->PingWritesFor(), QList<std::int32_t>{Rows_->Servers[1]->Id});

    // An unresolved single row ends on its own text as well.
    Rows_->Servers[1]->Info.Host = QStringLiteral("no such host");
    Status_.clear();
    Sweep_->PingSelected(1);
    QVERIFY(finished.wait(5000));
    QCOMPARE(Status_.last(), QStringLiteral("Unable to resolve no such host."));
    QCOMPARE(Transport_->Sent.size(), 1);
}

void TestPingSweep::rowsRemovedMeanwhile_data()
{
    QTest::addColumn<QString>("when");
    QTest::addColumn<QString>("removedHost");

    QTest::newRow("the pinged row, while its echo is awaited") << "echo"
                                                               << "127.0.0.2";
    QTest::newRow("the pinged row, while its name is looked up") << "lookup"
                                                                 << "127.0.0.2";
    QTest::newRow("a row before the pinged one") << "echo"
                                                 << "127.0.0.1";
    QTest::newRow("the last row, while it is pinged") << "echo"
                                                      << "127.0.0.4";
}

void TestPingSweep::rowsRemovedMeanwhile()
{
    QFETCH(QString, when);
    QFETCH(QString, removedHost);

    const QStringList hosts{"127.0.0.1", "127.0.0.2", "127.0.0.3", "127.0.0.4"};
    QList<std::int32_t> ids;
    for (const QString& host : hosts) {
        ids << Rows_->Add(host).Id;
    }
    Build(hosts);
    // The removal happens while the server after removedHost's predecessor
    // (or removedHost itself) is being pinged.
    const QString pingedHost =
        removedHost == QLatin1String("127.0.0.1") ? "127.0.0.2" : removedHost;
    const std::int32_t removedId = ids[hosts.indexOf(removedHost)];
    bool removed = false;
    const auto removeOnce = [&] {
        if (!removed) {
            removed = true;
            Rows_->Remove(Rows_->RowOf(removedHost));
        }
    };
    if (when == QLatin1String("echo")) {
        Transport_->OnSend = [&](const TFakeEchoTransport::TSent& sent) {
            if (sent.Destination == Ipv4(pingedHost)) {
                removeOnce();
            }
        };
    } else {
        Sweep_->ShowStatus = [&](const QString& text) {
            Status_ << text;
            if (text == QStringLiteral("Looking up host ") + pingedHost) {
                removeOnce();
            }
        };
    }
    QSignalSpy finished(Sweep_.get(), &TPingSweep::Finished);
    Sweep_->PingAll();
    QVERIFY(finished.wait(5000));
    QVERIFY(removed);
    QCOMPARE(Status_.last(), QStringLiteral("Ping completed."));

    // Every server was pinged once, none skipped, and a removed row's reply
    // was written nowhere.
    QList<std::uint32_t> sent;
    for (const auto& request : Transport_->Sent) {
        sent << request.Destination;
    }
    QList<std::uint32_t> expectedSent;
    for (const QString& host : hosts) {
        expectedSent << Ipv4(host);
    }
    QCOMPARE(sent, expectedSent);
    QList<std::int32_t> expectedWrites = ids;
    if (removedHost != QLatin1String("127.0.0.1")) {
        expectedWrites.removeOne(removedId);
    }
    QCOMPARE(Rows_->PingWritesFor(), expectedWrites);
}

void TestPingSweep::newCommandReplacesRunningSweep()
{
    const QStringList hosts{"127.0.0.1", "127.0.0.2"};
    for (const QString& host : hosts) {
        Rows_->Add(host);
    }
    Build({});
    QSignalSpy finished(Sweep_.get(), &TPingSweep::Finished);
    // Both silent: the first sweep waits on its first echo when the second
    // command comes.
    Sweep_->PingAll();
    QTRY_COMPARE_WITH_TIMEOUT(Transport_->Sent.size(), 1, 5000);
    Sweep_->PingSelected(1);
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.count(), 1);
    QVERIFY(!Sweep_->Running());
    // Only the single ping's row shows a verdict.
    QCOMPARE(Rows_->Cells[0][int(TPingColumn::Ping)], QStringLiteral("77"));
    QCOMPARE(Rows_->Cells[1][int(TPingColumn::Name)], QStringLiteral("NO PING REPLY"));
}

void TestPingSweep::realEchoOnLoopback()
{
    Rows_->Add(QStringLiteral("127.0.0.1"));
    Sweep_ = std::make_unique<TPingSweep>(*Rows_, *Ping_);
    Sweep_->ShowStatus = [this](const QString& text) { Status_ << text; };
    if (!Ping_->Open()) {
        QSKIP(qPrintable(Ping_->ErrorText()));
    }
    QSignalSpy finished(Sweep_.get(), &TPingSweep::Finished);
    Sweep_->PingAll();
    QVERIFY(finished.wait(5000));
    QCOMPARE(Status_.last(), QStringLiteral("Ping completed."));
    bool number = false;
    const uint shown = Rows_->Cells[0][int(TPingColumn::Ping)].toUInt(&number);
    QVERIFY(number);
    QCOMPARE(Rows_->Servers[0]->Info.Ping, shown);
    QVERIFY(shown < TPing::DefaultTimeout);
}

QTEST_GUILESS_MAIN(TestPingSweep)
#include "tst_pingsweep.moc"
