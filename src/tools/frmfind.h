#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;
class TDialogs;
class TServerBrowser;

// The find-server window, "Find server": selects the next server of the main
// window's list whose name contains a keyword. "&Find" searches from the top,
// "Find Next" goes on below the last server found; the keyword stays for the
// next opening.
//
// A tool window of the main window, shown without blocking it by the Other
// menu's "Find &Server" (Ctrl+F).
class TfrmFind : public QWidget
{
    Q_OBJECT

public:
    TfrmFind(TServerBrowser& list, TDialogs& dialogs);

    // Shows the window with the keyword box focused.
    void Open();
    // "&Find" and Enter in the keyword box: searches from the first row.
    void Find();
    // "Find Next": searches from the row after the last one found.
    void FindNext();

    // Where the next "Find Next" starts.
    int NextStartRow() const { return NextStartRow_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Search();

    TServerBrowser& List_;
    TDialogs& Dialogs_;
    int NextStartRow_ = 0;

    QLineEdit* editFind = nullptr;
    QPushButton* sbFind = nullptr;
    QPushButton* sbFindNext = nullptr;
    QPushButton* sbAbort = nullptr;
};
