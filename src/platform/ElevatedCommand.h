#pragma once
// Running one program with administrator rights through polkit's `pkexec`,
// so that an operation refused for lack of permission can be retried once
// the user has authenticated. The program and its arguments go to the
// launcher as an argument vector: no shell ever sees a path, so names with
// spaces, quotes, newlines, "$(...)" or bytes that are not UTF-8 arrive
// exactly as they are.

#include <string>
#include <vector>

namespace qv::platform {

// pkexec's own exit statuses (pkexec(1), "RETURN VALUE"). Any other status
// is the program's: pkexec replaces itself with the program once authorised.
constexpr int kPkexecDismissed = 126;    // the user dismissed the authentication dialog
constexpr int kPkexecNotAuthorized = 127; // not authorised, authentication failed, or pkexec's own error

struct ElevatedCommandOptions {
    // The launcher to run. Empty: "pkexec" found on PATH, else /usr/bin/pkexec
    // (a desktop may start us with a PATH that lacks /usr/bin). Tests put a
    // stand-in script here.
    std::string launcher;
    // Placed between the launcher and the program. pkexec falls back to a
    // textual agent on the controlling terminal when no graphical agent
    // answers; the output is captured and stdin is /dev/null here, so that
    // prompt could only hang or fail, and turning it off makes a missing
    // agent a plain refusal (127).
    std::vector<std::string> launcherArguments{"--disable-internal-agent"};
    // The socket of the D-Bus system bus, through which pkexec reaches the
    // polkit daemon. Empty: the "unix:path=" of DBUS_SYSTEM_BUS_ADDRESS, else
    // /run/dbus/system_bus_socket.
    std::string systemBusSocket;
};

struct ElevatedCommandResult {
    // The errno when the launcher could not be started or waited for; the
    // other fields are then meaningless.
    int error = 0;
    // The exit status when the launcher exited; -1 when a signal ended it.
    int exitStatus = -1;
    // The signal that ended the launcher, or 0.
    int signal = 0;
    // Standard output and standard error together, in the order written
    // (at most kMaxElevatedOutput bytes are kept; the rest is read and dropped).
    std::string output;

    bool exitedWith(int status) const { return error == 0 && signal == 0 && exitStatus == status; }
};

constexpr std::size_t kMaxElevatedOutput = 64 * 1024;

class ElevatedCommand {
public:
    explicit ElevatedCommand(ElevatedCommandOptions options = {});

    const ElevatedCommandOptions& options() const { return m_options; }

    // The launcher that would run: the configured one when it is an
    // executable file, else the result of the search above; "" when none.
    std::string launcherPath() const;

    // Whether offering an elevated retry makes sense. pkexec alone is not
    // enough: it asks for the password through an authentication agent that
    // the desktop session runs, and talks to the polkit daemon over the
    // system bus. Asking D-Bus whether an agent is registered would cost a
    // round trip to the daemon for every failed operation, so the test is a
    // cheap stand-in for the same facts:
    //   - the launcher is an executable file;
    //   - DISPLAY or WAYLAND_DISPLAY is set, i.e. a graphical session, where
    //     every mainstream desktop starts a polkit agent;
    //   - the system bus socket exists and is a socket (without a system bus,
    //     as in most containers, polkit cannot answer at all).
    // The retry itself still reports a missing agent as a refusal.
    bool available() const;

    // Runs `program` with `arguments` through the launcher and waits for it:
    // argv is launcher, launcherArguments…, program, arguments…, each element
    // passed as it is. Standard input is /dev/null; standard output and error
    // share one pipe that is read to its end.
    ElevatedCommandResult run(const std::string& program, const std::vector<std::string>& arguments) const;

private:
    ElevatedCommandOptions m_options;
};

}  // namespace qv::platform
