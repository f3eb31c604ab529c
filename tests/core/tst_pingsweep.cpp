#include <QHostAddress>
#include <QSignalSpy>
#include <QTest>

#include "core/pingsweep.h"
#include "fakeechotransport.h"
#include "model/genericserver.h"
#include "tempappfolder.h"

namespace {

std::uint32_t Ipv4(const QString& text)
{
    return QHostAddress(text).toIPv4Address();
}

// The server list as the sweep sees it: rows of records and their cells
// (name, map, players, ping), with the record each ping cell was written for.
class TFakeRows : public TPingRows
{
public:
    std::vector<std::unique_ptr<TGenericServer>> Servers;
    QList<QStringList> Cells;
    QList<std::int32_t> PingWrites;

    void Add(const QString& host)
    {
        auto server = TGenericServer::Create();
        server->Info.Host = host;
        server->Info.Ping = 77;
        server->Name = "Server";
        Cells.append({"Server", "q3dm17", "3/8", "77"});
        Servers.push_back(std::move(server));
    }
    void Remove(const QString& host)
    {
        for (int row = 0; row < RowCount(); ++row) {
            if (Servers[size_t(row)]->Info.Host == host) {
                Servers.erase(Servers.begin() + row);
                Cells.removeAt(row);
                return;
            }
        }
    }
    int RowCount() const override { return int(Servers.size()); }
    const TGenericServer* RowServer(int row) const override { return Servers[size_t(row)].get(); }
    int RowOfServer(std::int32_t id) const override
    {
        for (int row = 0; row < RowCount(); ++row) {
            if (Servers[size_t(row)]->Id == id) {
                return row;
            }
        }
        return -1;
    }
    void SetCellText(int row, TPingColumn column, const QString& text) override
    {
        Cells[row][int(column)] = text;
        if (column == TPingColumn::Ping) {
            PingWrites << Servers[size_t(row)]->Id;
        }
    }
    void SetRoundTrip(int row, std::uint32_t milliseconds) override
    {
        Servers[size_t(row)]->Info.Ping = milliseconds;
        SetCellText(row, TPingColumn::Ping, QString::number(milliseconds));
    }
};

} // namespace

class TestPingSweep : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void sweepTextsAndCells();
    void abortEndsAfterTheCurrentServer();
    void singleRowEndsSilently();
    void rowsRemovedMeanwhile_data();
    void rowsRemovedMeanwhile();

private:
    // Rows for Hosts and a sweep through a transport that answers Answering.
    void Build(const QStringList& hosts, const QStringList& answering);

    std::unique_ptr<TTempAppFolder> Folder_;
    std::unique_ptr<TFakeRows> Rows_;
    std::unique_ptr<TPing> Ping_;
    TFakeEchoTransport* Transport_ = nullptr;
    std::unique_ptr<TPingSweep> Sweep_;
    std::unique_ptr<QSignalSpy> Finished_;
    QStringList Status_;
};

void TestPingSweep::init()
{
    Sweep_.reset();
    Folder_ = std::make_unique<TTempAppFolder>();
}

void TestPingSweep::Build(const QStringList& hosts, const QStringList& answering)
{
    Rows_ = std::make_unique<TFakeRows>();
    for (const QString& host : hosts) {
        Rows_->Add(host);
    }
    auto transport = std::make_unique<TFakeEchoTransport>();
    for (const QString& host : answering) {
        transport->Answering.insert(Ipv4(host));
    }
    Transport_ = transport.get();
    Ping_ = std::make_unique<TPing>();
    Ping_->SetTransport(std::move(transport));
    Ping_->SetTimeout(100);
    Sweep_ = std::make_unique<TPingSweep>(*Rows_, *Ping_);
    Finished_ = std::make_unique<QSignalSpy>(Sweep_.get(), &TPingSweep::Finished);
    Status_.clear();
    Sweep_->ShowStatus = [this](const QString& text) { Status_ << text; };
}

void TestPingSweep::sweepTextsAndCells()
{
    Build({}, {});
    Sweep_->PingAll(); // an empty list: nothing at all
    QVERIFY(!Sweep_->Running());
    QVERIFY(Status_.isEmpty());

    Build({"127.0.0.1", "no such host", "127.0.0.3"}, {"127.0.0.1"});
    Sweep_->PingAll();
    QVERIFY(Finished_->wait(5000));
    QCOMPARE(Status_, (QStringList{
                          "Looking up host 127.0.0.1",
                          "Found hostname for 127.0.0.1. Sending ping...",
                          "Looking up host no such host",
                          "Unable to resolve no such host.",
                          "Looking up host 127.0.0.3",
                          "Found hostname for 127.0.0.3. Sending ping...",
                          "Ping completed.",
                      }));
    const std::uint32_t roundTrip = Ping_->Reply().RoundTripTime;
    QCOMPARE(Rows_->Cells[0], (QStringList{"Server", "q3dm17", "3/8", QString::number(roundTrip)}));
    QCOMPARE(Rows_->Servers[0]->Info.Ping, roundTrip);
    QCOMPARE(Rows_->Cells[1], (QStringList{"Server", "q3dm17", "3/8", "77"}));
    // No reply shows in the row; the record keeps what the game query found.
    QCOMPARE(Rows_->Cells[2], (QStringList{"NO PING REPLY", "---", "---", "---"}));
    QCOMPARE(Rows_->Servers[2]->Name, QByteArray("Server"));
    QCOMPARE(Rows_->Servers[2]->Info.Ping, 77u);
}

