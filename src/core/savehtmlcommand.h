#pragma once

#include <QString>

#include <functional>

class TDialogs;
class TGenericServer;

// The command "&Save to HTML" of the server list's pop-up menu, without the
// window: the window hands it the selected row's record, it asks for a file
// through the dialog interface and writes the page. It remembers the folder
// of the last page for the next save dialog.
class TSaveHtmlCommand
{
public:
    using TShowStatus = std::function<void(const QString&)>;

    // ShowStatus shows a text in the window's status bar.
    TSaveHtmlCommand(TDialogs& dialogs, TShowStatus showStatus);

    // Runs the command for Selected, the record of the selected row (the
    // first one when several are), or null when no row is selected, which
    // does nothing. The record is read before the save dialog opens, so
    // what happens to it while the dialog is open does not matter.
    void Run(const TGenericServer* selected);

    // The folder the save dialog opens in: the last page's, at first the
    // user's documents folder (or the home folder when there is none).
    const QString& Folder() const { return Folder_; }

    // What the save dialog shows.
    static QString DialogTitle();
    static QString DialogFilter();

private:
    TDialogs& Dialogs_;
    TShowStatus ShowStatus_;
    QString Folder_;
};
