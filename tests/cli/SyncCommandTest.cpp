#include "base/Messages.h"
#include "platform/RunLock.h"
#include "support/FileChecks.h"
#include "support/RunQuorvane.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <set>

namespace qv::test {
namespace {

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

// What a copy removes to make room is counted in the plan and goes where a
// deletion goes: a folder a file replaces, what only the destination's
// folder held.
TEST_F(SyncCommandTest, WhatACopyRemovesToMakeRoomIsPlannedAndTrashed) {
    TempTree pair;
    pair.fileWithText("L/thing", "a file now");
    pair.fileWithText("R/thing/precious.txt", "precious");
    const QStringList sides = {q(pair.path("L")), q(pair.path("R"))};
    const CommandResult plan =
        runQuorvane(QStringList{"sync"} + sides + QStringList{"--type", "mirror", "--direction", "lr", "--json"});
    ASSERT_EQ(plan.exitCode, 0) << plan.err.toStdString();
    const QJsonObject p = jsonOf(plan);
    EXPECT_EQ(p["groups"]["deleteRight"]["items"].toInt(), 1);
    EXPECT_EQ(p["groups"]["deleteRight"]["bytes"].toInt(), 8);
    const QJsonArray removes = p["rows"].toArray().at(0)["removes"].toArray();
    ASSERT_EQ(removes.size(), 1);
    EXPECT_EQ(removes.at(0)["path"].toString(), QStringLiteral("thing/precious.txt"));
    EXPECT_FALSE(p["deletesPermanently"].toBool());

    const CommandResult run = runQuorvane(QStringList{"sync"} + sides +
                                          QStringList{"--type", "mirror", "--direction", "lr", "--execute"});
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("thing/precious.txt")) << run.out.toStdString();
    EXPECT_EQ(pair.contents("R/thing"), "a file now");
    EXPECT_EQ(tree.contents("home/.local/share/Trash/files/thing/precious.txt"), "precious");

    // A folder copied onto a folder: what only the destination held.
    pair.fileWithText("L/dir/a.txt", "new a");
    pair.fileWithText("R/dir/a.txt", "old a");
    pair.fileWithText("R/dir/only-right.txt", "only here");
    const QStringList mark = {"--mark", "CopyToRight", "dir"};
    const CommandResult marked = runQuorvane(QStringList{"actions"} + sides + mark + QStringList{"--json"});
    ASSERT_EQ(marked.exitCode, 0) << marked.err.toStdString();
    const QJsonObject m = jsonOf(marked);
    EXPECT_EQ(m["groups"]["deleteRight"]["items"].toInt(), 1);
    EXPECT_EQ(m["rows"].toArray().at(0)["removes"].toArray().at(0)["path"].toString(),
              QStringLiteral("dir/only-right.txt"));
    const CommandResult copied = runQuorvane(QStringList{"actions"} + sides + mark + QStringList{"--execute"});
    ASSERT_EQ(copied.exitCode, 0) << copied.out.toStdString() << copied.err.toStdString();
    EXPECT_EQ(namesIn(pair.path("R/dir")), std::set<std::string>{"a.txt"});
    EXPECT_EQ(tree.contents("home/.local/share/Trash/files/dir/only-right.txt"), "only here");

