#include "platform/ElevatedCommand.h"
#include "support/FakeLauncher.h"
#include "support/FileChecks.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <optional>

namespace qv::platform {
namespace {

using qv::test::readAll;
using qv::test::exists;
using qv::test::ScopedCwd;
using qv::test::writeScript;
using qv::test::kPassThrough;
using qv::test::recordingLauncher;
using qv::test::splitAtNul;
using qv::test::optionsFor;
using qv::test::ScopedEnv;

using test::TempTree;

TEST(ElevatedCommand, HandsEveryArgumentOverAsOneWord) {
    TempTree tree;
    const std::string log = tree.path("argv");
    writeScript(tree, "launcher", recordingLauncher(log));
    tree.folder("cwd");
    ScopedCwd cwd(tree.path("cwd"));

    const std::vector<std::string> awkward = {
        "with space",     "new\nline",      "quo\"te's",      "-rf",  "--", "\xff\xfe\x80 not utf-8",
        "$(touch pwned)", "`touch pwned`", "; touch pwned", "*",    "",   "back\\slash\t\ttabs",
    };
    ElevatedCommand command(optionsFor(tree.path("launcher")));
    const ElevatedCommandResult result = command.run("/bin/true", awkward);
    ASSERT_EQ(result.error, 0);
    EXPECT_TRUE(result.exitedWith(0));

    std::vector<std::string> expected = {"--disable-internal-agent", "/bin/true"};
    expected.insert(expected.end(), awkward.begin(), awkward.end());
    EXPECT_EQ(splitAtNul(readAll(log)), expected);
    EXPECT_FALSE(exists(tree.path("cwd/pwned")));
    EXPECT_FALSE(exists(tree.path("pwned")));

    // Without launcher arguments the program follows the launcher directly.
    ElevatedCommandOptions noArguments = optionsFor(tree.path("launcher"));
    noArguments.launcherArguments.clear();
    ElevatedCommand bare(noArguments);
    ASSERT_TRUE(bare.run("/bin/true", {"-x", "a b"}).exitedWith(0));
    EXPECT_EQ(splitAtNul(readAll(log)), (std::vector<std::string>{"/bin/true", "-x", "a b"}));
}

TEST(ElevatedCommand, CapturesBothStreamsAndHowTheProgramEnded) {
    TempTree tree;
    writeScript(tree, "launcher", kPassThrough);
    ElevatedCommand command(optionsFor(tree.path("launcher")));

    // One pipe for both streams keeps them in the order they were written.
    ElevatedCommandResult mixed =
        command.run("/bin/sh", {"-c", "printf 'out1 '; printf 'err1 ' >&2; printf 'out2\\n'; exit 3"});
    ASSERT_EQ(mixed.error, 0);
    EXPECT_EQ(mixed.output, "out1 err1 out2\n");
    EXPECT_EQ(mixed.exitStatus, 3);
    EXPECT_EQ(mixed.signal, 0);
    EXPECT_FALSE(mixed.exitedWith(0));

    // Standard input is empty, so a program that reads it finishes at once.
    ElevatedCommandResult reader = command.run("/bin/cat", {});
    EXPECT_TRUE(reader.exitedWith(0));
    EXPECT_EQ(reader.output, "");

    // Output beyond the cap is read (the child finishes) but not kept.
    ElevatedCommandResult flood =
        command.run("/bin/sh", {"-c", "head -c 300000 /dev/zero; echo tail >&2; exit 0"});
    EXPECT_TRUE(flood.exitedWith(0));
    EXPECT_EQ(flood.output, std::string(kMaxElevatedOutput, '\0'));

    ElevatedCommandResult killed = command.run("/bin/sh", {"-c", "printf partial; kill -TERM $$"});
    ASSERT_EQ(killed.error, 0);
    EXPECT_EQ(killed.signal, SIGTERM);
    EXPECT_EQ(killed.exitStatus, -1);
    EXPECT_EQ(killed.output, "partial");

    // The launcher's own refusals come back as its exit status.
    writeScript(tree, "dismissing", "echo 'Request dismissed' >&2\nexit 126\n");
    ElevatedCommandResult dismissed = ElevatedCommand(optionsFor(tree.path("dismissing"))).run("/bin/true", {});
    EXPECT_EQ(dismissed.exitStatus, kPkexecDismissed);
    EXPECT_EQ(dismissed.output, "Request dismissed\n");
}

TEST(ElevatedCommand, MissingOrUnusableLauncherNeverRuns) {
    TempTree tree;
    tree.fileWithText("plain", "#!/bin/sh\ntouch " + tree.path("ran") + "\n");
    tree.folder("folder");
    for (const std::string& launcher : {tree.path("absent"), tree.path("plain"), tree.path("folder")}) {
        SCOPED_TRACE(launcher);
        ElevatedCommand command(optionsFor(launcher));
        EXPECT_EQ(command.launcherPath(), "");
        EXPECT_FALSE(command.available());
        const ElevatedCommandResult result = command.run("/bin/touch", {tree.path("ran")});
        EXPECT_EQ(result.error, ENOENT);
        EXPECT_FALSE(result.exitedWith(0));
    }
    EXPECT_FALSE(exists(tree.path("ran")));
}

TEST(ElevatedCommand, AvailabilityNeedsLauncherGraphicalSessionAndSystemBus) {
    TempTree tree;
    writeScript(tree, "launcher", kPassThrough);
    tree.socket("bus");
    tree.fileWithText("not-a-socket", "");
    const ElevatedCommandOptions good = optionsFor(tree.path("launcher"), tree.path("bus"));

    {
        ScopedEnv x("DISPLAY", ":0");
        ScopedEnv wayland("WAYLAND_DISPLAY", std::nullopt);
        EXPECT_TRUE(ElevatedCommand(good).available());

        ElevatedCommandOptions noBus = good;
        noBus.systemBusSocket = tree.path("not-a-socket");
        EXPECT_FALSE(ElevatedCommand(noBus).available());
        noBus.systemBusSocket = tree.path("no-such-socket");
        EXPECT_FALSE(ElevatedCommand(noBus).available());

        ElevatedCommandOptions noLauncher = good;
        noLauncher.launcher = tree.path("no-such-launcher");
        EXPECT_FALSE(ElevatedCommand(noLauncher).available());
    }
    {
        ScopedEnv x("DISPLAY", std::nullopt);
        ScopedEnv wayland("WAYLAND_DISPLAY", "wayland-0");
        EXPECT_TRUE(ElevatedCommand(good).available());
    }
    {
        ScopedEnv x("DISPLAY", "");
        ScopedEnv wayland("WAYLAND_DISPLAY", std::nullopt);
        EXPECT_FALSE(ElevatedCommand(good).available());
    }

    // Without a configured socket, the system bus address from the
    // environment decides; one that names no file cannot be checked.
    ScopedEnv x("DISPLAY", ":0");
    ElevatedCommandOptions fromEnv = good;
    fromEnv.systemBusSocket.clear();
    const std::pair<std::string, bool> addresses[] = {
        {"unix:path=" + tree.path("bus"), true},
        {"unix:path=" + tree.path("bus") + ",guid=0123abcd", true},
        {"unix:guid=0123abcd,path=" + tree.path("bus") + ";unix:path=/nowhere", true},
        {"unix:path=" + tree.path("no-such-socket"), false},
        {"unix:path=" + tree.path("not-a-socket"), false},
        {"unix:abstract=/tmp/dbus-abc", true},
        {"tcp:host=localhost,port=4000", true},
    };
    for (const auto& [address, expected] : addresses) {
        SCOPED_TRACE(address);
        ScopedEnv bus("DBUS_SYSTEM_BUS_ADDRESS", address);
        EXPECT_EQ(ElevatedCommand(fromEnv).available(), expected);
    }
}

TEST(ElevatedCommand, LauncherIsFoundOnAbsolutePathEntriesOnly) {
    TempTree tree;
    tree.folder("empty");
    tree.fileWithText("first/pkexec", "#!/bin/sh\nexit 0\n");  // not executable: skipped
    writeScript(tree, "bin/pkexec", ": > " + tree.path("ran-from-bin") + "\n" + kPassThrough);

    {
        ScopedEnv path("PATH", tree.path("empty") + ":" + tree.path("first") + "::" + tree.path("bin") + "/");
        ElevatedCommand command;
        EXPECT_EQ(command.launcherPath(), tree.path("bin") + "/pkexec");
        EXPECT_TRUE(command.run("/bin/true", {}).exitedWith(0));
        EXPECT_TRUE(exists(tree.path("ran-from-bin")));
    }
    {
        // A relative entry would pick a launcher by the folder we run in.
        ScopedCwd cwd(tree.root());
        ScopedEnv path("PATH", "bin");
        const std::string found = ElevatedCommand().launcherPath();
        EXPECT_NE(found, "bin/pkexec");
        EXPECT_TRUE(found.empty() || found.front() == '/') << found;
    }
}

}  // namespace
}  // namespace qv::platform
