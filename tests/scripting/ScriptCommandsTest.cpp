// The scripting commands over comparisons without windows: every refusal
// with its number and text, what is stored and when, the road from compare
// through sync and execute back to an equal pair, and the one waiting
// request per comparison.

#include "app/QuorvaneModule.h"
#include "scripting/HeadlessComparisons.h"
#include "scripting/KQuorvaneASCommand.h"
#include "scripting/KQuorvaneScripting.h"
#include "scripting/ScriptableComparison.h"
#include "support/TempTree.h"
#include "support/TestSettings.h"
#include "support/WaitFor.h"

#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace qv::test {
namespace {

using Args = QVariantMap;

class ScriptCommandsTest : public ::testing::Test {
protected:
    TestSettings settings;
    HeadlessComparisons host{settings};
    KQuorvaneScripting scripting{host};
    TempTree left, right;

    // Runs a command to its answer (at most 20 s).
    ScriptResult run(const char* name, const Args& args) {
        std::optional<ScriptResult> result = start(name, args);
        if (!result) {
            EXPECT_TRUE(waitUntil([&] { return m_last.has_value(); })) << name << " never answered";
            result = m_last;
        }
        return result.value_or(ScriptResult{});
    }

    // Starts a command; its answer when it came at once, else it lands in
    // m_last (and in `slot`, when given) once it comes.
    std::optional<ScriptResult> start(const char* name, const Args& args, std::optional<ScriptResult>* slot = nullptr) {
        m_last.reset();
        auto returned = std::make_shared<bool>(false);
        auto now = std::make_shared<std::optional<ScriptResult>>();
        auto command = makeScriptCommand(QString::fromLatin1(name), scripting, settings, args);
        command->perform([this, now, returned, slot](const ScriptResult& r) {
            if (slot) *slot = r;
            if (!*returned) *now = r;
            else m_last = r;
        });
        *returned = true;
        return *now;
    }

    // A compared pair: its number.
    int compared() {
        const ScriptResult r = run("compare", {{"Left", QString::fromStdString(left.root())},
                                               {"Right", QString::fromStdString(right.root())},
                                               {"ShowUI", false}});
        EXPECT_FALSE(r.error) << r.error.text.toStdString();
        return r.comparison;
    }

    static void expectError(const ScriptResult& r, int number, const char* text) {
        EXPECT_EQ(r.error.number, number) << text;
        EXPECT_EQ(r.error.text.toStdString(), text);
        EXPECT_EQ(r.comparison, 0) << text;
    }

