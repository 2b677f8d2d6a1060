#include "support/RunQuorvane.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace qv::test {
namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

QJsonObject jsonOf(const CommandResult& r) { return QJsonDocument::fromJson(r.out).object(); }

// Both sides in one temporary tree, and a private home for the trash.
class SyncCommandTest : public ::testing::Test {
protected:
    TempTree tree;
    ScopedEnv home{"HOME", tree.path("home")};
    ScopedEnv data{"XDG_DATA_HOME", tree.path("home/.local/share")};

    void SetUp() override {
        tree.folder("home");
        tree.fileWithText("L/same.txt", "same");
        tree.fileWithText("R/same.txt", "same");
        tree.fileWithText("L/changed.txt", "new contents", kBaseTimeNs + 60'000'000'000LL);
        tree.fileWithText("R/changed.txt", "old", kBaseTimeNs);
        tree.fileWithText("L/sub/left only.txt", "left");
        tree.fileWithText("R/right only.txt", "right");
        tree.fileWithText("L/-dash \"quoted\"\nline", "awkward");
    }
    QStringList sides() const { return {q(tree.path("L")), q(tree.path("R"))}; }
    CommandResult sync(const QStringList& extra) {
        return runQuorvane(QStringList{"sync"} + sides() + extra);
    }
};

TEST_F(SyncCommandTest, DryRunPlansWithoutTouchingAnythingAndExecuteMakesTheSidesEqual) {
    const CommandResult plan =
        sync({"--type", "mirror", "--direction", "lr", "--delete-orphans", "--json"});
    ASSERT_EQ(plan.exitCode, 0) << plan.err.toStdString();
    const QJsonObject p = jsonOf(plan);
    EXPECT_EQ(p["executed"].toBool(), false);
    EXPECT_EQ(p["status"].toString(), QStringLiteral("planned"));
    EXPECT_EQ(p["groups"]["copyLeft"]["items"].toInt(), 3);
    EXPECT_EQ(p["groups"]["deleteRight"]["items"].toInt(), 1);
    QStringList planned;
    for (const QJsonValue& row : p["rows"].toArray())
        planned << row["action"].toString() + QLatin1Char(' ') + row["path"].toString();
    planned.sort();
    EXPECT_EQ(planned, (QStringList{"CopyToRight -dash \"quoted\"\nline", "CopyToRight changed.txt",
                                    "CopyToRight sub", "DeleteRight right only.txt"}));
    EXPECT_EQ(tree.contents("R/changed.txt"), "old");
    EXPECT_TRUE(tree.exists("R/right only.txt"));

    const CommandResult run = sync({"--type", "mirror", "--direction", "lr", "--delete-orphans", "--execute"});
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("done\tDeleteRight\tright only.txt")) << run.out.toStdString();
    EXPECT_EQ(runQuorvane(QStringList{"compare"} + sides()).exitCode, 0);
    EXPECT_EQ(tree.contents("R/-dash \"quoted\"\nline"), "awkward");
    EXPECT_TRUE(tree.exists("home/.local/share/Trash/files/right only.txt"));

    const CommandResult nothing = sync({"--type", "mirror", "--direction", "lr", "--execute"});
    EXPECT_EQ(nothing.exitCode, 0);
    EXPECT_EQ(jsonOf(sync({"--type", "mirror", "--direction", "lr", "--json"}))["rows"].toArray().size(), 0);
}

TEST_F(SyncCommandTest, UpdateBothWaysCopiesNewerAndOneSidedItemsAndKeepsOrphans) {
    const CommandResult run = sync({"--type", "update", "--direction", "both", "--delete-orphans", "--execute"});
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
    EXPECT_EQ(tree.contents("R/changed.txt"), "new contents");
    EXPECT_EQ(tree.contents("L/right only.txt"), "right");   // both ways: nothing is deleted
    EXPECT_EQ(tree.contents("R/sub/left only.txt"), "left");
    EXPECT_EQ(runQuorvane(QStringList{"compare"} + sides()).exitCode, 0);
}

