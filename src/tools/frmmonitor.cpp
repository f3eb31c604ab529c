#include "tools/frmmonitor.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSoundEffect>
#include <QSpinBox>
#include <QUrl>
#include <QVBoxLayout>

#include <limits>

#include "browser/serverbrowser.h"
#include "core/addfind.h"
#include "core/dialogs.h"
#include "core/servermonitor.h"

TfrmMonitor::TfrmMonitor(TServerBrowser& browser, TDialogs& dialogs)
    : QDialog(browser.BrowserWidget()), Browser_(browser), Dialogs_(dialogs)
{
    setObjectName(QStringLiteral("frmMonitor"));
    setWindowTitle(QStringLiteral("Server monitor"));
    Monitor_ = new TServerMonitor(dialogs, this);
    Monitor_->PlaySound = [this](const QString& file) { PlaySound(file); };

    const auto named = [](QWidget* widget, const char* name) {
        widget->setObjectName(QLatin1String(name));
        return widget;
    };
    const auto check = [this, &named](const char* name, const QString& text) {
        return static_cast<QCheckBox*>(named(new QCheckBox(text, this), name));
    };
    const auto unbounded = [this, &named](const char* name) {
        auto* box = static_cast<QSpinBox*>(named(new QSpinBox(this), name));
        box->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
        box->setValue(0);
        return box;
    };

    editServerAddress = static_cast<QLineEdit*>(named(new QLineEdit(this), "editServerAddress"));
    editServerAddress->setMinimumWidth(200);
    cbGameType = static_cast<QComboBox*>(named(new QComboBox(this), "cbGameType"));
    for (const TAddGameType& game : AddGameTypes()) {
        cbGameType->addItem(QLatin1String(game.Caption));
    }
    seUpdate = static_cast<QSpinBox*>(named(new QSpinBox(this), "seUpdate"));
    seUpdate->setRange(100, 99999);
    seUpdate->setValue(1000);
    cbTray = check("cbTray", QStringLiteral("Minimize to tray while monitor program is running"));

    lblAlertMe = static_cast<QLabel*>(
        named(new QLabel(QStringLiteral("Alert me when .."), this), "lblAlertMe"));
    const auto radio = [this, &named](const char* name, const QString& text) {
        return static_cast<QRadioButton*>(named(new QRadioButton(text, this), name));
    };
    rbMapChange = radio("rbMapChange", QStringLiteral("map changes"));
    rbNotFull = radio("rbNotFull", QStringLiteral("an empty player spots opens up"));
    rbCondition = radio("rbCondition", QStringLiteral("server matches my conditions"));
    rbNotFull->setChecked(true);
    cbMap = check("cbMap", QStringLiteral("Map pattern"));
    editMapPattern = static_cast<QLineEdit*>(named(new QLineEdit(this), "editMapPattern"));
    auto* wildcardNote = new QLabel(QStringLiteral("(* and ? may be used as wildcards)"), this);
    cbPlayercount = check("cbPlayercount", QStringLiteral("Playercount is"));
    cbMoreThan = check("cbMoreThan", QStringLiteral("more than"));
    seMoreThan = unbounded("seMoreThan");
    cbLessThan = check("cbLessThan", QStringLiteral("less than"));
    seLessThan = unbounded("seLessThan");

    lblAlertWith = static_cast<QLabel*>(
        named(new QLabel(QStringLiteral("Alert method"), this), "lblAlertWith"));
    cbShowmessage = check("cbShowmessage", QStringLiteral("Display a message"));
    cbPlaySound = check("cbPlaySound", QStringLiteral("Play a sound"));
    editWAV = static_cast<QLineEdit*>(named(new QLineEdit(this), "editWAV"));
    sbWaveBrowse = static_cast<QPushButton*>(
        named(new QPushButton(QStringLiteral("..."), this), "sbWaveBrowse"));
    sbWaveBrowse->setFixedWidth(32);
    cbJoinGame = check("cbJoinGame", QStringLiteral("Launch and join game"));

    sbStatus = static_cast<QProgressBar*>(named(new QProgressBar(this), "sbStatus"));
    sbStatus->setRange(0, 5);
    sbStatus->setValue(0);
    sbStatus->setTextVisible(false);
    sbBack = static_cast<QPushButton*>(
        named(new QPushButton(QStringLiteral("<< &Cancel"), this), "sbBack"));
    sbAbort =
        static_cast<QPushButton*>(named(new QPushButton(QStringLiteral("Stop!"), this), "sbAbort"));
    sbOK = static_cast<QPushButton*>(
        named(new QPushButton(QStringLiteral("&Enter Monitor mode >>"), this), "sbOK"));
    sbOK->setAutoDefault(false);
    sbBack->setAutoDefault(false);
    sbAbort->setAutoDefault(false);

    auto* conditions = new QButtonGroup(this);
    conditions->addButton(rbMapChange);
    conditions->addButton(rbNotFull);
    conditions->addButton(rbCondition);

    // Layout: the server, the timer and tray; what to wait for; how to alert;
    // the heartbeat and the buttons.
    auto* server = new QGridLayout;
    auto* serverLabel = new QLabel(QStringLiteral("Server"), this);
    serverLabel->setBuddy(editServerAddress);
    server->addWidget(serverLabel, 0, 0);
    server->addWidget(editServerAddress, 0, 1);
    server->addWidget(cbGameType, 0, 2);
    auto* updateLabel = new QLabel(QStringLiteral("Update cycle (in milliseconds)"), this);
    updateLabel->setBuddy(seUpdate);
    server->addWidget(updateLabel, 1, 0, 1, 2);
    server->addWidget(seUpdate, 1, 2);
    server->addWidget(cbTray, 2, 0, 1, 3);

    auto* when = new QGridLayout;
    when->addWidget(lblAlertMe, 0, 0, 1, 4);
    when->addWidget(rbMapChange, 1, 0, 1, 4);
    when->addWidget(rbNotFull, 2, 0, 1, 4);
    when->addWidget(rbCondition, 3, 0, 1, 4);
    when->addWidget(cbMap, 4, 1);
    when->addWidget(editMapPattern, 4, 2, 1, 2);
    when->addWidget(wildcardNote, 5, 2, 1, 2);
    when->addWidget(cbPlayercount, 6, 1);
    when->addWidget(cbMoreThan, 6, 2);
    when->addWidget(seMoreThan, 6, 3);
    when->addWidget(cbLessThan, 7, 2);
    when->addWidget(seLessThan, 7, 3);
    when->setColumnMinimumWidth(0, 16);

    auto* how = new QGridLayout;
    how->addWidget(lblAlertWith, 0, 0, 1, 3);
    how->addWidget(cbShowmessage, 1, 0, 1, 3);
    how->addWidget(cbPlaySound, 2, 0);
    how->addWidget(editWAV, 2, 1);
    how->addWidget(sbWaveBrowse, 2, 2);
    how->addWidget(cbJoinGame, 3, 0, 1, 3);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(sbBack);
    buttons->addStretch();
    buttons->addWidget(sbAbort);
    buttons->addWidget(sbOK);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(server);
    layout->addLayout(when);
    layout->addLayout(how);
    layout->addWidget(sbStatus);
    layout->addLayout(buttons);

    for (QRadioButton* button : {rbMapChange, rbNotFull, rbCondition}) {
        connect(button, &QRadioButton::toggled, this, [this](bool on) {
            if (on) {
                ConditionChosen();
            }
        });
    }
    ConditionChosen();
    connect(sbWaveBrowse, &QPushButton::clicked, this, &TfrmMonitor::BrowseSound);
    connect(sbOK, &QPushButton::clicked, this, &TfrmMonitor::EnterMonitorMode);
    connect(sbAbort, &QPushButton::clicked, this, &TfrmMonitor::StopMonitor);
    connect(sbBack, &QPushButton::clicked, this, &TfrmMonitor::CancelMonitor);
    connect(Monitor_, &TServerMonitor::HeartbeatChanged, sbStatus, &QProgressBar::setValue);
    connect(Monitor_, &TServerMonitor::WatchingChanged, this,
            [this](bool watching) { SetSettingsEnabled(!watching); });
}