    std::optional<ScriptResult> m_last;
};

TEST_F(ScriptCommandsTest, EveryRefusalAnswersWithItsNumberAndText) {
    left.file("a.txt", 3);
    left.folder("sub");
    right.file("a.txt", 3);
    const QString l = QString::fromStdString(left.root()), r = QString::fromStdString(right.root());
    const QString file = QString::fromStdString(left.path("a.txt"));
    const int id = compared();
    ASSERT_GT(id, 0);
    const std::size_t open = host.comparisons().size();

    const char* eitherOr = "Specify either a comparison or left/right files/folders, not both or neither.";
    const char* bothPaths = "Both left and right files/folders must be specified.";
    expectError(run("compare", {{"Comparison", id}, {"Left", l}}), -1708, eitherOr);
    expectError(run("compare", {{"Comparison", id}, {"Right", r}}), -1708, eitherOr);
    expectError(run("compare", {}), -1715, bothPaths);
    expectError(run("compare", {{"Left", l}}), -1715, bothPaths);
    expectError(run("compare", {{"Left", l}, {"Right", QString::fromStdString(right.path("gone"))}}), -1715,
                "The left or right path does not exist or is not accessible.");
    expectError(run("compare", {{"Left", QString::fromStdString(left.path("sub"))}, {"Right", file}}), -1708,
                "Specify either two folders or two files to compare. Mixing files and folders is not supported.");

    const char* syncEitherOr = "Specify either a comparison or left/right folders, not both or neither.";
    expectError(run("sync", {{"SyncType", "SyMr"}, {"Direction", "SyLR"}}), -1708, syncEitherOr);
    expectError(run("sync", {{"Comparison", id}, {"Left", l}, {"SyncType", "SyMr"}, {"Direction", "SyLR"}}), -1708,
                syncEitherOr);
    expectError(run("sync", {{"Left", l}, {"SyncType", "SyMr"}, {"Direction", "SyLR"}}), -1715,
                "Both left and right folders must be specified.");
    expectError(run("sync", {{"Left", l}, {"Right", r}, {"Direction", "SyLR"}}), -1715,
                "Both sync type and direction must be specified.");
    expectError(run("sync", {{"Comparison", id}, {"SyncType", "SyUp"}}), -1715,
                "Both sync type and direction must be specified.");
    expectError(run("sync", {{"Left", l}, {"Right", r}, {"SyncType", "SyMr"}, {"Direction", "SyBo"}}), -1708,
                "\"both directions\" is only valid with update sync, not mirror.");

    expectError(run("execute", {{"Comparison", id}, {"ArchiveToTrash", true}, {"NoArchive", true}}), -1708,
                "Specify at most one of: archive to trash, archive to folder, no archive.");
    expectError(run("execute", {{"Comparison", id}, {"ArchiveToFolder", l}, {"NoArchive", true}}), -1708,
                "Specify at most one of: archive to trash, archive to folder, no archive.");
    expectError(run("execute", {{"NoArchive", true}}), -1715, "A comparison must be specified.");
    expectError(run("close", {}), -1708, "A comparison must be specified.");

    // None of them opened a comparison.
    EXPECT_EQ(host.comparisons().size(), open);
}

TEST_F(ScriptCommandsTest, FailuresOfTheApplicationSideCarryItsCodeAndText) {
    left.file("a.txt", 1);
    right.file("a.txt", 1);
    host.setCloseDelay(0);
    // The same folder twice is refused by the controller once the comparison was made.
    const QString l = QString::fromStdString(left.root());
    expectError(run("compare", {{"Left", l}, {"Right", l}, {"ShowUI", false}}), 1,
                "The specified folders could not be compared.");
    // The comparison that could not start does not stay behind, unseen.
    EXPECT_TRUE(waitUntil([&] { return host.comparisons().empty(); }, 5000));

    const int id = compared();
    std::optional<std::pair<int, ScriptError>> answer;
    scripting.SyncComparison(id, QStringLiteral("SyMr"), QStringLiteral("SyBo"),
                             [&](int c, const ScriptError& e) { answer = {c, e}; });
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->first, 0);
    EXPECT_EQ(answer->second.number, 1);
    EXPECT_EQ(answer->second.text.toStdString(), "Sync type and direction not valid.");

    // A re-run whose folder has gone answers the command's own text.
    ScriptableComparison* c = host.comparison(id);
    ASSERT_NE(c, nullptr);
    c->controller()->state().rightPath = left.path("missing");
    expectError(run("compare", {{"Comparison", id}}), -1708, "The comparison could not be re-run.");
}

TEST_F(ScriptCommandsTest, BadValuesAreRefusedBeforeAnythingHappens) {
    left.file("a.txt", 1);
    right.file("a.txt", 1);
    const QString l = QString::fromStdString(left.root()), r = QString::fromStdString(right.root());
    struct Case {
        const char* command;
        Args args;
        int number;
    } cases[] = {
        {"compare", {{"Left", 5}, {"Right", r}}, -1700},
        {"compare", {{"Left", l}, {"Right", r}, {"ShowUI", "no"}}, -1700},
        {"compare", {{"Left", l}, {"Right", r}, {"Colour", true}}, -1701},
        {"compare", {{"Left", l}, {"Right", r}, {"SyncType", "SyMr"}}, -1701},
        {"compare", {{"Left", l + "\nx"}, {"Right", r}}, -1700},
        {"compare", {{"Left", QByteArray("/tmp/\xff\xfe")}, {"Right", r}}, -1700},
        {"compare", {{"Left", l}, {"Right", r}, {"CompareMethod", "CpText"}}, -1700},
        {"sync", {{"Left", l}, {"Right", r}, {"SyncType", "SyXx"}, {"Direction", "SyLR"}, {"OrphansOnly", true}}, -1700},
        {"sync", {{"Left", l}, {"Right", r}, {"SyncType", "SyMr"}, {"Direction", "SyUp"}}, -1700},
        {"execute", {{"Comparison", "1"}}, -1700},
        {"execute", {{"Comparison", 9999}}, -1728},
        {"close", {{"Comparison", 9999}}, -1728},
    };
    for (const Case& c : cases) {
        const ScriptResult result = run(c.command, c.args);
        EXPECT_EQ(result.error.number, c.number) << c.command << " " << QVariant(c.args).toString().toStdString();
        EXPECT_FALSE(result.error.text.isEmpty());
    }
    EXPECT_TRUE(host.comparisons().empty());
    // Refused options were not stored either.
    EXPECT_FALSE(settings.isStored(QStringLiteral("mirrorOnlyOrphan")));
}

