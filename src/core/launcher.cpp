#include "core/launcher.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <cerrno>

#include "core/dialogs.h"

namespace {

// "The folder part of Path": up to and including its last separator.
QString FolderText(const QString& path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// The extension the desktop would go by: ".txt" of a file name, "https:" of
// a web address.
QString ExtensionText(const QString& path)
{
    if (IsWebAddress(path)) {
        return QUrl(path).scheme() + QLatin1Char(':');
    }
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

// Programs without their execute permission are still programs: they are
// refused, never handed to a document viewer.
bool LooksLikeProgram(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return true;
    }
    const QByteArray head = file.read(4);
    return head == "\x7F"
                   "ELF" ||
           head.startsWith("#!");
}

QString StartFailureText(const QString& path, const QString& folderText, const TStartResult& result)
{
    const QString notFound = QStringLiteral("Unable to launch ") + path +
                             QStringLiteral(". File not found. Did you fill out the settings "
                                            "correctly?");
    const QString noPath = QStringLiteral("Unable to open path ") + folderText + QLatin1Char('.');
    const QString denied =
        QStringLiteral("The operating system denied access to the specified file. (") + path +
        QLatin1Char(')');
    switch (result.Error) {
    case ENOENT:
    case ENOTDIR:
        return result.InFolder || result.Error == ENOTDIR ? noPath : notFound;
    case ELOOP:
    case ENAMETOOLONG:
        return notFound;
    case EACCES:
    case EPERM:
        return denied;
    case ENOEXEC:
    case ELIBBAD:
    case EINVAL:
        return path + QStringLiteral(" is a invalid .EXE file (non-Win32 .EXE or error in .EXE "
                                     "image).");
    case ENOMEM:
    case E2BIG:
        return QStringLiteral("There was not enough memory to complete the operation.");
    case EAGAIN:
    case EMFILE:
    case ENFILE:
        return QStringLiteral("The operating system is out of memory or resources.");
    case ETXTBSY:
        return QStringLiteral("A sharing violation occurred.");
    default:
        return QStringLiteral("Unable to launch ") + path + QStringLiteral(". ") +
               qt_error_string(result.Error) + QLatin1Char('.');
    }
}

} // namespace

TLauncher::TLauncher(TDialogs& dialogs)
    : StartProcess(&StartDetached),
      OpenDocument([this](const QString& target, const QString& folder) {
          return OpenWithDesktop(target, folder);
      }),
      Dialogs_(dialogs)
{}

QString TLauncher::WineMissingText(const QString& path)
{
    return QStringLiteral("Unable to launch ") + path +
           QStringLiteral(". It is a Windows program, and Wine is needed to run it: install "
                          "Wine (the wine package) and join again.");
}

bool TLauncher::LaunchProgram(const QString& path, const QString& parameters)
{
    if (path.isEmpty()) {
        Dialogs_.Information(
            QStringLiteral("Morvix"),
            QStringLiteral(
                "Path is empty, please fill out the options (game configuration) form."));
        return false;
    }
    const QString folderText = FolderText(path);
    if (IsWebAddress(path)) {
        return Opened(path, folderText, OpenDocument(path, {}));
    }

    QFileInfo file(path);
    if (!path.contains(QLatin1Char('/')) && !file.exists()) {
        // A bare program name is looked for where the system looks.
        const QString found = QStandardPaths::findExecutable(path);
        if (!found.isEmpty()) {
            file.setFile(found);
        }
    }
    const QString program = file.absoluteFilePath();
    const QString folder = file.absolutePath();
    if (!QFileInfo(folder).isDir()) {
        return Fail(QStringLiteral("Unable to open path ") + folderText + QLatin1Char('.'));
    }
    if (!file.exists()) {
        return Started(path, folderText, {ENOENT, false});
    }
    if (file.isDir()) {
        return Opened(path, folderText, OpenDocument(program, program));
    }

    const QStringList arguments = QProcess::splitCommand(parameters);
    if (file.suffix().compare(QLatin1String("exe"), Qt::CaseInsensitive) == 0) {
        const QString wine = QStandardPaths::findExecutable(QStringLiteral("wine"));
        if (wine.isEmpty()) {
            return Fail(WineMissingText(path));
        }
        return Started(path, folderText,
                       StartProcess(wine, QStringList{program} + arguments, folder));
    }
    if (file.isExecutable() || LooksLikeProgram(program)) {
        TStartResult result = StartProcess(program, arguments, folder);
        if (result.Error == ENOENT && !result.InFolder) {
            // The file is there: what is missing is the interpreter its
            // first line names, or a library loader.
            result.Error = ENOEXEC;
        }
        return Started(path, folderText, result);
    }
    return Opened(path, folderText, OpenDocument(program, folder));
}

TOpenResult TLauncher::OpenWithDesktop(const QString& target, const QString& workingFolder)
{
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        return {TOpenOutcome::NoOpener, {}};
    }
    if (!HasDefaultHandler(target,
                           DesktopFolders ? *DesktopFolders : TDesktopFolders::FromEnvironment())) {
        return {TOpenOutcome::NoHandler, {}};
    }
    const TStartResult started = StartProcess(opener, {target}, workingFolder);
    return {started.Error == 0 ? TOpenOutcome::Opened : TOpenOutcome::StartFailed, started};
}

bool TLauncher::Fail(const QString& text)
{
    if (ShowStatus) {
        ShowStatus(text);
    }
    return false;
}

bool TLauncher::Started(const QString& path, const QString& folderText, const TStartResult& result)
{
    return result.Error == 0 || Fail(StartFailureText(path, folderText, result));
}

bool TLauncher::Opened(const QString& path, const QString& folderText, const TOpenResult& result)
{
    switch (result.Outcome) {
    case TOpenOutcome::Opened:
        return true;
    case TOpenOutcome::NoOpener:
        return Fail(QStringLiteral("The filename association is incomplete or invalid."));
    case TOpenOutcome::NoHandler:
        return Fail(
            QStringLiteral("There is no application associated to the filename extension (") +
            ExtensionText(path) + QLatin1Char(')'));
    case TOpenOutcome::StartFailed:
        break;
    }
    return Fail(StartFailureText(path, folderText, result.Start));
}
