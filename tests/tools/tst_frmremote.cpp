#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QUdpSocket>

#include <algorithm>
#include <memory>

#include "browser/frmserverlist.h"
#include "fakeudpserver.h"
#include "simulator.h"
#include "tools/frmremote.h"
#include "windowfixture.h"

namespace {

const QByteArray kOob("\xFF\xFF\xFF\xFF");
const QColor kBlack(0, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kMaroon(128, 0, 0);

// A simulated server of Game with the console password "pw".
std::unique_ptr<TSimulator> Simulated(TGameType game)
{
    TSimConfig config;
    config.Servers = {{game, 1}};
    config.ServerOptions.RconPassword = "pw";
    auto simulator = std::make_unique<TSimulator>(config);
    QString error;
    if (!simulator->Start(error)) {
        qFatal("simulator: %s", qPrintable(error));
    }
    return simulator;
}

// The lines of a console as they are painted: text and colour of each
// block, and whether any part of it is a link or bold.
struct TShownLine
{
    QString Text;
    QColor Color;
    bool Formatted = false;
};

QList<TShownLine> Shown(const QTextEdit* console)
{
    QList<TShownLine> lines;
    for (QTextBlock block = console->document()->begin(); block.isValid(); block = block.next()) {
        TShownLine line{block.text(), QColor(), false};
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            line.Color = format.foreground().color();
            line.Formatted = line.Formatted || format.isAnchor() ||
                             format.fontWeight() > QFont::Normal || format.fontUnderline();
        }
        lines.append(line);
    }
    return lines;
}

} // namespace

class TestFrmRemote : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opensWithItsControls();
    void quake3StatusTypedAndShown();
    void linesKeepTheirColourAsPlainText_data();
    void linesKeepTheirColourAsPlainText();
    void answerGoesToThePageShown();
    void newIdAndLogFeature();
    void addressesAndPlaceKeptPasswordsNot();
    void takenPortSaidOnce();

private:
    template <typename T> T* Get(const char* name) const
    {
        T* found = Remote_->findChild<T*>(QLatin1String(name));
        if (!found) {
            qFatal("no control %s", name);
        }
        return found;
    }
    // Opens the window with empty consoles: a test running beside another
    // program that holds port 2000 starts with the console's note about it.
    void Open(bool keepLines = false)
    {
        Window_->findChild<QAction*>(QStringLiteral("miOtherRemote"))->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(Remote_));
        if (!keepLines) {
            Get<QTextEdit>("reHLConsole")->clear();
            Get<QTextEdit>("reQ3Console")->clear();
        }
    }
    void Aim(const char* server, const char* password, std::uint16_t port)
    {
        Get<QLineEdit>(server)->setText(QStringLiteral("127.0.0.1:%1").arg(port));
        Get<QLineEdit>(password)->setText(QStringLiteral("pw"));
    }
    void Type(const char* input, const QString& text)
    {
        auto* edit = Get<QLineEdit>(input);
        edit->setText(text);
        QTest::keyClick(edit, Qt::Key_Return);
    }

    std::unique_ptr<TWindowFixture> X_;
    TfrmServerList* Window_ = nullptr;
    TfrmRemote* Remote_ = nullptr;
};

void TestFrmRemote::init()
{
    X_ = std::make_unique<TWindowFixture>();
    QVERIFY(X_->Show());
    Window_ = &X_->Main();
    Remote_ = X_->Windows.Remote;
    QVERIFY(Remote_);
}

void TestFrmRemote::cleanup()
{
    X_.reset();
}

void TestFrmRemote::opensWithItsControls()
{
    QVERIFY(!Remote_->isVisible());
    Open();
    QCOMPARE(Get<QLineEdit>("editHLPassword")->echoMode(), QLineEdit::Password);
    QVERIFY(Get<QTextEdit>("reHLConsole")->isReadOnly());
    // The machine's own addresses, the first selected; loopback is one.
    auto* addresses = Get<QComboBox>("cbHLIPList");
    QVERIFY(addresses->findText(QStringLiteral("127.0.0.1")) >= 0);
    QCOMPARE(addresses->currentIndex(), 0);
    QTest::keyClick(Remote_, Qt::Key_Escape);
    QVERIFY(!Remote_->isVisible());
}

