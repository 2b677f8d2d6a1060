#include "platform/ElevatedCommand.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace qv::platform {
namespace {

constexpr const char* kLauncherName = "pkexec";
constexpr const char* kLauncherFallback = "/usr/bin/pkexec";
constexpr const char* kDefaultSystemBus = "/run/dbus/system_bus_socket";

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// Only absolute PATH entries count: a relative one (or an empty one, which
// means the current folder) would let whatever folder we happen to run in
// decide which program receives the user's password.
std::string findOnPath(const char* name) {
    const char* path = std::getenv("PATH");
    if (!path) return {};
    std::string_view rest(path);
    while (true) {
        const std::size_t colon = rest.find(':');
        const std::string_view entry = rest.substr(0, colon);
        if (!entry.empty() && entry.front() == '/') {
            std::string candidate(entry);
            if (candidate.back() != '/') candidate += '/';
            candidate += name;
            if (isExecutableFile(candidate)) return candidate;
        }
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    return {};
}

bool nonEmptyEnv(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// The socket named by the first "unix:path=" address of
// DBUS_SYSTEM_BUS_ADDRESS. An address of another kind (abstract socket,
// TCP) cannot be checked by looking at a file; "" then means "assume it is
// there".
std::string systemBusFromEnvironment(bool* checkable) {
    *checkable = true;
    const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    if (!address || !*address) return kDefaultSystemBus;
    std::string_view first(address);
    first = first.substr(0, first.find(';'));
    if (first.substr(0, 5) == "unix:") {
        std::string_view keys = first.substr(5);
        while (!keys.empty()) {
            const std::size_t comma = keys.find(',');
            const std::string_view pair = keys.substr(0, comma);
            if (pair.substr(0, 5) == "path=") return std::string(pair.substr(5));
            if (comma == std::string_view::npos) break;
            keys.remove_prefix(comma + 1);
        }
    }
    *checkable = false;
    return {};
}

bool isSocket(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

}  // namespace

ElevatedCommand::ElevatedCommand(ElevatedCommandOptions options) : m_options(std::move(options)) {}

std::string ElevatedCommand::launcherPath() const {
    if (!m_options.launcher.empty()) return isExecutableFile(m_options.launcher) ? m_options.launcher : std::string();
    if (std::string found = findOnPath(kLauncherName); !found.empty()) return found;
    return isExecutableFile(kLauncherFallback) ? std::string(kLauncherFallback) : std::string();
}

bool ElevatedCommand::available() const {
    if (launcherPath().empty()) return false;
    if (!nonEmptyEnv("DISPLAY") && !nonEmptyEnv("WAYLAND_DISPLAY")) return false;
    if (!m_options.systemBusSocket.empty()) return isSocket(m_options.systemBusSocket);
    bool checkable = true;
    const std::string bus = systemBusFromEnvironment(&checkable);
    return !checkable || isSocket(bus);
}

ElevatedCommandResult ElevatedCommand::run(const std::string& program, const std::vector<std::string>& arguments) const {
    ElevatedCommandResult result;
    const std::string launcher = launcherPath();
    if (launcher.empty()) {
        result.error = ENOENT;
        return result;
    }

    std::vector<std::string> words;
    words.reserve(2 + m_options.launcherArguments.size() + arguments.size());
    words.push_back(launcher);
    words.insert(words.end(), m_options.launcherArguments.begin(), m_options.launcherArguments.end());
    words.push_back(program);
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);

    // Close-on-exec, so that a process another thread starts meanwhile does
    // not inherit the write end and keep our read from ever seeing its end.
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        result.error = errno;
        return result;
    }

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawnattr_init(&attributes);
    ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
    // An ignored SIGPIPE or a blocked signal of ours would otherwise carry
    // over to the child and on to the program it runs as root.
    sigset_t noSignals, defaultSignals;
    sigemptyset(&noSignals);
    sigemptyset(&defaultSignals);
    sigaddset(&defaultSignals, SIGPIPE);
    ::posix_spawnattr_setsigmask(&attributes, &noSignals);
    ::posix_spawnattr_setsigdefault(&attributes, &defaultSignals);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, launcher.c_str(), &actions, &attributes, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attributes);
    ::close(pipeFds[1]);
    if (spawned != 0) {
        ::close(pipeFds[0]);
        result.error = spawned;
        return result;
    }

    // Read to the end even past the cap: a child blocked on a full pipe
    // would never exit.
    char buffer[4096];
    while (true) {
        const ssize_t got = ::read(pipeFds[0], buffer, sizeof buffer);
        if (got > 0) {
            const std::size_t room = kMaxElevatedOutput - result.output.size();
            result.output.append(buffer, std::min(room, static_cast<std::size_t>(got)));
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        break;
    }
    ::close(pipeFds[0]);

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            result.error = errno;
            return result;
        }
    }
    if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}

}  // namespace qv::platform
