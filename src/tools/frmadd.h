#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class TDialogs;
class TServerBrowser;
class TSettings;

// The add-server window, "Morvix - Manual add": puts one server into the
// main window's list by hand, from its address, port and game type. Choosing
// a game type offers that game's standard port. The chosen game type is the
// setting "DefaultGameType", so it comes back at the next start.
//
// A tool window of the main window, shown without blocking it by the
// Serverlist menu's "&Manual add" (Insert).
class TfrmAdd : public QWidget
{
    Q_OBJECT

public:
    TfrmAdd(TServerBrowser& list, TSettings& settings, TDialogs& dialogs);

    // "&Manual add": empties the address box, shows the window and gives the
    // address box the focus. Game type and port keep their last values.
    void Open();
    // "&Add >>" and Enter in the address box.
    void AddServer();
    // "Help!"
    void ShowHelp();

    static const QString HelpText;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ChooseGameType(int index);
    void ApplyDefaultGameType();

    TServerBrowser& List_;
    TSettings& Settings_;
    TDialogs& Dialogs_;

    QTabWidget* pcAdd = nullptr;
    QWidget* tsNew = nullptr;
    QComboBox* cbGameType = nullptr;
    QLineEdit* editHostname = nullptr;
    QSpinBox* sePort = nullptr;
    QLabel* lblInfo = nullptr;
    QPushButton* sbHelp = nullptr;
    QPushButton* sbCancel = nullptr;
    QPushButton* sbOK = nullptr;
};