void TestFrmRemote::quake3StatusTypedAndShown()
{
    const auto simulator = Simulated(gtQuake3);
    const TSimServer& server = *simulator->Servers().first();
    Open();
    Get<QTabWidget>("pcRemote")->setCurrentIndex(1);
    Aim("editQ3Server", "editQ3Password", server.Port());
    Type("mQ3Input", QStringLiteral("status"));
    QVERIFY(Get<QLineEdit>("mQ3Input")->text().isEmpty());

    auto* console = Get<QTextEdit>("reQ3Console");
    QTRY_COMPARE(console->document()->blockCount(), 4);
    const QList<TShownLine> lines = Shown(console);
    QCOMPARE(lines[0].Text, "<You> status");
    QCOMPARE(lines[1].Text, QStringLiteral("<127.0.0.1:%1> hostname: ").arg(server.Port()) +
                                server.State().PlainName());
    QVERIFY(std::all_of(lines.cbegin(), lines.cend(),
                        [](const TShownLine& line) { return line.Color == kBlack; }));
    QVERIFY(Get<QTextEdit>("reHLConsole")->toPlainText().isEmpty());
    // The caret is at the end and the input box has the focus again.
    QCOMPARE(console->textCursor().position(), console->document()->characterCount() - 1);
    QCOMPARE(QApplication::focusWidget(), Get<QLineEdit>("mQ3Input"));
}

void TestFrmRemote::linesKeepTheirColourAsPlainText_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QByteArray>("reply"); // empty: no server answers
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QList<QColor>>("colors");

    const QString markup =
        QStringLiteral("<b>bold</b> <a href=\"http://x\">link</a> &amp; <u>u</u>");
    QTest::newRow("markup from a server is text")
        << "127.0.0.1:%1" << kOob + "lrcon: " + markup.toLatin1() + "\n"
        << QStringList{"No cached Challenge ID found, requesting new..", "<You> users",
                       "<127.0.0.1:%1> rcon: " + markup,
                       "No cached Challenge ID found, requesting new.."}
        << QList<QColor>{kBlue, kBlack, kBlack, kBlue};
    QTest::newRow("challenge note") << "127.0.0.1:%1" << kOob + "challenge rcon 4242\n"
                                    << QStringList{"No cached Challenge ID found, requesting new..",
                                                   "<You> users", "Received Challenge ID (4242)."}
                                    << QList<QColor>{kBlue, kBlack, kBlue};
    QTest::newRow("invalid port")
        << "127.0.0.1:70000" << QByteArray()
        << QStringList{"No cached Challenge ID found, requesting new..",
                       "Unable to send request. Invalid hostname or port.", "<You> users"}
        << QList<QColor>{kBlue, kMaroon, kBlack};
}

void TestFrmRemote::linesKeepTheirColourAsPlainText()
{
    QFETCH(QString, box);
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, lines);
    QFETCH(QList<QColor>, colors);

    // The server answers the first request only.
    TFakeUdpServer server;
    server.SetResponder([&server, reply](const QByteArray&) {
        return server.RequestCount() == 1 && !reply.isEmpty() ? QList<QByteArray>{reply}
                                                              : QList<QByteArray>{};
    });
    Open();
    Get<QLineEdit>("editHLServer")
        ->setText(QString(box).replace("%1", QString::number(server.Port())));
    Type("mHLInput", QStringLiteral("users"));
    auto* console = Get<QTextEdit>("reHLConsole");
    QTRY_COMPARE(console->document()->blockCount(), lines.size());
    const QList<TShownLine> shown = Shown(console);
    for (int i = 0; i < lines.size(); ++i) {
        QCOMPARE(shown[i].Text, QString(lines[i]).replace("%1", QString::number(server.Port())));
        QCOMPARE(shown[i].Color, colors[i]);
        QVERIFY(!shown[i].Formatted);
    }
}

