#include "support/RunQuorvane.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace qv::test {
namespace {

QJsonObject jsonOf(const CommandResult& r) { return QJsonDocument::fromJson(r.out).object(); }

class ActionsCommandTest : public ::testing::Test {
protected:
    TempTree tree;
    ScopedEnv home{"HOME", tree.path("home")};
    ScopedEnv data{"XDG_DATA_HOME", tree.path("home/.local/share")};

    void SetUp() override {
        tree.folder("home");
        for (const char* name : {"c.txt", "d.txt", "report.txt", "plan-2023.txt", "notes.txt"}) {
            tree.fileWithText(std::string("L/") + name, std::string("left ") + name);
            tree.fileWithText(std::string("R/") + name, std::string("right ") + name + " differs");
        }
    }
    QStringList sides() const { return {q(tree.path("L")), q(tree.path("R"))}; }
    CommandResult actions(const QStringList& marks) { return runQuorvane(QStringList{"actions"} + sides() + marks); }
    // "Action path ➜ new name" of each planned row.
    QStringList rowsOf(const QStringList& marks) {
        const CommandResult r = actions(marks + QStringList{"--json"});
        EXPECT_EQ(r.exitCode, 0) << marks.join(' ').toStdString() << r.err.toStdString();
        QStringList rows;
        for (const QJsonValue& row : jsonOf(r)["rows"].toArray()) {
            QString line = row["action"].toString() + QLatin1Char(' ') + row["path"].toString();
            if (row.toObject().contains(QStringLiteral("as"))) line += QStringLiteral(" > ") + row["as"].toString();
            rows << line;
        }
        return rows;
    }
};

TEST_F(ActionsCommandTest, ASeparatorInASingleSideNameIsDroppedNeverSplit) {
    EXPECT_EQ(rowsOf({"--mark", "RenameLeft", "d.txt", "--as", "new:name.txt"}),
              QStringList{"RenameLeft d.txt > newname.txt"});
    EXPECT_EQ(rowsOf({"--mark", "RenameRight", "d.txt", "--as", "new:name.txt"}),
              QStringList{"RenameRight d.txt > newname.txt"});
    EXPECT_EQ(rowsOf({"--mark", "CopyAsToLeft", "d.txt", "--as", "a:b.txt"}), QStringList{"CopyAsToLeft d.txt > ab.txt"});
    // Both sides: the separator divides the left name from the right one.
    EXPECT_EQ(rowsOf({"--mark", "RenameBoth", "d.txt", "--as", "l.txt:r.txt"}),
              QStringList{"RenameBoth d.txt > l.txt:r.txt"});
}

TEST_F(ActionsCommandTest, AnUnchangedNameFallsBackInsteadOfFailingLater) {
    EXPECT_EQ(rowsOf({"--mark", "CopyAsToRight", "c.txt", "--as", "c.txt"}), QStringList{"CopyToRight c.txt"});
    EXPECT_EQ(rowsOf({"--mark", "CopyAsToLeft", "c.txt", "--as", "c.txt"}), QStringList{"CopyToLeft c.txt"});
    const CommandResult rename = actions({"--mark", "RenameRight", "d.txt", "--as", "d.txt", "--execute"});
    EXPECT_EQ(rename.exitCode, 0) << rename.out.toStdString() << rename.err.toStdString();
    EXPECT_TRUE(rename.err.contains("d.txt")) << rename.err.toStdString();
    EXPECT_FALSE(rename.out.contains("failed")) << rename.out.toStdString();
    EXPECT_EQ(tree.contents("R/d.txt"), "right d.txt differs");
    // One side of a rename of both that changes nothing leaves the other side's rename.
    EXPECT_EQ(rowsOf({"--mark", "RenameBoth", "d.txt", "--as", "d.txt:e.txt"}), QStringList{"RenameRight d.txt > e.txt"});
}

TEST_F(ActionsCommandTest, DuplicateNamesAreLookedForInTheFolderWrittenInto) {
    auto conflicts = [&](const QStringList& marks) {
        const CommandResult r = actions(marks + QStringList{"--json"});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return jsonOf(r)["conflicts"].toArray().toVariantList();
    };
    EXPECT_TRUE(conflicts({"--mark", "RenameRight", "c.txt", "--as", "Z.txt", "--mark", "CopyAsToLeft", "d.txt", "--as",
                           "Z.txt"})
                    .isEmpty());
    EXPECT_EQ(conflicts({"--mark", "RenameRight", "c.txt", "--as", "Z.txt", "--mark", "CopyAsToRight", "d.txt", "--as",
                         "Z.txt"}),
              QVariantList{QStringLiteral("right:Z.txt")});
}

TEST_F(ActionsCommandTest, PatternsNameEveryPathAndExecuteOnDisk) {
    const CommandResult dry = actions({"--mark", "CopyAsToRight", "report.txt", "plan-2023.txt", "--rename", "after", "-old"});
    ASSERT_EQ(dry.exitCode, 0) << dry.err.toStdString();
    EXPECT_TRUE(dry.out.contains("report.txt \xE2\x9E\x9C report-old.txt")) << dry.out.toStdString();
    EXPECT_TRUE(dry.out.contains("plan-2023.txt \xE2\x9E\x9C plan-2023-old.txt")) << dry.out.toStdString();
    EXPECT_FALSE(tree.exists("R/report-old.txt"));

    const CommandResult copy = actions(
        {"--mark", "CopyAsToRight", "report.txt", "plan-2023.txt", "--rename", "after", "-old", "--execute"});
    ASSERT_EQ(copy.exitCode, 0) << copy.out.toStdString() << copy.err.toStdString();
    EXPECT_EQ(tree.contents("R/report-old.txt"), "left report.txt");
    EXPECT_EQ(tree.contents("R/plan-2023-old.txt"), "left plan-2023.txt");
    EXPECT_EQ(tree.contents("R/report.txt"), "right report.txt differs");

    // Only names holding the find text are renamed; the others keep their names.
    const CommandResult rename = actions({"--mark", "RenameLeft", "plan-2023.txt", "notes.txt", "--rename", "replace",
                                          "2023:2024", "--execute"});
    ASSERT_EQ(rename.exitCode, 0) << rename.out.toStdString() << rename.err.toStdString();
    EXPECT_EQ(tree.contents("L/plan-2024.txt"), "left plan-2023.txt");
    EXPECT_FALSE(tree.exists("L/plan-2023.txt"));
    EXPECT_EQ(tree.contents("L/notes.txt"), "left notes.txt");

    const CommandResult before = actions({"--mark", "RenameBoth", "d.txt", "--rename", "before", "-", "--execute"});
    ASSERT_EQ(before.exitCode, 0) << before.out.toStdString() << before.err.toStdString();
    EXPECT_EQ(tree.contents("L/-d.txt"), "left d.txt");
    EXPECT_EQ(tree.contents("R/-d.txt"), "right d.txt differs");
}

TEST_F(ActionsCommandTest, APlanFileCarriesTheRenameDictionary) {
    const std::string planPath = tree.path("plan.json");
    std::ofstream(planPath) << R"([{"action": "RenameRight", "path": "report.txt", "rename": {"rename": 2, "text": "x-"}},
                                  {"action": "CopyAsToLeft", "path": "notes.txt", "rename": {"rename": 3, "text": "notes:memo"}}])";
    EXPECT_EQ(rowsOf({"--plan", q(planPath)}),
              (QStringList{"CopyAsToLeft notes.txt > memo.txt", "RenameRight report.txt > x-report.txt"}));
    std::ofstream(planPath) << R"([{"action": "RenameRight", "path": "report.txt", "rename": {"rename": "after"}}])";
    EXPECT_EQ(actions({"--plan", q(planPath)}).exitCode, 2);
}

