// The file comparison of a window as its file tab drives it: stepping through
// the changes, merging them side by side, and saving the merged file the way
// an editor would: atomically, in the original's line endings and mode, and
// never over a file someone changed since it was read without asking.

#include "app/FileComparisonSession.h"

#include "app/history/FolderHistory.h"
#include "base/Messages.h"
#include "support/ScriptedPrompt.h"
#include "support/TempTree.h"
#include "support/TestSettings.h"
#include "support/WaitFor.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace qv::test {
namespace {

QString q(const std::string& path) { return QFile::decodeName(path.c_str()); }

class FileComparisonSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The hints after a comparison are not what these tests look at.
        settings.store(QStringLiteral("dontSowFCInfoStep1"), true);
        settings.store(QStringLiteral("dontSowFCInfoStep2"), true);
    }

    void compare(const std::string& left, const std::string& right) {
        session.setPaths(q(t.path(left)), q(t.path(right)));
        ASSERT_TRUE(session.CompareFiles());
        ASSERT_TRUE(waitFor(&session, &FileComparisonSession::comparisonFinished));
        ASSERT_TRUE(session.result());
    }

    // Three changes: a changed line, lines only on the right, a line only on the left.
    void threeChanges() {
        t.fileWithText("a.txt", "one\ntwo\nthree\nfour\nfive\n");
        t.fileWithText("b.txt", "one\nTWO\nthree\nnew 1\nnew 2\nfour\n");
    }

    TestSettings settings;
    ScriptedPrompt prompt;
    FileComparisonSession session{prompt, settings};
    TempTree t;
};

TEST_F(FileComparisonSessionTest, NextAndPreviousVisitEveryChangeInOrderAndRefuseAtTheEnds) {
    threeChanges();
    compare("a.txt", "b.txt");
    const auto& records = session.result()->parser->iZmiany();
    ASSERT_EQ(session.changeCount(), 3u);
    EXPECT_EQ(session.differencesText(), Messages::format("fcDiffCount", "3", Messages::text("differences")));
    EXPECT_EQ(session.iCurrentZmiana(), -1);
    EXPECT_FALSE(session.MoveToNextBlock(false));   // nothing before the start
    for (std::int64_t i = 0; i < 3; ++i) {
        ASSERT_TRUE(session.MoveToNextBlock(true));
        EXPECT_EQ(session.iCurrentZmiana(), i);
        const std::uint64_t row = session.rowOfChange(std::uint64_t(i));
        EXPECT_EQ(row, records[std::size_t(i)].lr);
        EXPECT_EQ(session.changeAtRow(row), std::uint64_t(i));
    }
    EXPECT_FALSE(session.MoveToNextBlock(true));
    EXPECT_EQ(session.iCurrentZmiana(), 2);
    EXPECT_TRUE(session.MoveToNextBlock(false));
    EXPECT_TRUE(session.MoveToNextBlock(false));
    EXPECT_FALSE(session.MoveToNextBlock(false));
    EXPECT_EQ(session.iCurrentZmiana(), 0);
    EXPECT_FALSE(session.changeAtRow(0));   // the unchanged first line
}

TEST_F(FileComparisonSessionTest, TakingTheRightSideEverywhereSavesTheRightFileByteForByte) {
    threeChanges();
    compare("a.txt", "b.txt");
    EXPECT_FALSE(session.SelectMergedBlock(false));   // merging is off
    ASSERT_TRUE(session.SetMergeMode(true));
    EXPECT_FALSE(session.SelectMergedBlock(true));    // no current change
    while (session.MoveToNextBlock(true)) ASSERT_TRUE(session.SelectMergedBlock(true));
    EXPECT_EQ(session.merger().iMergedContent().join(u'\n'), "one\ntwo\nthree\nfour\nfive\n");
    session.setICurrentZmiana(-1);
    while (session.MoveToNextBlock(true)) ASSERT_TRUE(session.SelectMergedBlock(false));
    ASSERT_EQ(session.SaveMerge(q(t.path("merged.txt"))), FileComparisonSession::SaveOutcome::Saved);
    EXPECT_EQ(t.contents("merged.txt"), t.contents("b.txt"));
    EXPECT_TRUE(prompt.questions.empty());
    // A mixed choice: the first change keeps the left line.
    session.setICurrentZmiana(0);
    ASSERT_TRUE(session.SelectMergedBlock(true));
    ASSERT_EQ(session.SaveMerge(q(t.path("merged.txt"))), FileComparisonSession::SaveOutcome::Saved);
    EXPECT_EQ(t.contents("merged.txt"), "one\ntwo\nthree\nnew 1\nnew 2\nfour\n");
}

