#include "tools/frmremote.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkInterface>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

#include "browser/serverbrowser.h"
#include "core/dialogs.h"
#include "core/settings.h"

namespace {

QLineEdit* MakeEdit(QWidget* parent, const char* name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    return edit;
}

QTextEdit* MakeConsole(QWidget* parent, const char* name)
{
    auto* console = new QTextEdit(parent);
    console->setObjectName(QLatin1String(name));
    console->setAcceptRichText(false);
    console->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    console->setFont(QFont(QStringLiteral("Verdana")));
    return console;
}

QColor ToneColor(TConsoleTone tone)
{
    switch (tone) {
    case TConsoleTone::Note:
        return QColor(0, 0, 255);
    case TConsoleTone::Error:
        return QColor(128, 0, 0);
    case TConsoleTone::Output:
        break;
    }
    return QColor(0, 0, 0);
}

} // namespace

TfrmRemote::TfrmRemote(TServerBrowser& browser, TSettings& settings, TDialogs& dialogs)
    : QWidget(browser.BrowserWidget(), Qt::Window), Settings_(settings), Dialogs_(dialogs)
{
    setObjectName(QStringLiteral("frmRemote"));
    setWindowTitle(QStringLiteral("Remote console"));
    resize(717, 395);

    pcRemote = new QTabWidget(this);
    pcRemote->setObjectName(QStringLiteral("pcRemote"));

    // Half-Life page.
    auto* hlPage = new QWidget(pcRemote);
    hlPage->setObjectName(QStringLiteral("tsHLConsole"));
    auto* hlGroup = new QGroupBox(QStringLiteral("Half-life connection"), hlPage);
    editHLServer = MakeEdit(hlGroup, "editHLServer");
    editHLPassword = MakeEdit(hlGroup, "editHLPassword");
    editHLPassword->setEchoMode(QLineEdit::Password);
    sbNewHLID = new QPushButton(QStringLiteral("New HL ID"), hlGroup);
    sbNewHLID->setObjectName(QStringLiteral("sbNewHLID"));
    sbNewHLID->setToolTip(QStringLiteral(
        "Only use this function if you want to RCON to a new server after you've already "
        "received a HL ID. This will replace the old one with a new ID"));
    cbHLLog = new QCheckBox(QStringLiteral("Enable Log address feature"), hlGroup);
    cbHLLog->setObjectName(QStringLiteral("cbHLLog"));
    cbHLIPList = new QComboBox(hlGroup);
    cbHLIPList->setObjectName(QStringLiteral("cbHLIPList"));
    cbHLIPList->setEditable(false);
    cbHLIPList->setMinimumContentsLength(15);

    auto* hlGrid = new QGridLayout(hlGroup);
    const auto label = [](const QString& text, QWidget* buddy) {
        auto* made = new QLabel(text, buddy->parentWidget());
        made->setBuddy(buddy);
        return made;
    };
    hlGrid->addWidget(label(QStringLiteral("Server address"), editHLServer), 0, 0);
    hlGrid->addWidget(editHLServer, 0, 1);
    hlGrid->addWidget(label(QStringLiteral("Password"), editHLPassword), 0, 2);
    hlGrid->addWidget(editHLPassword, 0, 3);
    hlGrid->addWidget(sbNewHLID, 0, 4);
    hlGrid->addWidget(cbHLLog, 1, 0, 1, 2);
    hlGrid->addWidget(label(QStringLiteral("Send to this ip"), cbHLIPList), 1, 2);
    hlGrid->addWidget(cbHLIPList, 1, 3);
    hlGrid->setColumnStretch(1, 2);
    hlGrid->setColumnStretch(3, 1);

    reHLConsole = MakeConsole(hlPage, "reHLConsole");
    reHLConsole->setReadOnly(true);
    mHLInput = MakeEdit(hlPage, "mHLInput");
    mHLInput->setFont(QFont(QStringLiteral("Verdana")));
    auto* hlLayout = new QVBoxLayout(hlPage);
    hlLayout->addWidget(hlGroup);
    hlLayout->addWidget(reHLConsole, 1);
    hlLayout->addWidget(mHLInput);
    pcRemote->addTab(hlPage, QStringLiteral("Half-life console"));

    // Quake 3 page.
    auto* q3Page = new QWidget(pcRemote);
    q3Page->setObjectName(QStringLiteral("tsQ3Console"));
    auto* q3Group = new QGroupBox(QStringLiteral("Quake 3 connection"), q3Page);
    editQ3Server = MakeEdit(q3Group, "editQ3Server");
    editQ3Password = MakeEdit(q3Group, "editQ3Password");
    auto* q3Grid = new QGridLayout(q3Group);
    q3Grid->addWidget(label(QStringLiteral("Server name"), editQ3Server), 0, 0);
    q3Grid->addWidget(editQ3Server, 0, 1);
    q3Grid->addWidget(label(QStringLiteral("Password"), editQ3Password), 0, 2);
    q3Grid->addWidget(editQ3Password, 0, 3);
    q3Grid->setColumnStretch(1, 2);
    q3Grid->setColumnStretch(3, 1);
    reQ3Console = MakeConsole(q3Page, "reQ3Console");
    mQ3Input = MakeEdit(q3Page, "mQ3Input");
    auto* q3Layout = new QVBoxLayout(q3Page);
    q3Layout->addWidget(q3Group);
    q3Layout->addWidget(reQ3Console, 1);
    q3Layout->addWidget(mQ3Input);
    pcRemote->addTab(q3Page, QStringLiteral("Quake 3 console"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pcRemote);

    // The boxes are read at each command; the addresses are kept for the
    // next start as they are typed.
    const auto server = [this](TConsoleKind kind, const QString& text) {
        Console_.SetServer(kind, text);
        Settings_.Change([kind, &text](TSettingsValues& values) {
            (kind == TConsoleKind::HalfLife ? values.HLRCON : values.Q3RCON) = text;
        });
    };
    connect(editHLServer, &QLineEdit::textChanged, this,
            [server](const QString& text) { server(TConsoleKind::HalfLife, text); });
    connect(editQ3Server, &QLineEdit::textChanged, this,
            [server](const QString& text) { server(TConsoleKind::Quake3, text); });
    connect(editHLPassword, &QLineEdit::textChanged, this,
            [this](const QString& text) { Console_.SetPassword(TConsoleKind::HalfLife, text); });
    connect(editQ3Password, &QLineEdit::textChanged, this,
            [this](const QString& text) { Console_.SetPassword(TConsoleKind::Quake3, text); });

    const auto typed = [this](QLineEdit* input, TConsoleKind kind) {
        const QString text = input->text();
        if (text.isEmpty()) {
            return;
        }
        Console_.Type(kind, text);
        input->clear();
    };
    connect(mHLInput, &QLineEdit::returnPressed, this,
            [this, typed] { typed(mHLInput, TConsoleKind::HalfLife); });
    connect(mQ3Input, &QLineEdit::returnPressed, this,
            [this, typed] { typed(mQ3Input, TConsoleKind::Quake3); });
    connect(sbNewHLID, &QPushButton::clicked, &Console_, &TRemoteConsole::NewHLID);
    connect(cbHLLog, &QCheckBox::clicked, this, &TfrmRemote::LogTicked);

    connect(&Console_, &TRemoteConsole::Message, this, &TfrmRemote::ShowLine);
    Console_.Start();
}

void TfrmRemote::Open()
{
    show();
    raise();
    activateWindow();
}

void TfrmRemote::ShowLine(const QString& text, TConsoleTone tone)
{
    const bool halfLife = pcRemote->currentIndex() == 0;
    QTextEdit* console = halfLife ? reHLConsole : reQ3Console;

    // Inserted as plain text: what a server sends never becomes markup.
    QTextCharFormat format;
    format.setForeground(ToneColor(tone));
    format.setFont(QFont(QStringLiteral("Verdana")));
    QTextCursor cursor(console->document());
    cursor.movePosition(QTextCursor::End);
    if (!console->document()->isEmpty()) {
        cursor.insertBlock(QTextBlockFormat(), format);
    }
    cursor.insertText(text, format);
    console->setTextCursor(cursor);
    console->ensureCursorVisible();
    (halfLife ? mHLInput : mQ3Input)->setFocus();
}

void TfrmRemote::LogTicked(bool ticked)
{
    if (ticked) {
        if (cbHLIPList->count() == 0) {
            Dialogs_.Information(QStringLiteral("Remote console"),
                                 QStringLiteral("Unable to enable Log address feature. You have "
                                                "no IP addresses. See help for more info!"));
            return;
        }
        Console_.EnableLog(cbHLIPList->currentText());
    } else {
        Console_.DisableLog();
    }
}

void TfrmRemote::FillAddresses()
{
    // The machine's own IPv4 addresses, those other hosts can reach first.
    QStringList outward;
    QStringList loopback;
    for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol) {
            (address.isLoopback() ? loopback : outward).append(address.toString());
        }
    }
    cbHLIPList->clear();
    cbHLIPList->addItems(outward + loopback);
    cbHLIPList->setCurrentIndex(cbHLIPList->count() > 0 ? 0 : -1);
}

void TfrmRemote::showEvent(QShowEvent* event)
{
    if (!Placed_) {
        // The settings are read from the store when the main window first
        // shows, after this window was made.
        editHLServer->setText(Settings_->HLRCON);
        editQ3Server->setText(Settings_->Q3RCON);
        const QRect stored = Settings_->RemoteRect;
        const QScreen* screen =
            stored.isValid() ? QGuiApplication::screenAt(stored.center()) : nullptr;
        if (screen) {
            setGeometry(stored);
        } else if (stored.isValid()) {
            resize(stored.size());
        }
        Placed_ = true;
    }
    FillAddresses();
    QWidget::showEvent(event);
}

void TfrmRemote::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    RememberPlace();
}

void TfrmRemote::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    RememberPlace();
}

void TfrmRemote::RememberPlace()
{
    if (Placed_ && isVisible()) {
        Settings_.Change([this](TSettingsValues& values) { values.RemoteRect = geometry(); });
    }
}

void TfrmRemote::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}
