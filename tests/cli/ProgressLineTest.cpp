// The comparison's progress line is for a person at a terminal; on a pipe
// nothing of it is written, so that scripts read clean output. (What the line
// says, bytes and time left included, is the engine's figures: tested there.)

#include "support/RunQuorvane.h"
#include "support/TempTree.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace qv::test {
namespace {

struct TerminalRun {
    int exitCode = -1;
    std::string screen;   // everything written to the terminal, both streams
};

// Runs the command with a pseudo-terminal as its standard input, output and error.
TerminalRun runOnTerminal(const std::vector<std::string>& args, const std::string& configHome) {
    std::vector<std::string> envText;
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("XDG_CONFIG_HOME=", 0) != 0) envText.emplace_back(*e);
    envText.push_back("XDG_CONFIG_HOME=" + configHome);
    std::vector<char*> envp, argv;
    for (std::string& e : envText) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = QUORVANE_BIN;
    argv.push_back(program.data());
    std::vector<std::string> argText = args;
    for (std::string& a : argText) argv.push_back(a.data());
    argv.push_back(nullptr);

    TerminalRun run;
    winsize size{};
    size.ws_col = 200;
    size.ws_row = 50;
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, &size);
    if (pid < 0) return run;
    if (pid == 0) {
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    char buffer[4096];
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, 500) <= 0) continue;
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0) break;   // EIO once the child has closed the terminal
        run.screen.append(buffer, static_cast<std::size_t>(n));
    }
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    ::close(master);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(ProgressLineTest, TheLineIsDrawnOnATerminalAndNothingOfItOnAPipe) {
    TempTree left, right;
    for (TempTree* side : {&left, &right})
        for (int i = 0; i < 200; ++i) side->file("f" + std::to_string(i / 20) + "/" + std::to_string(i), 100);
    QTemporaryDir config;
    const std::vector<std::string> args = {"compare", "--set", "optCmpContents=true", left.root(), right.root()};

    const TerminalRun terminal = runOnTerminal(args, config.path().toStdString());
    EXPECT_EQ(terminal.exitCode, 0) << terminal.screen;
    // A line redrawn in place, then cleared before the results.
    EXPECT_NE(terminal.screen.find("\rComparing"), std::string::npos) << terminal.screen;
    EXPECT_NE(terminal.screen.find("\r\033[K"), std::string::npos) << terminal.screen;

    QStringList pipeArgs;
    for (const std::string& a : args) pipeArgs << QString::fromStdString(a);
    const CommandResult piped = runQuorvane(pipeArgs, config.path());
    EXPECT_EQ(piped.exitCode, 0) << piped.err.toStdString();
    EXPECT_FALSE(piped.err.contains('\r')) << piped.err.toStdString();
    EXPECT_FALSE(piped.err.contains("Comparing")) << piped.err.toStdString();
    EXPECT_FALSE(piped.out.contains("Comparing")) << piped.out.toStdString();
}

}  // namespace
}  // namespace qv::test