TEST_F(ScriptCommandsTest, OptionsAreStoredWhenTheChecksPass) {
    left.file("a.txt", 1);
    right.file("a.txt", 1);
    const QString l = QString::fromStdString(left.root()), r = QString::fromStdString(right.root());
    // A refused sync stores nothing; a refused execute has stored its two options already.
    run("sync", {{"Left", l}, {"SyncType", "SyMr"}, {"Direction", "SyLR"}, {"DeleteExtraItems", true}});
    EXPECT_FALSE(settings.isStored(QStringLiteral("mirrorDelDest")));
    run("execute", {{"OverwriteIdentical", false}, {"DeletePermanently", true}, {"NoArchive", true}, {"ArchiveToTrash", true}});
    EXPECT_TRUE(settings.boolValue(QStringLiteral("dontOverwiteIdentical")));
    EXPECT_TRUE(settings.boolValue(QStringLiteral("mergeDelPermanent")));

    const ScriptResult c = run("compare", {{"Left", l}, {"Right", r}, {"ShowUI", false}, {"ByContent", true},
                                           {"IgnoringDates", true}, {"CompareEverything", true}, {"Subfolders", false}});
    ASSERT_FALSE(c.error);
    EXPECT_TRUE(settings.boolValue(QStringLiteral("optCmpContents")));
    EXPECT_TRUE(settings.boolValue(QStringLiteral("optIgnoreDates")));
    EXPECT_TRUE(settings.boolValue(QStringLiteral("cmpEverything")));
    EXPECT_FALSE(settings.boolValue(QStringLiteral("opCmpSubfolders")));
    // The run itself took them: the window's options follow the stored ones.
    EXPECT_TRUE(host.comparison(c.comparison)->controller()->state().optCmpContents);

    // Two files: the compare method chooses the file comparison's kind.
    left.fileWithText("x.txt", "one\ntwo\n");
    right.fileWithText("x.txt", "one\nthree\n");
    const ScriptResult f = run("compare", {{"Left", QString::fromStdString(left.path("x.txt"))},
                                           {"Right", QString::fromStdString(right.path("x.txt"))},
                                           {"ShowUI", false}, {"CompareMethod", "CpTx"}});
    ASSERT_FALSE(f.error) << f.error.text.toStdString();
    EXPECT_EQ(settings.intValue(QStringLiteral("fileType")), 1);
    EXPECT_EQ(host.comparison(f.comparison)->Differences(), 1u);
    run("compare", {{"Left", QString::fromStdString(left.path("x.txt"))},
                    {"Right", QString::fromStdString(right.path("x.txt"))}, {"CompareMethod", "CpZz"}});
    EXPECT_EQ(settings.intValue(QStringLiteral("fileType")), 0);
}

TEST_F(ScriptCommandsTest, CompareSyncExecuteAndCompareAgainLeavesNoDifference) {
    left.file("same.txt", 4);
    right.file("same.txt", 4);
    left.file("new/inner.txt", 10);
    left.file("changed.txt", 5, 'a', kBaseTimeNs + 1'000'000'000);
    right.file("changed.txt", 7, 'b');
    right.file("extra.txt", 2);
    const int id = compared();
    ScriptableComparison* c = host.comparison(id);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Differences(), 3u);
    EXPECT_EQ(c->runState(), QStringLiteral("compared"));

    const ScriptResult s = run("sync", {{"Comparison", id}, {"SyncType", "SyMr"}, {"Direction", "SyLR"},
                                        {"DeleteExtraItems", true}});
    ASSERT_FALSE(s.error) << s.error.text.toStdString();
    EXPECT_EQ(s.comparison, id);
    EXPECT_EQ(c->Actions(), 3u);
    EXPECT_EQ(c->runState(), QStringLiteral("planned"));

    const ScriptResult e = run("execute", {{"Comparison", id}, {"NoArchive", true}});
    ASSERT_FALSE(e.error) << e.error.text.toStdString();
    EXPECT_EQ(e.success, std::optional<bool>(true));
    EXPECT_TRUE(c->Errors().isEmpty());
    EXPECT_FALSE(settings.boolValue(QStringLiteral("overwrittenToTrash2")));
    EXPECT_EQ(right.contents("new/inner.txt").size(), 10u);
    EXPECT_FALSE(right.exists("extra.txt"));

    const ScriptResult again = run("compare", {{"Comparison", id}});
    ASSERT_FALSE(again.error);
    EXPECT_EQ(again.comparison, id);
    EXPECT_EQ(c->Differences(), 0u);
    EXPECT_EQ(c->Actions(), 0u);

    // An update both ways through a new pair, with the pair given to sync itself.
    left.file("l-only.txt", 1);
    right.file("r-only.txt", 1);
    const ScriptResult both = run("sync", {{"Left", QString::fromStdString(left.root())},
                                           {"Right", QString::fromStdString(right.root())}, {"ShowUI", false},
                                           {"SyncType", "SyUp"}, {"Direction", "SyBo"}});
    ASSERT_FALSE(both.error) << both.error.text.toStdString();
    EXPECT_NE(both.comparison, id);
    EXPECT_EQ(host.comparison(both.comparison)->Actions(), 2u);
}