TfrmMonitor::~TfrmMonitor() = default;

void TfrmMonitor::SetJoinGame(std::function<void(const TGenericServer&)> join)
{
    Monitor_->JoinGame = std::move(join);
}

void TfrmMonitor::Monitor(const QString& host, int port, bool locked, TGameType game)
{
    const auto games = AddGameTypes();
    for (int index = 0; index < int(games.size()); ++index) {
        if (games[index].Game == game) {
            cbGameType->setCurrentIndex(index);
        }
    }
    Monitor_->SetServer(host, port, game);
    if (host.isEmpty()) {
        return;
    }
    editServerAddress->setText(host + u':' + QString::number(port));
    editServerAddress->setEnabled(!locked);
    cbGameType->setEnabled(!locked);
    // Modal to the program without an event loop of its own.
    setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
}

void TfrmMonitor::MonitorSelected()
{
    const QList<int> rows = Browser_.SelectedRows();
    const TGenericServer* server = rows.isEmpty() ? nullptr : Browser_.Server(rows.front());
    if (server) {
        Monitor(server->Info.Host, server->Info.Port, true, server->GameType);
    }
}

void TfrmMonitor::ConditionChosen()
{
    const bool own = rbCondition->isChecked();
    for (QWidget* control :
         std::initializer_list<QWidget*>{cbMap, editMapPattern, cbPlayercount, cbMoreThan,
                                         seMoreThan, cbLessThan, seLessThan}) {
        control->setEnabled(own);
    }
}