void TestPingSweep::abortEndsAfterTheCurrentServer()
{
    const QStringList hosts{"127.0.0.1", "127.0.0.2", "127.0.0.3"};
    Build(hosts, hosts);
    // The abort comes while the second server's echo is awaited.
    Transport_->OnSend = [this](const TFakeEchoTransport::TSent& sent) {
        if (sent.Destination == Ipv4("127.0.0.2")) {
            Sweep_->AbortPing();
        }
    };
    Sweep_->PingAll();
    QVERIFY(Finished_->wait(5000));
    QCOMPARE(Status_.last(), QStringLiteral("Ping stopped."));
    QCOMPARE(Rows_->PingWrites, (QList{Rows_->Servers[0]->Id, Rows_->Servers[1]->Id}));

    // The next sweep starts over from the first row and runs to the end.
    Transport_->OnSend = nullptr;
    Status_.clear();
    Sweep_->PingAll();
    QVERIFY(Finished_->wait(5000));
    QCOMPARE(Status_.first(), QStringLiteral("Looking up host 127.0.0.1"));
    QCOMPARE(Status_.last(), QStringLiteral("Ping completed."));
    QCOMPARE(Rows_->PingWrites.size(), 5);
}

void TestPingSweep::singleRowEndsSilently()
{
    const QStringList hosts{"127.0.0.1", "127.0.0.2", "127.0.0.3"};
    Build(hosts, hosts);
    Sweep_->PingSelected(1);
    QVERIFY(Finished_->wait(5000));
    QCOMPARE(Status_, (QStringList{"Looking up host 127.0.0.2",
                                   "Found hostname for 127.0.0.2. Sending ping..."}));
    QCOMPARE(Rows_->PingWrites, QList{Rows_->Servers[1]->Id});
}

void TestPingSweep::rowsRemovedMeanwhile_data()
{
    QTest::addColumn<QString>("when");    // while the pinged host's echo or lookup runs
    QTest::addColumn<QString>("pinged");  // the host being pinged then
    QTest::addColumn<QString>("removed"); // the host whose row goes

    QTest::newRow("the pinged row, during its echo") << "echo"
                                                     << "127.0.0.2"
                                                     << "127.0.0.2";
    QTest::newRow("the pinged row, during its lookup") << "lookup"
                                                       << "127.0.0.2"
                                                       << "127.0.0.2";
    QTest::newRow("a row before the pinged one") << "echo"
                                                 << "127.0.0.2"
                                                 << "127.0.0.1";
    QTest::newRow("the last row, during its echo") << "echo"
                                                   << "127.0.0.4"
                                                   << "127.0.0.4";
}

void TestPingSweep::rowsRemovedMeanwhile()
{
    QFETCH(QString, when);
    QFETCH(QString, pinged);
    QFETCH(QString, removed);

    const QStringList hosts{"127.0.0.1", "127.0.0.2", "127.0.0.3", "127.0.0.4"};
    Build(hosts, hosts);
    QList<std::int32_t> expectedWrites;
    for (const auto& server : Rows_->Servers) {
        if (server->Info.Host != removed || removed != pinged) {
            expectedWrites << server->Id;
        }
    }
    if (when == QLatin1String("echo")) {
        Transport_->OnSend = [&](const TFakeEchoTransport::TSent& sent) {
            if (sent.Destination == Ipv4(pinged)) {
                Rows_->Remove(removed);
            }
        };
    } else {
        Sweep_->ShowStatus = [&](const QString& text) {
            Status_ << text;
            if (text == QStringLiteral("Looking up host ") + pinged) {
                Rows_->Remove(removed);
            }
        };
    }
    Sweep_->PingAll();
    QVERIFY(Finished_->wait(5000));
    QCOMPARE(Status_.last(), QStringLiteral("Ping completed."));
    // Every server was pinged once, none skipped, and the removed row's
    // result was written nowhere.
    QCOMPARE(Transport_->Sent.size(), hosts.size());
    QCOMPARE(Rows_->PingWrites, expectedWrites);
}

QTEST_GUILESS_MAIN(TestPingSweep)
#include "tst_pingsweep.moc"
