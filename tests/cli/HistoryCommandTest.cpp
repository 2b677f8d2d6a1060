#include "support/RunQuorvane.h"
#include "support/TempTree.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace qv::test {
namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

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

}  // namespace
}  // namespace qv::test
