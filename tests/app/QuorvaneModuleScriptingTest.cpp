// The controller's side of scripting: the one waiting request, sync
// planning for a script, and execution without a sheet.

#include "app/HeadlessPrompt.h"
#include "app/QuorvaneModule.h"
#include "sync/MergeList.h"
#include "sync/MirrorPlanner.h"
#include "support/TempTree.h"
#include "support/TestSettings.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace qv::test {
namespace {

class QuorvaneModuleScriptingTest : public ::testing::Test {
protected:
    TestSettings settings;
    HeadlessPrompt prompt;
    TempTree left, right;

    // A module whose two path fields name the trees.
    std::unique_ptr<QuorvaneModule> module() {
        auto m = std::make_unique<QuorvaneModule>(prompt, settings);
        m->state().leftPath = left.root();
        m->state().rightPath = right.root();
        return m;
    }
    // Runs the event loop until `answer` is set.
    static bool answered(const std::optional<bool>& answer) {
        return waitUntil([&] { return answer.has_value(); });
    }
};

TEST_F(QuorvaneModuleScriptingTest, OneRequestWaitsAndANewOneAnswersTheOldWithNo) {
    auto m = module();
    std::vector<std::pair<char, bool>> calls;
    m->setICompareCompletionHandler([&](bool ok) { calls.emplace_back('a', ok); });
    m->setICompareCompletionHandler([&](bool ok) { calls.emplace_back('b', ok); });
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], std::make_pair('a', false));
    m->NotifyIfAppleScript();
    m->NotifyIfAppleScript();   // nobody waits any more
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1], std::make_pair('b', true));
    EXPECT_FALSE(m->hasCompletionHandler());

    // A request may install the next one from inside its answer.
    m->setICompareCompletionHandler([&](bool) { m->setICompareCompletionHandler([&](bool ok) { calls.emplace_back('d', ok); }); });
    m->NotifyIfAppleScript();
    EXPECT_TRUE(m->hasCompletionHandler());
    // A controller that goes answers the waiting request with NO.
    m.reset();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[2], std::make_pair('d', false));
}

TEST_F(QuorvaneModuleScriptingTest, ASyncWithoutATreeComparesFirstAndPlansAfterwards) {
    left.file("new.txt", 5);
    left.file("same.txt", 2);
    right.file("same.txt", 2);
    right.file("extra.txt", 3);
    settings.store(QStringLiteral("mirrorDelDest"), true);
    auto m = module();
    std::optional<bool> answer;
    m->StartMirrorType(kMirrorSync, kMirrorToRight, [&](bool ok) { answer = ok; });
    EXPECT_TRUE(m->ComparingFolders());
    ASSERT_TRUE(answered(answer));
    EXPECT_TRUE(*answer);
    // The stored deletion of orphans joined the plan: a copy and a delete.
    EXPECT_EQ(m->mergeList().NumberOfActions(), 2u);

    // A scripted comparison plans the same sync again; one started by hand does not.
    answer.reset();
    ASSERT_TRUE(m->Compare(true));
    m->setICompareCompletionHandler([&](bool ok) { answer = ok; });
    ASSERT_TRUE(answered(answer));
    EXPECT_EQ(m->mergeList().NumberOfActions(), 2u);
    answer.reset();
    m->mergeList().ClearMerge();   // a run by hand would ask about marked actions first
    ASSERT_TRUE(m->Compare(false));
    m->setICompareCompletionHandler([&](bool ok) { answer = ok; });
    ASSERT_TRUE(answered(answer));
    EXPECT_EQ(m->mergeList().NumberOfActions(), 0u);

    // With a tree the plan is made from the event loop; both ways never deletes orphans.
    answer.reset();
    m->StartMirrorType(kUpdateSync, kMirrorBoth, [&](bool ok) { answer = ok; });
    EXPECT_FALSE(answer.has_value());
    ASSERT_TRUE(answered(answer));
    EXPECT_EQ(m->mergeList().NumberOfActions(), 2u);   // new.txt to the right, extra.txt to the left
}

TEST_F(QuorvaneModuleScriptingTest, ExecutionStoresTheArchiveChoiceAndAnswersAtItsEnd) {
    settings.store(QStringLiteral("mergeArchiveFolder"), QStringLiteral("/somewhere"));
    auto m = module();
    // Nothing to execute: YES at once, the archive choice untouched.
    std::optional<bool> answer;
    m->ExecuteWithArchive(QStringLiteral("#NOARCHIVE!"), [&](bool ok) { answer = ok; });
    ASSERT_TRUE(answer.has_value());
    EXPECT_TRUE(*answer);
    EXPECT_TRUE(settings.isStored(QStringLiteral("mergeArchiveFolder")));

    left.file("a.txt", 4);
    left.file("b.txt", 6);
    std::optional<bool> planned;
    m->StartMirrorType(kMirrorSync, kMirrorToRight, [&](bool ok) { planned = ok; });
    ASSERT_TRUE(answered(planned));
    ASSERT_EQ(m->mergeList().NumberOfActions(), 2u);

    answer.reset();
    m->ExecuteWithArchive(QStringLiteral("#NOARCHIVE!"), [&](bool ok) { answer = ok; });
    EXPECT_TRUE(m->executing());
    EXPECT_FALSE(settings.boolValue(QStringLiteral("overwrittenToTrash2")));
    EXPECT_FALSE(settings.isStored(QStringLiteral("mergeArchiveFolder")));
    ASSERT_TRUE(answered(answer));
    EXPECT_TRUE(*answer);
    EXPECT_FALSE(m->executing());
    EXPECT_TRUE(m->ASErrors().isEmpty());
    EXPECT_EQ(right.contents("a.txt").size(), 4u);
    EXPECT_EQ(right.contents("b.txt").size(), 6u);

    // A folder is stored as the archive, "#TRASH!" goes back to the trash.
    answer.reset();
    m->ExecuteWithArchive(QStringLiteral("/archive/here"), [&](bool ok) { answer = ok; });
    ASSERT_TRUE(answered(answer));
    EXPECT_EQ(settings.stringValue(QStringLiteral("mergeArchiveFolder")), QStringLiteral("/archive/here"));
    EXPECT_TRUE(settings.boolValue(QStringLiteral("overwrittenToTrash2")));
    answer.reset();
    m->ExecuteWithArchive(QStringLiteral("#TRASH!"), [&](bool ok) { answer = ok; });
    ASSERT_TRUE(answered(answer));
    EXPECT_FALSE(settings.isStored(QStringLiteral("mergeArchiveFolder")));
    EXPECT_TRUE(settings.boolValue(QStringLiteral("overwrittenToTrash2")));
}

}  // namespace
}  // namespace qv::test
