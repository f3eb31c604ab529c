#include "updatersteps.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <mspack.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <memory>
#include <ostream>

extern char** environ;

namespace updater {

namespace {

const char* const kName = "morvix-updater: ";

std::string ErrnoText(int code = errno)
{
    return std::strerror(code);
}

std::string MspackText(int code)
{
    switch (code) {
    case MSPACK_ERR_OPEN:
        return "cannot be opened";
    case MSPACK_ERR_READ:
        return "cannot be read";
    case MSPACK_ERR_WRITE:
        return "cannot be written";
    case MSPACK_ERR_SEEK:
        return "seek failed";
    case MSPACK_ERR_NOMEMORY:
        return "out of memory";
    case MSPACK_ERR_SIGNATURE:
        return "wrong signature";
    case MSPACK_ERR_DATAFORMAT:
        return "damaged data";
    case MSPACK_ERR_CHECKSUM:
        return "checksum mismatch";
    case MSPACK_ERR_DECRUNCH:
        return "damaged compressed data";
    default:
        return "error " + std::to_string(code);
    }
}

char UpperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

bool IsAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::string Latin1ToUtf8(const std::string& text)
{
    std::string result;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            result += c;
        } else {
            result += char(0xC0 | (byte >> 6));
            result += char(0x80 | (byte & 0x3F));
        }
    }
    return result;
}

// The folder part of a path with its last "/", or "" for a bare name.
std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

mode_t Umask()
{
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

// The permissions a new file at Target gets: those of the file it replaces,
// so that a program stays executable, otherwise the usual ones.
mode_t ModeFor(const std::string& target, bool executable)
{
    struct stat existing
    {};
    if (stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        return existing.st_mode & 07777;
    }
    return (executable ? 0777 : 0666) & ~Umask();
}

// A new, empty file beside Target to write into before it is renamed over
// Target, so that Target is either the old file or the whole new one.
bool MakeTempBeside(const std::string& target, std::string& temp, std::ostream& err)
{
    temp = target + ".updating-XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        err << kName << "cannot write beside " << target << ": " << ErrnoText() << "\n";
        return false;
    }
    close(fd);
    return true;
}

// Gives the finished Temp its permissions and moves it over Target in one
// step; on failure Temp is removed and Target left as it was.
bool PutInPlace(const std::string& temp, const std::string& target, mode_t mode, std::ostream& err)
{
    if (chmod(temp.c_str(), mode) != 0 || rename(temp.c_str(), target.c_str()) != 0) {
        err << kName << "cannot write " << target << ": " << ErrnoText() << "\n";
        unlink(temp.c_str());
        return false;
    }
    return true;
}

// A cabinet stores local date and time, as the system that made it read it.
bool SetStoredTime(const std::string& path, const mscabd_file& file, std::ostream& err)
{
    std::tm stored{};
    stored.tm_year = file.date_y - 1900;
    stored.tm_mon = file.date_m - 1;
    stored.tm_mday = file.date_d;
    stored.tm_hour = file.time_h;
    stored.tm_min = file.time_m;
    stored.tm_sec = file.time_s;
    stored.tm_isdst = -1;
    const std::time_t when = std::mktime(&stored);
    const timespec times[2] = {{0, UTIME_OMIT}, {when, 0}};
    if (when == std::time_t(-1) || utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
        err << kName << "cannot set the date of " << path << ": " << ErrnoText() << "\n";
        return false;
    }
    return true;
}

struct TCabDecompressorDeleter
{
    void operator()(mscab_decompressor* cabd) const { mspack_destroy_cab_decompressor(cabd); }
};
struct TSzddDecompressorDeleter
{
    void operator()(msszdd_decompressor* szdd) const { mspack_destroy_szdd_decompressor(szdd); }
};

