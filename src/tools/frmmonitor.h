#pragma once

#include <QDialog>

#include <functional>

#include "model/gamecatalogue.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSoundEffect;
class QSpinBox;
class TDialogs;
class TGenericServer;
class TServerBrowser;
class TServerMonitor;

// The server monitor, "Server monitor": watches one server of the main
// window's list and alerts the user (a message, a sound, the game started
// and joined) when its map changes, a player slot opens or it meets the
// user's conditions on map and player count. The main window can wait in
// the tray meanwhile.
//
// Created at start and kept until exit; its settings keep their values
// between showings and are not stored. Monitoring goes on while the window
// is closed; "Stop!" and "<< &Cancel" end it.
class TfrmMonitor : public QDialog
{
    Q_OBJECT

public:
    TfrmMonitor(TServerBrowser& browser, TDialogs& dialogs);
    ~TfrmMonitor() override;

    // Starts the game joined to the watched server; set by whoever owns the
    // launcher. Unset: "Launch and join game" does nothing.
    void SetJoinGame(std::function<void(const TGenericServer&)> join);

    // Watches Host:Port of Game. With an address the window shows, modal
    // to the program; Locked keeps the address and game fixed.
    void Monitor(const QString& host, int port, bool locked, TGameType game);
    // The main window's commands: the first selected row's server; nothing
    // without a selected server.
    void MonitorSelected();

    // "&Enter Monitor mode >>", "Stop!", "<< &Cancel".
    void EnterMonitorMode();
    void StopMonitor();
    void CancelMonitor();

    TServerMonitor& Engine() const { return *Monitor_; }

private:
    void ConditionChosen();
    void SetSettingsEnabled(bool enabled);
    void BrowseSound();
    void PlaySound(const QString& file);

    TServerBrowser& Browser_;
    TDialogs& Dialogs_;
    TServerMonitor* Monitor_ = nullptr;
    QSoundEffect* Sound_ = nullptr;

    QLineEdit* editServerAddress = nullptr;
    QComboBox* cbGameType = nullptr;
    QSpinBox* seUpdate = nullptr;
    QCheckBox* cbTray = nullptr;
    QLabel* lblAlertMe = nullptr;
    QRadioButton* rbMapChange = nullptr;
    QRadioButton* rbNotFull = nullptr;
    QRadioButton* rbCondition = nullptr;
    QCheckBox* cbMap = nullptr;
    QLineEdit* editMapPattern = nullptr;
    QCheckBox* cbPlayercount = nullptr;
    QCheckBox* cbMoreThan = nullptr;
    QSpinBox* seMoreThan = nullptr;
    QCheckBox* cbLessThan = nullptr;
    QSpinBox* seLessThan = nullptr;
    QLabel* lblAlertWith = nullptr;
    QCheckBox* cbShowmessage = nullptr;
    QCheckBox* cbPlaySound = nullptr;
    QLineEdit* editWAV = nullptr;
    QPushButton* sbWaveBrowse = nullptr;
    QCheckBox* cbJoinGame = nullptr;
    QProgressBar* sbStatus = nullptr;
    QPushButton* sbBack = nullptr;
    QPushButton* sbAbort = nullptr;
    QPushButton* sbOK = nullptr;
};
