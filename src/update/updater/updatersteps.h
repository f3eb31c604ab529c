#pragma once

// The steps of morvix-updater, a small program without Qt that finishes an
// update after Morvix has exited:
//
//   morvix-updater PID COMMAND|null FILE...
//
// It waits for process PID to end, then handles each FILE in order: a path
// ending in "_new" replaces the file of the same name without it, a ".cab"
// file is unpacked into the current folder (and removed once every file of
// it is in place), and any other file is taken as an SZDD-compressed file
// and expanded beside itself under the name stored in it. Last it starts
// COMMAND, split into words, without a shell and without waiting for it.
// What goes wrong is told on standard error; the program never asks.

#include <sys/types.h>

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace updater {

// The process id of the first argument: decimal digits only, above 0 and
// within the range of process ids. Anything else is no id.
std::optional<pid_t> ParseProcessId(const std::string& text);

// Blocks until process Pid has ended; at once when there is no such process.
// Uses a process file descriptor where the kernel has one, otherwise looks
// every 100 ms. False (with Error) only when the wait itself failed.
bool WaitForProcess(pid_t pid, std::string& error);

enum class TFileStep
{
    Replacement, // "prog_new" replaces "prog"
    Cabinet,     // "update.cab" is unpacked
    Compressed,  // anything else: an SZDD file to expand
};

// Which step a file argument takes. A replacement is a path whose first
// "_NEW", compared without letter case, is its last four characters (so a
// path through a folder "my_new" is not one); a cabinet's extension is
// ".cab" in any letter case.
TFileStep FileStepOf(const std::string& path);

// Where a file stored in a cabinet under Stored goes, relative to the
// current folder, with "/" between its folders; the name's bytes are UTF-8
// when Utf8 is set, otherwise ISO-8859-1 (and are converted). Backslashes
// and slashes both separate folders; empty and "." parts are left out.
// Nothing (and Why says why) for a path that could leave the current folder:
// an absolute path, one starting with a drive ("C:"), one with a ".." part,
// or one without a file name.
std::optional<std::string> CabinetEntryPath(const std::string& stored, bool utf8, std::string& why);

// The name an SZDD file with file name Name expands to: after the first "."
// of the name, a last "_" is replaced by the stored missing character
// (dropped when none is stored) in the letter case of the name's last
// letter; a name ending in "." loses the dot; any other name stays as it is.
std::string ExpandedName(const std::string& name, char missingChar);

// The words of a command line: separated by blanks; '...' keeps everything
// inside as it is; "..." keeps blanks, with \" and \\ standing for " and \;
// outside quotes a backslash keeps the next character as it is. Nothing
// (and Error) for an unmatched quote or a trailing backslash.
std::optional<std::vector<std::string>> SplitCommandLine(const std::string& line,
                                                         std::string& error);

// Each step of one file. False when the file was left as it was or the step
// stopped; Err has said why.
bool ReplaceFile(const std::string& path, std::ostream& err);
bool ExtractCabinet(const std::string& path, std::ostream& err);
bool ExpandCompressed(const std::string& path, std::ostream& err);

// Starts Words in a new session of its own, found on PATH, without a shell
// and without waiting for it.
bool StartDetached(const std::vector<std::string>& words, std::string& error);

// The whole program. Exit status: 0 when every step succeeded, 1 when some
// file or the restart failed, 2 when there was no valid process id (and
// nothing was done).
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace updater
