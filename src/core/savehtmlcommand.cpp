#include "core/savehtmlcommand.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "core/dialogs.h"
#include "core/htmlexport.h"
#include "core/htmltemplates.h"
#include "model/genericserver.h"

namespace {

QString DefaultFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

// A name typed without an extension gets ".html", as the dialog's default
// extension promises; a name with any extension keeps it.
QString WithDefaultExtension(const QString& path)
{
    return QFileInfo(path).suffix().isEmpty() ? path + QStringLiteral(".html") : path;
}

} // namespace

TSaveHtmlCommand::TSaveHtmlCommand(TDialogs& dialogs, TShowStatus showStatus)
    : Dialogs_(dialogs), ShowStatus_(std::move(showStatus)), Folder_(DefaultFolder())
{}

QString TSaveHtmlCommand::DialogTitle()
{
    return QStringLiteral("Save As");
}

QString TSaveHtmlCommand::DialogFilter()
{
    return QStringLiteral("HTML file (*.html);;Any file (*)");
}

void TSaveHtmlCommand::Run(const TGenericServer* selected)
{
    if (!selected) {
        return;
    }
    if (selected->NoReply) {
        Dialogs_.Information(QStringLiteral("Morvix"),
                             QStringLiteral("This server cannot be save to HTML because it have "
                                            "no data. Please query it and try again."));
        return;
    }

    // The dialog runs the event loop: a reply may change the record, or its
    // row may go, before the user answers.
    const TGenericServer server = *selected;
    const QString chosen = Dialogs_.SaveFileName(
        DialogTitle(), DialogFilter(), QDir(Folder_).filePath(ProposedHtmlFileName(server)));
    if (chosen.isEmpty()) {
        return;
    }
    const QString path = WithDefaultExtension(chosen);
    // The dialog asked about replacing the name as typed; the page goes to
    // another name, which may be taken.
    if (path != chosen && QFileInfo::exists(path) &&
        !Dialogs_.Question(DialogTitle(), QStringLiteral("%1 already exists.\nDo you want to "
                                                         "replace it?")
                                              .arg(QFileInfo(path).fileName()))) {
        return;
    }
    Folder_ = QFileInfo(path).absolutePath();

    QString error;
    if (!InstallHtmlTemplates(server.TemplatesDir, &error) || !SaveHTML(server, path, &error)) {
        Dialogs_.Error(QStringLiteral("Morvix"), error);
        return;
    }
    if (ShowStatus_) {
        ShowStatus_(QStringLiteral("Saved the server as %1").arg(QDir::toNativeSeparators(path)));
    }
}