void TfrmMonitor::SetSettingsEnabled(bool enabled)
{
    for (QWidget* control :
         std::initializer_list<QWidget*>{seUpdate, sbOK, rbMapChange, rbNotFull, rbCondition}) {
        control->setEnabled(enabled);
    }
    if (enabled) {
        // The conditions of one's own are open only while they count.
        ConditionChosen();
    } else {
        for (QWidget* control :
             std::initializer_list<QWidget*>{cbMap, editMapPattern, cbPlayercount, cbMoreThan,
                                             seMoreThan, cbLessThan, seLessThan}) {
            control->setEnabled(false);
        }
    }
}

void TfrmMonitor::EnterMonitorMode()
{
    if (editServerAddress->isEnabled()) {
        // An address typed here: "host:port", or the host alone with the
        // port kept.
        const TManualAddress typed =
            ReadManualAddress(editServerAddress->text(), Monitor_->Server().Info.Port);
        const int index = cbGameType->currentIndex();
        const auto games = AddGameTypes();
        const TGameType game =
            index >= 0 && index < int(games.size()) ? games[index].Game : gtUnknown;
        if (typed.Host.trimmed().isEmpty() || typed.Port < 1 || typed.Port > 65535 ||
            game == gtUnknown) {
            Dialogs_.Warning(QStringLiteral("Server monitor"),
                             QStringLiteral("Enter the server's address as host:port and "
                                            "choose its game."));
            return;
        }
        Monitor_->SetServer(typed.Host.trimmed(), typed.Port, game);
    }

    TMonitorOptions& options = Monitor_->Options;
    options.UpdateCycleMs = seUpdate->value();
    options.Condition = rbMapChange->isChecked() ? TMonitorCondition::MapChange
                        : rbNotFull->isChecked() ? TMonitorCondition::NotFull
                                                 : TMonitorCondition::Matches;
    options.UseMapPattern = cbMap->isChecked();
    options.MapPattern = editMapPattern->text();
    options.UsePlayerCount = cbPlayercount->isChecked();
    options.UseMoreThan = cbMoreThan->isChecked();
    options.MoreThan = seMoreThan->value();
    options.UseLessThan = cbLessThan->isChecked();
    options.LessThan = seLessThan->value();
    options.ShowMessage = cbShowmessage->isChecked();
    options.PlaySound = cbPlaySound->isChecked();
    options.SoundFile = editWAV->text();
    options.JoinGame = cbJoinGame->isChecked();

    SetSettingsEnabled(false);
    if (cbTray->isChecked()) {
        close();
        Browser_.ShowInTray(true);
    }
    Monitor_->Start();
}

void TfrmMonitor::StopMonitor()
{
    Monitor_->Stop();
    SetSettingsEnabled(true);
}

void TfrmMonitor::CancelMonitor()
{
    StopMonitor();
    close();
}

void TfrmMonitor::BrowseSound()
{
    const QString file = Dialogs_.OpenFileName(
        QStringLiteral("Open"), QStringLiteral("Wave files (*.wav);;All files (*.*)"),
        editWAV->text());
    if (!file.isEmpty()) {
        editWAV->setText(file);
    }
}

void TfrmMonitor::PlaySound(const QString& file)
{
    // Without a sound device the effect reports an error and stays silent.
    if (!Sound_) {
        Sound_ = new QSoundEffect(this);
    }
    Sound_->stop();
    Sound_->setSource(QUrl::fromLocalFile(file));
    Sound_->play();
}