TEST_F(ActionsCommandTest, BadNamesAndPatternsAreRefusedBeforeAnyChange) {
    const QString tooLong(256, QLatin1Char('n'));
    const QStringList bad[] = {
        {"--mark", "RenameLeft", "d.txt", "--as", "a/b"},
        {"--mark", "RenameLeft", "d.txt", "--as", ".."},
        {"--mark", "CopyAsToRight", "d.txt", "--as", tooLong},
        {"--mark", "RenameRight", "d.txt", "--as", ":"},   // nothing left once the separator goes
        {"--mark", "RenameLeft", "c.txt", "d.txt", "--rename", "new", "same.txt"},   // one name for two items
        {"--mark", "RenameLeft", "d.txt", "--rename", "replace", "nocolon"},
        {"--mark", "RenameLeft", "d.txt", "--rename", "replace", ":x"},
        {"--mark", "RenameLeft", "d.txt", "--rename", "sideways", "x"},
        {"--mark", "RenameLeft", "d.txt", "--rename", "before", "sub/"},   // the pattern makes a path
        {"--mark", "RenameLeft", "d.txt", "--rename", "after", tooLong},
        {"--mark", "RenameLeft", "d.txt", "--as", "x.txt", "--rename", "after", "-x"},
    };
    for (const QStringList& marks : bad) {
        const CommandResult r = actions(marks + QStringList{"--execute"});
        EXPECT_EQ(r.exitCode, 2) << marks.join(' ').toStdString() << r.out.toStdString();
        EXPECT_FALSE(r.err.isEmpty());
    }
    EXPECT_EQ(tree.contents("L/d.txt"), "left d.txt");
    EXPECT_EQ(tree.contents("L/c.txt"), "left c.txt");
    EXPECT_FALSE(tree.exists("L/sub"));
}

