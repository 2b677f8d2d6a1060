#include "sync/KAuthCopy.h"

#include "platform/FileSystem.h"

#include <cstring>
#include <utility>

namespace qv {
namespace {

// Absolute paths: pkexec shows the program in its dialog, and root must not
// run whichever "mv" comes first on a user's PATH.
constexpr const char* kMv = "/bin/mv";
constexpr const char* kCp = "/bin/cp";
constexpr const char* kRm = "/bin/rm";
constexpr const char* kMkdir = "/bin/mkdir";

QString outputText(const std::string& output) {
    return QString::fromUtf8(output.data(), static_cast<qsizetype>(output.size())).trimmed();
}

}  // namespace

KAuthCopy::KAuthCopy(platform::ElevatedCommand runner) : m_runner(std::move(runner)) {}

bool KAuthCopy::available() {
    return platform::ElevatedCommand().available();
}

bool KAuthCopy::canElevate() const {
    return m_runner.available();
}

int KAuthCopy::MoveByTerminal(const std::string& src, const std::string& dst, QString* error) const {
    return runTerminal(kMv, {"-f", "--", src, dst}, error);
}

int KAuthCopy::CopyByTerminal(const std::string& src, const std::string& dst, QString* error) const {
    platform::EntryStat st;
    platform::FileSystem& fs = platform::systemFileSystem();
    if (fs.statPath(dst, false, st) == 0) return refused(EEXIST, error);
    // -n keeps cp from replacing what appears meanwhile; it says nothing when
    // it skips, so the result is checked.
    const int status = runTerminal(kCp, {"-pPR", "-T", "-n", "--", src, dst}, error);
    if (status == 0 && fs.statPath(dst, false, st) != 0) return refused(EEXIST, error);
    return status;
}

int KAuthCopy::RemoveByTerminal(const std::string& path, QString* error) const {
    return runTerminal(kRm, {"-rf", "--", path}, error);
}

int KAuthCopy::MakeDirByTerminal(const std::string& path, QString* error) const {
    return runTerminal(kMkdir, {"-p", "--", path}, error);
}

int KAuthCopy::RenameByTerminal(const std::string& src, const std::string& dst, QString* error) const {
    platform::FileSystem& fs = platform::systemFileSystem();
    platform::EntryStat before, after;
    const bool seen = fs.statPath(src, false, before) == 0;
    const int status = runTerminal(kMv, {"-T", "-n", "--", src, dst}, error);
    // mv -n says nothing when it leaves the source where it was.
    if (status == 0 && seen && fs.statPath(src, false, after) == 0 && after.inode == before.inode &&
        after.device == before.device)
        return refused(EEXIST, error);
    return status;
}

int KAuthCopy::refused(int errorNumber, QString* error) {
    if (error) *error = QString::fromLocal8Bit(std::strerror(errorNumber));
    return AuthCommandFailed;
}

// pkexec's 126 and 127 are read as its own: mv, cp, rm and mkdir only ever
// exit with 0 or 1, so a 126 or 127 cannot be theirs. 126 is the dismissed
// dialog, the user's choice not to go on, hence a cancellation; 127 covers
// "not authorised", a failed authentication and a missing agent, all of
// which mean the right was not granted.
int KAuthCopy::runTerminal(const char* program, const std::vector<std::string>& arguments, QString* error) const {
    const platform::ElevatedCommandResult result = m_runner.run(program, arguments);
    QString text;
    int status = 0;
    if (result.error != 0) {
        status = result.error;
        text = QString::fromLocal8Bit(std::strerror(result.error));
    } else if (result.signal != 0) {
        // Whether pkexec or the command died, the operation may have been
        // cut off half-way, which is what a failed command means to callers.
        status = AuthCommandFailed;
        text = outputText(result.output);
        if (text.isEmpty()) text = QString::fromLocal8Bit(::strsignal(result.signal));
    } else if (result.exitStatus == platform::kPkexecDismissed) {
        status = AuthCancelled;
        text = outputText(result.output);
    } else if (result.exitStatus == platform::kPkexecNotAuthorized) {
        status = AuthRefused;
        text = outputText(result.output);
    } else if (result.exitStatus != 0) {
        status = AuthCommandFailed;
        text = outputText(result.output);
    }
    if (error) *error = text;
    return status;
}

}  // namespace qv
