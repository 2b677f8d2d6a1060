#include "platform/FileCopy.h"
#include "sync/KAuthCopy.h"
#include "support/FakeLauncher.h"
#include "support/FileChecks.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>

namespace qv {
namespace {

using qv::test::readAll;
using qv::test::exists;
using qv::test::isFolder;
using qv::test::linkTarget;
using qv::test::ScopedCwd;
using qv::test::writeScript;
using qv::test::recordingLauncher;
using qv::test::splitAtNul;
using qv::test::mtimeNsOf;
using qv::test::namesIn;
using qv::test::optionsFor;
using qv::test::ScopedEnv;

using test::kBaseTimeNs;
using test::TempTree;

KAuthCopy withLauncher(const std::string& launcher) {
    return KAuthCopy(platform::ElevatedCommand(optionsFor(launcher)));
}

// Each name goes through every operation as a bare relative path, so that
// the names starting with "-" open the argument they are in.
TEST(KAuthCopy, AwkwardNamesReachEachCommandAsOneArgument) {
    TempTree tree;
    const std::string log = tree.path("argv");
    writeScript(tree, "launcher", recordingLauncher(log));
    tree.folder("work/copies");
    ScopedCwd cwd(tree.path("work"));
    const KAuthCopy auth = withLauncher(tree.path("launcher"));
    auto argv = [&] { return splitAtNul(readAll(log)); };
    using Words = std::vector<std::string>;
    const std::string agent = "--disable-internal-agent";

    const std::string names[] = {
        "with space", "new\nline", "quo\"te's", "-rf", "--", "-", "\xff\xfe\x80 not utf-8",
        "$(touch pwned)", "`touch pwned`", "; touch pwned", "*", "back\\slash",
    };
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        tree.fileWithText("work/" + name, "contents of " + name);
        const std::string folder = name + ".d";
        const std::string inside = folder + "/" + name;
        const std::string renamed = name + ".renamed";
        QString error = "stale";

        ASSERT_EQ(auth.MakeDirByTerminal(folder + "/deeper/still", &error), 0) << error.toStdString();
        EXPECT_EQ(argv(), (Words{agent, "/bin/mkdir", "-p", "--", folder + "/deeper/still"}));
        EXPECT_TRUE(isFolder(tree.path("work/" + folder + "/deeper/still")));
        EXPECT_EQ(error, "");
        // An existing folder is not an error for mkdir -p.
        EXPECT_EQ(auth.MakeDirByTerminal(folder, &error), 0) << error.toStdString();

        ASSERT_EQ(auth.MoveByTerminal(name, inside, &error), 0) << error.toStdString();
        EXPECT_EQ(argv(), (Words{agent, "/bin/mv", "-f", "--", name, inside}));
        EXPECT_FALSE(exists(tree.path("work/" + name)));
        EXPECT_EQ(readAll(tree.path("work/" + inside)), "contents of " + name);
        EXPECT_EQ(mtimeNsOf(tree.path("work/" + inside)), kBaseTimeNs);

        ASSERT_EQ(auth.RenameByTerminal(folder, renamed, &error), 0) << error.toStdString();
        EXPECT_EQ(argv(), (Words{agent, "/bin/mv", "-T", "-n", "--", folder, renamed}));
        EXPECT_FALSE(exists(tree.path("work/" + folder)));
        EXPECT_EQ(readAll(tree.path("work/" + renamed + "/" + name)), "contents of " + name);

        ASSERT_EQ(::symlink(name.c_str(), tree.path("work/" + renamed + "/link").c_str()), 0);
        ASSERT_EQ(auth.CopyByTerminal(renamed, "copies/" + renamed, &error), 0) << error.toStdString();
        EXPECT_EQ(argv(), (Words{agent, "/bin/cp", "-pPR", "-T", "-n", "--", renamed, "copies/" + renamed}));
        const std::string copy = tree.path("work/copies/" + renamed);
        EXPECT_EQ(readAll(copy + "/" + name), "contents of " + name);
        EXPECT_EQ(mtimeNsOf(copy + "/" + name), kBaseTimeNs);
        EXPECT_EQ(linkTarget(copy + "/link"), name);
        EXPECT_TRUE(isFolder(copy + "/deeper/still"));

        ASSERT_EQ(auth.RemoveByTerminal(renamed, &error), 0) << error.toStdString();
        EXPECT_EQ(argv(), (Words{agent, "/bin/rm", "-rf", "--", renamed}));
        EXPECT_FALSE(exists(tree.path("work/" + renamed)));
        EXPECT_TRUE(exists(copy + "/" + name));
    }
    EXPECT_FALSE(exists(tree.path("work/pwned")));
    EXPECT_FALSE(exists(tree.path("pwned")));

