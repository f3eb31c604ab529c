#pragma once

#include <QWidget>

#include "core/remoteconsole.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTextEdit;
class TDialogs;
class TServerBrowser;
class TSettings;

// The remote console window, "Remote console": console commands to a
// Half-Life server (page "Half-life console", with the challenge and the log
// address feature) or a Quake 3 server (page "Quake 3 console"), and what
// they answer. The work is done by TRemoteConsole; every line it raises goes
// to the console of the page shown at that moment, as plain text in the
// line's colour.
//
// Created at program start and kept until exit, so the consoles, the cached
// challenge and the log state survive hiding the window. The address boxes
// and the window's place are kept in the settings; the passwords never are.
class TfrmRemote : public QWidget
{
    Q_OBJECT

public:
    TfrmRemote(TServerBrowser& browser, TSettings& settings, TDialogs& dialogs);

    // Shows the window and brings it to the front.
    void Open();

    TRemoteConsole& Console() { return Console_; }

protected:
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ShowLine(const QString& text, TConsoleTone tone);
    void FillAddresses();
    void LogTicked(bool ticked);
    void RememberPlace();

    TSettings& Settings_;
    TDialogs& Dialogs_;
    TRemoteConsole Console_;
    bool Placed_ = false;

    QTabWidget* pcRemote = nullptr;
    QLineEdit* editHLServer = nullptr;
    QLineEdit* editHLPassword = nullptr;
    QPushButton* sbNewHLID = nullptr;
    QCheckBox* cbHLLog = nullptr;
    QComboBox* cbHLIPList = nullptr;
    QTextEdit* reHLConsole = nullptr;
    QLineEdit* mHLInput = nullptr;
    QLineEdit* editQ3Server = nullptr;
    QLineEdit* editQ3Password = nullptr;
    QTextEdit* reQ3Console = nullptr;
    QLineEdit* mQ3Input = nullptr;
};