    // Deleting for good says so before anything runs.
    pair.fileWithText("R/dir/again.txt", "gone for good");
    const QStringList permanent = {"--set", "mergeDelPermanent=true"};
    const CommandResult forGood = runQuorvane(QStringList{"actions"} + sides + mark + permanent);
    EXPECT_TRUE(forGood.out.contains(Messages::format("cliRemovesForGood", "dir/again.txt", "1", "").left(20).toUtf8()))
        << forGood.out.toStdString();
    EXPECT_TRUE(jsonOf(runQuorvane(QStringList{"actions"} + sides + mark + permanent + QStringList{"--json"}))
                    ["deletesPermanently"].toBool());
}

// Without a usable trash (here a link planted where its files folder
// belongs), nothing is deleted for good unless that was asked for, the rows
// say why, and the run does not report success.
TEST_F(SyncCommandTest, WithoutAUsableTrashDeletionsFailAndSayWhy) {
    tree.folder("elsewhere");
    tree.folder("home/.local/share/Trash/info");
    tree.link("home/.local/share/Trash/files", tree.path("elsewhere"));
    const QStringList mirror = {"--type", "mirror", "--direction", "lr", "--delete-orphans", "--execute"};
    const CommandResult run = sync(mirror + QStringList{"--json"});
    EXPECT_EQ(run.exitCode, 1) << run.out.toStdString();
    const QJsonObject r = jsonOf(run);
    EXPECT_EQ(r["status"].toString(), QStringLiteral("failed"));
    for (const QJsonValue& row : r["rows"].toArray()) {
        if (row["action"].toString() != QStringLiteral("DeleteRight")) continue;
        EXPECT_EQ(row["status"].toString(), QStringLiteral("failed"));
        EXPECT_TRUE(row["message"].toString().contains(QString::fromLocal8Bit(std::strerror(ENOTDIR))))
            << row["message"].toString().toStdString();
    }
    EXPECT_EQ(tree.contents("R/right only.txt"), "right");
    EXPECT_TRUE(namesIn(tree.path("elsewhere")).empty());
    EXPECT_EQ(tree.contents("R/changed.txt"), "new contents");   // the other rows ran

    const CommandResult forGood = sync(mirror + QStringList{"--set", "mergeDelPermanent=true"});
    EXPECT_EQ(forGood.exitCode, 0) << forGood.out.toStdString();
    EXPECT_FALSE(tree.exists("R/right only.txt"));
    EXPECT_TRUE(namesIn(tree.path("elsewhere")).empty());
}

// A run locks its folders: a second run on the same folder, one inside it or
// one holding it is refused before it changes anything; a dry run and a run
// on other folders are not.
TEST_F(SyncCommandTest, ASecondRunOnOverlappingFoldersIsRefused) {
    ScopedEnv runtime("XDG_RUNTIME_DIR", tree.path("run"));
    tree.folder("run");
    tree.folder("R/inner");
    const QStringList mirror = {"--type", "mirror", "--direction", "lr", "--execute"};
    for (const char* held : {"R", "R/inner", ""}) {
        SCOPED_TRACE(std::string("held: ") + held);
        platform::RunLock other;
        std::string busy;
        ASSERT_EQ(other.acquire({tree.path(held)}, busy), 0);
        const CommandResult refused = sync(mirror);
        EXPECT_EQ(refused.exitCode, 2) << refused.out.toStdString();
        EXPECT_FALSE(refused.err.isEmpty());
        EXPECT_EQ(tree.contents("R/changed.txt"), "old");
        EXPECT_EQ(sync({"--type", "mirror", "--direction", "lr"}).exitCode, 0);
    }
    platform::RunLock unrelated;
    std::string busy;
    tree.folder("unrelated");
    ASSERT_EQ(unrelated.acquire({tree.path("unrelated")}, busy), 0);
    EXPECT_EQ(sync(mirror).exitCode, 0);
    EXPECT_EQ(tree.contents("R/changed.txt"), "new contents");
}

// Two runs started together on the same pair: every original reaches the
// trash exactly once, whichever run replaces it.
TEST_F(SyncCommandTest, TwoRunsAtOnceLoseNoOriginal) {
    ScopedEnv runtime("XDG_RUNTIME_DIR", tree.path("run"));
    tree.folder("run");
    TempTree pair;
    for (int i = 0; i < 200; ++i) {
        const std::string name = "f" + std::to_string(i);
        pair.fileWithText("L/" + name, "new " + name, kBaseTimeNs + 10'000'000'000LL);
        pair.fileWithText("R/" + name, "original " + name, kBaseTimeNs);
    }
    const QStringList args = {"sync", q(pair.path("L")), q(pair.path("R")), "--type", "mirror", "--direction", "lr",
                              "--archive", "trash", "--execute"};
    QProcess first, second;
    for (QProcess* p : {&first, &second}) p->start(QStringLiteral(QUORVANE_BIN), args);
    for (QProcess* p : {&first, &second}) ASSERT_TRUE(p->waitForFinished(60000));
    for (QProcess* p : {&first, &second}) EXPECT_TRUE(p->exitCode() == 0 || p->exitCode() == 2) << p->exitCode();
    std::map<std::string, int> originals;
    for (const std::string& name : namesIn(tree.path("home/.local/share/Trash/files")))
        ++originals[tree.contents("home/.local/share/Trash/files/" + name)];
    for (int i = 0; i < 200; ++i) {
        const std::string name = "f" + std::to_string(i);
        EXPECT_EQ(pair.contents("R/" + name), "new " + name);
        EXPECT_EQ(originals["original " + name], 1) << name;
    }
}

// Names like our temporaries' are the user's: compared, copied and kept.
// Only a temporary this program can prove it left behind is swept.
TEST_F(SyncCommandTest, NamesLikeOurTemporariesAreTheUsers) {
    tree.fileWithText("L/.qvwrite-notes", "the user's notes");
    tree.fileWithText("R/.qvwrite-mine", "the user's own, only on the right");
    const std::string dead = tree.deadTemporary("R", "half a copy of a killed run");
    const CommandResult compare = runQuorvane(QStringList{"compare"} + sides() + QStringList{"--json"});
    EXPECT_TRUE(compare.out.contains(".qvwrite-notes"));
    EXPECT_TRUE(compare.out.contains(".qvwrite-mine"));
    EXPECT_FALSE(compare.out.contains(QByteArray::fromStdString(dead)));
    const CommandResult run = sync({"--type", "mirror", "--direction", "lr", "--execute"});
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
    EXPECT_EQ(tree.contents("R/.qvwrite-notes"), "the user's notes");
    EXPECT_EQ(tree.contents("R/.qvwrite-mine"), "the user's own, only on the right");
    EXPECT_FALSE(tree.exists("R/" + dead));
}

// An update cannot order a file against a folder: the pair is left
// undecided with its reason, never planned into the file.
TEST_F(SyncCommandTest, AnUpdateLeavesAFileFacingAFolderUndecided) {
    tree.fileWithText("L/thing", "a file");
    tree.fileWithText("R/thing/inner.txt", "in a folder");
    const CommandResult plan = sync({"--type", "update", "--direction", "both", "--json"});
    ASSERT_EQ(plan.exitCode, 0) << plan.err.toStdString();
    const QJsonObject p = jsonOf(plan);
    for (const QJsonValue& row : p["rows"].toArray())
        EXPECT_FALSE(row["path"].toString().startsWith(QStringLiteral("thing"))) << row["path"].toString().toStdString();
    EXPECT_TRUE(p["notSynced"].toArray().contains(QStringLiteral("thing")));
    const QJsonArray undecided = p["undecided"].toArray();
    ASSERT_EQ(undecided.size(), 1);
    EXPECT_EQ(undecided.at(0)["path"].toString(), QStringLiteral("thing"));
    EXPECT_EQ(undecided.at(0)["reason"].toString(), QStringLiteral("kinds"));
    const CommandResult text = sync({"--type", "update", "--direction", "lr"});
    EXPECT_TRUE(text.out.contains(Messages::text("cliNotSyncedKinds").toUtf8())) << text.out.toStdString();
    const CommandResult run = sync({"--type", "update", "--direction", "both", "--execute"});
    EXPECT_EQ(run.exitCode, 0) << run.out.toStdString();
    EXPECT_EQ(tree.contents("L/thing"), "a file");
    EXPECT_EQ(tree.contents("R/thing/inner.txt"), "in a folder");
}

// Marks act like presses on a selection: a folder with its contents, and
// marks of one item that combine or repeat, give what the buttons give.
TEST_F(SyncCommandTest, MarksCombineAsPressesOnASelectionDo) {
    tree.fileWithText("L/dir/in1.txt", "1");
    tree.fileWithText("R/dir/in1.txt", "one");
    tree.fileWithText("R/dir/in2.txt", "2");
    auto rowsOf = [&](const QStringList& marks) {
        const CommandResult r = runQuorvane(QStringList{"actions"} + sides() + marks + QStringList{"--json"});
        EXPECT_EQ(r.exitCode, 0) << marks.join(' ').toStdString() << r.err.toStdString();
        QStringList rows;
        for (const QJsonValue& row : jsonOf(r)["rows"].toArray())
            rows << row["action"].toString() + QLatin1Char(' ') + row["path"].toString();
        return rows;
    };
    EXPECT_EQ(rowsOf({"--mark", "DeleteRight", "dir", "dir/in1.txt"}), QStringList{"DeleteRight dir"});
    EXPECT_EQ(rowsOf({"--mark", "DeleteRight", "same.txt", "--mark", "DeleteLeft", "same.txt"}),
              QStringList{"DeleteBoth same.txt"});
    EXPECT_EQ(rowsOf({"--mark", "DeleteRight", "same.txt", "--mark", "DeleteRight", "same.txt"}),
              QStringList{"DeleteRight same.txt"});
    EXPECT_EQ(rowsOf({"--mark", "DeleteBoth", "same.txt", "--mark", "DeleteLeft", "same.txt"}),
              QStringList{"DeleteBoth same.txt"});
    EXPECT_EQ(rowsOf({"--mark", "CopyToRight", "changed.txt", "--mark", "CopyToRight", "changed.txt"}),
              QStringList{"CopyToRight changed.txt"});
}

// Trees deeper than PATH_MAX allows a path to be are compared and copied whole.
TEST_F(SyncCommandTest, TreesPastPathMaxAreComparedAndCopied) {
    TempTree pair;
    pair.folder("R");
    pair.chain("L", 30, [](int level) { return std::to_string(level) + std::string(200, 'd'); }, "bottom.txt", "deep");
    const QStringList sides = {q(pair.path("L")), q(pair.path("R"))};
    // The totals of the root row count every folder and the file at the bottom.
    auto rootRow = [&] {
        const CommandResult r = runQuorvane(QStringList{"compare"} + sides + QStringList{"--json"});
        return QJsonDocument::fromJson(r.out.left(r.out.indexOf('\n'))).object();
    };
    QJsonObject root = rootRow();
    EXPECT_EQ(root["folders1"].toInt(), 30);
    EXPECT_EQ(root["files1"].toInt(), 1);
    const CommandResult run =
        runQuorvane(QStringList{"sync"} + sides + QStringList{"--type", "mirror", "--direction", "lr", "--execute"});
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
    EXPECT_EQ(runQuorvane(QStringList{"compare"} + sides).exitCode, 0);
    root = rootRow();
    EXPECT_EQ(root["folders2"].toInt(), 30);
    EXPECT_EQ(root["files2"].toInt(), 1);
}

TEST_F(SyncCommandTest, IgnoredItemsStayOutOfEveryAction) {
    tree.fileWithText("L/sub/keep me.txt", "mine");
    // Marking only: the tree is shown with the marks, filtered as asked.
    const CommandResult marked = runQuorvane(QStringList{"actions"} + sides() +
                                             QStringList{"--mark", "ignore", "sub/keep me.txt", "--json"});
    ASSERT_EQ(marked.exitCode, 1) << marked.err.toStdString();
    QStringList ignored;
    for (const QByteArray& line : marked.out.split('\n')) {
        const QJsonObject row = QJsonDocument::fromJson(line).object();
        if (row["ignored"].toBool()) ignored << row["path"].toString();
    }
    EXPECT_EQ(ignored, QStringList{"sub/keep me.txt"});
    const CommandResult hidden = runQuorvane(QStringList{"actions"} + sides() +
                                             QStringList{"--mark", "ignore", "sub/keep me.txt", "--hide", "ignored"});
    EXPECT_FALSE(hidden.out.contains("keep me")) << hidden.out.toStdString();
    EXPECT_TRUE(hidden.out.contains("left only.txt"));
    const CommandResult shown = runQuorvane(QStringList{"actions"} + sides() +
                                            QStringList{"--mark", "ignore", "sub/keep me.txt", "--show", "left,ignored"});
    EXPECT_TRUE(shown.out.contains("keep me.txt")) << shown.out.toStdString();

    // The folder's copy goes around the ignored file, and executing it leaves the file where it is.
    const QStringList copySub{"--mark", "ignore", "sub/keep me.txt", "--mark", "CopyToRight", "sub", "--json"};
    const CommandResult plan = runQuorvane(QStringList{"actions"} + sides() + copySub);
    ASSERT_EQ(plan.exitCode, 0) << plan.err.toStdString();
    QStringList rows;
    for (const QJsonValue& row : jsonOf(plan)["rows"].toArray()) rows << row["path"].toString();
    EXPECT_EQ(rows, QStringList{"sub/left only.txt"});
    ASSERT_EQ(runQuorvane(QStringList{"actions"} + sides() + copySub + QStringList{"--execute"}).exitCode, 0);
    EXPECT_TRUE(tree.exists("R/sub/left only.txt"));
    EXPECT_FALSE(tree.exists("R/sub/keep me.txt"));

    // Taken off again, the item is part of the next plan.
    const CommandResult back = runQuorvane(QStringList{"actions"} + sides() +
                                           QStringList{"--mark", "ignore", "sub", "--mark", "unignore", "sub/keep me.txt",
                                                       "--mark", "CopyToRight", "sub/keep me.txt", "--json"});
    ASSERT_EQ(back.exitCode, 0) << back.err.toStdString();
    EXPECT_EQ(jsonOf(back)["rows"].toArray().size(), 1);

    const CommandResult missing = runQuorvane(QStringList{"actions"} + sides() + QStringList{"--mark", "ignore", "nowhere"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(missing.err.contains("nowhere")) << missing.err.toStdString();
}

// A plan that empties most of the destination needs --force-delete: the
// guard counts entries (a folder with its contents) against what the side holds.
TEST(SyncSafetyTest, MassDeletionNeedsForceAtMoreThanHalfAndTenEntries) {
    struct Case {
        int common, onlyRight;
        bool refused;
    };
    for (const Case c : {Case{51, 49, false}, Case{49, 51, true}, Case{0, 9, false}}) {
        TempTree t;
        ScopedEnv home{"HOME", t.path("home")};
        ScopedEnv data{"XDG_DATA_HOME", t.path("home/.local/share")};
        t.folder("home");
        t.folder("L");
        for (int i = 0; i < c.common; ++i) {
            t.fileWithText("L/c" + std::to_string(i), "same");
            t.fileWithText("R/c" + std::to_string(i), "same");
        }
        for (int i = 0; i < c.onlyRight; ++i) t.fileWithText("R/r" + std::to_string(i), "old");
        const QStringList run = {"sync", q(t.path("L")), q(t.path("R")), "--type", "mirror", "--direction", "lr",
                                 "--delete-orphans", "--execute", "--set", "mergeDelPermanent=true"};
        const CommandResult r = runQuorvane(run);
        const std::string label = std::to_string(c.onlyRight) + " of " + std::to_string(c.common + c.onlyRight);
        if (c.refused) {
            EXPECT_EQ(r.exitCode, 2) << label;
            EXPECT_TRUE(r.err.contains("removes 51 of the 100 entries on the right side")) << r.err.toStdString();
            EXPECT_TRUE(t.exists("R/r0")) << label;
            const CommandResult forced = runQuorvane(run + QStringList{"--force-delete"});
            EXPECT_EQ(forced.exitCode, 0) << forced.err.toStdString();
            EXPECT_FALSE(t.exists("R/r0"));
        } else {
            EXPECT_EQ(r.exitCode, 0) << label << r.err.toStdString();
            EXPECT_FALSE(t.exists("R/r0")) << label;
        }
    }
}

// Folders of which one lies inside the other (here through a link) are
// never synchronised by accident; allowed, the inner one stays out of the outer side.
TEST(SyncSafetyTest, NestedFoldersAreRefusedUnlessAllowedAndThenLeftOut) {
    TempTree t;
    ScopedEnv home{"HOME", t.path("home")};
    t.folder("home");
    t.fileWithText("outer/a.txt", "a");
    t.fileWithText("outer/inner/b.txt", "b");
    t.link("link-to-inner", t.path("outer/inner"));
    const QStringList mirror = {"--type", "mirror", "--direction", "rl", "--execute"};
    const CommandResult refused = runQuorvane(QStringList{"sync", q(t.path("outer")), q(t.path("link-to-inner"))} + mirror);
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(refused.err.contains("--allow-nested")) << refused.err.toStdString();
    EXPECT_FALSE(t.exists("outer/inner/a.txt"));
    EXPECT_EQ(runQuorvane({"actions", q(t.path("outer")), q(t.path("outer/inner")), "--mark", "CopyToRight", "a.txt"}).exitCode, 2);

    // Allowed: the mirror copies a.txt into the inner folder and never the inner folder into itself.
    const CommandResult allowed =
        runQuorvane(QStringList{"sync", q(t.path("outer")), q(t.path("outer/inner")), "--allow-nested"} +
                    QStringList{"--type", "mirror", "--direction", "lr", "--execute", "--json"});
    EXPECT_EQ(allowed.exitCode, 0) << allowed.err.toStdString();
    EXPECT_EQ(t.contents("outer/inner/a.txt"), "a");
    EXPECT_FALSE(t.exists("outer/inner/inner"));
    // Comparing stays possible without asking.
    EXPECT_NE(runQuorvane({"compare", q(t.path("outer")), q(t.path("outer/inner"))}).exitCode, 2);
}

TEST(SyncSafetyTest, DryRunIsTheExplicitDefaultAndRowsShowNewNamesAndResults) {
    TempTree t;
    t.fileWithText("L/a.txt", "a");
    t.fileWithText("R/b.txt", "b");
    const QStringList sides = {q(t.path("L")), q(t.path("R"))};
    const CommandResult dry = runQuorvane(QStringList{"sync"} + sides + QStringList{"--type", "mirror", "--direction", "lr", "-n"});
    EXPECT_EQ(dry.exitCode, 0) << dry.err.toStdString();
    EXPECT_TRUE(dry.out.trimmed().split('\n').last().contains("--execute")) << dry.out.toStdString();
    EXPECT_FALSE(t.exists("R/a.txt"));
    EXPECT_EQ(runQuorvane(QStringList{"sync"} + sides + QStringList{"--type", "mirror", "--direction", "lr", "-n", "--execute"}).exitCode, 2);

    const CommandResult renamed = runQuorvane(QStringList{"actions"} + sides + QStringList{"--mark", "CopyAsToRight", "a.txt", "--as", "c.txt"});
    EXPECT_TRUE(renamed.out.contains("CopyAsToRight\ta.txt \xE2\x9E\x9C c.txt")) << renamed.out.toStdString();
    const CommandResult done = runQuorvane(QStringList{"actions"} + sides +
                                           QStringList{"--mark", "CopyToRight", "a.txt", "--execute", "--json"});
    const QJsonObject row = jsonOf(done)["rows"].toArray().first().toObject();
    EXPECT_EQ(row["result"].toInt(), 1);
    EXPECT_EQ(row["code"].toInt(), 1);   // the action's number, as before
}

// A FIFO or a socket in a mirrored folder is made again on the other side, as rsync -a does.
TEST(SyncSafetyTest, FifosAndSocketsAreRecreatedByAMirror) {
    TempTree t;
    ScopedEnv home{"HOME", t.path("home")};
    t.folder("home");
    t.fileWithText("L/sub/plain.txt", "plain");
    ASSERT_EQ(::mkfifo(t.path("L/pipe").c_str(), 0640), 0);
    ASSERT_EQ(::mknod(t.path("L/sub/sock").c_str(), S_IFSOCK | 0600, 0), 0);
    t.folder("R");
    const CommandResult r = runQuorvane({"sync", q(t.path("L")), q(t.path("R")), "--type", "mirror", "--direction", "lr",
                                         "--execute", "--json"});
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    struct stat st {};
    ASSERT_EQ(::lstat(t.path("R/pipe").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    ASSERT_EQ(::lstat(t.path("R/sub/sock").c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(t.contents("R/sub/plain.txt"), "plain");
}

}  // namespace
}  // namespace qv::test
