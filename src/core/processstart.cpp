#include "core/processstart.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QUrl>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// What the started side tells the parent through the pipe when a step
// fails; nothing at all when the program runs.
struct TStartReport
{
    int Error;
    int InFolder;
};

// Only async-signal-safe calls from here on: the process forked from one
// that has threads.
[[noreturn]] void FailStart(int pipe, int error, bool inFolder)
{
    const TStartReport report{error, inFolder ? 1 : 0};
    [[maybe_unused]] const ssize_t written = ::write(pipe, &report, sizeof report);
    ::_exit(127);
}

[[noreturn]] void RunStarted(int pipe, const char* program, char* const* argv, const char* folder)
{
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    // Ignored signals stay ignored across exec; the game gets the defaults.
    struct sigaction defaults = {};
    defaults.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal) {
        ::sigaction(signal, &defaults, nullptr);
    }
    if (folder[0] != '\0' && ::chdir(folder) != 0) {
        FailStart(pipe, errno, true);
    }
    // Morvix's sockets and files are none of the game's business.
#ifdef SYS_close_range
    constexpr unsigned closeRangeCloexec = 1U << 2; // CLOSE_RANGE_CLOEXEC
    ::syscall(SYS_close_range, 3U, ~0U, closeRangeCloexec);
#endif
    ::execve(program, argv, environ);
    FailStart(pipe, errno, false);
}

} // namespace

TStartResult StartDetached(const QString& program, const QStringList& arguments,
                           const QString& workingFolder)
{
    const QByteArray programBytes = QFile::encodeName(program);
    const QByteArray folderBytes = QFile::encodeName(workingFolder);
    std::vector<QByteArray> argumentBytes;
    argumentBytes.push_back(programBytes);
    for (const QString& argument : arguments) {
        argumentBytes.push_back(argument.toLocal8Bit());
    }
    std::vector<char*> argv;
    for (QByteArray& argument : argumentBytes) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) {
        return {errno, false};
    }
    const pid_t child = ::fork();
    if (child < 0) {
        const int error = errno;
        ::close(pipe[0]);
        ::close(pipe[1]);
        return {error, false};
    }
    if (child == 0) {
        // The middle process leaves at once, so the program is no child of
        // Morvix and never waits as a zombie for it.
        ::close(pipe[0]);
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild < 0) {
            FailStart(pipe[1], errno, false);
        }
        if (grandchild > 0) {
            ::_exit(0);
        }
        RunStarted(pipe[1], programBytes.constData(), argv.data(), folderBytes.constData());
    }
    ::close(pipe[1]);
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    // The pipe closes on exec; a report arrives only when a step failed.
    TStartReport report{};
    qsizetype received = 0;
    while (received < qsizetype(sizeof report)) {
        const ssize_t got = ::read(pipe[0], reinterpret_cast<char*>(&report) + received,
                                   sizeof report - size_t(received));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        received += got;
    }
    ::close(pipe[0]);
    if (received != qsizetype(sizeof report)) {
        return {};
    }
    return {report.Error, report.InFolder != 0};
}

bool IsWebAddress(const QString& text)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+://"));
    return scheme.match(text).hasMatch() ||
           text.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive);
}

namespace {

using TIniGroup = QHash<QString, QString>;

// The groups of a desktop entry or a mimeapps.list; only the named ones are
// kept. Comments and localised keys are skipped.
QHash<QString, TIniGroup> ReadIniGroups(const QString& path, const QStringList& wanted)
{
    QHash<QString, TIniGroup> groups;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return groups;
    }
    TIniGroup* group = nullptr;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) {
            continue;
        }
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            const QString name = line.mid(1, line.size() - 2);
            group = wanted.contains(name) ? &groups[name] : nullptr;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (group && equals > 0) {
            const QString key = line.left(equals).trimmed();
            if (!group->contains(key)) {
                group->insert(key, line.mid(equals + 1).trimmed());
            }
        }
    }
    return groups;
}

QStringList ListValue(const TIniGroup& group, const QString& key)
{
    return group.value(key).split(QLatin1Char(';'), Qt::SkipEmptyParts);
}

// The desktop entries that could open something: their ids ("vendor-app.desktop"
// for vendor/app.desktop) with the types they declare, the first folder
// holding an id winning.
struct TDesktopEntries
{
    QHash<QString, QStringList> Types; // usable entries only
};

