#include "tools/frmadd.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "browser/serverbrowser.h"
#include "core/addfind.h"
#include "core/dialogs.h"
#include "core/settings.h"

namespace {

const QString kTitle = QStringLiteral("Morvix");

} // namespace

const QString TfrmAdd::HelpText =
    QStringLiteral("To add a new server, you need to know 3 things, the address, the port\r\n"
                   "and the game name. If you don't know which port, you may use one of\r\n"
                   "standard ports, each game has a unique standard port. By selecting\r\n"
                   "a game in the combo box will give you the standard port of that game\r\n"
                   "in the spin edit box.\r\n"
                   "\r\n"
                   "Some server admins however, choose to setup their servers at a non-standard\r\n"
                   "port, and then you will have to know it. When it comes to game type, you\r\n"
                   "simply just have to know which game. A note on mods, if you for example \r\n"
                   "want to add a Counter-Strike server, choose Half-life because CS uses that\r\n"
                   "engine.");

TfrmAdd::TfrmAdd(TServerBrowser& list, TSettings& settings, TDialogs& dialogs)
    : QWidget(list.BrowserWidget(), Qt::Tool), List_(list), Settings_(settings), Dialogs_(dialogs)
{
    setObjectName(QStringLiteral("frmAdd"));
    setWindowTitle(QStringLiteral("Morvix - Manual add"));

    pcAdd = new QTabWidget(this);
    pcAdd->setObjectName(QStringLiteral("pcAdd"));
    tsNew = new QWidget(pcAdd);
    tsNew->setObjectName(QStringLiteral("tsNew"));
    pcAdd->addTab(tsNew, QStringLiteral("New server"));

    cbGameType = new QComboBox(tsNew);
    cbGameType->setObjectName(QStringLiteral("cbGameType"));
    for (const TAddGameType& game : AddGameTypes()) {
        cbGameType->addItem(QLatin1String(game.Caption));
    }
    cbGameType->setCurrentIndex(-1);
    editHostname = new QLineEdit(tsNew);
    editHostname->setObjectName(QStringLiteral("editHostname"));
    editHostname->setMinimumWidth(220);
    sePort = new QSpinBox(tsNew);
    sePort->setObjectName(QStringLiteral("sePort"));
    sePort->setRange(1, 65535);
    sePort->setValue(27500);
    lblInfo = new QLabel(QStringLiteral("(For help on ports, please press the Help button below.)"),
                         tsNew);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));

    auto* gameLabel = new QLabel(QStringLiteral("Game type:"), tsNew);
    gameLabel->setBuddy(cbGameType);
    auto* addressLabel = new QLabel(QStringLiteral("Address"), tsNew);
    addressLabel->setBuddy(editHostname);
    auto* page = new QGridLayout(tsNew);
    page->addWidget(gameLabel, 0, 0);
    page->addWidget(cbGameType, 0, 1, 1, 2);
    page->addWidget(addressLabel, 1, 0);
    page->addWidget(editHostname, 1, 1);
    page->addWidget(sePort, 1, 2);
    page->addWidget(lblInfo, 2, 0, 1, 3);
    page->setColumnStretch(1, 1);

    sbHelp = new QPushButton(QStringLiteral("Help!"), this);
    sbHelp->setObjectName(QStringLiteral("sbHelp"));
    sbCancel = new QPushButton(QStringLiteral("<< Cancel"), this);
    sbCancel->setObjectName(QStringLiteral("sbCancel"));
    sbOK = new QPushButton(QStringLiteral("&Add >>"), this);
    sbOK->setObjectName(QStringLiteral("sbOK"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(sbHelp);
    buttons->addStretch(1);
    buttons->addWidget(sbCancel);
    buttons->addWidget(sbOK);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pcAdd);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(cbGameType, &QComboBox::activated, this, &TfrmAdd::ChooseGameType);
    connect(editHostname, &QLineEdit::returnPressed, this, &TfrmAdd::AddServer);
    connect(sbOK, &QPushButton::clicked, this, &TfrmAdd::AddServer);
    connect(sbCancel, &QPushButton::clicked, this, &QWidget::close);
    connect(sbHelp, &QPushButton::clicked, this, &TfrmAdd::ShowHelp);

    ApplyDefaultGameType();
    connect(&Settings_, &TSettings::Changed, this, &TfrmAdd::ApplyDefaultGameType);
}

void TfrmAdd::Open()
{
    editHostname->clear();
    show();
    raise();
    activateWindow();
    editHostname->setFocus();
}

void TfrmAdd::ChooseGameType(int index)
{
    sePort->setValue(StandardPort(index));
    Settings_.Change([index](TSettingsValues& values) { values.DefaultGameType = index; });
}

void TfrmAdd::ApplyDefaultGameType()
{
    // The stored choice, when the settings bring one that the list does not
    // show yet (at start-up).
    const int index = Settings_->DefaultGameType;
    if (cbGameType->currentIndex() == index) {
        return;
    }
    cbGameType->setCurrentIndex(index);
    if (index >= 0) {
        sePort->setValue(StandardPort(index));
    }
}

void TfrmAdd::AddServer()
{
    if (editHostname->text().trimmed().isEmpty()) {
        Dialogs_.Warning(kTitle, QStringLiteral("Hostname may not be empty."));
        return;
    }
    const TManualAddress address = ReadManualAddress(editHostname->text(), sePort->value());
    if (!IsValidPort(address.Port)) {
        Dialogs_.Warning(kTitle, QStringLiteral("Server port must be in a valid range (1-65535)."));
        return;
    }
    const int index = cbGameType->currentIndex();
    if (index < 0) {
        Dialogs_.Warning(kTitle, QStringLiteral("No game type selected. No game added."));
    } else {
        List_.AddServer(address.Host, address.Port, AddGameTypes()[index].Game);
    }
    close();
}

void TfrmAdd::ShowHelp()
{
    Dialogs_.Information(kTitle, HelpText);
}

void TfrmAdd::keyPressEvent(QKeyEvent* event)
{
    // Escape anywhere in the window, as in a dialog; the boxes pass it on.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