TEST_F(SyncCommandTest, BadRequestsFailBeforeAnyChange) {
    for (const QStringList& bad : {QStringList{"--direction", "lr"}, QStringList{"--type", "mirror"},
                                   QStringList{"--type", "mirror", "--direction", "both", "--execute"},
                                   QStringList{"--type", "sideways", "--direction", "lr"},
                                   QStringList{"--type", "mirror", "--direction", "lr", "--execute", "--archive",
                                               q(tree.path("L/sub"))},
                                   QStringList{"--type", "mirror", "--direction", "lr", "--execute", "--archive",
                                               q(tree.path("missing"))}}) {
        const CommandResult r = sync(bad);
        EXPECT_EQ(r.exitCode, 2) << bad.join(' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty());
    }
    EXPECT_EQ(tree.contents("R/changed.txt"), "old");
    EXPECT_TRUE(tree.exists("R/right only.txt"));

    const CommandResult snapshot =
        runQuorvane({"snapshot", "record", q(tree.path("R")), q(tree.path("r.qvss"))});
    ASSERT_EQ(snapshot.exitCode, 0) << snapshot.err.toStdString();
    const CommandResult ontoSnapshot = runQuorvane({"sync", q(tree.path("L")), q(tree.path("r.qvss")), "--type",
                                                    "mirror", "--direction", "lr", "--execute"});
    EXPECT_EQ(ontoSnapshot.exitCode, 2) << ontoSnapshot.out.toStdString();
}

TEST_F(SyncCommandTest, ActionsMarkItemsWithNamesAndRefuseWhatCannotApply) {
    tree.fileWithText("R/-leading.txt", "dash");
    const CommandResult plan =
        runQuorvane(QStringList{"actions"} + sides() +
                    QStringList{"--mark", "CopyAsToRight", "changed.txt", "--as", "changed copy.txt", "--mark",
                                "DeleteBoth", "same.txt", "--mark", "RenameRight", "--path", "-leading.txt", "--as",
                                "renamed.txt", "--mark", "11", "changed.txt", "--json"});
    ASSERT_EQ(plan.exitCode, 0) << plan.err.toStdString();
    const QJsonObject p = jsonOf(plan);
    // One action per item: the later mark of changed.txt replaces the first;
    // the delete of both sides counts twice.
    EXPECT_EQ(p["summary"]["actions"].toInt(), 3 + 1);
    QStringList actions;
    for (const QJsonValue& row : p["rows"].toArray()) actions << row["action"].toString();
    actions.sort();
    EXPECT_EQ(actions, (QStringList{"AttrsToLeft", "DeleteBoth", "RenameRight"}));
    const CommandResult run = runQuorvane(
        QStringList{"actions"} + sides() +
        QStringList{"--mark", "CopyAsToRight", "changed.txt", "--as", "changed copy.txt", "--mark", "DeleteBoth",
                    "same.txt", "--mark", "RenameRight", "--path", "-leading.txt", "--as", "renamed.txt", "--execute",
                    "--set", "mergeDelPermanent=true"});
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
    EXPECT_EQ(tree.contents("R/changed copy.txt"), "new contents");
    EXPECT_EQ(tree.contents("R/changed.txt"), "old");
    EXPECT_FALSE(tree.exists("L/same.txt"));
    EXPECT_FALSE(tree.exists("R/same.txt"));
    EXPECT_FALSE(tree.exists("home/.local/share/Trash/files/same.txt"));   // deleted for good, as asked
    EXPECT_EQ(tree.contents("R/renamed.txt"), "dash");

    for (const QStringList& bad : {QStringList{"--mark", "DeleteRight", "sub"},   // nothing on the right
                                   QStringList{"--mark", "RenameLeft", "changed.txt"},   // no new name
                                   QStringList{"--mark", "CopyToRight", "no/such/path"},
                                   QStringList{"--mark", "Sideways", "changed.txt"}, QStringList{}}) {
        const CommandResult r = runQuorvane(QStringList{"actions"} + sides() + bad + QStringList{"--execute"});
        EXPECT_EQ(r.exitCode, 2) << bad.join(' ').toStdString() << r.out.toStdString();
    }
    EXPECT_TRUE(tree.exists("L/sub/left only.txt"));
    EXPECT_EQ(tree.contents("L/changed.txt"), "new contents");
}

}  // namespace
}  // namespace qv::test