TEST_F(ScriptCommandsTest, AFailedRowIsListedAsNameAndReason) {
    left.file("keep.txt", 3);
    left.file("vanishing.txt", 3);
    const int id = compared();
    ASSERT_FALSE(run("sync", {{"Comparison", id}, {"SyncType", "SyMr"}, {"Direction", "SyLR"}}).error);
    ScriptableComparison* c = host.comparison(id);
    ASSERT_EQ(c->Actions(), 2u);
    // The source goes between planning and execution, as another program might take it away.
    ASSERT_EQ(std::remove(left.path("vanishing.txt").c_str()), 0);
    const ScriptResult e = run("execute", {{"Comparison", id}, {"NoArchive", true}});
    ASSERT_FALSE(e.error);
    EXPECT_EQ(e.success, std::optional<bool>(true));
    ASSERT_EQ(c->Errors().size(), 1);
    EXPECT_TRUE(c->Errors().front().startsWith(QStringLiteral("vanishing.txt - "))) << c->Errors().front().toStdString();
    EXPECT_GT(c->Errors().front().size(), int(qstrlen("vanishing.txt - ")));
    EXPECT_TRUE(right.exists("keep.txt"));
    // The next execution starts with an empty list; with nothing to do it answers YES at once.
    ASSERT_FALSE(run("compare", {{"Comparison", id}}).error);
    EXPECT_EQ(run("execute", {{"Comparison", id}}).success, std::optional<bool>(true));
    EXPECT_TRUE(c->Errors().isEmpty());
}

TEST_F(ScriptCommandsTest, ASecondRequestAnswersTheWaitingOneWithNo) {
    for (int i = 0; i < 200; ++i) left.file("f" + std::to_string(i) + ".txt", 64);
    const int id = compared();
    std::optional<ScriptResult> first, second;
    ASSERT_FALSE(start("compare", {{"Comparison", id}}, &first).has_value());
    const std::optional<ScriptResult> atOnce = start("compare", {{"Comparison", id}}, &second);
    ASSERT_FALSE(atOnce.has_value()) << atOnce->error.number << " " << atOnce->error.text.toStdString();
    // The first heard NO as soon as the second arrived.
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->error.number, -1708);
    EXPECT_EQ(first->error.text.toStdString(), "The comparison could not be re-run.");
    ASSERT_TRUE(waitUntil([&] { return second.has_value(); }));
    EXPECT_FALSE(second->error) << second->error.text.toStdString();
    EXPECT_EQ(second->comparison, id);
    EXPECT_EQ(host.comparison(id)->Differences(), 200u);
}

TEST_F(ScriptCommandsTest, NumbersRunOnAndAreNotReusedAfterClose) {
    host.setCloseDelay(300);
    const int a = compared(), b = compared(), c = compared();
    EXPECT_EQ(b, a + 1);
    EXPECT_EQ(c, b + 1);
    // In document order: the most recent first.
    ASSERT_EQ(host.comparisons().size(), 3u);
    EXPECT_EQ(host.comparisons().front()->iUniqueASID(), c);

    const ScriptResult closed = run("close", {{"Comparison", b}});
    EXPECT_FALSE(closed.error);
    // Still listed until the delay has passed, but no command reaches it.
    EXPECT_NE(host.comparison(b), nullptr);
    EXPECT_EQ(run("compare", {{"Comparison", b}}).error.number, -1728);
    EXPECT_TRUE(waitUntil([&] { return host.comparison(b) == nullptr; }, 5000));
    EXPECT_EQ(host.comparisons().size(), 2u);

    EXPECT_EQ(compared(), c + 1);
    EXPECT_EQ(run("sync", {{"Comparison", b}, {"SyncType", "SyMr"}, {"Direction", "SyLR"}}).error.number, -1728);
}

}  // namespace
}  // namespace qv::test