    // mv -f replaces what stands at the destination; the copy never does.
    tree.fileWithText("work/new", "new");
    tree.fileWithText("work/old", "old");
    EXPECT_EQ(auth.MoveByTerminal("new", "old"), 0);
    EXPECT_EQ(readAll(tree.path("work/old")), "new");
    tree.fileWithText("work/copies/old", "older");
    EXPECT_EQ(auth.CopyByTerminal("old", "copies/old"), KAuthCopy::AuthCommandFailed);
    EXPECT_EQ(readAll(tree.path("work/copies/old")), "older");
}

TEST(KAuthCopy, FailedCommandReportsItsTrimmedOutput) {
    TempTree tree;
    writeScript(tree, "launcher", recordingLauncher(tree.path("argv")));
    const KAuthCopy auth = withLauncher(tree.path("launcher"));
    QString error;

    // The real tools, failing.
    EXPECT_EQ(auth.MoveByTerminal(tree.path("missing source"), tree.path("x"), &error), KAuthCopy::AuthCommandFailed);
    EXPECT_TRUE(error.startsWith("/bin/mv: ") || error.startsWith("mv: ")) << error.toStdString();
    EXPECT_TRUE(error.contains("missing source")) << error.toStdString();
    EXPECT_EQ(error, error.trimmed());
    EXPECT_FALSE(exists(tree.path("x")));

    tree.fileWithText("a file", "x");
    EXPECT_EQ(auth.MakeDirByTerminal(tree.path("a file/sub"), &error), KAuthCopy::AuthCommandFailed);
    EXPECT_TRUE(error.contains("mkdir")) << error.toStdString();
    EXPECT_FALSE(error.endsWith('\n'));
    EXPECT_EQ(auth.CopyByTerminal(tree.path("nothing here"), tree.path("copy"), &error), KAuthCopy::AuthCommandFailed);
    EXPECT_TRUE(error.contains("nothing here")) << error.toStdString();
    EXPECT_EQ(auth.RenameByTerminal(tree.path("nothing here"), tree.path("y"), &error), KAuthCopy::AuthCommandFailed);
    EXPECT_FALSE(error.isEmpty());

    // A command whose output is padded: only the ends are trimmed.
    writeScript(tree, "noisy", "printf '\\n  \\t first line\\n  second line \\r\\n\\n' >&2\nexit 1\n");
    error = "stale";
    EXPECT_EQ(withLauncher(tree.path("noisy")).RemoveByTerminal(tree.path("a file"), &error),
              KAuthCopy::AuthCommandFailed);
    EXPECT_EQ(error, "first line\n  second line");
    EXPECT_TRUE(exists(tree.path("a file")));

    writeScript(tree, "exit4", "echo four\nexit 4\n");
    EXPECT_EQ(withLauncher(tree.path("exit4")).MakeDirByTerminal(tree.path("d"), &error), KAuthCopy::AuthCommandFailed);
    EXPECT_EQ(error, "four");

    // Cut off by a signal: the operation may be half done, so it failed.
    writeScript(tree, "killed", "kill -KILL $$\n");
    error.clear();
    EXPECT_EQ(withLauncher(tree.path("killed")).MoveByTerminal(tree.path("a file"), tree.path("z"), &error),
              KAuthCopy::AuthCommandFailed);
    EXPECT_FALSE(error.isEmpty());

    // The error text is optional.
    EXPECT_EQ(auth.RemoveByTerminal(tree.path("a file")), 0);
    EXPECT_FALSE(exists(tree.path("a file")));
}

TEST(KAuthCopy, DismissedDialogCancelsAndRefusalMeansNoRight) {
    TempTree tree;
    tree.fileWithText("src", "untouched");
    tree.folder("dest");
    writeScript(tree, "dismissing",
                "echo 'Error executing command as another user: Request dismissed' >&2\nexit 126\n");
    writeScript(tree, "refusing", "echo 'Error executing command as another user: Not authorized' >&2\nexit 127\n");
    writeScript(tree, "silent-refusal", "exit 127\n");

    using Operation = std::function<int(const KAuthCopy&, QString*)>;
    const std::string src = tree.path("src"), dest = tree.path("dest");
    const std::pair<const char*, Operation> operations[] = {
        {"move", [&](const KAuthCopy& a, QString* e) { return a.MoveByTerminal(src, dest + "/m", e); }},
        {"copy", [&](const KAuthCopy& a, QString* e) { return a.CopyByTerminal(src, dest + "/c", e); }},
        {"remove", [&](const KAuthCopy& a, QString* e) { return a.RemoveByTerminal(src, e); }},
        {"mkdir", [&](const KAuthCopy& a, QString* e) { return a.MakeDirByTerminal(dest + "/new", e); }},
        {"rename", [&](const KAuthCopy& a, QString* e) { return a.RenameByTerminal(src, dest + "/r", e); }},
    };
    for (const auto& [what, run] : operations) {
        SCOPED_TRACE(what);
        QString error;
        EXPECT_EQ(run(withLauncher(tree.path("dismissing")), &error), KAuthCopy::AuthCancelled);
        EXPECT_EQ(error, "Error executing command as another user: Request dismissed");
        EXPECT_EQ(run(withLauncher(tree.path("refusing")), &error), KAuthCopy::AuthRefused);
        EXPECT_EQ(error, "Error executing command as another user: Not authorized");
        EXPECT_EQ(run(withLauncher(tree.path("silent-refusal")), &error), KAuthCopy::AuthRefused);
        EXPECT_EQ(error, "");
        EXPECT_EQ(readAll(src), "untouched");
        EXPECT_FALSE(exists(dest + "/m") || exists(dest + "/c") || exists(dest + "/new") || exists(dest + "/r"));
    }
}

// The retry with administrator rights refuses what the rename and the copy
// without them refuse, case by case: an entry at the new name is never
// replaced nor moved into, and a copy lands at exactly the path asked for.
// The entries are reached through the folders held open, as execution
// hands them over.
TEST(KAuthCopy, ElevatedRenameAndCopyRefuseWhatTheNormalPathRefuses) {
    TempTree tree;
    writeScript(tree, "launcher", test::kPassThrough);
    const KAuthCopy auth = withLauncher(tree.path("launcher"));
    enum class Standing { Nothing, File, Folder };
    for (const Standing standing : {Standing::Nothing, Standing::File, Standing::Folder}) {
        for (const bool elevated : {false, true}) {
            SCOPED_TRACE(std::string(elevated ? "elevated, " : "normal, ") +
                         (standing == Standing::Nothing ? "nothing" : standing == Standing::File ? "a file" : "a folder") +
                         " at the new name");
            TempTree work;
            work.fileWithText("d/a", "the entry renamed");
            work.fileWithText("d/src", "the entry copied");
            if (standing == Standing::File) {
                work.fileWithText("d/b", "stands at the new name");
                work.fileWithText("d/copy", "stands at the copy's name");
            }
            if (standing == Standing::Folder) {
                work.fileWithText("d/b/inside", "in the folder at the new name");
                work.fileWithText("d/copy/inside", "in the folder at the copy's name");
            }
            platform::HeldEntry a, b, src, copy;
            ASSERT_EQ(platform::entryAtPath(work.path("d/a"), a), 0);
            ASSERT_EQ(platform::entryAtPath(work.path("d/b"), b), 0);
            ASSERT_EQ(platform::entryAtPath(work.path("d/src"), src), 0);
            ASSERT_EQ(platform::entryAtPath(work.path("d/copy"), copy), 0);

            const int renamed = elevated ? auth.RenameByTerminal(platform::pathThrough(a.at()), platform::pathThrough(b.at()))
                                         : platform::moveEntryAt(a.at(), b.at());
            const int copied = elevated ? auth.CopyByTerminal(platform::pathThrough(src.at()), platform::pathThrough(copy.at()))
                                        : platform::copyItemAt(src.at(), copy.at(), false);
            if (standing == Standing::Nothing) {
                EXPECT_EQ(renamed, 0);
                EXPECT_EQ(copied, 0);
                EXPECT_FALSE(work.exists("d/a"));
                EXPECT_EQ(work.contents("d/b"), "the entry renamed");
                EXPECT_EQ(work.contents("d/copy"), "the entry copied");
                EXPECT_EQ(work.contents("d/src"), "the entry copied");
                EXPECT_EQ(namesIn(work.path("d")), (std::set<std::string>{"b", "copy", "src"}));
                continue;
            }
            EXPECT_NE(renamed, 0);
            EXPECT_NE(copied, 0);
            EXPECT_EQ(work.contents("d/a"), "the entry renamed");
            if (standing == Standing::File) {
                EXPECT_EQ(work.contents("d/b"), "stands at the new name");
                EXPECT_EQ(work.contents("d/copy"), "stands at the copy's name");
            } else {
                EXPECT_EQ(namesIn(work.path("d/b")), std::set<std::string>{"inside"});
                EXPECT_EQ(namesIn(work.path("d/copy")), std::set<std::string>{"inside"});
            }
        }
    }
}

TEST(KAuthCopy, NoLauncherMeansNoRetry) {
    TempTree tree;
    tree.fileWithText("src", "untouched");
    writeScript(tree, "launcher", recordingLauncher(tree.path("argv")));
    tree.socket("bus");
    const std::string bus = tree.path("bus");
    ScopedEnv display("DISPLAY", ":0");

    const KAuthCopy present(platform::ElevatedCommand(optionsFor(tree.path("launcher"), bus)));
    EXPECT_TRUE(present.canElevate());

    const KAuthCopy absent(platform::ElevatedCommand(optionsFor(tree.path("no pkexec"), bus)));
    EXPECT_FALSE(absent.canElevate());
    QString error;
    EXPECT_EQ(absent.RemoveByTerminal(tree.path("src"), &error), ENOENT);
    EXPECT_EQ(error, QString::fromLocal8Bit(std::strerror(ENOENT)));
    EXPECT_EQ(readAll(tree.path("src")), "untouched");

    // Nothing on PATH and no graphical session: nothing to offer, whether or
    // not this machine has /usr/bin/pkexec.
    ScopedEnv path("PATH", tree.path("empty"));
    ScopedEnv noX("DISPLAY", std::nullopt);
    ScopedEnv noWayland("WAYLAND_DISPLAY", std::nullopt);
    EXPECT_FALSE(KAuthCopy::available());
}

}  // namespace
}  // namespace qv