TEST_F(FileComparisonSessionTest, SavingOverTheOriginalKeepsItsLineEndingsMarkAndMode) {
    t.fileWithText("a.txt", "\xEF\xBB\xBFone\r\ntwo\r\n");
    t.fileWithText("b.txt", "\xEF\xBB\xBFone\nTWO\n");
    ASSERT_EQ(::chmod(t.path("a.txt").c_str(), 0640), 0);
    compare("a.txt", "b.txt");
    ASSERT_TRUE(session.SetMergeMode(true));
    ASSERT_EQ(session.SaveMerge(q(t.path("a.txt"))), FileComparisonSession::SaveOutcome::Saved);
    EXPECT_EQ(t.contents("a.txt"), "\xEF\xBB\xBFone\r\nTWO\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(t.path("a.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    // The pair is compared again: the file on screen is the one written.
    ASSERT_TRUE(waitFor(&session, &FileComparisonSession::comparisonFinished));
    EXPECT_TRUE(session.result()->equal);
    EXPECT_TRUE(session.result()->equalApartFromLineEnds);
    EXPECT_EQ(session.statusText(), Messages::text("fcEqualLineEnds"));
}

TEST_F(FileComparisonSessionTest, AFileChangedOnDiskSinceItWasReadIsReplacedOnlyWhenTheUserAgrees) {
    threeChanges();
    compare("a.txt", "b.txt");
    ASSERT_TRUE(session.SetMergeMode(true));
    t.fileWithText("a.txt", "someone else's edit\n", kBaseTimeNs + 5'000'000'000);
    // The default answer keeps the file.
    EXPECT_EQ(session.SaveMerge(q(t.path("a.txt"))), FileComparisonSession::SaveOutcome::Declined);
    ASSERT_EQ(prompt.questions.size(), 1u);
    EXPECT_EQ(prompt.questions[0].message, Messages::text("fcChangedOnDisk0"));
    EXPECT_EQ(t.contents("a.txt"), "someone else's edit\n");
    // Saving elsewhere asks nothing.
    EXPECT_EQ(session.SaveMerge(q(t.path("elsewhere.txt"))), FileComparisonSession::SaveOutcome::Saved);
    EXPECT_EQ(prompt.questions.size(), 1u);
    prompt.answers.push_back({1});
    EXPECT_EQ(session.SaveMerge(q(t.path("a.txt"))), FileComparisonSession::SaveOutcome::Saved);
    EXPECT_EQ(t.contents("a.txt"), t.contents("b.txt"));
}

TEST_F(FileComparisonSessionTest, ALinkIsWrittenThroughAndAReadOnlyFileNeedsConsent) {
    threeChanges();
    t.fileWithText("target.txt", "old\n");
    t.link("link.txt", t.path("target.txt"));
    compare("a.txt", "b.txt");
    ASSERT_TRUE(session.SetMergeMode(true));
    ASSERT_EQ(session.SaveMerge(q(t.path("link.txt"))), FileComparisonSession::SaveOutcome::Saved);
    EXPECT_EQ(t.contents("target.txt"), t.contents("b.txt"));
    struct stat st {};
    ASSERT_EQ(::lstat(t.path("link.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    // Dangling links are refused.
    t.link("dangling.txt", t.path("nowhere.txt"));
    EXPECT_EQ(session.SaveMerge(q(t.path("dangling.txt"))), FileComparisonSession::SaveOutcome::Failed);
    EXPECT_FALSE(t.exists("nowhere.txt"));

    t.fileWithText("locked.txt", "keep\n");
    ASSERT_EQ(::chmod(t.path("locked.txt").c_str(), 0444), 0);
    EXPECT_EQ(session.SaveMerge(q(t.path("locked.txt"))), FileComparisonSession::SaveOutcome::Declined);
    EXPECT_EQ(t.contents("locked.txt"), "keep\n");
    EXPECT_EQ(prompt.questions.back().message, Messages::text("fcReadOnly0"));
}

TEST_F(FileComparisonSessionTest, StatusAndHintsFollowTheResult) {
    t.fileWithText("a.txt", "same\n");
    t.fileWithText("b.txt", "same\n");
    session.setPaths(q(t.path("a.txt")), q(t.path("a.txt")));
    EXPECT_FALSE(session.CompareFiles());
    EXPECT_EQ(session.statusText(), Messages::text("sameFiles"));
    EXPECT_EQ(session.statusRole(), ComparisonStatus::Role::Error);
    compare("a.txt", "b.txt");
    EXPECT_EQ(session.statusText(), Messages::text("FilesEqual"));
    EXPECT_EQ(session.differencesText(), QString());
    EXPECT_FALSE(session.canMerge());
    EXPECT_FALSE(session.SetMergeMode(true));
    t.setTags("b.txt", "Blue");
    compare("a.txt", "b.txt");
    EXPECT_TRUE(session.statusText().startsWith(Messages::text("FilesEqual2")));
    EXPECT_TRUE(session.statusTooltip().contains(Messages::text("fileTagsDiff")));

    // The first hint is shown once the files differ, and not again once suppressed.
    settings.remove(QStringLiteral("dontSowFCInfoStep1"));
    t.fileWithText("c.txt", "other\n");
    prompt.answers.push_back({0, true});
    compare("a.txt", "c.txt");
    ASSERT_EQ(prompt.questions.size(), 1u);
    EXPECT_EQ(prompt.questions[0].details, Messages::text("fcInfo1"));
    EXPECT_TRUE(settings.boolValue(QStringLiteral("dontSowFCInfoStep1")));
    EXPECT_EQ(session.differencesText(), Messages::format("fcDiffCount", "1", Messages::text("difference")));
    compare("a.txt", "c.txt");
    EXPECT_EQ(prompt.questions.size(), 1u);
}

TEST_F(FileComparisonSessionTest, ComparedFilesJoinTheRecentFilesOnlyWhilePathsAreSaved) {
    threeChanges();
    t.fileWithText("c.txt", "c\n");
    const auto recent = [&] {
        QStringList paths;
        const KLastFolders files(settings, QStringLiteral("lastFiles"));
        for (const KLastFolders::Entry& e : files.items()) paths << e.path;
        return paths;
    };
    compare("a.txt", "b.txt");
    EXPECT_TRUE(recent().contains(q(t.path("a.txt"))));
    EXPECT_TRUE(recent().contains(q(t.path("b.txt"))));
    settings.store(QStringLiteral("savePaths"), false);
    compare("a.txt", "c.txt");
    EXPECT_FALSE(recent().contains(q(t.path("c.txt"))));
    EXPECT_TRUE(recent().contains(q(t.path("b.txt"))));
}

}  // namespace
}  // namespace qv::test
