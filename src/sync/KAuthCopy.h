#pragma once
// Retrying a file operation that failed for lack of permission, as the
// administrator. The user authenticates through polkit (pkexec), and the
// standard tool for the operation then runs as root with every path as one
// argument of its own, after "--", so that no name is ever read as an
// option or by a shell.

#include "platform/ElevatedCommand.h"

#include <QString>

#include <string>
#include <vector>

namespace qv {

class KAuthCopy {
public:
    // The statuses every operation returns besides 0 (done). Any other
    // value is the errno of starting pkexec (ENOENT when it vanished since
    // `available()` said yes, and so on); EPERM, the one that equals
    // AuthRefused, only comes from a launcher that may not gain privileges,
    // which is a refusal as well.
    enum Status : int {
        AuthRefused = 1,          // the administrator right was not granted
        AuthCommandFailed = -36,  // the command ran as root and failed
        AuthCancelled = -60006,   // the user dismissed the authentication dialog
    };

    explicit KAuthCopy(platform::ElevatedCommand runner = platform::ElevatedCommand());

    // Whether the retry can be offered at all on this desktop (see
    // ElevatedCommand::available for the test). When it cannot, callers keep
    // the original error and never ask.
    static bool available();
    // The same question for this object's launcher.
    bool canElevate() const;

    // Each one runs its command as root and returns 0 or a status above.
    // `error`, when given, is cleared on success; on failure it receives the
    // command's (or pkexec's) standard output and error, trimmed, or a
    // description of what stopped pkexec from starting.

    // "mv -f": replaces an existing destination.
    int MoveByTerminal(const std::string& src, const std::string& dst, QString* error = nullptr) const;
    // "cp -pPR -T -n": a copy of `src` made at exactly `dst` (never inside a
    // folder of that name, never under the source's own name), keeping mode,
    // owner and times, links as links, folders with everything inside. It
    // makes a new entry only: an entry standing at `dst` is left as it is
    // and the copy fails (EEXIST), as the disposal of a replaced entry
    // cannot run with administrator rights.
    int CopyByTerminal(const std::string& src, const std::string& dst, QString* error = nullptr) const;
    // "rm -rf": a file, a link or a whole folder tree.
    int RemoveByTerminal(const std::string& path, QString* error = nullptr) const;
    // "mkdir -p": with any missing parents; an existing folder is no error.
    int MakeDirByTerminal(const std::string& path, QString* error = nullptr) const;
    // "mv -T -n": a new name in place. Like the rename without rights it
    // never replaces what stands at `dst` nor moves into a folder of that
    // name: the rename then fails (EEXIST).
    int RenameByTerminal(const std::string& src, const std::string& dst, QString* error = nullptr) const;

private:
    int runTerminal(const char* program, const std::vector<std::string>& arguments, QString* error) const;
    // The command ran, but what it left is not what it was asked for.
    static int refused(int errorNumber, QString* error);

    platform::ElevatedCommand m_runner;
};

}  // namespace qv