void TestFrmRemote::answerGoesToThePageShown()
{
    const auto simulator = Simulated(gtHalfLife);
    const std::uint16_t port = simulator->Servers().first()->Port();
    Open();
    Aim("editHLServer", "editHLPassword", port);
    Type("mHLInput", QStringLiteral("say hello"));
    // The user moves on to the other page before the server answers.
    Get<QTabWidget>("pcRemote")->setCurrentIndex(1);
    auto* q3 = Get<QTextEdit>("reQ3Console");
    QTRY_VERIFY(
        q3->toPlainText().endsWith(QStringLiteral("<127.0.0.1:%1> Console: hello").arg(port)));
    QVERIFY(q3->toPlainText().startsWith("Received Challenge ID ("));
    QCOMPARE(Get<QTextEdit>("reHLConsole")->toPlainText(),
             "No cached Challenge ID found, requesting new..\n<You> say hello");
}

void TestFrmRemote::newIdAndLogFeature()
{
    const auto simulator = Simulated(gtHalfLife);
    const std::uint16_t port = simulator->Servers().first()->Port();
    Open();
    Aim("editHLServer", "editHLPassword", port);
    auto* addresses = Get<QComboBox>("cbHLIPList");
    addresses->setCurrentIndex(addresses->findText(QStringLiteral("127.0.0.1")));
    auto* log = Get<QCheckBox>("cbHLLog");
    log->click();
    QVERIFY(Remote_->Console().LogEnabled());
    auto* console = Get<QTextEdit>("reHLConsole");
    QTRY_VERIFY(console->toPlainText().contains(
        QStringLiteral("logaddress:  127.0.0.1:%1").arg(Remote_->Console().LocalPort())));
    log->click();
    QVERIFY(!Remote_->Console().LogEnabled());

    Get<QPushButton>("sbNewHLID")->click();
    QVERIFY(Remote_->Console().CachedChallenge().isEmpty());
    QCOMPARE(Shown(console).last().Color, kBlue);
}

void TestFrmRemote::addressesAndPlaceKeptPasswordsNot()
{
    Open();
    Get<QLineEdit>("editHLServer")->setText(QStringLiteral("hl.example.org:27016"));
    Get<QLineEdit>("editHLPassword")->setText(QStringLiteral("hlsecretword"));
    Get<QLineEdit>("editQ3Server")->setText(QStringLiteral("10.1.2.3"));
    Get<QLineEdit>("editQ3Password")->setText(QStringLiteral("q3secretword"));
    const QRect place(QPoint(40, 50), QSize(800, 450));
    Remote_->setGeometry(place);
    QTRY_COMPARE(X_->Settings->RemoteRect, Remote_->geometry());
    const QRect kept = Remote_->geometry();
    QVERIFY(Window_->close());

    QFile stored(X_->Store->Path());
    QVERIFY(stored.open(QIODevice::ReadOnly));
    const QByteArray text = stored.readAll();
    QVERIFY(text.contains("hl.example.org:27016"));
    QVERIFY(!text.contains("secretword"));

    Window_ = &X_->Restart();
    Remote_ = X_->Windows.Remote;
    QVERIFY(X_->Show());
    Open();
    QCOMPARE(Get<QLineEdit>("editHLServer")->text(), "hl.example.org:27016");
    QCOMPARE(Get<QLineEdit>("editQ3Server")->text(), "10.1.2.3");
    QVERIFY(Get<QLineEdit>("editHLPassword")->text().isEmpty());
    QVERIFY(Get<QLineEdit>("editQ3Password")->text().isEmpty());
    QCOMPARE(Remote_->geometry(), kept);
}

void TestFrmRemote::takenPortSaidOnce()
{
    // Another program has the log port before the program starts.
    X_.reset();
    QUdpSocket holder;
    const bool held = holder.bind(QHostAddress::AnyIPv4, TRemoteConsole::LogPort);
    QUdpSocket probe;
    if (!held && probe.bind(QHostAddress::AnyIPv4, TRemoteConsole::LogPort)) {
        QSKIP("port 2000 could not be held for the test");
    }
    probe.close();
    init();

    Open(true);
    auto* console = Get<QTextEdit>("reHLConsole");
    const QList<TShownLine> lines = Shown(console);
    QCOMPARE(lines.size(), 1);
    QVERIFY(lines[0].Text.startsWith("Local UDP port 2000 is not free"));
    QVERIFY(lines[0].Text.contains(QString::number(Remote_->Console().LocalPort())));
    QCOMPARE(lines[0].Color, kBlue);
    QVERIFY(Remote_->Console().IsListening());
}

QTEST_MAIN(TestFrmRemote)
#include "tst_frmremote.moc"