bool ExtractEntry(mscab_decompressor& cabd, mscabd_file& file, const std::string& target,
                  std::ostream& err)
{
    // One level of folder is made, as a cabinet made for this program's
    // folder expects; a deeper folder that is missing stops the unpacking.
    const std::string folder = FolderOf(target);
    struct stat existing
    {};
    if (!folder.empty() && stat(folder.c_str(), &existing) != 0 &&
        mkdir(folder.c_str(), 0777) != 0) {
        err << kName << "cannot make the folder " << folder << " for " << file.filename << ": "
            << ErrnoText() << "\n";
        return false;
    }
    std::string temp;
    if (!MakeTempBeside(target, temp, err)) {
        return false;
    }
    const int result = cabd.extract(&cabd, &file, temp.c_str());
    if (result != MSPACK_ERR_OK) {
        err << kName << "cannot unpack " << file.filename << ": " << MspackText(result) << "\n";
        unlink(temp.c_str());
        return false;
    }
    if (!SetStoredTime(temp, file, err)) {
        unlink(temp.c_str());
        return false;
    }
    return PutInPlace(temp, target, ModeFor(target, (file.attribs & MSCAB_ATTRIB_EXEC) != 0), err);
}

} // namespace

std::optional<pid_t> ParseProcessId(const std::string& text)
{
    if (text.empty() || text.size() > 10) {
        return std::nullopt;
    }
    long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    if (value <= 0 || value > INT_MAX) {
        return std::nullopt;
    }
    return pid_t(value);
}

bool WaitForProcess(pid_t pid, std::string& error)
{
    if (pid == getpid()) {
        error = "that is this program's own process";
        return false;
    }
    const int fd = int(syscall(SYS_pidfd_open, pid, 0));
    if (fd >= 0) {
        pollfd ended{fd, POLLIN, 0};
        int result = 0;
        while ((result = poll(&ended, 1, -1)) < 0 && errno == EINTR) {
        }
        const int code = errno;
        close(fd);
        if (result < 0) {
            error = ErrnoText(code);
            return false;
        }
        return true;
    }
    if (errno == ESRCH) {
        return true; // gone already
    }
    if (errno != ENOSYS) {
        error = ErrnoText();
        return false;
    }
    // A kernel without process file descriptors (before 5.3).
    while (kill(pid, 0) == 0 || errno == EPERM) {
        const timespec pause{0, 100'000'000};
        nanosleep(&pause, nullptr);
    }
    return true;
}

TFileStep FileStepOf(const std::string& path)
{
    std::string upper = path;
    for (char& c : upper) {
        c = UpperAscii(c);
    }
    const std::size_t firstNew = upper.find("_NEW");
    if (firstNew != std::string::npos && firstNew + 4 == upper.size()) {
        return TFileStep::Replacement;
    }
    const std::size_t dot = upper.rfind('.');
    const std::size_t slash = upper.rfind('/');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash) &&
        upper.compare(dot, std::string::npos, ".CAB") == 0) {
        return TFileStep::Cabinet;
    }
    return TFileStep::Compressed;
}

std::optional<std::string> CabinetEntryPath(const std::string& stored, bool utf8, std::string& why)
{
    const std::string name = utf8 ? stored : Latin1ToUtf8(stored);
    if (name.empty()) {
        why = "it has no name";
        return std::nullopt;
    }
    if (name.front() == '\\' || name.front() == '/') {
        why = "its path is absolute";
        return std::nullopt;
    }
    if (name.size() >= 2 && IsAsciiLetter(name[0]) && name[1] == ':') {
        why = "its path starts with a drive";
        return std::nullopt;
    }
    std::string result;
    std::string part;
    bool named = false; // the last part is a file name
    for (std::size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size() && name[i] != '\\' && name[i] != '/') {
            part += name[i];
            continue;
        }
        if (part == "..") {
            why = "its path climbs out of the current folder";
            return std::nullopt;
        }
        named = !part.empty() && part != ".";
        if (named) {
            result += (result.empty() ? "" : "/") + part;
        }
        part.clear();
    }
    if (!named) {
        why = "it has no file name";
        return std::nullopt;
    }
    return result;
}