TDesktopEntries ReadDesktopEntries(const QStringList& folders)
{
    TDesktopEntries entries;
    QSet<QString> seen;
    const QStringList group{QStringLiteral("Desktop Entry")};
    for (const QString& folder : folders) {
        QDirIterator it(folder, {QStringLiteral("*.desktop")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QString id = path.mid(folder.size() + 1);
            id.replace(QLatin1Char('/'), QLatin1Char('-'));
            if (seen.contains(id)) {
                continue;
            }
            seen.insert(id);
            const TIniGroup entry = ReadIniGroups(path, group).value(group.first());
            const QString type = entry.value(QStringLiteral("Type"), QStringLiteral("Application"));
            const QString tryExec = entry.value(QStringLiteral("TryExec"));
            if (type != QLatin1String("Application") ||
                entry.value(QStringLiteral("Hidden")) == QLatin1String("true") ||
                entry.value(QStringLiteral("Exec")).isEmpty() ||
                (!tryExec.isEmpty() && QStandardPaths::findExecutable(tryExec).isEmpty() &&
                 !QFileInfo(tryExec).isExecutable())) {
                continue;
            }
            entries.Types.insert(id, ListValue(entry, QStringLiteral("MimeType")));
        }
    }
    return entries;
}

bool HasBrowser()
{
    const QStringList fromEnvironment =
        qEnvironmentVariable("BROWSER").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& command : fromEnvironment) {
        const QString program = command.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
        if (!QStandardPaths::findExecutable(program).isEmpty() ||
            QFileInfo(program).isExecutable()) {
            return true;
        }
    }
    static const char* const browsers[] = {
        "x-www-browser", "www-browser", "firefox",   "firefox-esr", "chromium",
        "google-chrome", "epiphany",    "konqueror", "falkon",      "links2",
        "elinks",        "links",       "lynx",      "w3m",
    };
    for (const char* browser : browsers) {
        if (!QStandardPaths::findExecutable(QString::fromLatin1(browser)).isEmpty()) {
            return true;
        }
    }
    return false;
}

} // namespace

TDesktopFolders TDesktopFolders::FromEnvironment()
{
    TDesktopFolders folders;
    folders.Config = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    for (const QString& folder :
         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        folders.Applications << folder + QStringLiteral("/applications");
    }
    return folders;
}

bool HasDefaultHandler(const QString& target, const TDesktopFolders& folders)
{
    QStringList types;
    const QUrl url(target);
    const bool web = IsWebAddress(target) && !url.isLocalFile();
    if (web) {
        const QString scheme = url.scheme().toLower();
        if ((scheme == QLatin1String("http") || scheme == QLatin1String("https")) && HasBrowser()) {
            return true;
        }
        types << QStringLiteral("x-scheme-handler/") + scheme;
    } else {
        const QString path = url.isLocalFile() ? url.toLocalFile() : target;
        const QMimeType mime = QMimeDatabase().mimeTypeForFile(path);
        types << mime.name();
        for (const QString& ancestor : mime.allAncestors()) {
            // Every file is a stream of bytes; a hex viewer opens no document.
            if (ancestor != QLatin1String("application/octet-stream")) {
                types << ancestor;
            }
        }
    }

    QStringList lists;
    for (const QString& folder : folders.Config) {
        lists << folder + QStringLiteral("/mimeapps.list");
    }
    for (const QString& folder : folders.Applications) {
        lists << folder + QStringLiteral("/mimeapps.list");
    }
    const QStringList listGroups{QStringLiteral("Default Applications"),
                                 QStringLiteral("Added Associations"),
                                 QStringLiteral("Removed Associations")};
    QList<QHash<QString, TIniGroup>> listContents;
    for (const QString& list : lists) {
        listContents << ReadIniGroups(list, listGroups);
    }
    const TDesktopEntries entries = ReadDesktopEntries(folders.Applications);

    for (const QString& type : types) {
        QSet<QString> removed;
        for (const auto& list : listContents) {
            for (const QString& group : {listGroups[0], listGroups[1]}) {
                for (const QString& id : ListValue(list.value(group), type)) {
                    if (entries.Types.contains(id) && !removed.contains(id)) {
                        return true;
                    }
                }
            }
            for (const QString& id : ListValue(list.value(listGroups[2]), type)) {
                removed.insert(id);
            }
        }
        for (auto it = entries.Types.cbegin(); it != entries.Types.cend(); ++it) {
            if (it.value().contains(type) && !removed.contains(it.key())) {
                return true;
            }
        }
    }
    return false;
}
