#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class TDialogs;

// The update window, "Morvix WebUpdate": a file label and a progress bar for
// the file being fetched, a proxy host, "<< Back" and "Check for updates >>".
// Fetching updates is not part of Morvix: "&Check for updates..." in the
// File menu stands disabled, so the window is reached only by calling
// CheckForUpdates. "Check for updates >>" sends no request.
class TfrmUpdate : public QDialog
{
    Q_OBJECT

public:
    TfrmUpdate(QWidget* parent, TDialogs& dialogs);

    // What "&Check for updates..." does: tells that an internet connection
    // is needed, resets the window with its buttons enabled and shows it
    // application-modal (without an event loop of its own).
    void CheckForUpdates();
    // Empties the file label, puts the progress back to 0 and enables or
    // disables both buttons.
    void Reset(bool enabled);
    // "Check for updates >>": resets with the buttons disabled and forgets
    // the files waiting to be fetched. Escape still closes the window.
    void CheckNow();

    // The names of the files waiting to be fetched.
    const QStringList& PendingFiles() const { return PendingFiles_; }

private:
    TDialogs& Dialogs_;
    QStringList PendingFiles_;

    QTabWidget* pcUpdate = nullptr;
    QWidget* tsUpdate = nullptr;
    QLabel* lblUpdate = nullptr;
    QLabel* lblFileName = nullptr;
    QProgressBar* pbFileProgress = nullptr;
    QLineEdit* editProxyHost = nullptr;
    QLabel* lblInfo = nullptr;
    QPushButton* sbBack = nullptr;
    QPushButton* sbCheckNow = nullptr;
};