std::string ExpandedName(const std::string& name, char missingChar)
{
    if (name.find('.') == std::string::npos) {
        return name;
    }
    if (name.back() == '.') {
        return name.substr(0, name.size() - 1);
    }
    if (name.back() != '_') {
        return name;
    }
    std::string result = name.substr(0, name.size() - 1);
    if (missingChar == '\0') {
        return result;
    }
    if (IsAsciiLetter(missingChar)) {
        bool lower = true;
        for (auto it = result.rbegin(); it != result.rend(); ++it) {
            if (IsAsciiLetter(*it)) {
                lower = *it >= 'a';
                break;
            }
        }
        const char upper = UpperAscii(missingChar);
        missingChar = lower ? char(upper - 'A' + 'a') : upper;
    }
    return result + missingChar;
}

std::optional<std::vector<std::string>> SplitCommandLine(const std::string& line,
                                                         std::string& error)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (inWord) {
                words.push_back(word);
                word.clear();
                inWord = false;
            }
            continue;
        }
        inWord = true;
        if (c == '\'') {
            const std::size_t close = line.find('\'', i + 1);
            if (close == std::string::npos) {
                error = "a single quote is not closed";
                return std::nullopt;
            }
            word += line.substr(i + 1, close - i - 1);
            i = close;
        } else if (c == '"') {
            std::size_t j = i + 1;
            for (; j < line.size() && line[j] != '"'; ++j) {
                if (line[j] == '\\' && j + 1 < line.size() &&
                    (line[j + 1] == '"' || line[j + 1] == '\\')) {
                    ++j;
                }
                word += line[j];
            }
            if (j >= line.size()) {
                error = "a double quote is not closed";
                return std::nullopt;
            }
            i = j;
        } else if (c == '\\') {
            if (i + 1 >= line.size()) {
                error = "it ends with a backslash";
                return std::nullopt;
            }
            word += line[++i];
        } else {
            word += c;
        }
    }
    if (inWord) {
        words.push_back(word);
    }
    return words;
}

bool ReplaceFile(const std::string& path, std::ostream& err)
{
    const std::string target = path.substr(0, path.size() - 4);
    if (target.empty() || target.back() == '/') {
        err << kName << path << " names no file to replace\n";
        return false;
    }
    struct stat replacement
    {};
    if (lstat(path.c_str(), &replacement) != 0) {
        err << kName << "cannot replace " << target << " by " << path << ": " << ErrnoText()
            << "\n";
        return false;
    }
    struct stat old
    {};
    if (stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode) && S_ISREG(replacement.st_mode)) {
        // A downloaded program must stay as executable as the one it replaces.
        chmod(path.c_str(), old.st_mode & 07777);
    }
    // One rename: the old file stays in place until the new one takes it.
    if (rename(path.c_str(), target.c_str()) != 0) {
        err << kName << "cannot replace " << target << " by " << path << ": " << ErrnoText()
            << "\n";
        return false;
    }
    return true;
}

bool ExtractCabinet(const std::string& path, std::ostream& err)
{
    std::unique_ptr<mscab_decompressor, TCabDecompressorDeleter> cabd(
        mspack_create_cab_decompressor(nullptr));
    if (!cabd) {
        err << kName << "cannot unpack cabinets (libmspack); " << path << " is kept\n";
        return false;
    }
    mscabd_cabinet* cabinet = cabd->open(cabd.get(), path.c_str());
    if (!cabinet) {
        err << kName << path << " is not a cabinet that can be read ("
            << MspackText(cabd->last_error(cabd.get())) << "); it is kept\n";
        return false;
    }
    const auto closeCabinet = [&] { cabd->close(cabd.get(), cabinet); };

    // Every entry is checked before anything is written: a cabinet with a
    // path leading out of the current folder is not unpacked at all.
    std::vector<std::pair<mscabd_file*, std::string>> entries;
    bool refused = false;
    for (mscabd_file* file = cabinet->files; file; file = file->next) {
        std::string why;
        const auto target =
            CabinetEntryPath(file->filename, (file->attribs & MSCAB_ATTRIB_UTF_NAME) != 0, why);
        if (!target) {
            err << kName << path << ": the entry \"" << file->filename << "\" is refused: " << why
                << "\n";
            refused = true;
            continue;
        }
        entries.emplace_back(file, *target);
    }
    if (refused) {
        err << kName << "nothing of " << path << " was unpacked; it is kept\n";
        closeCabinet();
        return false;
    }
    for (auto& [file, target] : entries) {
        if (!ExtractEntry(*cabd, *file, target, err)) {
            err << kName << "unpacking " << path << " stopped at " << file->filename
                << "; it is kept\n";
            closeCabinet();
            return false;
        }
    }
    closeCabinet();
    if (unlink(path.c_str()) != 0) {
        err << kName << "cannot remove " << path << " after unpacking it: " << ErrnoText() << "\n";
        return false;
    }
    return true;
}

