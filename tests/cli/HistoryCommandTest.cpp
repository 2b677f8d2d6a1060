#include "support/RunQuorvane.h"
#include "support/TempTree.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace qv::test {
namespace {

TEST(HistoryCommandTest, ComparedPairsAreRememberedAndEdited) {
    QTemporaryDir config;
    TempTree a, b;
    a.fileWithText("f.txt", "x\n");
    b.fileWithText("f.txt", "y\n");
    runQuorvane({"compare", q(a.root()), q(b.root())}, config.path());
    runQuorvane({"compare", q(b.root()), q(a.root())}, config.path());   // the same pair
    runQuorvane({"diff", q(a.path("f.txt")), q(b.path("f.txt"))}, config.path());

    const CommandResult folders = runQuorvane({"history", "list"}, config.path());
    ASSERT_EQ(folders.exitCode, 0);
    EXPECT_EQ(folders.out.count('\n'), 1) << folders.out.toStdString();
    EXPECT_TRUE(folders.out.contains(a.root().c_str()));
    const CommandResult files = runQuorvane({"history", "list", "--files"}, config.path());
    EXPECT_TRUE(files.out.contains("f.txt"));
    const CommandResult paths = runQuorvane({"history", "list", "--paths"}, config.path());
    EXPECT_EQ(paths.out.count('\n'), 2);

    EXPECT_EQ(runQuorvane({"history", "lock", "1"}, config.path()).exitCode, 0);
    EXPECT_EQ(runQuorvane({"history", "clear"}, config.path()).exitCode, 0);
    EXPECT_TRUE(runQuorvane({"history", "list"}, config.path()).out.contains("[locked]"));
    EXPECT_EQ(runQuorvane({"history", "unlock", "1"}, config.path()).exitCode, 0);
    EXPECT_EQ(runQuorvane({"history", "remove", "1"}, config.path()).exitCode, 0);
    EXPECT_TRUE(runQuorvane({"history", "list"}, config.path()).out.isEmpty());
    EXPECT_EQ(runQuorvane({"history", "remove", "7"}, config.path()).exitCode, 2);
    EXPECT_EQ(runQuorvane({"history", "tidy"}, config.path()).exitCode, 2);
}

TEST(HistoryCommandTest, ARunWithSavePathsOffKeepsWhatWasStored) {
    QTemporaryDir config;
    TempTree a, b, c, d;
    runQuorvane({"compare", q(a.root()), q(b.root())}, config.path());
    runQuorvane({"compare", q(c.root()), q(d.root())}, config.path());
    ASSERT_EQ(runQuorvane({"history", "lock", "2", "--paths"}, config.path()).exitCode, 0);
    ASSERT_EQ(runQuorvane({"history", "lock", "2"}, config.path()).exitCode, 0);
    const QByteArray pairs = runQuorvane({"history", "list"}, config.path()).out;
    const QByteArray paths = runQuorvane({"history", "list", "--paths"}, config.path()).out;
    ASSERT_EQ(paths.count('\n'), 4);
    ASSERT_TRUE(paths.contains("[locked]"));

    ASSERT_EQ(runQuorvane({"settings", "set", "savePaths", "false"}, config.path()).exitCode, 0);
    TempTree e, f;
    e.fileWithText("x", "1\n");
    f.fileWithText("x", "22\n");
    EXPECT_EQ(runQuorvane({"compare", q(e.root()), q(f.root())}, config.path()).exitCode, 1);
    EXPECT_EQ(runQuorvane({"diff", q(e.path("x")), q(f.path("x"))}, config.path()).exitCode, 1);
    EXPECT_EQ(runQuorvane({"history", "list"}, config.path()).out, pairs);
    EXPECT_EQ(runQuorvane({"history", "list", "--paths"}, config.path()).out, paths);
    EXPECT_TRUE(runQuorvane({"history", "list", "--files"}, config.path()).out.isEmpty());

    // Clearing keeps the locked entries, whatever the setting.
    EXPECT_EQ(runQuorvane({"history", "clear", "--paths"}, config.path()).exitCode, 0);
    const QByteArray kept = runQuorvane({"history", "list", "--paths"}, config.path()).out;
    EXPECT_EQ(kept.count('\n'), 1) << kept.toStdString();
    EXPECT_TRUE(kept.contains("[locked]")) << kept.toStdString();
}

}  // namespace
}  // namespace qv::test