// With the left folder on a read-only mount, only what writes to the left is
// refused; what fails there anyway says "read-only", not an I/O error.
TEST_F(ActionsCommandTest, AReadOnlySideRefusesOnlyTheActionsThatWriteToIt) {
    tree.fileWithText("L/sub/inner.txt", "inner left");
    tree.fileWithText("R/sub/inner.txt", "inner right, longer");
    const QString readOnlyLeft = QStringLiteral("mount --bind -o ro '%1' '%1'").arg(q(tree.path("L")));
    const std::pair<const char*, int> expected[] = {
        {"AliasToRight", 0}, {"AttrsToRight", 0}, {"CopyAsToRight", 0}, {"CopyToRight", 0}, {"DeleteRight", 0},
        {"AliasToLeft", 2},  {"AttrsToLeft", 2},  {"CopyAsToLeft", 2},  {"CopyToLeft", 2},  {"DeleteLeft", 2},
        {"RenameLeft", 2},   {"RenameBoth", 2},   {"DeleteBoth", 2}};
    for (const auto& [action, status] : expected) {
        const auto r = runQuorvaneWithMounts(readOnlyLeft, QStringList{"actions"} + sides() +
                                                       QStringList{"--mark", action, "c.txt", "--as", "n.txt"});
        if (!r) GTEST_SKIP() << "no mount namespace here";
        EXPECT_EQ(r->exitCode, status) << action << r->err.toStdString();
    }
    // A read-only mount inside the left folder is not seen when planning;
    // executing reports the refusal as what it is.
    const QString readOnlySub = QStringLiteral("mount --bind -o ro '%1' '%1'").arg(q(tree.path("L/sub")));
    const auto r = runQuorvaneWithMounts(readOnlySub, QStringList{"actions"} + sides() +
                                                  QStringList{"--mark", "AttrsToLeft", "sub/inner.txt", "--execute"});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->exitCode, 1) << r->out.toStdString();
    EXPECT_TRUE(r->out.contains(std::strerror(EROFS))) << r->out.toStdString();
}

}  // namespace
}  // namespace qv::test