bool ExpandCompressed(const std::string& path, std::ostream& err)
{
    std::unique_ptr<msszdd_decompressor, TSzddDecompressorDeleter> szdd(
        mspack_create_szdd_decompressor(nullptr));
    if (!szdd) {
        err << kName << "cannot expand compressed files (libmspack); " << path << " is kept\n";
        return false;
    }
    msszddd_header* header = szdd->open(szdd.get(), path.c_str());
    if (!header) {
        const int error = szdd->last_error(szdd.get());
        if (error == MSPACK_ERR_SIGNATURE) {
            err << kName << path
                << " is neither a replacement (_new), a cabinet nor a compressed file;"
                   " it is left as it is\n";
        } else {
            err << kName << path << ": " << MspackText(error) << "\n";
        }
        return false;
    }
    const std::string folder = FolderOf(path);
    const std::string name = path.substr(folder.size());
    const std::string expanded = ExpandedName(name, header->missing_char);
    if (expanded == name || expanded.find('/') != std::string::npos || expanded == "." ||
        expanded == "..") {
        err << kName << path << " gives no other name to expand to; it is left as it is\n";
        szdd->close(szdd.get(), header);
        return false;
    }
    const std::string target = folder + expanded;
    std::string temp;
    if (!MakeTempBeside(target, temp, err)) {
        szdd->close(szdd.get(), header);
        return false;
    }
    const int result = szdd->extract(szdd.get(), header, temp.c_str());
    szdd->close(szdd.get(), header);
    if (result != MSPACK_ERR_OK) {
        err << kName << "cannot expand " << path << ": " << MspackText(result) << "\n";
        unlink(temp.c_str());
        return false;
    }
    return PutInPlace(temp, target, ModeFor(target, false), err);
}

bool StartDetached(const std::vector<std::string>& words, std::string& error)
{
    std::vector<char*> argv;
    for (const std::string& word : words) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Its own session, so that it outlives this program and whatever
    // terminal started it; signals as a freshly started program has them.
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    pid_t child = 0;
    const int result = posix_spawnp(&child, argv[0], nullptr, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (result != 0) {
        error = ErrnoText(result);
        return false;
    }
    return true;
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.size() < 2) {
        err << "usage: morvix-updater PROCESS-ID COMMAND|null [FILE...]\n";
        return 2;
    }
    const std::optional<pid_t> pid = ParseProcessId(args[1]);
    if (!pid) {
        err << kName << "\"" << args[1] << "\" is not a process id; nothing was done\n";
        return 2;
    }
    out << "Waiting for process " << *pid << " to end." << std::endl;
    std::string error;
    if (!WaitForProcess(*pid, error)) {
        err << kName << "cannot wait for process " << *pid << ": " << error
            << "; nothing was done\n";
        return 2;
    }

    bool ok = true;
    for (std::size_t i = 3; i < args.size(); ++i) {
        const std::string& path = args[i];
        switch (FileStepOf(path)) {
        case TFileStep::Replacement:
            ok = ReplaceFile(path, err) && ok;
            break;
        case TFileStep::Cabinet:
            ok = ExtractCabinet(path, err) && ok;
            break;
        case TFileStep::Compressed:
            ok = ExpandCompressed(path, err) && ok;
            break;
        }
    }

    if (args.size() > 2 && args[2] != "null") {
        const auto words = SplitCommandLine(args[2], error);
        if (!words || words->empty()) {
            err << kName << "cannot start \"" << args[2]
                << "\": " << (words ? std::string("it names no program") : error) << "\n";
            return 1;
        }
        if (!StartDetached(*words, error)) {
            err << kName << "cannot start " << words->front() << ": " << error << "\n";
            return 1;
        }
    }
    return ok ? 0 : 1;
}

} // namespace updater
